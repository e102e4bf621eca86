#pragma once

#include "files/WriteResult.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/** The one door between the file formats and the disk. The formats build and
    parse whole images in memory; these move the images in and out safely. */
namespace FileBytes
{
/** Largest file a reader takes into memory; a 10,000-patch library is ~1 MB. */
constexpr size_t maxFileSize = size_t{64} << 20;

/** Reads a whole regular file. Refuses (false, `bytes` untouched) a file that
    cannot be opened or read, anything that is not a regular file (a pipe, a
    device, a socket, a folder; refused without waiting on it), or a file
    larger than maxSize, before reading it. */
bool readAll (const std::string& path, size_t maxSize, std::vector<uint8_t>& bytes);

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
    pipes, devices and write-protected files are refused. */
WriteResult replaceFile (const std::string& path, const uint8_t* data, size_t size);

/** replaceFile, reporting only whether it worked. */
bool replaceAtomically (const std::string& path, const uint8_t* data, size_t size);

/** Writes the image as the file `name` directly inside `folder` (a folder
    the user chose, where anyone may have put anything), as safely as
    replaceFile, but never through a link: a symbolic link or an extra hard
    link of that name is replaced by the new file, leaving what it led to
    alone, and a folder, pipe or device of that name is refused. `name`
    must be a plain name (see isPlainName). */
WriteResult writeIntoFolder (const std::string& folder, const std::string& name, const uint8_t* data, size_t size);

/** writeIntoFolder for one of many files of one folder: it does not wait for
    the disk. Each file still appears whole, in place of whatever was there;
    once all are written, flushFolder puts them all on the disk at once, which
    is many times faster than waiting for each. */
WriteResult
writeIntoFolderUnflushed (const std::string& folder, const std::string& name, const uint8_t* data, size_t size);

/** Waits until everything written into the folder's file system is on the disk. */
WriteResult flushFolder (const std::string& folder);

/** True for the name of an entry directly inside a folder: not empty, no
    '/' and no NUL byte, and neither "." nor "..". */
bool isPlainName (const std::string& name);
} // namespace FileBytes
