// The working editor: every control edits its byte or bit of the active patch
// and every edit leaves at once as a whole patch dump.

#include "PanelFixture.h"
#include "patch/PatchParameters.h"

using namespace PatchBits;

TEST_F (PanelTest, FaderDragSendsOneDumpPerEventUpToTheTop)
{
    auto& fader = panel->voice.vcfFreqSlider;
    loadActive ({{5, 0}});

    dragFader (fader, {95.0f, 70.0f, 50.0f, 30.0f, 10.0f, -20.0f});

    const auto dumps = sentDumps();
    ASSERT_EQ (dumps.size(), 6u); // the press and five drags
    for (size_t i = 1; i < dumps.size(); ++i)
        EXPECT_GE (dumps[i][5 + 5], dumps[i - 1][5 + 5]);
    EXPECT_EQ (dumps.back()[5 + 5], 127);
    EXPECT_EQ (dumps.back(), dumpOf (panel->session().activePatch()));
    EXPECT_EQ (status(), "VCF Freq: 127");
    EXPECT_EQ (panel->session().history().size(), 1u);
}

TEST_F (PanelTest, EveryFaderEditsItsOwnByte)
{
    const std::vector<std::pair<BitmapSlider VoiceSection::*, int>> faders = {
        {&VoiceSection::lfoRateSlider, 0},
        {&VoiceSection::lfoDelaySlider, 1},
        {&VoiceSection::dcoLfoSlider, 2},
        {&VoiceSection::dcoPwmSlider, 3},
        {&VoiceSection::noiseSlider, 4},
        {&VoiceSection::vcfFreqSlider, 5},
        {&VoiceSection::vcfResSlider, 6},
        {&VoiceSection::vcfEnvSlider, 7},
        {&VoiceSection::vcfLfoSlider, 8},
        {&VoiceSection::vcfKybdSlider, 9},
        {&VoiceSection::vcaLevelSlider, 10},
        {&VoiceSection::attackSlider, 11},
        {&VoiceSection::decaySlider, 12},
        {&VoiceSection::sustainSlider, 13},
        {&VoiceSection::releaseSlider, 14},
        {&VoiceSection::subSlider, 15},
    };
    for (auto [member, index] : faders)
    {
        const auto before = panel->session().activePatch().data;
        UiTest::press (panel->voice.*member, 12.0f, 48.0f); // value 64
        auto expected = before;
        expected[static_cast<size_t> (index)] = 64;
        EXPECT_EQ (panel->session().activePatch().data, expected) << PatchParameters::paramNames[index];
        EXPECT_EQ (status(), juce::String (PatchParameters::paramNames[index]) + ": 64");
    }
}

TEST_F (PanelTest, WheelStepSendsOneDumpWithoutUndo)
{
    loadActive ({{6, 10}});
    UiTest::wheel (panel->voice.vcfResSlider, 1.0f);
    EXPECT_EQ (panel->session().activePatch().data[6], 11);
    EXPECT_EQ (sentDumps().size(), 1u);
    EXPECT_FALSE (panel->session().history().canUndo());
    EXPECT_FALSE (panel->patchBar.undoBtn.isEnabledState());
}

TEST_F (PanelTest, HpfFaderWritesTheSwitchBits)
{
    loadActive ({{switchesIndex, 0x19}});
    UiTest::press (panel->voice.hpfSlider, 12.0f, 0.0f);
    EXPECT_EQ (panel->session().activePatch().data[switchesIndex], 0x01);
    EXPECT_EQ (status(), "HPF: 3");
    UiTest::press (panel->voice.hpfSlider, 12.0f, 60.0f); // position 1
    EXPECT_EQ (panel->session().activePatch().data[switchesIndex], 0x11);
    EXPECT_EQ (status(), "HPF: 1");
}

struct ButtonCase
{
    BitmapButton VoiceSection::*button;
    uint8_t flagsBefore;
    uint8_t flagsAfter;
    const char* statusText;
    std::vector<BitmapIndicator VoiceSection::*> litLamps;
};

