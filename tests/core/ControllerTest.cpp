// Controllers moving the panel: the controls' table, the controller map and
// its file, the translation with soft takeover and learning, the session's
// edits from outside the panel, and how often a view follows them.

#include "EditSessionTestAccess.h"
#include "control/ControllerTranslator.h"
#include "control/FrameLimiter.h"
#include "session/EditSession.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace
{
using namespace std::chrono_literals;
using Change = PanelControls::ByteChange;

class RecordingOutput : public PatchOutput
{
public:
    void sendPatch (const PatchModel&) override { ++dumps; }
    void sendParameter (int byteIndex, uint8_t value) override { parameters.push_back ({byteIndex, value}); }
    int dumps = 0;
    std::vector<std::pair<int, uint8_t>> parameters;
};

PatchModel initPatch()
{
    PatchModel patch;
    patch.init();
    return patch;
}
} // namespace

TEST (PanelControls, AControllerValueSetsTheByteAsThePanelControlWould)
{
    // The Init patch: flags 0x2A (8', pulse, chorus off), switches 0x19 (PWM Man, HPF at 0).
    const auto init = initPatch().data;
    struct Case
    {
        PanelControl control;
        int controllerValue;
        int byteIndex;
        int expected; // -1: nothing changes by the control's nature
    };
    const Case cases[] = {
        {PanelControl::vcfFreq, 64, 5, 64},
        {PanelControl::subLevel, 127, 15, 127},
        {PanelControl::hpf, 31, 17, PatchBits::withHpfPosition (init[17], 0)},
        {PanelControl::hpf, 32, 17, PatchBits::withHpfPosition (init[17], 1)},
        {PanelControl::hpf, 95, 17, PatchBits::withHpfPosition (init[17], 2)},
        {PanelControl::hpf, 96, 17, PatchBits::withHpfPosition (init[17], 3)},
        {PanelControl::pwm, 63, 17, init[17] & ~PatchBits::pwmManBit},
        {PanelControl::vcaMode, 64, 17, init[17] | PatchBits::vcaGateBit},
        {PanelControl::vcfPolarity, 127, 17, init[17] | PatchBits::vcfInvertBit},
        {PanelControl::range16, 64, 16, PatchBits::withRangeBits (init[16], PatchBits::range16)},
        {PanelControl::range4, 63, 16, -1},
        {PanelControl::saw, 64, 16, init[16] | PatchBits::sawBit},
        {PanelControl::square, 0, 16, init[16] & ~PatchBits::pulseBit},
        {PanelControl::chorusII, 100, 16, PatchBits::withChorus (init[16], PatchBits::Chorus::two)},
        {PanelControl::chorusI, 10, 16, -1},
        {PanelControl::dcoFlags, 0x7F, 16, 0x7F},
        {PanelControl::switches, 0x7F, 17, 0x1F}, // bits the synthesizer does not define stay clear
        {PanelControl::range, 42, 16, PatchBits::withRangeBits (init[16], PatchBits::range16)},
        {PanelControl::range, 43, 16, PatchBits::withRangeBits (init[16], PatchBits::range8)},
        {PanelControl::range, 127, 16, PatchBits::withRangeBits (init[16], PatchBits::range4)},
        {PanelControl::chorus, 127, 16, PatchBits::withChorus (init[16], PatchBits::Chorus::two)},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (std::string (PanelControls::name (c.control)) + " at " + std::to_string (c.controllerValue));
        const auto change = PanelControls::apply (
            c.control, PanelControls::positionFromController (c.control, c.controllerValue), init);
        if (c.expected < 0)
        {
            EXPECT_FALSE (change.has_value());
            continue;
        }
        ASSERT_TRUE (change.has_value());
        EXPECT_EQ (change->byteIndex, c.byteIndex);
        EXPECT_EQ (int (change->value), c.expected);
        auto after = init;
        after[static_cast<size_t> (c.byteIndex)] = change->value;
        const auto again = PanelControls::apply (c.control, PanelControls::position (c.control, after), after);
        ASSERT_TRUE (again.has_value());
        EXPECT_EQ (again->value, change->value) << "the patch reads back at the position it was put at";
    }
}

