#include "patch/PatchDescription.h"

#include <iterator>

using namespace PatchBits;

namespace PatchDescription
{
namespace
{
    enum class Kind
    {
        level,  // a fader over a whole byte
        hpf,    // the HPF fader, bits 3-4 of the switches byte
        range,  // the three range buttons
        onOff,  // a waveform button: its bit as 0 or 1
        chorus, // the three chorus buttons
        toggle  // a two-way switch: clear at the top position
    };

    struct Row
    {
        Section section;
        const char* name;
        int byteIndex;
        Kind kind;
        uint8_t bit = 0;             // onOff and toggle
        const char* topText = "";    // toggle: the bit clear
        const char* bottomText = ""; // toggle: the bit set
    };

    // In the panel's order, left to right.
    const Row rows[] = {
        {Section::lfo, "LFO Rate", 0, Kind::level},
        {Section::lfo, "LFO Delay", 1, Kind::level},
        {Section::dco, "Range", dcoFlagsIndex, Kind::range},
        {Section::dco, "DCO LFO", 2, Kind::level},
        {Section::dco, "DCO PWM", 3, Kind::level},
        {Section::dco, "PWM", switchesIndex, Kind::toggle, pwmManBit, "LFO", "Man"},
        {Section::dco, "Square", dcoFlagsIndex, Kind::onOff, pulseBit},
        {Section::dco, "Saw", dcoFlagsIndex, Kind::onOff, sawBit},
        {Section::dco, "Sub Level", 15, Kind::level},
        {Section::dco, "Noise", 4, Kind::level},
        {Section::hpf, "HPF", switchesIndex, Kind::hpf},
        {Section::vcf, "VCF Freq", 5, Kind::level},
        {Section::vcf, "VCF Res", 6, Kind::level},
        {Section::vcf, "ENV", switchesIndex, Kind::toggle, vcfInvertBit, "Normal", "Inverted"},
        {Section::vcf, "VCF ENV", 7, Kind::level},
        {Section::vcf, "VCF LFO", 8, Kind::level},
        {Section::vcf, "VCF KYBD", 9, Kind::level},
        {Section::vca, "VCA", switchesIndex, Kind::toggle, vcaGateBit, "ENV", "Gate"},
        {Section::vca, "VCA Level", 10, Kind::level},
        {Section::env, "Attack", 11, Kind::level},
        {Section::env, "Decay", 12, Kind::level},
        {Section::env, "Sustain", 13, Kind::level},
        {Section::env, "Release", 14, Kind::level},
        {Section::chorus, "Chorus", dcoFlagsIndex, Kind::chorus},
    };

    Parameter read (const Row& row, uint8_t byte)
    {
        Parameter parameter;
        parameter.section = row.section;
        parameter.name = row.name;
        parameter.byteIndex = row.byteIndex;
        switch (row.kind)
        {
            case Kind::level:
                parameter.value = byte;
                parameter.textIsValue = true;
                break;
            case Kind::hpf:
                parameter.value = hpfPosition (byte);
                parameter.textIsValue = true;
                break;
            case Kind::onOff:
                parameter.value = isSet (byte, row.bit) ? 1 : 0;
                parameter.textIsValue = true;
                break;
            case Kind::range:
                parameter.value = rangeFootage (byte);
                parameter.text = parameter.value == 0 ? "none" : std::to_string (parameter.value) + "'";
                break;
            case Kind::chorus:
            {
                const Chorus mode = chorus (byte);
                parameter.value = mode == Chorus::off ? 0 : mode == Chorus::one ? 1 : 2;
                parameter.text = mode == Chorus::off ? "Off" : mode == Chorus::one ? "I" : "II";
                break;
            }
            case Kind::toggle:
                parameter.value = isSet (byte, row.bit) ? 1 : 0;
                parameter.text = parameter.value == 0 ? row.topText : row.bottomText;
                break;
        }
        if (parameter.textIsValue)
            parameter.text = std::to_string (parameter.value);
        return parameter;
    }
} // namespace

std::vector<Parameter> describe (const std::array<uint8_t, numBytes>& data)
{
    std::vector<Parameter> parameters;
    parameters.reserve (std::size (rows));
    for (const auto& row : rows)
        parameters.push_back (read (row, data[static_cast<size_t> (row.byteIndex)]));
    return parameters;
}

std::vector<Parameter> describeByte (int byteIndex, uint8_t value)
{
    std::vector<Parameter> parameters;
    for (const auto& row : rows)
        if (row.byteIndex == byteIndex)
            parameters.push_back (read (row, value));
    return parameters;
}
} // namespace PatchDescription
