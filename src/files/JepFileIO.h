#pragma once

#include "patch/PatchModel.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/** Import of Juno Editor Preset files (.jep): the base64 payload of the
    "<data>" element that follows the "sysexData" marker holds the 18 patch
    bytes. Read only; the text is searched as plain bytes, not parsed as XML. */
class JepFileIO
{
public:
    JepFileIO() = delete;

    /** Decodes standard base64, skipping every character outside the alphabet
        (padding included); leftover bits at the end are dropped. */
    static std::vector<uint8_t> base64Decode (const std::string& text);

    /** Finds, decodes and copies the patch bytes. On failure the patch is left
        as it was; the name is never touched. */
    static bool parse (const uint8_t* bytes, size_t size, PatchModel& patch);

    /** Refuses files over FileBytes::maxFileSize before reading them. */
    static bool load (const std::string& path, PatchModel& patch);
    /** load, saying why a file was refused, in words that follow its name
        (FileBytes::whyNotReadable, or "holds no Juno Editor preset data"). */
    static bool load (const std::string& path, PatchModel& patch, std::string& whyNot);
};