TEST_F (PanelTest, DcoButtonsChangeTheFlagsAndLamps)
{
    const std::vector<BitmapIndicator VoiceSection::*> allLamps = {
        &VoiceSection::range16Ind,
        &VoiceSection::range8Ind,
        &VoiceSection::range4Ind,
        &VoiceSection::pulseInd,
        &VoiceSection::sawInd,
        &VoiceSection::chorus1Ind,
        &VoiceSection::chorus2Ind,
    };
    const std::vector<ButtonCase> cases = {
        {&VoiceSection::range8Btn, 0x29, 0x2A, "Range: 8'", {&VoiceSection::range8Ind, &VoiceSection::pulseInd}},
        {&VoiceSection::range16Btn, 0x2C, 0x29, "Range: 16'", {&VoiceSection::range16Ind, &VoiceSection::pulseInd}},
        {&VoiceSection::range4Btn, 0x22, 0x24, "Range: 4'", {&VoiceSection::range4Ind}},
        {&VoiceSection::pulseBtn, 0x22, 0x2A, "Square: 1", {&VoiceSection::range8Ind, &VoiceSection::pulseInd}},
        {&VoiceSection::sawBtn, 0x32, 0x22, "Saw: 0", {&VoiceSection::range8Ind}},
        {&VoiceSection::chorusOffBtn, 0x40, 0x20, "Chorus: Off", {&VoiceSection::range16Ind}},
        {&VoiceSection::chorus1Btn, 0x22, 0x42, "Chorus: I", {&VoiceSection::range8Ind, &VoiceSection::chorus1Ind}},
        {&VoiceSection::chorus2Btn, 0x20, 0x00, "Chorus: II", {&VoiceSection::range16Ind, &VoiceSection::chorus2Ind}},
    };

    for (const auto& c : cases)
    {
        loadActive ({{dcoFlagsIndex, c.flagsBefore}});
        EditSessionTestAccess::history (session()).clear();
        UiTest::click (panel->voice.*c.button);

        SCOPED_TRACE (c.statusText);
        EXPECT_EQ (panel->session().activePatch().data[dcoFlagsIndex], c.flagsAfter);
        EXPECT_EQ (status(), c.statusText);
        EXPECT_EQ (sentDumps(), std::vector<Bytes>{dumpOf (panel->session().activePatch())});
        EXPECT_EQ (panel->session().history().size(), 1u);
        for (auto lamp : allLamps)
        {
            const bool shouldBeLit = std::find (c.litLamps.begin(), c.litLamps.end(), lamp) != c.litLamps.end();
            EXPECT_EQ ((panel->voice.*lamp).isLit(), shouldBeLit);
        }
    }
}

TEST_F (PanelTest, PulseTwiceRestoresTheByteWithTwoUndoStepsAndTwoDumps)
{
    loadActive ({{dcoFlagsIndex, 0x22}});
    UiTest::click (panel->voice.pulseBtn);
    EXPECT_EQ (status(), "Square: 1");
    UiTest::click (panel->voice.pulseBtn);
    EXPECT_EQ (status(), "Square: 0");
    EXPECT_EQ (panel->session().activePatch().data[dcoFlagsIndex], 0x22);
    EXPECT_EQ (panel->session().history().size(), 2u);
    EXPECT_EQ (sentDumps().size(), 2u);
    EXPECT_FALSE (panel->patchBar.changedInd.isLit());
}

TEST_F (PanelTest, SwitchesToggleTheirBits)
{
    loadActive ({{switchesIndex, 0x19}}); // PWM MAN, normal, ENV
    EXPECT_EQ (panel->voice.pwmSwitch.getPosition(), 0);
    UiTest::press (panel->voice.pwmSwitch, 8.0f, 8.0f);
    EXPECT_EQ (panel->session().activePatch().data[switchesIndex], 0x18);
    EXPECT_EQ (status(), "PWM: LFO");

    UiTest::press (panel->voice.vcfPolaritySwitch, 8.0f, 8.0f);
    EXPECT_EQ (panel->session().activePatch().data[switchesIndex], 0x1A);
    EXPECT_EQ (status(), "ENV: Inverted");

    UiTest::press (panel->voice.vcaModeSwitch, 8.0f, 8.0f);
    EXPECT_EQ (panel->session().activePatch().data[switchesIndex], 0x1E);
    EXPECT_EQ (status(), "VCA: Gate");
    EXPECT_EQ (sentDumps().size(), 3u);
    EXPECT_EQ (panel->session().history().size(), 3u);
}

TEST_F (PanelTest, LoadingInitSetsTheControlsAndSendsNothing)
{
    loadActive ({{5, 3}});
    EditSessionTestAccess::active (session()).init();
    EditSessionTestAccess::announce (session(), SessionChange::patchReloaded);
    EXPECT_TRUE (midi->sent.empty());
    EXPECT_EQ (panel->voice.hpfSlider.getValue(), 0);
    EXPECT_EQ (panel->voice.pwmSwitch.getPosition(), 0);
    EXPECT_EQ (panel->voice.vcfPolaritySwitch.getPosition(), 1);
    EXPECT_EQ (panel->voice.vcaModeSwitch.getPosition(), 1);
    EXPECT_EQ (panel->voice.vcfFreqSlider.getValue(), 127);
    EXPECT_TRUE (panel->voice.range8Ind.isLit());
    EXPECT_FALSE (panel->session().history().canUndo());
}

