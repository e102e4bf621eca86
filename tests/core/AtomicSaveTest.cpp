#include "TempFolder.h"
#include "files/QorvFileIO.h"
#include "files/SyxFileIO.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace
{
using Bytes = std::vector<uint8_t>;

/** One file format's saver, with content big enough to hit a small size limit. */
struct Saver
{
    const char* format;
    std::function<bool (const std::string&)> save;
};

std::vector<Saver> savers()
{
    LibraryModel library;
    for (int i = 0; i < 40; ++i)
        library.addPatch (PatchModel());
    PatchModel patch;
    patch.data[0] = 99;
    return {{".106", [library] (const std::string& path) { return QorvFileIO::save (path, library); }},
            {".syx", [patch] (const std::string& path) { return SyxFileIO::save (path, patch, 0); }}};
}

const Bytes oldContent{'o', 'l', 'd', 0x00, 0xFF};

/** Lowers the largest file this process may write, so a write fails half way
    the way a full disk makes it fail. */
class FileSizeLimit
{
public:
    explicit FileSizeLimit (rlim_t bytes)
    {
        previousHandler = std::signal (SIGXFSZ, SIG_IGN);
        ::getrlimit (RLIMIT_FSIZE, &previous);
        rlimit lowered = previous;
        lowered.rlim_cur = bytes;
        ::setrlimit (RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        ::setrlimit (RLIMIT_FSIZE, &previous);
        std::signal (SIGXFSZ, previousHandler);
    }
    FileSizeLimit (const FileSizeLimit&) = delete;
    FileSizeLimit& operator= (const FileSizeLimit&) = delete;

private:
    rlimit previous{};
    void (*previousHandler) (int);
};
} // namespace

TEST (AtomicSaveTest, ReplacesAnOldFileAndLeavesNothingBehind)
{
    for (const Saver& saver : savers())
    {
        TempFolder folder;
        const std::string path = folder.path (std::string ("target") + saver.format);
        writeBytes (path, oldContent);
        ::chmod (path.c_str(), 0640);
        ASSERT_TRUE (saver.save (path)) << saver.format;
        EXPECT_NE (readBytes (path), oldContent);
        EXPECT_EQ (folder.entries(), std::vector<std::string>{std::string ("target") + saver.format});
        struct stat info;
        ASSERT_EQ (::stat (path.c_str(), &info), 0);
        EXPECT_EQ (info.st_mode & 0777, 0640u) << "permissions of the old file kept";
    }
}

TEST (AtomicSaveTest, FailedWriteKeepsTheOldFileByteIdentical)
{
    for (const Saver& saver : savers())
    {
        TempFolder folder;
        const std::string path = folder.path (std::string ("target") + saver.format);
        writeBytes (path, oldContent);
        {
            const FileSizeLimit limit (16); // both images are longer
            EXPECT_FALSE (saver.save (path)) << saver.format;
        }
        EXPECT_EQ (readBytes (path), oldContent) << saver.format;
        EXPECT_EQ (folder.entries().size(), 1u) << "the temporary file is removed";
    }
}

TEST (AtomicSaveTest, TargetsThatCannotBeWrittenAreRefused)
{
    for (const Saver& saver : savers())
    {
        TempFolder folder;
        const std::string directory = folder.path ("a folder");
        std::filesystem::create_directory (directory);
        writeBytes (directory + "/inside", oldContent);
        const std::string plainFile = folder.path ("plain");
        writeBytes (plainFile, oldContent);

        const std::string targets[] = {
            directory,                      // a folder is never replaced
            folder.path ("missing/target"), // no such folder
            plainFile + "/target",          // a file where a folder should be
            "",                             // no name at all
            std::string ("bad\0name", 8),   // a name with a NUL would reach a different file
        };
        for (const std::string& target : targets)
            EXPECT_FALSE (saver.save (target)) << saver.format << " " << target;

        EXPECT_EQ (readBytes (directory + "/inside"), oldContent);
        EXPECT_EQ (readBytes (plainFile), oldContent);
        EXPECT_EQ (folder.entries().size(), 2u) << "nothing created";
    }
}

TEST (AtomicSaveTest, SavingThroughALinkReplacesTheLinkedFile)
{
    for (const Saver& saver : savers())
    {
        TempFolder folder;
        const std::string real = folder.path ("real");
        const std::string link = folder.path ("link");
        writeBytes (real, oldContent);
        std::filesystem::create_symlink (real, link);
        ASSERT_TRUE (saver.save (link)) << saver.format;
        EXPECT_TRUE (std::filesystem::is_symlink (link));
        EXPECT_NE (readBytes (real), oldContent);
    }
}
