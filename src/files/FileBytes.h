#pragma once

#include "files/EntryWriter.h"
#include "files/WriteResult.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

/** The one door between the file formats and the disk. The formats build and
    parse whole images in memory; these move the images in and out safely. */
namespace FileBytes
{
/** Largest file Qorv reads or writes. A reader takes no more into memory,
    and a writer refuses a larger image, so every file written can be read
    back: a library of 2,000,000 patches (about 210 MB) fits. */
constexpr size_t maxFileSize = size_t{256} << 20;

/** Reads a whole regular file. Refuses (false, `bytes` untouched) a file that
    cannot be opened or read, anything that is not a regular file (a pipe, a
    device, a socket, a folder; refused without waiting on it), or a file
    larger than maxSize, before reading it. */
bool readAll (const std::string& path, size_t maxSize, std::vector<uint8_t>& bytes);

/** Why the file at `path` cannot be read, when the reason lies with the
    file itself, in words that follow its name: the system's words for a
    missing file or one without permission, "is a folder, not a file", "is
    not a regular file", "is larger than 256 MB, more than any patch file".
    Empty for a readable regular file. */
std::string whyNotReadable (const std::string& path);

/** Reads at most `count` bytes from the start of a regular file; false when
    it cannot be opened or read, or is not a regular file. */
bool readHead (const std::string& path, size_t count, std::vector<uint8_t>& bytes);

/** Replaces the file at `path` with the image so that a failure, or a killed
    program, leaves the old file or the new one, never a mix and never a
    stray temporary file. The file keeps what it is: its owner, group,
    permissions and extended attributes, and its other names (hard links);
    where that needs it, or no new file can be made in its folder, it is
    rewritten in place, its old content put back if that fails. A path
    through a symbolic link replaces the file the link points to. Folders,
    pipes, devices and write-protected files are refused, and so is an image
    larger than maxFileSize. */
WriteResult replaceFile (const std::string& path, const uint8_t* data, size_t size);

/** Where a write through `path` goes: the file at the end of its chain of
    symbolic links, as writing through them would reach it (a relative link
    read from its own folder), or `path` itself. A link whose file is gone
    leads to where that file would be, so a save writes it there, or fails
    when that folder is gone too (an unmounted stick), leaving the link as
    it was: a link is never replaced by a file of its own. Fails, saying
    why, for a link that cannot be read or links that lead round in a circle. */
WriteResult followLinks (const std::string& path, std::string& target);

/** replaceFile, reporting only whether it worked. */
bool replaceAtomically (const std::string& path, const uint8_t* data, size_t size);

/** Writes the image as the file `name` directly inside `folder` (a folder
    the user chose, where anyone may have put anything), as safely as
    replaceFile, but never through a link: a symbolic link or an extra hard
    link of that name is replaced by the new file, leaving what it led to
    alone, and a folder, pipe or device of that name is refused. `name`
    must be a plain name (see isPlainName). */
WriteResult writeIntoFolder (const std::string& folder, const std::string& name, const uint8_t* data, size_t size);

/** Many files written into one folder the user chose (an export), each by
    writeIntoFolder's rules, with one wait for the disk for them all: each
    file is written whole under a hidden name, then all of them are put on
    the disk at once, and only then does each take its own name. So a power
    cut never leaves an empty or partial file in place of an older one, and
    no file waits for the disk on its own. The folder need only be writable:
    one that cannot be listed is written into all the same. */
class FolderWriter
{
public:
    explicit FolderWriter (std::string folder);
    /** Removes the files written but never given their names. */
    ~FolderWriter();

    /** Writes the file `name` under a hidden name; it takes its own at
        finish. What refuses or fails it (a folder in the way, a full disk)
        is known at once. */
    WriteResult write (const std::string& name, const uint8_t* data, size_t size);

    struct Outcome
    {
        size_t placed = 0;                                         // files now under their own names
        std::vector<std::pair<std::string, WriteResult>> unplaced; // names written but not placed, and why
        WriteResult flushed;                                       // whether the placed files are on the disk
    };
    /** Puts every file written on the disk, gives each its name, and puts the names on the disk. */
    Outcome finish();

    FolderWriter (const FolderWriter&) = delete;
    FolderWriter& operator= (const FolderWriter&) = delete;

private:
    const std::string path;
    int folder = -1;
    int openError = 0;
    std::vector<EntryWriter::Staged> written;
};

/** An image too large to write: larger than maxFileSize, so it could not be read back. */
WriteResult tooLargeToReadBack (size_t size);

/** "3 MB": a size in whole megabytes, rounded up. */
std::string megabytes (size_t bytes);

/** True for the name of an entry directly inside a folder: not empty, no
    '/' and no NUL byte, and neither "." nor "..". */
bool isPlainName (const std::string& name);
} // namespace FileBytes
