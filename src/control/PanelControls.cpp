#include "control/PanelControls.h"

#include <algorithm>
#include <iterator>

using namespace PatchBits;

namespace PanelControls
{
namespace
{
    enum class Kind
    {
        level,     // a fader over a whole byte
        hpf,       // the HPF fader, bits 3-4 of the switches byte
        bitSwitch, // a two-way switch or a waveform button: one bit, set at position 1
        rangeButton,
        chorusButton,
        rawByte, // a whole switch byte, undefined bits cleared
        rangeChoice,
        chorusChoice
    };

    struct Row
    {
        PanelControl control;
        const char* name;      // unique
        const char* shownName; // as STATUS names it
        int byteIndex;
        Kind kind;
        uint8_t bit = 0;           // bitSwitch; the range bit of a rangeButton
        Chorus chorusMode{};       // chorusButton
        const char* offText = "0"; // bitSwitch: the bit clear
        const char* onText = "1";  // bitSwitch: the bit set
    };

    const Row rows[] = {
        {PanelControl::lfoRate, "LFO Rate", "LFO Rate", 0, Kind::level},
        {PanelControl::lfoDelay, "LFO Delay", "LFO Delay", 1, Kind::level},
        {PanelControl::dcoLfo, "DCO LFO", "DCO LFO", 2, Kind::level},
        {PanelControl::dcoPwm, "DCO PWM", "DCO PWM", 3, Kind::level},
        {PanelControl::noise, "Noise", "Noise", 4, Kind::level},
        {PanelControl::vcfFreq, "VCF Freq", "VCF Freq", 5, Kind::level},
        {PanelControl::vcfRes, "VCF Res", "VCF Res", 6, Kind::level},
        {PanelControl::vcfEnv, "VCF ENV", "VCF ENV", 7, Kind::level},
        {PanelControl::vcfLfo, "VCF LFO", "VCF LFO", 8, Kind::level},
        {PanelControl::vcfKybd, "VCF KYBD", "VCF KYBD", 9, Kind::level},
        {PanelControl::vcaLevel, "VCA Level", "VCA Level", 10, Kind::level},
        {PanelControl::attack, "Attack", "Attack", 11, Kind::level},
        {PanelControl::decay, "Decay", "Decay", 12, Kind::level},
        {PanelControl::sustain, "Sustain", "Sustain", 13, Kind::level},
        {PanelControl::release, "Release", "Release", 14, Kind::level},
        {PanelControl::subLevel, "Sub Level", "Sub Level", 15, Kind::level},
        {PanelControl::hpf, "HPF", "HPF", switchesIndex, Kind::hpf},
        {PanelControl::pwm, "PWM", "PWM", switchesIndex, Kind::bitSwitch, pwmManBit, {}, "LFO", "Man"},
        {PanelControl::vcfPolarity,
         "ENV",
         "ENV",
         switchesIndex,
         Kind::bitSwitch,
         vcfInvertBit,
         {},
         "Normal",
         "Inverted"},
        {PanelControl::vcaMode, "VCA", "VCA", switchesIndex, Kind::bitSwitch, vcaGateBit, {}, "ENV", "Gate"},
        {PanelControl::range16, "Range 16'", "Range", dcoFlagsIndex, Kind::rangeButton, range16},
        {PanelControl::range8, "Range 8'", "Range", dcoFlagsIndex, Kind::rangeButton, range8},
        {PanelControl::range4, "Range 4'", "Range", dcoFlagsIndex, Kind::rangeButton, range4},
        {PanelControl::square, "Square", "Square", dcoFlagsIndex, Kind::bitSwitch, pulseBit},
        {PanelControl::saw, "Saw", "Saw", dcoFlagsIndex, Kind::bitSwitch, sawBit},
        {PanelControl::chorusOff, "Chorus Off", "Chorus", dcoFlagsIndex, Kind::chorusButton, 0, Chorus::off},
        {PanelControl::chorusI, "Chorus I", "Chorus", dcoFlagsIndex, Kind::chorusButton, 0, Chorus::one},
        {PanelControl::chorusII, "Chorus II", "Chorus", dcoFlagsIndex, Kind::chorusButton, 0, Chorus::two},
        {PanelControl::dcoFlags, "DCO Flags", "DCO Flags", dcoFlagsIndex, Kind::rawByte},
        {PanelControl::switches, "Switches", "Switches", switchesIndex, Kind::rawByte},
        {PanelControl::range, "Range", "Range", dcoFlagsIndex, Kind::rangeChoice},
        {PanelControl::chorus, "Chorus", "Chorus", dcoFlagsIndex, Kind::chorusChoice},
    };
    static_assert (std::size (rows) == static_cast<size_t> (count), "one row for every control");

    // The choices' positions, in the panel's order.
    constexpr uint8_t rangeBits[] = {range16, range8, range4};
    constexpr const char* rangeTexts[] = {"16'", "8'", "4'"};
    constexpr Chorus chorusModes[] = {Chorus::off, Chorus::one, Chorus::two};
    constexpr const char* chorusTexts[] = {"Off", "I", "II"};

    const Row& rowOf (PanelControl control)
    {
        // The table is in enum order (checked by the tests through name and fromName).
        return rows[static_cast<size_t> (control)];
    }

    int choiceOfRange (uint8_t dcoFlags)
    {
        const int footage = rangeFootage (dcoFlags);
        return footage == 4 ? 2 : footage == 8 ? 1 : 0; // bits that light no lamp sound as 16'
    }

