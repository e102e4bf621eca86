#include "files/EntryWriter.h"
#include "files/FileBytes.h"
#include "files/PosixIo.h"
#include "files/Utf8Text.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

using PosixIo::FileDescriptor;
using PosixIo::Subject;

namespace
{
bool sameFile (const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

/** Lookups relative to an open folder stay in that folder, whatever happens
    to its path meanwhile. A folder that may be searched but not listed is
    still usable, only not synced. */
int openFolder (const std::string& path)
{
    const int fd = ::open (path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 || errno != EACCES)
        return fd;
    return ::open (path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

std::string reasonOpeningFolder (int error, const std::string& path)
{
    if (error == EACCES)
        return "The folder " + Utf8Text::forDisplay (path) + " cannot be opened.";
    if (error == ENOENT)
        return "The folder " + Utf8Text::forDisplay (path) + " does not exist.";
    return PosixIo::reasonFor (error, Subject::folder);
}

// ---------------------------------------------------------------- leftovers

/** Removes a temporary file that a write which died left at `name`: one that
    is a regular file and that no living write holds locked. False when the
    name stays taken. */
bool removeIfAbandoned (int folder, const std::string& name)
{
    int fd = ::openat (folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == EACCES)
        fd = ::openat (folder, name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    FileDescriptor leftover (fd);
    if (!leftover.isOpen())
        return errno == ENOENT;
    struct stat opened, named;
    if (::fstat (leftover.get(), &opened) != 0 || !S_ISREG (opened.st_mode))
        return false;
    if (::flock (leftover.get(), LOCK_EX | LOCK_NB) != 0)
        return false; // a write in progress, or a file system that cannot tell
    if (::fstatat (folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 || !sameFile (opened, named))
        return false;
    return ::unlinkat (folder, name.c_str(), 0) == 0;
}

/** Whether a leftover is old enough that no export can still be on its way
    with it: an export's staged files are not held locked between their
    writing and their renaming, which takes seconds, not this long. */
bool leftLongAgo (int folder, const std::string& name)
{
    constexpr time_t longAgo = 10 * 60;
    struct stat info;
    struct timespec now;
    return ::fstatat (folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
           ::clock_gettime (CLOCK_REALTIME, &now) == 0 && now.tv_sec - info.st_mtim.tv_sec > longAgo;
}

bool isTemporaryName (const std::string& name)
{
    const std::string prefix = ".qorv-", suffix = ".tmp";
    return name.size() > prefix.size() + suffix.size() && name.compare (0, prefix.size(), prefix) == 0 &&
           name.compare (name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

/** A name no other write uses, for when the usual one is held by a living write. */
std::string uniqueTemporaryName (const std::string& entryName)
{
    static std::atomic<unsigned> counter{0};
    const std::string usual = EntryWriter::temporaryNameFor (entryName);
    return usual.substr (0, usual.size() - 4) + "-" + std::to_string (::getpid()) + "-" + std::to_string (counter++) +
           ".tmp";
}

/** Runs `attempt` on the entry's usual temporary name, then (once a leftover
    there is cleared, or it stays taken) on fresh ones; returns 0 or the errno. */
template <typename Attempt>
int withTemporaryName (int folder, const std::string& entryName, std::string& chosen, Attempt attempt)
{
    chosen = EntryWriter::temporaryNameFor (entryName);
    if (attempt (chosen) == 0)
        return 0;
    if (errno != EEXIST)
        return errno;
    if (removeIfAbandoned (folder, chosen) && attempt (chosen) == 0)
        return 0;
    for (int tries = 0; tries < 100; ++tries)
    {
        chosen = uniqueTemporaryName (entryName);
        if (attempt (chosen) == 0)
            return 0;
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

// ---------------------------------------------------------------- temporary file

bool unnamedFilesPossible()
{
    // Linking an unnamed file into a folder goes through its /proc entry.
    static const bool procMounted = ::access ("/proc/self/fd", X_OK) == 0;
    return procMounted;
}

/** The image on its way: a file with no name (or a hidden one) in the target's
    folder, locked while this write lives, removed unless it was placed. */
class TemporaryFile
{
public:
    explicit TemporaryFile (int folderFd) : folder (folderFd) {}
    ~TemporaryFile() { discard(); }
    TemporaryFile (const TemporaryFile&) = delete;
    TemporaryFile& operator= (const TemporaryFile&) = delete;

    /** Returns 0 or the errno. */
    int create (const std::string& entryName, EntryWriter::Temporaries kind)
    {
        if (kind == EntryWriter::Temporaries::unnamedWherePossible && unnamedFilesPossible())
        {
            const int fd = ::openat (folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
            if (fd >= 0)
            {
                file.reset (fd);
                ::flock (fd, LOCK_EX | LOCK_NB);
                return 0;
            }
            // Only a file system (or kernel) without unnamed files falls back.
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
                return errno;
        }
        return withTemporaryName (
            folder,
            entryName,
            hiddenName,
            [this] (const std::string& name)
            {
                const int fd =
                    ::openat (folder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
                if (fd < 0)
                    return -1;
                file.reset (fd);
                ::flock (fd, LOCK_EX | LOCK_NB);
                return 0;
            });
    }

    int fd() const { return file.get(); }

    /** Gives the finished file the entry's name: linked straight to it when
        there is no entry yet, otherwise renamed over it. 0 or the errno. */
    int place (const std::string& entryName, bool entryExists)
    {
        if (hiddenName.empty())
        {
            const std::string self = "/proc/self/fd/" + std::to_string (file.get());
            const auto linkAs = [&] (const std::string& name)
            { return ::linkat (AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW); };
            if (!entryExists)
            {
                if (linkAs (entryName) == 0)
                {
                    placed = true;
                    return 0;
                }
                if (errno != EEXIST)
                    return errno;
            }
            if (const int error = withTemporaryName (folder, entryName, hiddenName, linkAs); error != 0)
            {
                hiddenName.clear();
                return error;
            }
        }
        if (::renameat (folder, hiddenName.c_str(), folder, entryName.c_str()) != 0)
            return errno;
        placed = true;
        return 0;
    }

    /** Leaves the finished file under a hidden name of its own, for a later
        rename into place; 0 or the errno. */
    int keepHidden (const std::string& entryName, std::string& hidden)
    {
        if (hiddenName.empty())
        {
            const std::string self = "/proc/self/fd/" + std::to_string (file.get());
            const auto linkAs = [&] (const std::string& name)
            { return ::linkat (AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW); };
            if (const int error = withTemporaryName (folder, entryName, hiddenName, linkAs); error != 0)
            {
                hiddenName.clear();
                return error;
            }
        }
        hidden = hiddenName;
        placed = true; // it stays when this object goes
        return 0;
    }

    void discard()
    {
        if (!placed && !hiddenName.empty())
            ::unlinkat (folder, hiddenName.c_str(), 0);
        hiddenName.clear();
        file.reset();
    }

private:
    const int folder;
    FileDescriptor file;
    std::string hiddenName; // empty while the file has no name
    bool placed = false;
};

// ---------------------------------------------------------------- identity

std::vector<std::string> splitNames (const std::vector<char>& list)
{
    std::vector<std::string> names;
    for (size_t at = 0; at < list.size();)
    {
        const std::string name (list.data() + at);
        at += name.size() + 1;
        if (!name.empty())
            names.push_back (name);
    }
    return names;
}

/** Calls `query` (a listxattr or getxattr) until the buffer is big enough. */
template <typename Query> bool queryAll (Query query, std::vector<char>& out)
{
    for (int attempt = 0; attempt < 8; ++attempt)
    {
        const ssize_t needed = query (nullptr, 0);
        if (needed < 0)
            return false;
        out.resize (static_cast<size_t> (needed));
        const ssize_t got = query (out.data(), out.size());
        if (got >= 0)
        {
            out.resize (static_cast<size_t> (got));
            return true;
        }
        if (errno != ERANGE)
            return false; // ERANGE: it grew between the two calls
    }
    return false;
}

bool attributeNamesOf (const std::string& path, std::vector<std::string>& names)
{
    std::vector<char> list;
    if (!queryAll ([&] (char* buffer, size_t size) { return ::llistxattr (path.c_str(), buffer, size); }, list))
    {
        names.clear();
        return errno == ENOTSUP; // a file system without them: nothing to keep
    }
    names = splitNames (list);
    return true;
}

/** Gives the temporary file exactly the extended attributes of the file at
    `path` (access lists and security labels among them). */
bool copyAttributes (const std::string& path, int temporary)
{
    std::vector<std::string> wanted;
    if (!attributeNamesOf (path, wanted))
        return false;
    std::vector<char> list;
    std::vector<std::string> present;
    if (queryAll ([&] (char* buffer, size_t size) { return ::flistxattr (temporary, buffer, size); }, list))
        present = splitNames (list);
    else if (errno != ENOTSUP)
        return false;

    // Some arrive uninvited, such as an access list inherited from the folder.
    for (const std::string& name : present)
        if (std::find (wanted.begin(), wanted.end(), name) == wanted.end() &&
            ::fremovexattr (temporary, name.c_str()) != 0)
            return false;
    for (const std::string& name : wanted)
    {
        std::vector<char> value, current;
        if (!queryAll ([&] (char* buffer, size_t size)
                       { return ::lgetxattr (path.c_str(), name.c_str(), buffer, size); },
                       value))
            return false;
        const bool alreadyEqual =
            queryAll ([&] (char* buffer, size_t size) { return ::fgetxattr (temporary, name.c_str(), buffer, size); },
                      current) &&
            current == value;
        if (!alreadyEqual && ::fsetxattr (temporary, name.c_str(), value.data(), value.size(), 0) != 0)
            return false;
    }
    return true;
}

/** Gives the temporary file the owner, group, permissions and extended
    attributes of the file it replaces; false when any of them cannot be
    kept, such as the owner of another user's file. Run after the writing,
    which would clear set-id bits. */
bool keepIdentity (const std::string& path, const struct stat& original, int temporary)
{
    struct stat now;
    if (::fstat (temporary, &now) != 0)
        return false;
    if (now.st_uid != original.st_uid || now.st_gid != original.st_gid)
    {
        const uid_t owner = now.st_uid != original.st_uid ? original.st_uid : static_cast<uid_t> (-1);
        const gid_t group = now.st_gid != original.st_gid ? original.st_gid : static_cast<gid_t> (-1);
        if (::fchown (temporary, owner, group) != 0)
            return false;
    }
    if (!copyAttributes (path, temporary))
        return false;
    if ((now.st_mode & 07777) != (original.st_mode & 07777) && ::fchmod (temporary, original.st_mode & 07777) != 0)
        return false;
    // A set-group-id bit, for one, can be dropped without an error.
    return ::fstat (temporary, &now) == 0 && now.st_uid == original.st_uid && now.st_gid == original.st_gid &&
           (now.st_mode & 07777) == (original.st_mode & 07777);
}

// ---------------------------------------------------------------- the writes

struct Entry
{
    int folder;
    std::string folderPath;
    std::string name;
    std::string path() const { return folderPath + "/" + name; }
};

/** Rewrites the file itself, for when replacing it would change what it is.
    The old content is read first and put back if the write fails half way. */
WriteResult writeInPlace (const Entry& entry,
                          const struct stat& expected,
                          const uint8_t* data,
                          size_t size,
                          const EntryWriter::Options& options)
{
    FileDescriptor file (
        ::openat (entry.folder, entry.name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.isOpen())
        return WriteResult::failure (PosixIo::reasonFor (errno, Subject::file));
    struct stat opened;
    if (::fstat (file.get(), &opened) != 0 || !S_ISREG (opened.st_mode) || !sameFile (opened, expected) ||
        (options.hardLinks == EntryWriter::HardLinks::replaceEntry && opened.st_nlink > 1))
        return WriteResult::failure ("The file was changed by something else while it was being saved.");
    if (static_cast<unsigned long long> (opened.st_size) > FileBytes::maxFileSize)
        return WriteResult::failure ("The file on the disk is too large to be overwritten safely.");

    std::vector<uint8_t> old;
    if (!PosixIo::readUpTo (file.get(), static_cast<size_t> (opened.st_size), old))
        return WriteResult::failure (PosixIo::reasonFor (errno, Subject::file));

    const auto fill = [&file] (const uint8_t* bytes, size_t count)
    {
        return PosixIo::writeAllAt (file.get(), bytes, count, 0) &&
               ::ftruncate (file.get(), static_cast<off_t> (count)) == 0 && ::fsync (file.get()) == 0;
    };
    if (fill (data, size))
        return WriteResult::success();
    const int error = errno;
    const bool restored = fill (old.data(), old.size());
    return WriteResult::failure (PosixIo::reasonFor (error, Subject::file) +
                                 (restored ? "" : " The old content could not be put back either."));
}

/** Writes a new file and puts it in the entry's place, or (with `staged`)
    leaves it under a hidden name for EntryWriter::place. `original` is the
    regular file there now, whose identity the new one takes, or null. */
WriteResult writeReplacing (const Entry& entry,
                            const struct stat* original,
                            bool entryExists,
                            const uint8_t* data,
                            size_t size,
                            const EntryWriter::Options& options,
                            EntryWriter::Staged* staged)
{
    TemporaryFile temporary (entry.folder);
    if (const int error = temporary.create (entry.name, options.temporaries); error != 0)
    {
        // A folder where no new file can be made may still hold a writable file.
        if (original != nullptr)
            return writeInPlace (entry, *original, data, size, options);
        return WriteResult::failure (PosixIo::reasonFor (error, Subject::folder));
    }
    if (!PosixIo::writeAllAt (temporary.fd(), data, size, 0))
        return WriteResult::failure (PosixIo::reasonFor (errno, Subject::file));
    if (original != nullptr && !keepIdentity (entry.path(), *original, temporary.fd()))
    {
        temporary.discard();
        return writeInPlace (entry, *original, data, size, options);
    }
    if (staged != nullptr)
    {
        if (const int error = temporary.keepHidden (entry.name, staged->hiddenName); error != 0)
            return WriteResult::failure (PosixIo::reasonFor (error, Subject::folder));
        staged->name = entry.name;
        return WriteResult::success();
    }
    const bool flushNow = options.flush == EntryWriter::Flush::eachFile;
    if (flushNow && ::fsync (temporary.fd()) != 0)
        return WriteResult::failure (PosixIo::reasonFor (errno, Subject::file));
    if (const int error = temporary.place (entry.name, entryExists); error != 0)
        return WriteResult::failure (PosixIo::reasonFor (error, Subject::folder));
    if (flushNow)
        ::fsync (entry.folder); // best effort: the new name is in place already
    return WriteResult::success();
}

/** The checks of a write, then the write itself, into a folder already open. */
WriteResult writeEntry (const Entry& entry,
                        const uint8_t* data,
                        size_t size,
                        const EntryWriter::Options& options,
                        EntryWriter::Staged* staged)
{
    using EntryWriter::HardLinks;
    struct stat existing;
    if (::fstatat (entry.folder, entry.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0)
    {
        if (errno != ENOENT)
            return WriteResult::failure (PosixIo::reasonFor (errno, Subject::folder));
        return writeReplacing (entry, nullptr, false, data, size, options, staged);
    }
    if (S_ISLNK (existing.st_mode))
        return writeReplacing (entry, nullptr, true, data, size, options, staged);
    if (S_ISDIR (existing.st_mode))
        return WriteResult::failure ("A folder of that name is in the way.");
    if (!S_ISREG (existing.st_mode))
        return WriteResult::failure ("Something that is not a file (a pipe, a device or a socket) is in the way.");
    // A file the user protected stays protected, even from a replacement.
    if (::faccessat (entry.folder, entry.name.c_str(), W_OK, 0) != 0)
        return WriteResult::failure (errno == EACCES ? "The file is write-protected."
                                                     : PosixIo::reasonFor (errno, Subject::file));
    if (existing.st_nlink > 1)
    {
        if (options.hardLinks == HardLinks::writeThrough)
            return writeInPlace (entry, existing, data, size, options);
        return writeReplacing (entry, nullptr, true, data, size, options, staged);
    }
    return writeReplacing (entry, &existing, true, data, size, options, staged);
}
} // namespace

namespace EntryWriter
{
int openFolder (const std::string& path)
{
    return ::openFolder (path);
}

std::string whyFolderCannotBeOpened (int error, const std::string& path)
{
    return reasonOpeningFolder (error, path);
}

void removeAbandonedTemporaries (int folder)
{
    const int listing = ::openat (folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return; // a folder that cannot be listed keeps what it holds
    DIR* entries = ::fdopendir (listing);
    if (entries == nullptr)
    {
        ::close (listing);
        return;
    }
    std::vector<std::string> leftovers;
    while (const dirent* entry = ::readdir (entries))
        if (isTemporaryName (entry->d_name))
            leftovers.emplace_back (entry->d_name);
    ::closedir (entries);
    for (const auto& name : leftovers)
        if (leftLongAgo (folder, name))
            removeIfAbandoned (folder, name);
}

WriteResult
write (const std::string& folderPath, const std::string& name, const uint8_t* data, size_t size, const Options& options)
{
    FileDescriptor folder (::openFolder (folderPath));
    if (!folder.isOpen())
        return WriteResult::failure (reasonOpeningFolder (errno, folderPath));
    removeAbandonedTemporaries (folder.get());
    return writeEntry ({folder.get(), folderPath, name}, data, size, options, nullptr);
}

WriteResult stage (int folder,
                   const std::string& folderPath,
                   const std::string& name,
                   const uint8_t* data,
                   size_t size,
                   const Options& options,
                   Staged& staged)
{
    staged = {};
    return writeEntry ({folder, folderPath, name}, data, size, options, &staged);
}

WriteResult place (int folder, const Staged& staged)
{
    if (staged.hiddenName.empty())
        return WriteResult::success(); // written in place already
    if (::renameat (folder, staged.hiddenName.c_str(), folder, staged.name.c_str()) != 0)
        return WriteResult::failure (PosixIo::reasonFor (errno, Subject::folder));
    return WriteResult::success();
}

void discard (int folder, const Staged& staged)
{
    if (!staged.hiddenName.empty())
        ::unlinkat (folder, staged.hiddenName.c_str(), 0);
}

std::string temporaryNameFor (const std::string& name)
{
    // FNV-1a: short and stable, so a long name still has room for it.
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : name)
        hash = (hash ^ static_cast<uint8_t> (c)) * 0x100000001b3ULL;
    char hex[17];
    std::snprintf (hex, sizeof (hex), "%016llx", static_cast<unsigned long long> (hash));
    return ".qorv-" + std::string (hex) + ".tmp";
}
} // namespace EntryWriter
