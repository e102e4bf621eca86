#pragma once

#include "patch/PatchModel.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

/** A patch's sound in words, as the panel shows it: each control under the
    name STATUS gives it, with its value as STATUS shows it ("VCF Freq" 64,
    "Range" 8', "Chorus" II, "HPF" 2). Every reader of a patch as text (a
    listing, a monitor of the synthesizer) takes the names from here. */
namespace PatchDescription
{
/** The panel's sections, left to right. */
enum class Section
{
    lfo,
    dco,
    hpf,
    vcf,
    vca,
    env,
    chorus
};

/** One control of the panel and what it shows for a patch. */
struct Parameter
{
    Section section = Section::lfo;
    const char* name = "";    // as STATUS names the control
    int byteIndex = 0;        // the patch byte it reads
    int value = 0;            // the fader's position, the footage, 0 or 1, or 0-2 for the chorus (off, I, II)
    std::string text;         // the value as STATUS shows it
    bool textIsValue = false; // the text is the number itself (faders, HPF, Square, Saw)
};

/** Every control of the panel for these bytes, in the panel's order. Bytes a
    patch cannot hold read as the panel reads them: a level above 127 shows
    its number, range bits that light no lamp show "none". */
std::vector<Parameter> describe (const std::array<uint8_t, PatchBits::numBytes>& data);

/** The controls one patch byte sets, in the panel's order: one for a level
    byte, four for the DCO flags byte (Range, Square, Saw, Chorus) or the
    switches byte (PWM, HPF, ENV, VCA); none for an index past the patch. A
    parameter change from the synthesizer carries one such byte. */
std::vector<Parameter> describeByte (int byteIndex, uint8_t value);
} // namespace PatchDescription
