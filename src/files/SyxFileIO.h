#pragma once

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
    /** Replaces the file atomically, so a failure leaves any old file as it
        was. A patch with a byte above 127 is refused before touching the disk,
        since the file could never be loaded again. */
    static bool save (const std::string& path, const PatchModel& patch, int channel);
};