TEST_F (PanelTest, RangeLampsReadZeroAs16AndThreeAsNone)
{
    loadActive ({{dcoFlagsIndex, 0x20}});
    EXPECT_TRUE (panel->voice.range16Ind.isLit());
    loadActive ({{dcoFlagsIndex, 0x23}});
    EXPECT_FALSE (panel->voice.range16Ind.isLit());
    EXPECT_FALSE (panel->voice.range8Ind.isLit());
    EXPECT_FALSE (panel->voice.range4Ind.isLit());
}

TEST_F (PanelTest, StatusRevertsTwoSecondsAfterTheLastEdit)
{
    EXPECT_EQ (status(), "----------");
    UiTest::press (panel->voice.vcfResSlider, 12.0f, 48.0f);
    EXPECT_EQ (status(), "VCF Res: 64");
    EXPECT_TRUE (panel->patchBar.controlTimer.isTimerRunning());
    EXPECT_EQ (panel->patchBar.controlTimer.getTimerInterval(), 2000);

    panel->patchBar.controlTimer.timerCallback(); // the two seconds have passed
    EXPECT_EQ (status(), "----------");
    EXPECT_FALSE (panel->patchBar.controlTimer.isTimerRunning());
}

//==============================================================================
class KeyboardTest : public PanelTest
{
protected:
    KeyboardTest()
    {
        panel->performance.keyboard.isKeyDown = [this] (int code) { return held.count (code) > 0; };
        panel->performance.keyboard.isCommandHeld = [this] { return commandHeld; };
    }

    void keys (std::set<int> nowHeld)
    {
        held = std::move (nowHeld);
        panel->performance.keyboard.keyStateChanged (true);
    }

    bool greyDotAt (int x)
    {
        const auto image = UiTest::render (panel->performance.keyboard, 1.0f);
        return image.getPixelAt (x + 2, 50) == juce::Colour (0xFF808080);
    }

    std::set<int> held;
    bool commandHeld = false;
};

TEST_F (KeyboardTest, ComputerKeysPlayNotesOnChannelZero)
{
    panel->midiEngine.setMidiChannel (5); // the menu channel applies to patch dumps only
    keys ({'Z', 'S'});
    keys ({'S'});
    EXPECT_EQ (midi->sent, (std::vector<Bytes>{{0x90, 60, 60}, {0x90, 61, 60}, {0x80, 60, 60}}));
    EXPECT_EQ (panel->performance.keyboard.heldKeys, (std::set<int>{61}));
}

TEST_F (KeyboardTest, OctaveUpStopsHeldNotesAndMovesTheDot)
{
    EXPECT_TRUE (greyDotAt (172)); // under Z's note, where a red dot will cover it
    keys ({'Z'});
    midi->clearSent();

    UiTest::click (panel->performance.octaveUpBtn);
    EXPECT_EQ (midi->sent, (std::vector<Bytes>{{0x80, 60, 60}}));
    EXPECT_EQ (panel->performance.keyboard.octave, 4);
    EXPECT_TRUE (greyDotAt (256));
    EXPECT_FALSE (greyDotAt (172));

    keys ({'Z'}); // still held: sounds in the new octave at the next key event
    EXPECT_EQ (midi->sent.back(), (Bytes{0x90, 72, 60}));
}

TEST_F (KeyboardTest, TopOctaveLeavesTheLastKeysSilentAndOctaveLimitsHold)
{
    UiTest::click (panel->performance.octaveUpBtn);
    UiTest::click (panel->performance.octaveUpBtn); // already at 4
    EXPECT_EQ (panel->performance.keyboard.octave, 4);
    midi->clearSent();
    keys ({'9', 'O', '0', 'P', 'I'});
    EXPECT_EQ (midi->sent, (std::vector<Bytes>{{0x90, 96, 60}}));

    for (int i = 0; i < 5; ++i)
        UiTest::click (panel->performance.octaveDownBtn);
    EXPECT_EQ (panel->performance.keyboard.octave, 1);
}

