#include "files/FileBytes.h"
#include "files/EntryWriter.h"
#include "files/FilePath.h"
#include "files/PosixIo.h"
#include "files/Utf8Text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

} // namespace

namespace FileBytes
{
WriteResult followLinks (const std::string& path, std::string& target)
{
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops)
    {
        struct stat info;
        if (::lstat (current.c_str(), &info) != 0 || !S_ISLNK (info.st_mode))
        {
            target = current;
            return WriteResult::success();
        }
        std::vector<char> buffer (static_cast<size_t> (info.st_size > 0 ? info.st_size : PATH_MAX) + 1);
        const ssize_t length = ::readlink (current.c_str(), buffer.data(), buffer.size());
        if (length < 0 || static_cast<size_t> (length) >= buffer.size())
            return WriteResult::failure ("The symbolic link " + Utf8Text::forDisplay (current) + " cannot be read.");
        const std::string leadsTo (buffer.data(), static_cast<size_t> (length));
        const std::string_view folder = FilePath::folderOf (current);
        current = (!leadsTo.empty() && leadsTo.front() == '/') || folder == "." ? leadsTo
                                                                                : std::string (folder) + "/" + leadsTo;
    }
    return WriteResult::failure ("The symbolic links at " + Utf8Text::forDisplay (path) + " lead round in a circle.");
}

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

std::string whyNotReadable (const std::string& path)
{
    struct stat status;
    if (!isUsablePath (path))
        return "is not a usable file name";
    if (::stat (path.c_str(), &status) != 0)
    {
        if (path.front() != '/' && FilePath::workingFolder().empty())
            return "cannot be found: the folder it was named in no longer exists";
        return std::strerror (errno);
    }
    if (S_ISDIR (status.st_mode))
        return "is a folder, not a file";
    if (!S_ISREG (status.st_mode))
        return "is not a regular file";
    if (static_cast<unsigned long long> (status.st_size) > maxFileSize)
        return "is larger than " + megabytes (maxFileSize) + ", more than any patch file";
    // Opening without blocking: a file swapped for a pipe meanwhile must not hang the check.
    const int descriptor = ::open (path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return std::strerror (errno);
    ::close (descriptor);
    return {};
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

WriteResult tooLargeToReadBack (size_t size)
{
    return WriteResult::failure ("The file would take " + megabytes (size) + ", more than the " +
                                 megabytes (maxFileSize) + " Qorv reads back.");
}

WriteResult replaceFile (const std::string& path, const uint8_t* data, size_t size)
{
    if (size > maxFileSize)
        return tooLargeToReadBack (size);
    if (path.empty())
        return WriteResult::failure ("No file name was given.");
    if (!isUsablePath (path))
        return WriteResult::failure ("The file name holds a NUL character.");
    std::string target;
    if (const auto followed = followLinks (path, target); !followed)
        return followed;
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
        if (size > maxFileSize)
            return tooLargeToReadBack (size);
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

namespace
{
    /** Waits until everything written into the file system of the open
        folder is on the disk; 0 or the errno. A folder that cannot be listed
        gives no descriptor to wait on, so a file with no name made in it
        stands in. */
    int syncFileSystemOf (int folder)
    {
        int fd = ::openat (folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0 && errno == EACCES)
            fd = ::openat (folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd < 0)
            return errno;
        const int result = ::syncfs (fd) == 0 ? 0 : errno;
        ::close (fd);
        return result;
    }
} // namespace

FolderWriter::FolderWriter (std::string folderPath) : path (std::move (folderPath))
{
    if (!isUsablePath (path))
        openError = ENOENT;
    else if ((folder = EntryWriter::openFolder (path)) < 0)
        openError = errno;
    else
        EntryWriter::removeAbandonedTemporaries (folder);
}

FolderWriter::~FolderWriter()
{
    if (folder < 0)
        return;
    for (const auto& file : written)
        EntryWriter::discard (folder, file);
    ::close (folder);
}

WriteResult FolderWriter::write (const std::string& name, const uint8_t* data, size_t size)
{
    if (size > maxFileSize)
        return tooLargeToReadBack (size);
    if (!isPlainName (name))
        return WriteResult::failure ("\"" + Utf8Text::forMessage (name) + "\" is not a plain file name.");
    if (folder < 0)
        return WriteResult::failure (path.empty() ? "No folder was given."
                                                  : EntryWriter::whyFolderCannotBeOpened (openError, path));
    EntryWriter::Options options;
    options.hardLinks = EntryWriter::HardLinks::replaceEntry;
    options.flush = EntryWriter::Flush::never;
    EntryWriter::Staged staged;
    const WriteResult result = EntryWriter::stage (folder, path, name, data, size, options, staged);
    if (result)
        written.push_back (std::move (staged));
    return result;
}

FolderWriter::Outcome FolderWriter::finish()
{
    Outcome outcome;
    if (written.empty())
        return outcome;
    // Every new file is on the disk before any of them takes an old one's place.
    if (const int error = syncFileSystemOf (folder); error != 0)
    {
        outcome.flushed = WriteResult::failure (PosixIo::reasonFor (error, PosixIo::Subject::file));
        for (const auto& file : written)
            outcome.unplaced.emplace_back (file.name, outcome.flushed);
        return outcome; // the destructor removes them: nothing old was replaced
    }
    for (const auto& file : written)
    {
        if (const auto placed = EntryWriter::place (folder, file); placed)
            ++outcome.placed;
        else
        {
            outcome.unplaced.emplace_back (file.name, placed);
            EntryWriter::discard (folder, file);
        }
    }
    written.clear();
    if (const int error = syncFileSystemOf (folder); error != 0)
        outcome.flushed = WriteResult::failure (PosixIo::reasonFor (error, PosixIo::Subject::folder));
    return outcome;
}

std::string megabytes (size_t bytes)
{
    // Rounded up, so a size just over the limit never reads as the limit itself.
    return std::to_string ((bytes + (size_t{1} << 20) - 1) >> 20) + " MB";
}

bool isPlainName (const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find ('/') == std::string::npos &&
           name.find ('\0') == std::string::npos;
}
} // namespace FileBytes
