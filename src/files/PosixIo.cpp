#include "files/PosixIo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace
{
constexpr size_t chunk = 64 * 1024;

/** strerror_r comes in two flavours; each overload takes one. */
[[maybe_unused]] std::string fromStrerror (int result, const char* buffer)
{
    return result == 0 ? std::string (buffer) : std::string();
}
[[maybe_unused]] std::string fromStrerror (const char* result, const char*)
{
    return result != nullptr ? std::string (result) : std::string();
}

std::string systemText (int error)
{
    char buffer[256] = {};
    std::string text = fromStrerror (::strerror_r (error, buffer, sizeof (buffer)), buffer);
    if (text.empty())
        text = "Error " + std::to_string (error);
    return text + ".";
}
} // namespace

namespace PosixIo
{
void FileDescriptor::reset (int descriptor)
{
    if (fd >= 0)
        ::close (fd);
    fd = descriptor;
}

bool FileDescriptor::close()
{
    const int result = ::close (fd);
    fd = -1;
    return result == 0;
}

int FileDescriptor::release()
{
    const int released = fd;
    fd = -1;
    return released;
}

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

bool writeAllAt (int fd, const uint8_t* data, size_t size, off_t offset)
{
    while (size > 0)
    {
        const ssize_t written = ::pwrite (fd, data, size, offset);
        if (written < 0)
        {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<size_t> (written);
        offset += written;
    }
    return true;
}

std::string reasonFor (int error, Subject subject)
{
    switch (error)
    {
        case EACCES:
        case EPERM:
            return subject == Subject::folder ? "The folder is not writable." : "The file is not writable.";
        case ENOSPC:
            return "The disk is full.";
        case EDQUOT:
            return "Your share of the disk (quota) is used up.";
        case EROFS:
            return "The disk is read-only.";
        case EFBIG:
            return "The file is too large for this disk.";
        case ENOENT:
            return "The folder does not exist.";
        case ENOTDIR:
            return "A part of the path is not a folder.";
        case EISDIR:
            return "A folder of that name is in the way.";
        case ENAMETOOLONG:
            return "The file name is too long.";
        case EIO:
            return "The disk reported an error while writing.";
        default:
            return systemText (error);
    }
}
} // namespace PosixIo
