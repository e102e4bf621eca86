#include "capture/VoiceCheck.h"
#include "capture/TrimAssistant.h"
#include "capture/VoiceVerdicts.h"

#include "TakeTestSupport.h"

#include <gtest/gtest.h>

#include <set>

namespace
{
using namespace VoiceVerdicts;
using Faults = std::set<std::pair<int, Fault>>;

std::set<std::pair<int, Fault>> faultsOf (const Report& report)
{
    const auto all = report.faults();
    return {all.begin(), all.end()};
}

/** `count` notes dealt to voices in turn: note i to voice order[i % order.size()]. */
std::vector<NoteFigures> dealt (const std::vector<NoteFigures>& voices, const std::vector<int>& order, size_t count)
{
    std::vector<NoteFigures> notes;
    for (size_t i = 0; i < count; ++i)
    {
        auto note = voices[static_cast<size_t> (order[i % order.size()])];
        // Measurement wobbles a little from note to note.
        note.frequency *= std::pow (2.0, ((i % 3) - 1.0) * 0.4 / 1200.0);
        note.levelDb += ((i % 2) - 0.5) * 0.1;
        notes.push_back (note);
    }
    return notes;
}

VoiceFigures healthy()
{
    VoiceFigures voice;
    voice.sounded = true;
    voice.levelDb = -12.0;
    voice.lowFrequency = 707.0;
    voice.highFrequency = 1414.0;
    voice.resonanceOnset = 96;
    voice.noiseDb = -120.0;
    voice.thumpDb = -110.0;
    return voice;
}
} // namespace