TEST (PanelControls, EveryControlHasAUniqueNameThatFindsItAndTheHostsTexts)
{
    for (int i = 0; i < PanelControls::count; ++i)
    {
        const auto control = static_cast<PanelControl> (i);
        EXPECT_EQ (PanelControls::fromName (PanelControls::name (control)), control);
    }
    EXPECT_FALSE (PanelControls::fromName ("Cutoff").has_value());
    EXPECT_EQ (PanelControls::positionText (PanelControl::range, 0), "16'");
    EXPECT_EQ (PanelControls::positionText (PanelControl::chorus, 2), "II");
    EXPECT_EQ (PanelControls::positionText (PanelControl::pwm, 1), "Man");
    const auto shown = PanelControls::shown (PanelControl::range4, initPatch().data);
    EXPECT_EQ (shown.name, "Range");
    EXPECT_EQ (shown.value, "8'");
}

TEST (ControllerMap, TheDefaultMapDrivesEachParameterOnAnyChannelUnlessALearnedMappingWins)
{
    ControllerMap map;
    for (int p = 0; p < PatchBits::numBytes; ++p)
    {
        const auto control = map.find (p % 16, ControllerMap::firstDefaultController + p);
        ASSERT_TRUE (control.has_value()) << "CC " << 102 + p;
        EXPECT_EQ (PanelControls::byteIndex (*control), p);
    }
    EXPECT_EQ (map.find (0, 102), PanelControl::lfoRate);
    EXPECT_EQ (map.find (0, 118), PanelControl::dcoFlags);
    EXPECT_EQ (map.find (0, 119), PanelControl::switches);
    EXPECT_FALSE (map.find (0, 101).has_value());
    EXPECT_FALSE (map.find (0, 120).has_value());

    ASSERT_TRUE (map.learn (2, 107, PanelControl::attack));
    EXPECT_EQ (map.find (2, 107), PanelControl::attack) << "learned wins on its channel";
    EXPECT_EQ (map.find (3, 107), PanelControl::vcfFreq) << "the default map still answers elsewhere";
    map.setUsesDefaultMap (false);
    EXPECT_FALSE (map.find (3, 107).has_value());
    EXPECT_EQ (map.find (2, 107), PanelControl::attack);
}

TEST (ControllerMap, LearningKeepsOneControllerPerControlAndRefusesTheSynthesizersOwn)
{
    ControllerMap map;
    for (const int reserved : {1, 64, 120, 123, 127})
        EXPECT_FALSE (map.learn (0, reserved, PanelControl::vcfFreq)) << "CC " << reserved;
    EXPECT_FALSE (map.learn (16, 74, PanelControl::vcfFreq));

    map.learn (0, 74, PanelControl::vcfFreq);
    map.learn (0, 71, PanelControl::vcfFreq); // the control's earlier controller goes
    map.learn (0, 71, PanelControl::vcfRes);  // and a controller moves one control only
    map.learn (0, 74, PanelControl::vcfFreq);
    ASSERT_EQ (map.learned().size(), 2u);
    EXPECT_EQ (map.find (0, 71), PanelControl::vcfRes);
    EXPECT_EQ (map.find (0, 74), PanelControl::vcfFreq);

    EXPECT_TRUE (map.forget (PanelControl::vcfRes));
    EXPECT_FALSE (map.forget (PanelControl::vcfRes));
    EXPECT_FALSE (map.find (0, 71).has_value());
}

