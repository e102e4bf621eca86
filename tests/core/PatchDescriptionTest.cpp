#include "patch/PatchDescription.h"
#include "patch/PatchParameters.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using Data = std::array<uint8_t, PatchBits::numBytes>;

/** "Name text" for each parameter of a byte, in order. */
std::vector<std::string> shown (const std::vector<PatchDescription::Parameter>& parameters)
{
    std::vector<std::string> texts;
    for (const auto& parameter : parameters)
        texts.push_back (std::string (parameter.name) + " " + parameter.text);
    return texts;
}

TEST (PatchDescriptionTest, EveryControlInThePanelsOrderUnderItsStatusName)
{
    Data data{};
    for (int i = 0; i < PatchBits::numLevelBytes; ++i)
        data[static_cast<size_t> (i)] = static_cast<uint8_t> (10 + i);
    data[PatchBits::dcoFlagsIndex] = PatchBits::range8 | PatchBits::sawBit | PatchBits::chorusIIBits;
    data[PatchBits::switchesIndex] = PatchBits::pwmManBit | (1 << PatchBits::hpfShift);

    EXPECT_EQ (shown (PatchDescription::describe (data)),
               (std::vector<std::string>{"LFO Rate 10", "LFO Delay 11", "Range 8'",   "DCO LFO 12",   "DCO PWM 13",
                                         "PWM Man",     "Square 0",     "Saw 1",      "Sub Level 25", "Noise 14",
                                         "HPF 2",       "VCF Freq 15",  "VCF Res 16", "ENV Normal",   "VCF ENV 17",
                                         "VCF LFO 18",  "VCF KYBD 19",  "VCA ENV",    "VCA Level 20", "Attack 21",
                                         "Decay 22",    "Sustain 23",   "Release 24", "Chorus II"}));

    // A level keeps the name a parameter change from the synthesizer is known by.
    for (const auto& parameter : PatchDescription::describe (data))
    {
        if (parameter.byteIndex < PatchBits::numLevelBytes)
        {
            EXPECT_STREQ (parameter.name, PatchParameters::paramNames[parameter.byteIndex]);
        }
    }
}

TEST (PatchDescriptionTest, TheSwitchBytesReadAsThePanelReadsThem)
{
    const std::vector<std::pair<int, std::vector<std::string>>> flags = {
        {PatchBits::range16 | PatchBits::pulseBit | PatchBits::chorusOffBits,
         {"Range 16'", "Square 1", "Saw 0", "Chorus Off"}},
        {PatchBits::range4 | PatchBits::chorusIBits, {"Range 4'", "Square 0", "Saw 0", "Chorus I"}},
        {0x00, {"Range 16'", "Square 0", "Saw 0", "Chorus II"}},                           // no range bit reads as 16'
        {0x03 | PatchBits::chorusMask, {"Range none", "Square 0", "Saw 0", "Chorus Off"}}, // no lamp lit
    };
    for (const auto& [byte, expected] : flags)
        EXPECT_EQ (shown (PatchDescription::describeByte (PatchBits::dcoFlagsIndex, static_cast<uint8_t> (byte))),
                   expected);

    const std::vector<std::pair<int, std::vector<std::string>>> switches = {
        {0x00, {"PWM LFO", "HPF 3", "ENV Normal", "VCA ENV"}},
        {0x1F, {"PWM Man", "HPF 0", "ENV Inverted", "VCA Gate"}},
        {0x10, {"PWM LFO", "HPF 1", "ENV Normal", "VCA ENV"}},
    };
    for (const auto& [byte, expected] : switches)
        EXPECT_EQ (shown (PatchDescription::describeByte (PatchBits::switchesIndex, static_cast<uint8_t> (byte))),
                   expected);
}

TEST (PatchDescriptionTest, ALevelIsOneNumberEvenBeyondAFader)
{
    const auto parameters = PatchDescription::describeByte (5, 200);
    ASSERT_EQ (parameters.size(), 1u);
    EXPECT_STREQ (parameters[0].name, "VCF Freq");
    EXPECT_EQ (parameters[0].value, 200);
    EXPECT_EQ (parameters[0].text, "200");
    EXPECT_TRUE (parameters[0].textIsValue);
    EXPECT_TRUE (PatchDescription::describeByte (PatchBits::numBytes, 1).empty());
    EXPECT_TRUE (PatchDescription::describeByte (-1, 1).empty());
}
} // namespace