TEST (VoiceVerdictsTest, TheRotationIsFoundFromTheVoicesOwnPitchAndLevel)
{
    std::vector<NoteFigures> six;
    for (int v = 0; v < 6; ++v)
        six.push_back ({true, 700.0 * std::pow (2.0, v * 6.0 / 1200.0), -12.0 + (v % 2) * 0.8});
    auto withDead = six;
    withDead[2] = {false, 0.0, -140.0};
    const std::vector<NoteFigures> alike (6, NoteFigures{true, 700.0, -12.0});

    struct Case
    {
        const char* what;
        std::vector<NoteFigures> notes;
        int voices;
        bool toldApart;
    };
    const Case cases[] = {
        {"six voices in an order of their own", dealt (six, {3, 0, 5, 1, 4, 2}, 18), 6, true},
        {"a dead voice keeps its place", dealt (withDead, {0, 1, 2, 3, 4, 5}, 18), 6, true},
        {"voices that sound alike", dealt (alike, {0, 1, 2, 3, 4, 5}, 18), 1, false},
        {"four voices", dealt (six, {0, 1, 2, 3}, 18), 4, true},
        {"notes dealt in no fixed turn",
         dealt (six, {0, 1, 2, 3, 4, 5, 1, 0, 3, 2, 5, 4, 2, 3, 0, 5, 1, 4}, 18),
         0,
         false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto rotation = findRotation (c.notes);
        EXPECT_EQ (rotation.voices, c.voices);
        EXPECT_EQ (rotation.toldApart, c.toldApart);
        EXPECT_FALSE (rotation.text.empty());
    }
}

TEST (VoiceVerdictsTest, EachFaultIsNamedWithItsNumberAndTheMedianAndNothingElse)
{
    struct Case
    {
        const char* what;
        void (*plant) (VoiceFigures&);
        std::set<Fault> expected;
    };
    const Case cases[] = {
        {"healthy", [] (VoiceFigures&) {}, {}},
        {"dead", [] (VoiceFigures& v) { v.levelDb = -35.0; }, {Fault::dead}},
        {"silent", [] (VoiceFigures& v) { v = VoiceFigures{}; }, {Fault::dead}},
        {"weak", [] (VoiceFigures& v) { v.levelDb = -16.0; }, {Fault::weak}},
        {"a little low is healthy", [] (VoiceFigures& v) { v.levelDb = -14.5; }, {}},
        {"off-tune at both points",
         [] (VoiceFigures& v)
         {
             v.lowFrequency *= 1.02;
             v.highFrequency *= 1.02;
         },
         {Fault::offTune}},
        {"20 cents off is healthy",
         [] (VoiceFigures& v)
         {
             v.lowFrequency *= std::pow (2.0, 20.0 / 1200);
             v.highFrequency *= std::pow (2.0, 20.0 / 1200);
         },
         {}},
        {"off-scale around the middle",
         [] (VoiceFigures& v)
         {
             v.lowFrequency *= std::pow (2.0, -40.0 / 1200);
             v.highFrequency *= std::pow (2.0, 40.0 / 1200);
         },
         {Fault::offScale}},
        {"crackle", [] (VoiceFigures& v) { v.clicksPerSecond = 3.0; }, {Fault::crackle}},
        {"thump", [] (VoiceFigures& v) { v.thumpDb = -30.0; }, {Fault::thump}},
        {"noise whose peaks are no thump",
         [] (VoiceFigures& v)
         {
             v.noiseDb = -55.0;
             v.thumpDb = -44.0;
         },
         {Fault::noisy}},
        {"weak and crackling",
         [] (VoiceFigures& v)
         {
             v.levelDb = -17.0;
             v.clicksPerSecond = 9.0;
         },
         {Fault::weak, Fault::crackle}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        std::vector<VoiceFigures> voices (6, healthy());
        c.plant (voices[3]);
        Rotation rotation{6, true, "six"};
        const auto report = judge (rotation, voices, 6);
        Faults expected;
        for (const auto fault : c.expected)
            expected.insert ({4, fault});
        EXPECT_EQ (faultsOf (report), expected);
        for (const auto& verdict : report.voices[3].verdicts)
        {
            EXPECT_NE (verdict.text.find (faultName (verdict.fault)), std::string::npos);
            EXPECT_NE (verdict.text.find ("median"), std::string::npos) << verdict.text;
            EXPECT_NE (report.text().find (verdict.text), std::string::npos);
            EXPECT_NE (report.json().find ("\"fault\": \"" + std::string (faultName (verdict.fault)) + "\""),
                       std::string::npos);
        }
    }
}

TEST (VoiceVerdictsTest, VoicesThatCannotBeToldApartAreLeftToTheChord)
{
    const auto report = judge (Rotation{1, false, "alike"}, std::vector<VoiceFigures> (6, healthy()), 5);
    EXPECT_TRUE (report.voices.empty());
    EXPECT_NE (report.text().find ("The six-note chord sounds 5 voices."), std::string::npos);
    EXPECT_NE (report.json().find ("\"chordVoices\": 5"), std::string::npos);
}

namespace
{
class VoiceCheckTest : public testing::Test
{
protected:
    VoiceCheckTest()
    {
        std::string whyNot;
        sound.open ("memory", whyNot);
        sound.startDelay = [] { return 0.006; };
    }

    const Report& runCheck()
    {
        check.start (sound.now);
        EXPECT_TRUE (runClock (
            sound,
            [this] (auto now) { check.tick (now); },
            [this] { return check.phase() == VoiceCheck::Phase::finished; }));
        return check.report();
    }

    MemorySound sound;
    VoiceCheck check{sound, sound, VoiceCheck::Settings{}};
};
} // namespace

TEST_F (VoiceCheckTest, PlantedFaultsAreNamedExactlyWhateverTheVoiceOrder)
{
    auto& traits = sound.synth.traits;
    // Healthy voices differ a little, as real ones do.
    for (size_t v = 0; v < traits.size(); ++v)
        traits[v].cents = static_cast<double> (v) * 4.0 - 10.0;
    sound.synth.rotation = {4, 1, 5, 0, 3, 2}; // voice k takes the (k+1)th note in turn
    traits[4].levelDb = -40.0;                 // plays note 1: dead
    traits[5].levelDb = -6.0;                  // note 3: weak
    traits[0].cents = 45.0;                    // note 4: off-tune
    traits[3].scale = 1.10;                    // note 5: off-scale
    traits[2].clicksPerSecond = 12.0;          // note 6: crackle
    traits[1].thumpDb = -20.0;                 // note 2: a thump

    const auto& report = runCheck();
    ASSERT_TRUE (report.rotation.toldApart) << report.rotation.text;
    EXPECT_EQ (report.rotation.voices, 6);
    EXPECT_EQ (faultsOf (report),
               (Faults{{1, Fault::dead},
                       {2, Fault::thump},
                       {3, Fault::weak},
                       {4, Fault::offTune},
                       {5, Fault::offScale},
                       {6, Fault::crackle}}))
        << report.text();
    EXPECT_EQ (report.chordVoices, 5);
    // Within a step of the ramp: a parameter's change is heard sooner than a note.
    ASSERT_TRUE (report.medianResonanceOnset);
    EXPECT_NEAR (*report.medianResonanceOnset, 96, VoiceCheck::Settings{}.rampStep);
    EXPECT_NEAR (report.voices[3].lowCents - report.voices[1].lowCents, 45.0 - (1 * 4.0 - 10.0), 1.0);
    EXPECT_EQ (check.problem(), "");
}

TEST_F (VoiceCheckTest, AHealthySynthesizerGivesNoFaultAndAFullChord)
{
    const auto& report = runCheck();
    EXPECT_FALSE (report.rotation.toldApart);
    EXPECT_TRUE (report.faults().empty()) << report.text();
    EXPECT_EQ (report.chordVoices, 6);
    EXPECT_NEAR (check.seconds(), 35.0, 10.0);
}

TEST_F (VoiceCheckTest, TheQuickCheckBeforeALongRecordingFindsADeadVoiceInSeconds)
{
    sound.synth.traits[4].levelDb = -40.0;
    sound.synth.traits[1].cents = 8.0;
    VoiceCheck quick (sound, sound, VoiceCheck::quickSettings());
    EXPECT_LT (quick.seconds(), 8.0);
    quick.start (sound.now);
    ASSERT_TRUE (runClock (
        sound, [&] (auto now) { quick.tick (now); }, [&] { return quick.phase() == VoiceCheck::Phase::finished; }));
    EXPECT_EQ (faultsOf (quick.report()), (Faults{{5, Fault::dead}}));
}

TEST_F (VoiceCheckTest, WithoutAudioTheCheckSaysWhatToCheck)
{
    for (auto& voice : sound.synth.traits)
        voice.levelDb = -300.0;
    const auto& report = runCheck();
    EXPECT_EQ (check.problem(), "No audio from the synthesizer: check the cable to the input and the input's level");
    EXPECT_EQ (report.chordVoices, 0);
}

TEST_F (VoiceCheckTest, TheTrimAssistantHoldsANoteOnTheChosenVoiceAndFollowsTheTrimmer)
{
    sound.synth.rotation = {2, 0, 1, 3, 4, 5};
    sound.synth.traits[1].cents = 30.0; // the third voice in turn
    const auto& report = runCheck();
    ASSERT_TRUE (report.rotation.toldApart);
    ASSERT_EQ (faultsOf (report), (Faults{{3, Fault::offTune}}));

    TrimAssistant::Setup setup;
    setup.voices = report.rotation.voices;
    setup.nextVoice = check.notesPlayed() % setup.voices;
    setup.referenceHz = check.referenceHz();
    setup.patch = VoiceCheck::testPatch (VoiceCheck::Settings{}.lowFreq, 127, 0);
    TrimAssistant assistant (sound, sound, setup);
    std::vector<std::optional<double>> readings;
    assistant.onReading = [&readings] (std::optional<double> cents) { readings.push_back (cents); };
    assistant.hold (2, sound.now);
    runClock (
        sound, [&] (auto now) { assistant.tick (now); }, [&] { return readings.size() == 5; });
    ASSERT_EQ (readings.size(), 5u);
    ASSERT_TRUE (readings.back());
    EXPECT_NEAR (*readings.back(), 30.0, 2.0);
    const auto firstReading = sound.now;

    // The owner turns the trimmer: the readings follow, five a second.
    sound.synth.traits[1].cents = 3.0;
    runClock (
        sound, [&] (auto now) { assistant.tick (now); }, [&] { return readings.size() == 15; });
    EXPECT_NEAR (std::chrono::duration<double> (sound.now - firstReading).count(), 2.0, 0.05);
    ASSERT_TRUE (readings.back());
    EXPECT_NEAR (*readings.back(), 3.0, 2.0);
    assistant.release();
    EXPECT_EQ (sound.sent.back().kind, MemorySound::Sent::noteOff);
}