TEST (ControllerMap, TheMapFileRoundTripsAndAWrongLineRefusesTheWholeFile)
{
    ControllerMap map;
    map.learn (0, 74, PanelControl::vcfFreq);
    map.learn (15, 20, PanelControl::range8);
    const std::string text = map.toText();
    EXPECT_NE (text.find ("1 74 VCF Freq\n"), std::string::npos);
    EXPECT_NE (text.find ("16 20 Range 8'\n"), std::string::npos);

    std::string problem;
    const auto read = ControllerMap::parse (text, problem);
    ASSERT_TRUE (read.has_value()) << problem;
    EXPECT_EQ (*read, map.learned());
    const auto marked = ControllerMap::parse ("\xEF\xBB\xBF" + text, problem);
    ASSERT_TRUE (marked.has_value()) << "a byte-order mark is no part of the first line: " << problem;
    EXPECT_EQ (*marked, map.learned());

    const struct
    {
        const char* text;
        const char* problem;
    } refused[] = {
        {"1 74 VCF Freq\n0 20 Attack\n", "line 2: the channel must be 1 to 16, not \"0\""},
        {"\n# note\n1 128 Attack\n", "line 3: the controller must be 0 to 127, not \"128\""},
        {"1 64 Attack\n", "line 1: CC 64 passes to the synthesizer and cannot be mapped"},
        {"1 20 Cutoff\n", "line 1: no control is named \"Cutoff\""},
        {"1 -5 Attack\n", "line 1: the controller must be 0 to 127, not \"-5\""},
    };
    for (const auto& r : refused)
    {
        problem.clear();
        EXPECT_FALSE (ControllerMap::parse (r.text, problem).has_value()) << r.text;
        EXPECT_EQ (problem, r.problem);
    }
}

class TranslatorTest : public ::testing::Test
{
protected:
    TranslatorTest()
    {
        translator.onChange = [this] (ControllerTranslator::Change c) { news.push_back (c); };
    }

    ControllerTranslator::Outcome::Kind move (int controller, int value, int channel = 0)
    {
        now += 10ms;
        return translator.controlChange (channel, controller, value, now).kind;
    }
    int shown (int byteIndex) const { return session.activePatch().data[static_cast<size_t> (byteIndex)]; }

    RecordingOutput output;
    EditSession session{output};
    ControllerTranslator translator{session};
    std::vector<ControllerTranslator::Change> news;
    EditSession::Clock::time_point now{};
};

TEST_F (TranslatorTest, AMappedControlChangeMovesTheControlAndSendsOnlyAParameterChange)
{
    using Kind = ControllerTranslator::Outcome::Kind;
    EXPECT_EQ (move (107, 64), Kind::moved); // CC 102 + 5: VCF Freq
    EXPECT_EQ (shown (5), 64);
    EXPECT_EQ (move (107, 64), Kind::unchanged);
    EXPECT_EQ (move (20, 64), Kind::notMapped);
    EXPECT_EQ (move (119, 0x7F), Kind::moved);
    EXPECT_EQ (shown (17), 0x1F);
    EXPECT_EQ (output.dumps, 0);
    EXPECT_EQ (output.parameters, (std::vector<std::pair<int, uint8_t>>{{5, 64}, {17, 0x1F}}));
}

TEST_F (TranslatorTest, SoftTakeoverWaitsUntilTheControllerReachesOrPassesTheControl)
{
    using Kind = ControllerTranslator::Outcome::Kind;
    translator.setSoftTakeover (true);
    session.moveControl (PanelControl::vcfFreq, 64, now);
    output.parameters.clear();

    EXPECT_EQ (move (107, 10), Kind::heldBack) << "a knob far from the fader must not make the sound jump";
    EXPECT_EQ (move (107, 40), Kind::heldBack);
    EXPECT_EQ (move (107, 70), Kind::moved) << "it passed 64 on its way";
    EXPECT_EQ (move (107, 60), Kind::moved) << "and now follows in both directions";
    EXPECT_EQ (shown (5), 60);

    // The fader is moved elsewhere: the knob must catch it again.
    session.moveControl (PanelControl::vcfFreq, 100, now);
    EXPECT_EQ (move (107, 62), Kind::heldBack);
    EXPECT_EQ (move (107, 101), Kind::moved);

    // A controller never seen before takes over where it meets the control.
    session.moveControl (PanelControl::vcfRes, 50, now);
    EXPECT_EQ (move (108, 40), Kind::heldBack);
    EXPECT_EQ (move (108, 50), Kind::unchanged);
    EXPECT_EQ (move (108, 55), Kind::moved);
    EXPECT_EQ (shown (6), 55);
}

