// qorv voicecheck end to end in the small virtual machine: the loopback's
// synthesizer of the tests' own, healthy or with voice faults planted.

#include "LoopbackSynthesizer.h"
#include "QorvProcess.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace
{
/** Each "Voice N:" line's verdicts, as "N dead" and the like. */
std::set<std::string> faultsIn (const std::string& report)
{
    std::set<std::string> faults;
    std::istringstream lines (report);
    std::string line, voice;
    while (std::getline (lines, line))
    {
        if (line.rfind ("Voice ", 0) == 0)
            voice = line.substr (6, line.find (':') - 6);
        else if (line.rfind ("  ", 0) == 0 && !voice.empty())
            faults.insert (voice + " " + line.substr (2, line.find (':') - 2));
    }
    return faults;
}

QorvResult checkVoices (const std::vector<std::string>& extra = {})
{
    std::vector<std::string> arguments{"voicecheck", "--to", "16:0", "--from", "hw:CARD=Loopback,DEV=1"};
    arguments.insert (arguments.end(), extra.begin(), extra.end());
    return runQorv ("/tmp", arguments);
}
} // namespace

TEST (VoiceCheckCommand, NamesExactlyThePlantedFaults)
{
    LoopbackSynthesizer::Options options;
    options.rotation = {3, 5, 0, 2, 1, 4};
    for (size_t v = 0; v < options.traits.size(); ++v)
        options.traits[v].cents = static_cast<double> (v) * 3.0 - 8.0; // healthy voices differ a little
    options.traits[3].levelDb = -40.0;                                 // takes the first note: voice 1, dead
    options.traits[0].cents = -50.0;                                   // the third: voice 3, off-tune
    options.traits[1].clicksPerSecond = 12.0;                          // the fifth: voice 5, crackle
    options.traits[4].levelDb = -7.0;                                  // the sixth: voice 6, weak
    LoopbackSynthesizer synth (options);
    ASSERT_EQ (synth.problem(), "");
    const auto result = checkVoices();
    std::printf ("%s", result.out.c_str());
    ASSERT_EQ (result.status, 0) << result.err;
    EXPECT_EQ (faultsIn (result.out), (std::set<std::string>{"1 dead", "3 off-tune", "5 crackle", "6 weak"}));
    EXPECT_NE (result.out.find ("The six-note chord sounds 5 voices."), std::string::npos);
}

TEST (VoiceCheckCommand, FindsNothingOnAHealthySynthesizer)
{
    LoopbackSynthesizer synth ({});
    ASSERT_EQ (synth.problem(), "");
    const auto result = checkVoices ({"--json"});
    std::printf ("%s\n", result.out.c_str());
    ASSERT_EQ (result.status, 0) << result.err;
    EXPECT_EQ (result.out.find ("\"fault\""), std::string::npos);
    EXPECT_NE (result.out.find ("\"chordVoices\": 6"), std::string::npos);
    EXPECT_NE (result.out.find ("\"toldApart\": false"), std::string::npos);
}
