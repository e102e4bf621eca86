#include "session/SessionRecovery.h"

#include "files/FileBytes.h"
#include "files/FilePath.h"
#include "files/PosixIo.h"
#include "files/QorvFileIO.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>
#include <zlib.h>

namespace
{
/** The first line of an origin; an older origin is the path alone. */
constexpr const char* originHeader = "Qorv recovery 1\n";
/** A path longer than this is no path the program kept. */
constexpr size_t maxPathLength = 4096;
/** Room for the header, the image's size and checksum, and the longest path. */
constexpr size_t maxOriginSize = maxPathLength + 64;

uint32_t checksumOf (const std::vector<uint8_t>& image)
{
    return static_cast<uint32_t> (crc32_z (crc32 (0L, Z_NULL, 0), image.data(), image.size()));
}

/** "Qorv recovery 1", the image's size and checksum, then the path's bytes. */
std::string originText (const std::string& path, const std::vector<uint8_t>& image)
{
    char binding[48];
    std::snprintf (binding, sizeof (binding), "%zu %08x\n", image.size(), checksumOf (image));
    return originHeader + std::string (binding) + path;
}

bool isPlausiblePath (const std::string& path)
{
    return path.size() <= maxPathLength && path.find ('\0') == std::string::npos &&
           (path.empty() || path.front() == '/');
}

/** The path the kept library at `libraryPath` belongs to, when its origin
    says so and matches it; empty for a library of no file, and for one
    whose origin is missing, damaged or belongs to another image. */
std::string trustedOrigin (const std::string& libraryPath)
{
    std::vector<uint8_t> bytes;
    if (!FileBytes::readAll (SessionRecovery::originPathOf (libraryPath), maxOriginSize, bytes))
        return {};
    const std::string text (bytes.begin(), bytes.end());
    const std::string header = originHeader;
    if (text.compare (0, header.size(), header) != 0)
        return isPlausiblePath (text) ? text : std::string(); // kept by an earlier version: the path alone

    const auto lineEnd = text.find ('\n', header.size());
    if (lineEnd == std::string::npos)
        return {};
    size_t size = 0;
    unsigned checksum = 0;
    if (std::sscanf (text.c_str() + header.size(), "%zu %8x", &size, &checksum) != 2)
        return {};
    std::vector<uint8_t> image;
    if (!FileBytes::readAll (libraryPath, FileBytes::maxFileSize, image) || image.size() != size ||
        checksumOf (image) != checksum)
        return {};
    const std::string path = text.substr (lineEnd + 1);
    return isPlausiblePath (path) ? path : std::string();
}

bool somethingAt (const std::string& path)
{
    struct stat info;
    return ::lstat (path.c_str(), &info) == 0 || errno != ENOENT;
}

/** An origin whose library was never written (its program died first) and
    that no living program holds: the place is free again. */
bool removeAbandonedReservation (const std::string& libraryPath)
{
    const std::string origin = SessionRecovery::originPathOf (libraryPath);
    PosixIo::FileDescriptor reserved (::open (origin.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!reserved.isOpen() || ::flock (reserved.get(), LOCK_EX | LOCK_NB) != 0 || somethingAt (libraryPath))
        return false;
    return ::unlink (origin.c_str()) == 0;
}
} // namespace

SessionRecovery::SessionRecovery (std::string settingsFolder) : folder (std::move (settingsFolder)) {}

SessionRecovery::~SessionRecovery()
{
    release();
}

std::string SessionRecovery::libraryPathOf (int slot) const
{
    return folder + (slot <= 1 ? std::string ("/recovery.106") : "/recovery-" + std::to_string (slot) + ".106");
}

WriteResult SessionRecovery::keep (const EditSession& session)
{
    if (!session.isModified())
        return WriteResult::success();
    std::vector<uint8_t> image;
    if (const auto writable = QorvFileIO::checkWritable (session.library()); !writable)
        return writable;
    QorvFileIO::toBytes (session.library(), image);
    std::error_code error;
    std::filesystem::create_directories (folder, error); // on a first run there is none yet
    if (error)
        return WriteResult::failure ("The settings folder cannot be made: " + error.message() + ".");

    for (int slot = 1; slot <= maxSlots; ++slot)
    {
        const std::string library = libraryPathOf (slot);
        const std::string origin = originPathOf (library);
        if (somethingAt (library))
            continue; // another session's, or something else entirely
        // The place is this session's once its origin exists; held while the library is written.
        const auto reserve = [&origin]
        { return ::open (origin.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600); };
        PosixIo::FileDescriptor reservation (reserve());
        int reserveError = reservation.isOpen() ? 0 : errno;
        if (reserveError == EEXIST && removeAbandonedReservation (library))
        {
            reservation.reset (reserve());
            reserveError = reservation.isOpen() ? 0 : errno;
        }
        if (reserveError == EEXIST)
            continue;
        if (reserveError != 0)
            return WriteResult::failure (PosixIo::reasonFor (reserveError, PosixIo::Subject::folder));
        ::flock (reservation.get(), LOCK_EX);

        // The library first: until its origin names it, it is offered as a library of no file.
        if (const auto written = FileBytes::replaceFile (library, image.data(), image.size()); !written)
        {
            ::unlink (origin.c_str());
            return written;
        }
        const std::string text = originText (session.currentFile(), image);
        return FileBytes::replaceFile (origin, reinterpret_cast<const uint8_t*> (text.data()), text.size());
    }
    return WriteResult::failure ("There are already " + std::to_string (maxSlots) +
                                 " kept libraries waiting in the settings folder.");
}

bool SessionRecovery::findWaiting()
{
    release();
    std::vector<std::pair<struct timespec, std::string>> waiting;
    for (int slot = 1; slot <= maxSlots; ++slot)
    {
        const std::string library = libraryPathOf (slot);
        struct stat info;
        if (::lstat (library.c_str(), &info) == 0 && S_ISREG (info.st_mode))
            waiting.emplace_back (info.st_mtim, library);
    }
    std::stable_sort (waiting.begin(),
                      waiting.end(),
                      [] (const auto& a, const auto& b) {
                          return a.first.tv_sec != b.first.tv_sec ? a.first.tv_sec < b.first.tv_sec
                                                                  : a.first.tv_nsec < b.first.tv_nsec;
                      });
    for (const auto& candidate : waiting)
    {
        const std::string& library = candidate.second;
        const int fd = ::open (library.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::flock (fd, LOCK_EX | LOCK_NB) != 0)
        {
            ::close (fd); // another program offers it now
            continue;
        }
        holdFd = fd;
        held = library;
        heldOrigin = trustedOrigin (library);
        return true;
    }
    return false;
}

std::string SessionRecovery::libraryName() const
{
    return heldOrigin.empty() ? std::string (EditSession::newLibraryName) : std::string (FilePath::stem (heldOrigin));
}

bool SessionRecovery::recoverInto (EditSession& session, std::string& whyNot)
{
    LibraryModel kept;
    if (!isWaiting() || !QorvFileIO::load (held, kept, whyNot))
        return false;
    session.recoverLibrary (std::move (kept), heldOrigin);
    discard();
    return true;
}

void SessionRecovery::discard()
{
    if (!isWaiting())
        return;
    ::unlink (held.c_str());
    ::unlink (originPathOf (held).c_str());
    release();
}

void SessionRecovery::release()
{
    if (holdFd >= 0)
        ::close (holdFd);
    holdFd = -1;
    held.clear();
    heldOrigin.clear();
}