TEST_F (TranslatorTest, SoftTakeoverOnARawByteComparesTheByteTheKnobMakesWithTheByteThePatchHolds)
{
    // A knob swept 0 to 127 on CC 118 (every bit defined) and CC 119 (bits above 31 undefined, so the
    // byte it makes runs 0-31 four times): held back only until it meets the byte, then it follows.
    using Kind = ControllerTranslator::Outcome::Kind;
    const struct
    {
        int controller;
        int byteIndex;
        uint8_t held;
    } cases[] = {{118, 16, 0x45}, {119, 17, 0x0D}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE ("CC " + std::to_string (c.controller));
        translator.setSoftTakeover (true);
        session.moveControl (c.controller == 118 ? PanelControl::dcoFlags : PanelControl::switches, c.held, now);
        int heldBack = 0, moved = 0;
        for (int value = 0; value <= 127; ++value)
        {
            const auto kind = move (c.controller, value);
            heldBack += kind == Kind::heldBack;
            moved += kind == Kind::moved;
        }
        EXPECT_EQ (heldBack, c.held) << "held back below the byte only";
        EXPECT_EQ (moved, 127 - c.held);
        EXPECT_EQ (shown (c.byteIndex), PatchBits::correctedValue (c.byteIndex, 127)) << "the byte follows to the end";
    }
}

TEST_F (TranslatorTest, AControllersLastPositionIsForgottenWhenWhatItDrivesChanges)
{
    // VCF Freq stands at 64 and the knob was last at 60 driving something else; once it drives
    // VCF Freq, a move to 70 passes 64 only by that old position: it must be held back.
    using Kind = ControllerTranslator::Outcome::Kind;
    const auto importMap = [] (ControllerTranslator& t, const std::string& text)
    {
        std::string problem;
        ASSERT_TRUE (t.importMap (text, problem)) << problem;
    };
    const struct
    {
        const char* change;
        int controller;
        std::function<void (ControllerTranslator&)> before, after;
    } cases[] = {
        {"Import Map",
         20,
         [&] (ControllerTranslator& t) { importMap (t, "1 20 VCF Res\n"); },
         [&] (ControllerTranslator& t) { importMap (t, "1 20 VCF Freq\n"); }},
        {"Forget Controller", // the learned mapping goes: the default map's VCF Freq answers again
         107,
         [&] (ControllerTranslator& t) { importMap (t, "1 107 VCF Res\n"); },
         [] (ControllerTranslator& t) { t.forget (PanelControl::vcfRes); }},
        {"Use Default Map off and on",
         107,
         [] (ControllerTranslator&) {},
         [] (ControllerTranslator& t)
         {
             t.setUsesDefaultMap (false);
             t.setUsesDefaultMap (true);
         }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.change);
        RecordingOutput out;
        EditSession fresh{out};
        ControllerTranslator t{fresh};
        t.setSoftTakeover (true);
        fresh.moveControl (PanelControl::vcfFreq, 64, now);
        c.before (t);
        t.controlChange (0, c.controller, 60, now += 10ms);
        c.after (t);
        EXPECT_EQ (t.controlChange (0, c.controller, 70, now += 10ms).kind, Kind::heldBack);
        EXPECT_EQ (fresh.activePatch().data[5], 64);
    }
}

