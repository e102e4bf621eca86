#include "files/FileBytes.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
/** Closes its descriptor when it goes out of scope. */
class FileDescriptor
{
public:
    explicit FileDescriptor (int descriptor) : fd (descriptor) {}
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close (fd);
    }
    FileDescriptor (const FileDescriptor&) = delete;
    FileDescriptor& operator= (const FileDescriptor&) = delete;

    bool isOpen() const { return fd >= 0; }
    int get() const { return fd; }

    /** Closes now and reports whether the close itself succeeded. */
    bool close()
    {
        const int result = ::close (fd);
        fd = -1;
        return result == 0;
    }

private:
    int fd;
};

/** A string holding a NUL byte would name a different file than the caller meant. */
bool isUsablePath (const std::string& path)
{
    return !path.empty() && path.find ('\0') == std::string::npos;
}

int openForReading (const std::string& path)
{
    if (!isUsablePath (path))
        return -1;
    int fd;
    do
        fd = ::open (path.c_str(), O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return fd;
}

constexpr size_t chunk = 64 * 1024;

/** Appends up to `limit` bytes; false on a read error. */
bool readUpTo (int fd, size_t limit, std::vector<uint8_t>& out)
{
    while (out.size() < limit)
    {
        const size_t start = out.size();
        const size_t want = std::min (chunk, limit - start);
        out.resize (start + want);
        const ssize_t got = ::read (fd, out.data() + start, want);
        if (got < 0)
        {
            out.resize (start);
            if (errno == EINTR)
                continue;
            return false;
        }
        out.resize (start + static_cast<size_t> (got));
        if (got == 0)
            break;
    }
    return true;
}

bool writeAll (int fd, const uint8_t* data, size_t size)
{
    while (size > 0)
    {
        const ssize_t written = ::write (fd, data, size);
        if (written < 0)
        {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<size_t> (written);
    }
    return true;
}

/** Saving through a symbolic link replaces the file it points to, as writing
    through it did, rather than the link. */
std::string resolvedTarget (const std::string& path)
{
    struct stat info;
    if (::lstat (path.c_str(), &info) != 0 || !S_ISLNK (info.st_mode))
        return path;
    char resolved[PATH_MAX];
    return ::realpath (path.c_str(), resolved) != nullptr ? std::string (resolved) : path;
}

std::string folderOf (const std::string& path)
{
    const auto slash = path.rfind ('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr (0, slash);
}

/** Creates a fresh, exclusively owned file in the folder; short names, so a
    target whose own name is near the length limit still gets one. */
int createTemporaryIn (const std::string& folder, std::string& temporaryPath)
{
    static std::atomic<unsigned> counter{0};
    const auto clock = static_cast<unsigned long long> (std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        temporaryPath = folder + "/.qorv-" + std::to_string (::getpid()) + "-" + std::to_string (counter++) + "-" +
                        std::to_string (clock % 1000000007ULL) + ".tmp";
        const int fd = ::open (temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

void syncFolder (const std::string& folder)
{
    FileDescriptor directory (::open (folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.isOpen())
        ::fsync (directory.get()); // best effort: the rename is already done
}
} // namespace

namespace FileBytes
{
bool readAll (const std::string& path, size_t maxSize, std::vector<uint8_t>& bytes)
{
    FileDescriptor file (openForReading (path));
    if (!file.isOpen())
        return false;
    struct stat info;
    if (::fstat (file.get(), &info) != 0 || S_ISDIR (info.st_mode))
        return false;
    if (S_ISREG (info.st_mode) && static_cast<unsigned long long> (info.st_size) > maxSize)
        return false;

    // Read one byte past the cap so a file that grew (or has no size) is still refused.
    std::vector<uint8_t> image;
    if (S_ISREG (info.st_mode))
        image.reserve (static_cast<size_t> (info.st_size) + chunk); // room for the read that finds the end
    if (!readUpTo (file.get(), maxSize + 1, image) || image.size() > maxSize)
        return false;
    bytes = std::move (image);
    return true;
}

bool readHead (const std::string& path, size_t count, std::vector<uint8_t>& bytes)
{
    FileDescriptor file (openForReading (path));
    if (!file.isOpen())
        return false;
    std::vector<uint8_t> head;
    if (!readUpTo (file.get(), count, head))
        return false;
    bytes = std::move (head);
    return true;
}

bool replaceAtomically (const std::string& path, const uint8_t* data, size_t size)
{
    if (!isUsablePath (path))
        return false;
    const std::string target = resolvedTarget (path);
    struct stat existing;
    const bool exists = ::stat (target.c_str(), &existing) == 0;
    // A folder is never replaced, and a file the user protected stays protected.
    if (exists && (S_ISDIR (existing.st_mode) || ::access (target.c_str(), W_OK) != 0))
        return false;

    const std::string folder = folderOf (target);
    std::string temporaryPath;
    FileDescriptor file (createTemporaryIn (folder, temporaryPath));
    if (!file.isOpen())
        return false;
    if (exists)
        ::fchmod (file.get(), existing.st_mode & 07777);

    const bool written = writeAll (file.get(), data, size) && ::fsync (file.get()) == 0;
    if (!file.close() || !written || ::rename (temporaryPath.c_str(), target.c_str()) != 0)
    {
        ::unlink (temporaryPath.c_str());
        return false;
    }
    syncFolder (folder);
    return true;
}
} // namespace FileBytes
