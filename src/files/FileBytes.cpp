#include "files/FileBytes.h"
#include "files/EntryWriter.h"
#include "files/PosixIo.h"
#include "files/Utf8Text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using PosixIo::FileDescriptor;

namespace
{
constexpr size_t chunk = 64 * 1024;

/** A string holding a NUL byte would name a different file than the caller meant. */
bool isUsablePath (const std::string& path)
{
    return !path.empty() && path.find ('\0') == std::string::npos;
}

/** Opens a regular file for reading, or gives -1. Anything else (a pipe that
    would block, a device, a socket, a folder) is turned away by its type
    before it is opened, and the open itself never waits, should the path
    change to such a thing in between. */
int openRegularForReading (const std::string& path, struct stat& info)
{
    if (!isUsablePath (path) || ::stat (path.c_str(), &info) != 0 || !S_ISREG (info.st_mode))
        return -1;
    int fd;
    do
        fd = ::open (path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    FileDescriptor file (fd);
    if (!file.isOpen() || ::fstat (file.get(), &info) != 0 || !S_ISREG (info.st_mode))
        return -1;
    return file.release();
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
} // namespace

namespace FileBytes
{
bool readAll (const std::string& path, size_t maxSize, std::vector<uint8_t>& bytes)
{
    struct stat info;
    FileDescriptor file (openRegularForReading (path, info));
    if (!file.isOpen() || static_cast<unsigned long long> (info.st_size) > maxSize)
        return false;

    // Read one byte past the cap so a file that grew meanwhile is still refused.
    std::vector<uint8_t> image;
    image.reserve (static_cast<size_t> (info.st_size) + chunk); // room for the read that finds the end
    if (!PosixIo::readUpTo (file.get(), maxSize + 1, image) || image.size() > maxSize)
        return false;
    bytes = std::move (image);
    return true;
}

bool readHead (const std::string& path, size_t count, std::vector<uint8_t>& bytes)
{
    struct stat info;
    FileDescriptor file (openRegularForReading (path, info));
    if (!file.isOpen())
        return false;
    std::vector<uint8_t> head;
    if (!PosixIo::readUpTo (file.get(), count, head))
        return false;
    bytes = std::move (head);
    return true;
}

WriteResult replaceFile (const std::string& path, const uint8_t* data, size_t size)
{
    if (path.empty())
        return WriteResult::failure ("No file name was given.");
    if (!isUsablePath (path))
        return WriteResult::failure ("The file name holds a NUL character.");
    const std::string target = resolvedTarget (path);
    const auto slash = target.rfind ('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr (0, slash);
    const std::string name = slash == std::string::npos ? target : target.substr (slash + 1);
    if (name.empty())
        return WriteResult::failure ("The path names a folder, not a file.");
    return EntryWriter::write (folder, name, data, size, {EntryWriter::HardLinks::writeThrough});
}

bool replaceAtomically (const std::string& path, const uint8_t* data, size_t size)
{
    return replaceFile (path, data, size).ok;
}

namespace
{
    WriteResult writeIntoFolderFlushing (
        const std::string& folder, const std::string& name, const uint8_t* data, size_t size, EntryWriter::Flush flush)
    {
        if (!isPlainName (name))
            return WriteResult::failure ("\"" + Utf8Text::forMessage (name) + "\" is not a plain file name.");
        if (folder.empty())
            return WriteResult::failure ("No folder was given.");
        if (!isUsablePath (folder))
            return WriteResult::failure ("The folder's name holds a NUL character.");
        EntryWriter::Options options;
        options.hardLinks = EntryWriter::HardLinks::replaceEntry;
        options.flush = flush;
        return EntryWriter::write (folder, name, data, size, options);
    }
} // namespace

WriteResult writeIntoFolder (const std::string& folder, const std::string& name, const uint8_t* data, size_t size)
{
    return writeIntoFolderFlushing (folder, name, data, size, EntryWriter::Flush::eachFile);
}

WriteResult
writeIntoFolderUnflushed (const std::string& folder, const std::string& name, const uint8_t* data, size_t size)
{
    return writeIntoFolderFlushing (folder, name, data, size, EntryWriter::Flush::whenAsked);
}

WriteResult flushFolder (const std::string& folder)
{
    if (!isUsablePath (folder))
        return WriteResult::failure ("No folder was given.");
    const int fd = ::open (folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return WriteResult::failure (PosixIo::reasonFor (errno, PosixIo::Subject::folder));
    const bool flushed = ::syncfs (fd) == 0 && ::fsync (fd) == 0;
    const int error = errno;
    ::close (fd);
    return flushed ? WriteResult::success()
                   : WriteResult::failure (PosixIo::reasonFor (error, PosixIo::Subject::folder));
}

bool isPlainName (const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find ('/') == std::string::npos &&
           name.find ('\0') == std::string::npos;
}
} // namespace FileBytes
