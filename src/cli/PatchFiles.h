#pragma once

#include "patch/PatchModel.h"

#include <optional>
#include <string>
#include <vector>

namespace QorvCli
{
/** The kinds of file the program reads and writes, known by their extension
    (any letter case), as the window's File menu knows them. */
enum class FileKind
{
    library, // .106
    sysex,   // .syx
    preset,  // .jep
    other
};

FileKind kindOf (const std::string& path);

/** The patches of a .106, .syx or .jep file, named as the window names them:
    a library's as stored, a SysEx file's as its import names them (the file's
    name for one dump, "<name> A11".."<name> B88" or "<name> <n>" for several),
    a preset after its file. The bytes are as read: nothing is corrected.
    Returns false, with why in words, for a file that cannot be read. */
bool readPatchFile (const std::string& path, std::vector<PatchModel>& patches, std::string& whyNot);

/** Why the file at `path` cannot be read, when the reason lies with the file
    itself (missing, a folder, a device, too large, no permission); empty when
    it is a readable regular file. */
std::string whyNotReadable (const std::string& path);

/** The patch a word names: a patch of exactly that name, else the number
    `qorv list` shows before it; the only patch when none is named. Nothing,
    with why in words, when it names none; `option` is what names one, as
    that text says it ("--patch ", "Bank.syx:"). */
const PatchModel* choosePatch (const std::vector<PatchModel>& patches,
                               const std::optional<std::string>& wanted,
                               const std::string& option,
                               std::string& whyNot);

/** One patch named on a command line: a file that holds one patch, or
    FILE:NAME (FILE:NUMBER) for one of a file's patches; a colon belongs to
    the file's name when the whole word names a file. False, with why in
    words, when there is no such patch or its file cannot be read. */
bool readNamedPatch (const std::string& word, PatchModel& patch, std::string& whyNot);

/** How many bytes of the patch a library would correct (PatchBits::correctedValue). */
int valuesToCorrect (const PatchModel& patch);
} // namespace QorvCli
