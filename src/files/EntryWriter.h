#pragma once

#include "files/WriteResult.h"

#include <cstddef>
#include <cstdint>
#include <string>

/** Puts a whole image in place as one named entry of a folder, so that a
    failure or a killed process leaves the old file or the new one, never a
    mix and never a stray temporary file. The image goes to a file with no
    name (where the file system allows) that takes the entry's name only once
    every byte is on the disk; an existing file keeps its owner, group,
    permissions and extended attributes, and where they cannot be kept (or
    no new file can be made in the folder) it is written in place instead,
    its old content put back if that write fails. */
namespace EntryWriter
{
/** What happens to an existing file that has other names (hard links) too. */
enum class HardLinks
{
    writeThrough, ///< the file itself is rewritten, so every name sees the new content
    replaceEntry  ///< this name alone gets the new content, in a file of its own
};

/** Which kinds of temporary file a write may use. Named ones only is what a
    file system without unnamed files gets anyway; tests choose it to reach
    that path on any disk. */
enum class Temporaries
{
    unnamedWherePossible,
    namedOnly
};

/** Whether each write waits for the disk before it returns. */
enum class Flush
{
    eachFile, // the file is on the disk before it takes its name, and its name with it
    never     // a staged file: the caller puts it on the disk before it places it
};

struct Options
{
    HardLinks hardLinks = HardLinks::writeThrough;
    Temporaries temporaries = Temporaries::unnamedWherePossible;
    Flush flush = Flush::eachFile;
};

/** Writes the image as the entry `name` (a plain name, not checked here) of
    `folder`. A symbolic link there is replaced, never followed; a folder or
    anything else that is not a regular file is refused, and so is a
    write-protected file. */
WriteResult
write (const std::string& folder, const std::string& name, const uint8_t* data, size_t size, const Options& options);

/** A file written whole under a hidden name of its folder, waiting to take its
    own (see stage); an empty hiddenName means it was written in place at once. */
struct Staged
{
    std::string name;
    std::string hiddenName;
};

/** Opens a folder for the writes into it; a folder that may be searched but
    not listed opens too (only for lookups). -1 (errno set) when it cannot. */
int openFolder (const std::string& path);

/** Why a folder could not be opened (errno `error`), naming it. */
std::string whyFolderCannotBeOpened (int error, const std::string& path);

/** What write does, into a folder opened with openFolder, except that the
    new file keeps a hidden name (and does not wait for the disk): place
    gives it its own name later, once the caller has put it on the disk. So
    many files can replace older ones, each whole and on the disk before it
    takes an old one's place, with one wait for the disk for them all. */
WriteResult stage (int folder,
                   const std::string& folderPath,
                   const std::string& name,
                   const uint8_t* data,
                   size_t size,
                   const Options& options,
                   Staged& staged);

/** Removes the temporary files that writes which died left in the folder
    (opened with openFolder) long ago and no living write holds; a folder
    that cannot be listed is left as it is. Every write into a folder does
    this first, so a crash's leftovers go when the folder is next written. */
void removeAbandonedTemporaries (int folder);

/** Renames a staged file to its own name, in place of whatever has it. */
WriteResult place (int folder, const Staged& staged);

/** Removes a staged file that is not to be placed. */
void discard (int folder, const Staged& staged);

/** The hidden name a write of the entry `name` gives its finished image just
    before renaming it into place (and its whole image, where only named
    temporary files can be made). A later write of the same entry removes
    one left there by a write that died, once no living write holds it. */
std::string temporaryNameFor (const std::string& name);
} // namespace EntryWriter