TEST_F (KeyboardTest, MousePlaysOneNoteAndBlackKeysWin)
{
    auto& kb = panel->performance.keyboard;
    const std::vector<std::tuple<float, float, int>> clicks = {
        {2.0f, 50.0f, 36},   // white C below the black keys
        {9.0f, 10.0f, 37},   // C sharp
        {9.0f, 40.0f, 36},   // below C sharp: white C
        {429.0f, 10.0f, 97}, // the half-hidden last black key
        {425.0f, 50.0f, 96},
    };
    for (auto [x, y, note] : clicks)
    {
        midi->clearSent();
        UiTest::press (kb, x, y);
        UiTest::drag (kb, x + 30.0f, y); // dragging keeps the first note
        UiTest::release (kb, x + 30.0f, y);
        EXPECT_EQ (
            midi->sent,
            (std::vector<Bytes>{{0x90, static_cast<uint8_t> (note), 60}, {0x80, static_cast<uint8_t> (note), 60}}));
    }

    UiTest::click (panel->performance.mouseBtn);
    EXPECT_FALSE (panel->performance.mouseInd.isLit());
    midi->clearSent();
    UiTest::click (kb, 2.0f, 50.0f);
    EXPECT_TRUE (midi->sent.empty());
}

TEST_F (KeyboardTest, AllNotesOffStopsOnlyWhatSounds)
{
    UiTest::click (panel->performance.allNotesOffBtn);
    EXPECT_TRUE (midi->sent.empty());

    keys ({'X', 'Z'});
    UiTest::press (panel->performance.keyboard, 9.0f, 10.0f);
    midi->clearSent();
    UiTest::click (panel->performance.allNotesOffBtn);
    EXPECT_EQ (midi->sent, (std::vector<Bytes>{{0x80, 60, 60}, {0x80, 62, 60}, {0x80, 37, 60}}));
    EXPECT_TRUE (panel->performance.keyboard.heldKeys.empty());
}

TEST_F (KeyboardTest, CtrlOrAltWithALetterIsACommandNotANote)
{
    keys ({'Z'});
    commandHeld = true; // Ctrl+Q while Z still sounds
    keys ({'Z', 'Q'});
    EXPECT_EQ (midi->sent, (std::vector<Bytes>{{0x90, 60, 60}}));
    keys ({'Q'}); // releasing a note still works with Ctrl held
    EXPECT_EQ (midi->sent.back(), (Bytes{0x80, 60, 60}));
    EXPECT_TRUE (panel->performance.keyboard.heldKeys.empty());
}

TEST_F (KeyboardTest, LosingTheFocusStopsTheComputerKeysNotes)
{
    keys ({'Z', 'X'});
    UiTest::press (panel->performance.keyboard, 9.0f, 10.0f); // a mouse note, still held
    midi->clearSent();
    panel->performance.keyboard.focusLost (juce::Component::focusChangedDirectly);
    EXPECT_EQ (midi->sent, (std::vector<Bytes>{{0x80, 60, 60}, {0x80, 62, 60}}));
    EXPECT_TRUE (panel->performance.keyboard.heldKeys.empty());
}

TEST_F (KeyboardTest, KybdOffStopsNewNotesButNotSoundingOnes)
{
    keys ({'Z'});
    UiTest::click (panel->performance.kybdBtn);
    EXPECT_FALSE (panel->performance.kybdInd.isLit());
    midi->clearSent();
    keys ({'X'});
    EXPECT_TRUE (midi->sent.empty());
    EXPECT_EQ (panel->performance.keyboard.heldKeys, (std::set<int>{60}));
}

TEST_F (PanelTest, LeversBendAndModulateAndSpringBack)
{
    auto& bender = panel->performance.benderSlider;
    EXPECT_EQ (bender.getValue(), 64);
    UiTest::press (bender, 6.0f, -10.0f);
    UiTest::release (bender, 6.0f, -10.0f);
    EXPECT_EQ (midi->sent, (std::vector<Bytes>{{0xE0, 0x00, 0x7F}, {0xE0, 0x00, 0x40}}));

    midi->clearSent();
    UiTest::press (panel->performance.lfoTrigSlider, 6.0f, -10.0f);
    UiTest::release (panel->performance.lfoTrigSlider, 6.0f, -10.0f);
    UiTest::wheel (panel->performance.lfoTrigSlider, 1.0f);
    EXPECT_EQ (midi->sent, (std::vector<Bytes>{{0xB0, 1, 127}, {0xB0, 1, 0}, {0xB0, 1, 1}}));
    EXPECT_FALSE (panel->session().history().canUndo());
}

TEST_F (PanelTest, PatchDumpsCarryTheMenuChannel)
{
    panel->midiEngine.setMidiChannel (15);
    UiTest::press (panel->voice.vcfResSlider, 12.0f, 48.0f);
    ASSERT_EQ (sentDumps().size(), 1u);
    EXPECT_EQ (sentDumps()[0][3], 15);
}
