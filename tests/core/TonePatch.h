#pragma once

// The patch the recording tests play: the test synthesizer's marker tone
// follows VCF Freq, so a preview tells which patch it was recorded from.

#include "patch/PatchModel.h"

#include <cstdint>
#include <string>

/** Saw on, full sustain, the marker tone at `vcfFreq`. */
inline PatchModel tonePatch (const std::string& name, uint8_t vcfFreq, uint8_t vcaLevel = 100, uint8_t release = 8)
{
    PatchModel patch;
    patch.name = name;
    patch.data.fill (0);
    patch.data[5] = vcfFreq;
    patch.data[10] = vcaLevel;
    patch.data[13] = 127;
    patch.data[14] = release;
    patch.data[PatchBits::dcoFlagsIndex] = PatchBits::range8 | PatchBits::sawBit | PatchBits::chorusOffBits;
    return patch;
}