TEST_F (TranslatorTest, ASharedByteTheSynthesizerHoldsUnknownSendsNothingUntilSentOrHeard)
{
    // qorv control's way: it starts without sending, so the synthesizer may hold anything.
    using Kind = ControllerTranslator::Outcome::Kind;
    using Bytes = std::vector<std::pair<int, uint8_t>>;
    std::string problem;
    ASSERT_TRUE (translator.importMap ("1 20 HPF\n1 21 Chorus\n", problem)) << problem;
    session.forgetSynthesizerSound();

    EXPECT_EQ (move (20, 127), Kind::byteUnknown);
    EXPECT_EQ (move (21, 127), Kind::byteUnknown);
    EXPECT_FALSE (session.moveControl (PanelControl::pwm, 0, now));
    EXPECT_EQ (move (107, 30), Kind::moved) << "a fader writes its whole byte";
    EXPECT_EQ (move (118, 0x45), Kind::moved) << "so does a raw byte, which makes it known";
    EXPECT_EQ (move (21, 127), Kind::moved);
    EXPECT_EQ (move (20, 127), Kind::byteUnknown) << "the switches byte is still unknown";
    EXPECT_EQ (output.parameters,
               (Bytes{{5, 30}, {16, 0x45}, {16, PatchBits::withChorus (0x45, PatchBits::Chorus::two)}}));
    output.parameters.clear();

    // The synthesizer's own panel moved: its switches byte, heard, keeps its bits under an HPF move.
    const uint8_t heard = PatchBits::vcaGateBit | PatchBits::vcfInvertBit;
    session.paramReceived (17, heard);
    EXPECT_EQ (move (20, 127), Kind::moved);
    EXPECT_EQ (output.parameters, (Bytes{{17, PatchBits::withHpfPosition (heard, 3)}}));
    EXPECT_EQ (shown (17), PatchBits::withHpfPosition (heard, 3)) << "the patch takes what was sent";
}

TEST_F (TranslatorTest, WhatIsHeardFromTheSynthesizerIsWhatAMoveKeepsAndSoftTakeoverMeets)
{
    // The window's way: it knows the sound it sent, and Sync to Control Changes is off.
    using Kind = ControllerTranslator::Outcome::Kind;
    using Bytes = std::vector<std::pair<int, uint8_t>>;
    const uint8_t panelSwitches = shown (17);
    const uint8_t heardSwitches = PatchBits::withHpfPosition (PatchBits::vcaGateBit, 0);
    session.paramReceived (17, heardSwitches);
    EXPECT_EQ (shown (17), panelSwitches) << "the panel does not follow without the option";
    EXPECT_TRUE (session.moveControl (PanelControl::hpf, 2, now));
    EXPECT_EQ (shown (17), PatchBits::withHpfPosition (heardSwitches, 2));

    // A dump heard (a memory chosen on the synthesizer): Chorus keeps its other bits.
    PatchModel heard = initPatch();
    heard.data[16] = PatchBits::withRangeBits (PatchBits::sawBit, PatchBits::range4);
    heard.data[5] = 100;
    session.patchReceived (heard);
    EXPECT_TRUE (session.moveControl (PanelControl::chorus, 2, now));
    EXPECT_EQ (output.parameters,
               (Bytes{{17, PatchBits::withHpfPosition (heardSwitches, 2)},
                      {16, PatchBits::withChorus (heard.data[16], PatchBits::Chorus::two)}}));

    translator.setSoftTakeover (true);
    EXPECT_EQ (move (107, 90), Kind::heldBack);
    EXPECT_EQ (move (107, 101), Kind::moved) << "it passed the synthesizer's 100, not the panel's 127";

    // A dump the session sends makes the panel's sound the synthesizer's again.
    session.resend();
    EXPECT_EQ (session.synthesizerSound(), session.activePatch().data);
}

