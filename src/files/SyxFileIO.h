#pragma once

#include "files/FileBytes.h"
#include "files/WriteResult.h"
#include "midi/protocol/JunoMessages.h"
#include "patch/PatchModel.h"

#include <cstddef>
#include <cstdint>
#include <string>

/** The SysEx patch file (.syx): exactly one 24-byte patch dump. */
class SyxFileIO
{
public:
    SyxFileIO() = delete;

    static constexpr size_t fileSize = JunoMessages::patchDumpSize;

    /** The 24 bytes written for a patch: a patch dump with patch number 0. */
    static JunoMessages::PatchDump build (const PatchModel& patch, int channel);

    /** Checks the first 24 bytes (F0 41 .. .. .. 18 bytes below 80 .. F7) and
        copies the patch bytes; bytes after them are ignored. On failure the
        patch is left as it was; the name is never touched. */
    static bool parse (const uint8_t* bytes, size_t size, PatchModel& patch);

    static bool load (const std::string& path, PatchModel& patch);

    /** Why the patch cannot be written (a byte above 127, which would make a
        file no reader takes back), or success. */
    static WriteResult checkWritable (const PatchModel& patch);

    /** Replaces the file atomically (FileBytes::replaceFile), so a failure
        leaves any old file as it was. A patch checkWritable refuses is refused
        before touching the disk. */
    static WriteResult saveWithReason (const std::string& path, const PatchModel& patch, int channel);
    /** saveWithReason, reporting only whether it worked. */
    static bool save (const std::string& path, const PatchModel& patch, int channel);

    /** Writes the file `fileName` (a plain name) directly inside `folder`, as
        one file of an export, never through a link planted there
        (FileBytes::writeIntoFolder); refuses what checkWritable refuses. */
    static WriteResult
    saveIntoFolder (const std::string& folder, const std::string& fileName, const PatchModel& patch, int channel);
    /** saveIntoFolder for one of many files of an export, which `writer` puts
        in place all at once (see FileBytes::FolderWriter). */
    static WriteResult
    saveInto (FileBytes::FolderWriter& writer, const std::string& fileName, const PatchModel& patch, int channel);
};
