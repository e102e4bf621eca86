#pragma once

#include "patch/PatchModel.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

/** Every control of the panel that something other than the mouse can move
    (a controller's knob, a host's automation lane), and the two switch bytes
    as the synthesizer itself takes them. */
enum class PanelControl : uint8_t
{
    // The 16 level faders, in patch byte order.
    lfoRate,
    lfoDelay,
    dcoLfo,
    dcoPwm,
    noise,
    vcfFreq,
    vcfRes,
    vcfEnv,
    vcfLfo,
    vcfKybd,
    vcaLevel,
    attack,
    decay,
    sustain,
    release,
    subLevel,
    // The HPF fader, the three switches and the eight DCO buttons.
    hpf,
    pwm,
    vcfPolarity,
    vcaMode,
    range16,
    range8,
    range4,
    square,
    saw,
    chorusOff,
    chorusI,
    chorusII,
    // The switch bytes as raw 7-bit values, as the synthesizer's parameters 16 and 17.
    dcoFlags,
    switches,
    // The range and chorus buttons as one choice each.
    range,
    chorus,
};

/** What each PanelControl is and does, as one table: its name, how many
    positions it has, how a controller's 0-127 picks one, which patch byte a
    position writes and how the panel names the result. The window, the
    command line and the plugin all read it from here. */
namespace PanelControls
{
constexpr int count = static_cast<int> (PanelControl::chorus) + 1;

/** One byte of the patch set to a new value: what a parameter change carries. */
struct ByteChange
{
    int byteIndex = 0;
    uint8_t value = 0;
};

/** Its unique name, as STATUS, map files and the learn prompt name it ("VCF Freq", "Range 8'"). */
const char* name (PanelControl control);
/** Finds a control by its unique name; nothing for an unknown one. */
std::optional<PanelControl> fromName (const std::string& name);

/** The patch byte it writes (0 to 17). */
int byteIndex (PanelControl control);
/** How many positions it has: 128 for a level or a raw byte, 4 for the HPF,
    3 for a choice, 2 for a switch or a button. */
int positionCount (PanelControl control);

/** Whether its byte holds other controls too (the HPF, the switches, the DCO
    buttons and choices): moving it keeps their bits, so it needs the byte as
    the synthesizer holds it. False for a level and a raw byte, which write
    their whole byte. */
bool sharesItsByte (PanelControl control);

/** The position a controller value 0-127 selects: the value itself for a
    level, the byte it makes for a raw byte (the bits the synthesizer does not
    define cleared, so 0-31 for the switches byte), equal quarters for the HPF
    (0-31 is 0), equal thirds for a choice, and for a switch or a button on
    (1) at 64 and above. */
int positionFromController (PanelControl control, int controllerValue);

/** The position the patch shows: for a button, 1 while it is the lit one (or its bit is set); for a raw byte, the byte.
 */
int position (PanelControl control, const std::array<uint8_t, PatchBits::numBytes>& data);

/** The byte that putting the control at `position` makes, or nothing when
    that position changes nothing by its nature (a range or chorus button
    going off: one of the three is always on). A position out of range is
    limited to the nearest one. */
std::optional<ByteChange>
apply (PanelControl control, int position, const std::array<uint8_t, PatchBits::numBytes>& data);

/** How STATUS shows the control now: the name it shows ("Range", not "Range 8'") and the value ("8'"). */
struct Shown
{
    std::string name;
    std::string value;
};
Shown shown (PanelControl control, const std::array<uint8_t, PatchBits::numBytes>& data);

/** The text of one position, as a host shows a parameter's value ("16'", "Off", "Man", "64"). */
std::string positionText (PanelControl control, int position);
} // namespace PanelControls