TEST_F (TranslatorTest, LearningMapsTheNextLearnableControlChangeAndEscapeCancelsIt)
{
    using Kind = ControllerTranslator::Outcome::Kind;
    translator.startLearning (PanelControl::vcfRes);
    EXPECT_EQ (move (64, 127, 3), Kind::notLearnable) << "the sustain pedal is the synthesizer's";
    EXPECT_EQ (move (21, 90, 3), Kind::learned);
    EXPECT_EQ (shown (6), 0) << "the move that teaches does not also edit";
    EXPECT_EQ (move (21, 90, 3), Kind::moved);
    EXPECT_EQ (shown (6), 90);
    EXPECT_EQ (move (21, 90, 4), Kind::notMapped) << "learned on channel 4 only";

    translator.startLearning (PanelControl::attack);
    translator.cancelLearning();
    EXPECT_EQ (move (22, 5), Kind::notMapped);
    EXPECT_EQ (news,
               (std::vector<ControllerTranslator::Change>{ControllerTranslator::Change::learningStarted,
                                                          ControllerTranslator::Change::learned,
                                                          ControllerTranslator::Change::learningStarted,
                                                          ControllerTranslator::Change::learningCancelled}));

    std::string problem;
    EXPECT_FALSE (translator.importMap ("1 1 Attack\n", problem));
    EXPECT_TRUE (translator.map().learnedFor (PanelControl::vcfRes).has_value()) << "a refused file changes nothing";
    EXPECT_TRUE (translator.importMap ("2 30 Decay\n", problem));
    EXPECT_EQ (translator.map().learned().size(), 1u) << "an imported map replaces the learned one";
}

TEST (SessionControlMoves, MovesOfOneControlCloserThanHalfASecondAreOneUndoStep)
{
    RecordingOutput output;
    EditSession session{output};
    const EditSession::Clock::time_point t0{};
    const PatchModel initial = session.activePatch();

    session.moveControl (PanelControl::vcfFreq, 10, t0);
    session.moveControl (PanelControl::vcfFreq, 20, t0 + 400ms);
    session.moveControl (PanelControl::vcfFreq, 30, t0 + 800ms); // each gap under half a second
    EXPECT_EQ (session.history().size(), 1u);
    session.moveControl (PanelControl::vcfFreq, 40, t0 + 1400ms); // a pause: a new step
    session.moveControl (PanelControl::vcfRes, 50, t0 + 1500ms);  // another control: a new step
    session.moveControl (PanelControl::vcfRes, 60, t0 + 1600ms);
    EXPECT_EQ (session.history().size(), 3u);
    session.undo(); // an undo ends the run
    session.moveControl (PanelControl::vcfRes, 70, t0 + 1700ms);
    EXPECT_EQ (session.history().size(), 3u);

    session.undo();
    session.undo();
    EXPECT_EQ (session.activePatch().data[5], 30);
    EXPECT_EQ (session.activePatch().data[6], initial.data[6]);
    EXPECT_TRUE (session.differsFromStored());
    session.undo();
    EXPECT_FALSE (session.differsFromStored());
}

TEST (FrameLimiter, ShowsTheFirstChangeAtOnceThenAtMostOnceAFrameEndingWithTheLatest)
{
    using namespace std::chrono_literals;
    FrameLimiter limiter (16ms);
    const FrameLimiter::Clock::time_point t0{1s};
    EXPECT_TRUE (limiter.changed (t0));
    EXPECT_FALSE (limiter.due().has_value());
    EXPECT_FALSE (limiter.changed (t0 + 1ms)); // a thousand moves a second: they wait
    EXPECT_FALSE (limiter.changed (t0 + 2ms));
    EXPECT_EQ (limiter.due(), t0 + 16ms);
    EXPECT_FALSE (limiter.tick (t0 + 15ms));
    EXPECT_TRUE (limiter.tick (t0 + 17ms)); // the latest is shown, one frame on
    EXPECT_FALSE (limiter.tick (t0 + 40ms)) << "nothing waits";
    EXPECT_FALSE (limiter.changed (t0 + 20ms)) << "still within the frame of the last one shown";
    EXPECT_TRUE (limiter.tick (t0 + 33ms));
    EXPECT_TRUE (limiter.changed (t0 + 100ms)) << "after a pause, at once again";
}
