#pragma once

#include "control/PanelControls.h"
#include "patch/PatchDescription.h"
#include "patch/PatchModel.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

/** A sound as the controls that make it: the 16 faders and the eight
    switch-type controls (Range, Square, Saw, Chorus, PWM, ENV, VCA, HPF), each
    with the panel section it sits in. Morphing, breeding and the distance
    work on these rather than on bits, so a result never holds a mix of bits
    no patch had. What each control is comes from PanelControls, its section
    from PatchDescription. */
namespace SoundControls
{
using Bytes = std::array<uint8_t, PatchBits::numBytes>;
using Section = PatchDescription::Section;

constexpr int count = 24;
constexpr int sectionCount = static_cast<int> (Section::chorus) + 1;

struct Control
{
    PanelControl control;
    Section section;
    bool isFader; // a level 0-127; otherwise a switch-type control of a few positions
    int positions;
};

/** The controls in the panel's order, left to right. */
const std::array<Control, count>& all();

/** Every control's position for these bytes, in the order of all(). */
using Positions = std::array<uint8_t, count>;
Positions positions (const Bytes& data);

/** `base` with one control put at a position (PanelControls::apply). */
Bytes withPosition (const Bytes& base, PanelControl control, int position);

/** "LFO", "DCO", "HPF", "VCF", "VCA", "ENV", "CHORUS", as the panel letters them. */
const char* sectionName (Section section);
/** A section by its name, any letter case; nothing for another word. */
std::optional<Section> sectionFromName (const std::string& name);
} // namespace SoundControls