    int choiceOfChorus (uint8_t dcoFlags)
    {
        const Chorus mode = PatchBits::chorus (dcoFlags);
        return mode == Chorus::off ? 0 : mode == Chorus::one ? 1 : 2;
    }
} // namespace

const char* name (PanelControl control)
{
    return rowOf (control).name;
}

std::optional<PanelControl> fromName (const std::string& wanted)
{
    for (const auto& row : rows)
        if (wanted == row.name)
            return row.control;
    return std::nullopt;
}

int byteIndex (PanelControl control)
{
    return rowOf (control).byteIndex;
}

int positionCount (PanelControl control)
{
    switch (rowOf (control).kind)
    {
        case Kind::level:
        case Kind::rawByte:
            return 128;
        case Kind::hpf:
            return 4;
        case Kind::rangeChoice:
        case Kind::chorusChoice:
            return 3;
        case Kind::bitSwitch:
        case Kind::rangeButton:
        case Kind::chorusButton:
            return 2;
    }
    return 2;
}

bool sharesItsByte (PanelControl control)
{
    const Kind kind = rowOf (control).kind;
    return kind != Kind::level && kind != Kind::rawByte;
}

int positionFromController (PanelControl control, int controllerValue)
{
    const int value = std::clamp (controllerValue, 0, 127);
    const Row& row = rowOf (control);
    // The byte it writes, so that a raw byte's position is compared with the byte the patch holds.
    if (row.kind == Kind::rawByte)
        return correctedValue (row.byteIndex, static_cast<uint8_t> (value));
    const int positions = positionCount (control);
    if (positions == 128)
        return value;
    if (positions == 2)
        return value >= 64 ? 1 : 0;
    return value * positions / 128; // equal parts: 0-31, 32-63 ... for four; 0-42, 43-85, 86-127 for three
}

int position (PanelControl control, const std::array<uint8_t, numBytes>& data)
{
    const Row& row = rowOf (control);
    const uint8_t byte = data[static_cast<size_t> (row.byteIndex)];
    switch (row.kind)
    {
        case Kind::level:
        case Kind::rawByte:
            return byte;
        case Kind::hpf:
            return hpfPosition (byte);
        case Kind::bitSwitch:
            return isSet (byte, row.bit) ? 1 : 0;
        case Kind::rangeButton:
            return rangeFootage (byte) == rangeFootage (row.bit) ? 1 : 0;
        case Kind::chorusButton:
            return PatchBits::chorus (byte) == row.chorusMode ? 1 : 0;
        case Kind::rangeChoice:
            return choiceOfRange (byte);
        case Kind::chorusChoice:
            return choiceOfChorus (byte);
    }
    return 0;
}

std::optional<ByteChange> apply (PanelControl control, int wantedPosition, const std::array<uint8_t, numBytes>& data)
{
    const Row& row = rowOf (control);
    const int at = std::clamp (wantedPosition, 0, positionCount (control) - 1);
    const uint8_t byte = data[static_cast<size_t> (row.byteIndex)];
    ByteChange change{row.byteIndex, byte};
    switch (row.kind)
    {
        case Kind::level:
            change.value = static_cast<uint8_t> (at);
            break;
        case Kind::rawByte:
            change.value = correctedValue (row.byteIndex, static_cast<uint8_t> (at));
            break;
        case Kind::hpf:
            change.value = withHpfPosition (byte, at);
            break;
        case Kind::bitSwitch:
            change.value = withBit (byte, row.bit, at == 1);
            break;
        case Kind::rangeButton:
            if (at == 0)
                return std::nullopt;
            change.value = withRangeBits (byte, row.bit);
            break;
        case Kind::chorusButton:
            if (at == 0)
                return std::nullopt;
            change.value = withChorus (byte, row.chorusMode);
            break;
        case Kind::rangeChoice:
            change.value = withRangeBits (byte, rangeBits[at]);
            break;
        case Kind::chorusChoice:
            change.value = withChorus (byte, chorusModes[at]);
            break;
    }
    return change;
}

std::string positionText (PanelControl control, int at)
{
    const Row& row = rowOf (control);
    at = std::clamp (at, 0, positionCount (control) - 1);
    switch (row.kind)
    {
        case Kind::level:
        case Kind::rawByte:
        case Kind::hpf:
            return std::to_string (at);
        case Kind::bitSwitch:
            return at == 1 ? row.onText : row.offText;
        case Kind::rangeButton:
        case Kind::chorusButton:
            return at == 1 ? "On" : "Off";
        case Kind::rangeChoice:
            return rangeTexts[at];
        case Kind::chorusChoice:
            return chorusTexts[at];
    }
    return {};
}

Shown shown (PanelControl control, const std::array<uint8_t, numBytes>& data)
{
    const Row& row = rowOf (control);
    const uint8_t byte = data[static_cast<size_t> (row.byteIndex)];
    switch (row.kind)
    {
        case Kind::rangeButton:
        case Kind::rangeChoice:
            return {row.shownName, rangeTexts[choiceOfRange (byte)]};
        case Kind::chorusButton:
        case Kind::chorusChoice:
            return {row.shownName, chorusTexts[choiceOfChorus (byte)]};
        default:
            return {row.shownName, positionText (control, position (control, data))};
    }
}
} // namespace PanelControls
