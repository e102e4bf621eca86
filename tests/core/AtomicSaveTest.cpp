#include "FileSizeLimit.h"
#include "TempFolder.h"
#include "files/EntryWriter.h"
#include "files/FileBytes.h"
#include "files/QorvFileIO.h"
#include "files/SyxFileIO.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{
using Bytes = std::vector<uint8_t>;

/** One way of saving, with content big enough to hit a small size limit. */
struct Saver
{
    const char* format;
    std::function<bool (const std::string&)> save;
    bool followsLinks = true; // a save to a path the user chose goes through a link there
};

std::vector<Saver> savers()
{
    LibraryModel library;
    for (int i = 0; i < 40; ++i)
        library.addPatch (PatchModel());
    PatchModel patch;
    patch.data[0] = 99;
    const auto exportInto = [patch] (const std::string& path)
    {
        const std::filesystem::path target (path);
        return SyxFileIO::saveIntoFolder (target.parent_path().string(), target.filename().string(), patch, 0).ok;
    };
    return {{".106", [library] (const std::string& path) { return QorvFileIO::save (path, library); }},
            {".syx", [patch] (const std::string& path) { return SyxFileIO::save (path, patch, 0); }},
            {".syx exported", exportInto, false}};
}

const Bytes oldContent{'o', 'l', 'd', 0x00, 0xFF};

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

TEST (AtomicSaveTest, SavesGoThroughALinkAndExportsReplaceIt)
{
    for (const Saver& saver : savers())
    {
        TempFolder folder;
        const std::string real = folder.path ("real");
        const std::string link = folder.path ("link");
        writeBytes (real, oldContent);
        std::filesystem::create_symlink (real, link);
        ASSERT_TRUE (saver.save (link)) << saver.format;
        EXPECT_EQ (std::filesystem::is_symlink (link), saver.followsLinks) << saver.format;
        EXPECT_EQ (readBytes (real) != oldContent, saver.followsLinks) << saver.format;
        EXPECT_NE (readBytes (link), oldContent) << saver.format;
    }
}

TEST (AtomicSaveTest, ALinkWhoseFileIsGoneIsWrittenThroughOrRefusedButNeverReplaced)
{
    TempFolder folder;
    std::filesystem::create_directory (folder.path ("media"));
    struct Case
    {
        const char* link;
        std::string leadsTo;
        std::string reason; // empty: written where the link leads
        std::string written;
    };
    const Case cases[] = {
        {"unplugged.106",
         folder.path ("media/stick/Backup.106"),
         "The folder " + folder.path ("media/stick") + " does not exist.",
         ""},
        {"relative.106",
         "media/stick/Backup.106",
         "The folder " + folder.path ("media/stick") + " does not exist.",
         ""},
        {"fresh.106", "media/New.106", "", folder.path ("media/New.106")},
        {"loop.106", "loop.106", "The symbolic links at " + folder.path ("loop.106") + " lead round in a circle.", ""},
    };
    for (const auto& c : cases)
    {
        const std::string link = folder.path (c.link);
        std::filesystem::create_symlink (c.leadsTo, link);
        const WriteResult saved = QorvFileIO::saveWithReason (link, LibraryModel());
        EXPECT_EQ (saved.reason, c.reason) << c.link;
        EXPECT_TRUE (std::filesystem::is_symlink (link)) << c.link;
        EXPECT_EQ (std::filesystem::read_symlink (link), c.leadsTo) << c.link;
        if (!c.written.empty())
        {
            EXPECT_EQ (readBytes (c.written), readBytes (link)) << c.link;
        }
    }
    EXPECT_FALSE (std::filesystem::exists (folder.path ("media/stick")));
}

// A save killed at any moment leaves the old file or the new one, whole, and
// no temporary file that nothing would ever remove: the image is written to a
// file with no name, or (on file systems without those) one that the next
// save of the same file clears away.
TEST (AtomicSaveTest, KilledSavesLeaveOnlyTheWholeFile)
{
    constexpr size_t imageSize = size_t{4} << 20;
    Bytes first (imageSize), second (imageSize + 1);
    for (size_t i = 0; i < first.size(); ++i)
        first[i] = static_cast<uint8_t> (i * 7);
    for (size_t i = 0; i < second.size(); ++i)
        second[i] = static_cast<uint8_t> (i * 13 + 1);

    struct Way
    {
        const char* name;
        std::function<bool (const std::string&, const Bytes&)> save;
    };
    const Way ways[] = {
        {"as the program saves",
         [] (const std::string& path, const Bytes& image)
         { return FileBytes::replaceAtomically (path, image.data(), image.size()); }},
        {"with named temporary files only",
         [] (const std::string& path, const Bytes& image)
         {
             const std::filesystem::path target (path);
             return EntryWriter::write (target.parent_path().string(),
                                        target.filename().string(),
                                        image.data(),
                                        image.size(),
                                        {EntryWriter::HardLinks::writeThrough, EntryWriter::Temporaries::namedOnly})
                 .ok;
         }},
    };
    for (const Way& way : ways)
    {
        TempFolder folder;
        const std::string path = folder.path ("big.106");
        const auto started = std::chrono::steady_clock::now();
        ASSERT_TRUE (way.save (path, first)) << way.name;
        const auto oneSave =
            std::chrono::duration_cast<std::chrono::microseconds> (std::chrono::steady_clock::now() - started);
        std::mt19937 random (42);
        std::uniform_int_distribution<long> moment (0, 3 * std::max (oneSave.count(), 1000L));

        for (int round = 0; round < 40; ++round)
        {
            const pid_t saving = ::fork();
            if (saving == 0)
            {
                for (unsigned i = 0;; ++i)
                    way.save (path, i % 2 == 0 ? second : first);
            }
            ASSERT_GT (saving, 0);
            std::this_thread::sleep_for (std::chrono::microseconds (moment (random)));
            ::kill (saving, SIGKILL);
            ::waitpid (saving, nullptr, 0);

            Bytes now;
            ASSERT_TRUE (FileBytes::readAll (path, FileBytes::maxFileSize, now));
            ASSERT_TRUE (now == first || now == second) << way.name << ", round " << round << ": a mixed file";
            for (const std::string& entry : folder.entries())
                ASSERT_TRUE (entry == "big.106" || entry == EntryWriter::temporaryNameFor ("big.106"))
                    << way.name << ", round " << round << ": left behind " << entry;
        }
        ASSERT_TRUE (way.save (path, first)) << way.name;
        EXPECT_EQ (folder.entries(), std::vector<std::string>{"big.106"}) << way.name;
    }
}

