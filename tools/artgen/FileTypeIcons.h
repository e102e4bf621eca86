#pragma once

#include "ArtFonts.h"

#include <juce_graphics/juce_graphics.h>

namespace qorv::art
{
// The kinds of file the desktop shows with Qorv's icons.
enum class FileType
{
    Library, // .106
    SysEx,   // .syx
    Preset   // .jep
};

// A file type's icon at any square size, drawn on a 256-unit grid: a page with
// a picture of what the file holds over a red band naming its extension.
juce::Image makeFileTypeIcon (const ArtFonts& fonts, FileType type, int size);
} // namespace qorv::art
