// Only regular files are read: a pipe, a device, a socket or a folder is
// refused at once, and opening one never waits.

#include "ChildProcess.h"
#include "TempFolder.h"
#include "files/FileBytes.h"
#include "files/JepFileIO.h"
#include "files/QorvFileIO.h"
#include "files/SyxFileIO.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

namespace
{
/** Binds a socket at the path, so the path names a socket; closed at the end. */
class BoundSocket
{
public:
    explicit BoundSocket (const std::string& path) : fd (::socket (AF_UNIX, SOCK_STREAM, 0))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy (address.sun_path, sizeof (address.sun_path) - 1);
        if (fd < 0 || ::bind (fd, reinterpret_cast<const sockaddr*> (&address), sizeof (address)) != 0)
            throw std::runtime_error ("cannot bind a socket at " + path);
    }
    ~BoundSocket() { ::close (fd); }
    BoundSocket (const BoundSocket&) = delete;
    BoundSocket& operator= (const BoundSocket&) = delete;

private:
    int fd;
};

/** Every reader's verdict on the path, as one line. */
std::string readEveryWay (const std::string& path)
{
    std::vector<uint8_t> bytes{1, 2, 3};
    PatchModel patch;
    LibraryModel library;
    std::string verdict;
    verdict += FileBytes::readAll (path, FileBytes::maxFileSize, bytes) ? "readAll " : "";
    verdict += FileBytes::readHead (path, SyxFileIO::fileSize, bytes) ? "readHead " : "";
    verdict += SyxFileIO::load (path, patch) ? "syx " : "";
    verdict += JepFileIO::load (path, patch) ? "jep " : "";
    verdict += QorvFileIO::load (path, library) ? "library " : "";
    verdict += bytes == std::vector<uint8_t>{1, 2, 3} ? "" : "bytes changed";
    return verdict.empty() ? "all refused" : verdict;
}
} // namespace

TEST (FileReadTest, AnythingButARegularFileIsRefusedWithoutWaiting)
{
    TempFolder folder;
    const std::string pipe = folder.path ("pipe.syx");
    ASSERT_EQ (::mkfifo (pipe.c_str(), 0644), 0);
    const std::string socketPath = folder.path ("socket.syx");
    const BoundSocket socket (socketPath);

    for (const std::string& path :
         {pipe, socketPath, std::string ("/dev/zero"), std::string ("/dev/null"), folder.root.string()})
    {
        // In a child, so a reader that blocks on the pipe fails the test instead of hanging it.
        const ChildReport report = runInChild ([&] { return readEveryWay (path); }, false, std::chrono::seconds (5));
        EXPECT_TRUE (report.finished) << path << ": the reader blocked";
        EXPECT_EQ (report.text, "all refused") << path;
    }
}

TEST (FileReadTest, RegularFilesAndLinksToThemAreRead)
{
    TempFolder folder;
    const std::string path = folder.path ("init.syx");
    ASSERT_TRUE (SyxFileIO::save (path, PatchModel(), 0));
    std::filesystem::create_symlink (path, folder.path ("link.syx"));
    for (const std::string& readable : {path, folder.path ("link.syx")})
    {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE (FileBytes::readAll (readable, FileBytes::maxFileSize, bytes));
        EXPECT_EQ (bytes.size(), SyxFileIO::fileSize);
        EXPECT_TRUE (FileBytes::readHead (readable, 5, bytes));
        EXPECT_EQ (bytes.size(), 5u);
    }
}

TEST (FileReadTest, ARelativeNameWhoseFolderIsGoneIsRefusedWithWhy)
{
    TempFolder folder;
    const std::string gone = folder.path ("gone");
    ASSERT_EQ (::mkdir (gone.c_str(), 0755), 0);
    // In a child: the working folder is the process's own.
    const ChildReport report = runInChild (
        [&]
        {
            if (::chdir (gone.c_str()) != 0 || ::rmdir (gone.c_str()) != 0)
                return std::string ("set-up failed");
            return FileBytes::whyNotReadable ("Strings.106");
        });
    EXPECT_EQ (report.text, "cannot be found: the folder it was named in no longer exists");
}