TEST (AtomicSaveTest, TemporaryFileOfASaveInProgressIsLeftAlone)
{
    TempFolder folder;
    const std::string path = folder.path ("library.106");
    writeBytes (path, oldContent);
    // Another save of the same file, alive, holds its temporary file locked.
    const std::string held = folder.path (EntryWriter::temporaryNameFor ("library.106"));
    writeBytes (held, {'h', 'e', 'l', 'd'});
    const int holder = ::open (held.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE (holder, 0);
    ASSERT_EQ (::flock (holder, LOCK_EX), 0);

    const Bytes image{'n', 'e', 'w'};
    const auto namedOnly =
        EntryWriter::Options{EntryWriter::HardLinks::writeThrough, EntryWriter::Temporaries::namedOnly};
    EXPECT_TRUE (EntryWriter::write (folder.root.string(), "library.106", image.data(), image.size(), namedOnly).ok);
    EXPECT_TRUE (FileBytes::replaceAtomically (path, image.data(), image.size()));
    EXPECT_EQ (readBytes (path), image);
    EXPECT_EQ (readBytes (held), (Bytes{'h', 'e', 'l', 'd'}));
    EXPECT_EQ (folder.entries().size(), 2u);

    // Once that save has died, the next one clears its file away.
    ::close (holder);
    EXPECT_TRUE (EntryWriter::write (folder.root.string(), "library.106", image.data(), image.size(), namedOnly).ok);
    EXPECT_EQ (folder.entries(), std::vector<std::string>{"library.106"});
}

TEST (AtomicSaveTest, LeftoversOfWritesThatDiedLongAgoGoWhenTheFolderIsNextWritten)
{
    TempFolder folder;
    const auto plant = [&] (const std::string& name, bool old)
    {
        writeBytes (folder.path (name), {'x'});
        if (old)
        {
            const struct timespec times[2] = {{0, UTIME_OMIT}, {::time (nullptr) - 3600, 0}};
            EXPECT_EQ (::utimensat (AT_FDCWD, folder.path (name).c_str(), times, 0), 0);
        }
    };
    plant (".qorv-0123456789abcdef.tmp", true);      // a crashed export's
    plant (".qorv-fedcba9876543210-77-0.tmp", true); // a crashed save's, under a name of its own
    plant (".qorv-aaaaaaaaaaaaaaaa.tmp", false);     // an export on its way now
    plant (".qorv-bbbbbbbbbbbbbbbb.tmp", true);      // held by a write still alive
    plant ("mine.tmp", true);                        // the user's
    const int holder = ::open (folder.path (".qorv-bbbbbbbbbbbbbbbb.tmp").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE (holder, 0);
    ASSERT_EQ (::flock (holder, LOCK_EX), 0);

    const Bytes image{'n', 'e', 'w'};
    ASSERT_TRUE (FileBytes::replaceAtomically (folder.path ("library.106"), image.data(), image.size()));
    auto entries = folder.entries();
    std::sort (entries.begin(), entries.end());
    EXPECT_EQ (entries,
               (std::vector<std::string>{
                   ".qorv-aaaaaaaaaaaaaaaa.tmp", ".qorv-bbbbbbbbbbbbbbbb.tmp", "library.106", "mine.tmp"}));
    ::close (holder);

    // An export into the folder sweeps it too.
    plant (".qorv-0123456789abcdef.tmp", true);
    FileBytes::FolderWriter exportInto (folder.root.string());
    EXPECT_FALSE (std::filesystem::exists (folder.path (".qorv-0123456789abcdef.tmp")));
    EXPECT_FALSE (std::filesystem::exists (folder.path (".qorv-bbbbbbbbbbbbbbbb.tmp"))) << "no longer held";
}
