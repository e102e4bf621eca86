// Controllers on the real panel: control changes arriving on the control
// port move the controls and go out as parameter changes; a control's
// right-click menu learns and forgets its controller.

#include "PanelFixture.h"

namespace
{
using Bytes = std::vector<uint8_t>;

Bytes paramChange (uint8_t number, uint8_t value)
{
    return {0xF0, 0x41, 0x32, 0x00, number, value, 0xF7};
}

/** The panel with its control menus caught instead of shown, so a test can choose an item. */
class ControllerPanelTest : public PanelTest
{
protected:
    ControllerPanelTest()
    {
        panel->voice.showMenu = [this] (juce::PopupMenu menu, juce::Component& target, std::function<void (int)> chosen)
        {
            shownMenu = std::move (menu);
            menuTarget = &target;
            chooseItem = std::move (chosen);
        };
    }

    /** A control change from a controller plugged into the computer, and the
        message loop run for one frame of the panel, which shows the moves of a
        controller at most 60 times a second. */
    void turn (uint8_t controller, uint8_t value, uint8_t channel = 0)
    {
        ASSERT_TRUE (midi->injectControl ({static_cast<uint8_t> (0xB0 | channel), controller, value}));
        ASSERT_TRUE (runPostedMessages());
        pumpMessagesUntil ([] { return false; }, 1000 / 60 + 5);
    }

    std::vector<std::pair<int, bool>> menuItems() const
    {
        std::vector<std::pair<int, bool>> items;
        for (juce::PopupMenu::MenuItemIterator it (shownMenu); it.next();)
            items.push_back ({it.getItem().itemID, it.getItem().isEnabled});
        return items;
    }

    juce::PopupMenu shownMenu;
    juce::Component* menuTarget = nullptr;
    std::function<void (int)> chooseItem;
};
} // namespace

TEST_F (ControllerPanelTest, AControlChangeMovesTheControlShowsItAndSendsOnlyAParameterChange)
{
    turn (107, 64); // the default map: CC 102 + 5, VCF Freq
    EXPECT_EQ (panel->voice.vcfFreqSlider.getValue(), 64);
    EXPECT_EQ (status(), "VCF Freq: 64");
    EXPECT_TRUE (panel->patchBar.changedInd.isLit());
    EXPECT_EQ (midi->sent, std::vector<Bytes>{paramChange (5, 64)}) << "no dump, in the window too";

    turn (119, 0x10); // the switches byte as the synthesizer takes it: PWM LFO, HPF at 1
    EXPECT_EQ (panel->voice.hpfSlider.getValue(), 1);
    EXPECT_EQ (panel->voice.pwmSwitch.getPosition(), 1) << "the top position: LFO";
    EXPECT_EQ (status(), "Switches: 16");
    turn (118, 0x54); // the flags byte: 4', saw, chorus I
    EXPECT_TRUE (panel->voice.range4Ind.isLit());
    EXPECT_TRUE (panel->voice.sawInd.isLit());
    EXPECT_TRUE (panel->voice.chorus1Ind.isLit());
    EXPECT_FALSE (panel->voice.pulseInd.isLit());

    // A sweep of one knob is one UNDO step; UNDO sends the whole patch back.
    for (uint8_t v = 65; v < 90; ++v)
        turn (107, v);
    midi->clearSent();
    panel->patchBar.undoBtn.onClick();
    EXPECT_EQ (panel->voice.vcfFreqSlider.getValue(), 64);
    ASSERT_EQ (sentDumps().size(), 1u);
}

TEST_F (ControllerPanelTest, TheRightClickMenuLearnsAndForgetsAControllerWithoutMovingTheControl)
{
    auto& fader = panel->voice.vcfResSlider;
    const int before = fader.getValue();
    UiTest::rightClick (fader, 12.0f, 90.0f);
    ASSERT_EQ (menuTarget, &fader);
    EXPECT_EQ (fader.getValue(), before) << "a right-click does not move the fader";
    EXPECT_TRUE (midi->sent.empty());
    EXPECT_EQ (menuItems(),
               (std::vector<std::pair<int, bool>>{{VoiceSection::learnControllerId, true},
                                                  {VoiceSection::forgetControllerId, false}}));

    chooseItem (VoiceSection::learnControllerId);
    EXPECT_EQ (status(), "Move a controller for VCF Res");
    turn (64, 127, 2); // the sustain pedal cannot be learned: still waiting
    EXPECT_EQ (status(), "Move a controller for VCF Res");
    turn (21, 90, 2);
    EXPECT_EQ (status(), "VCF Res: CC 21 ch 3");
    turn (21, 100, 2);
    EXPECT_EQ (fader.getValue(), 100);

    // Escape gives up learning for a button.
    UiTest::rightClick (panel->voice.chorus2Btn);
    chooseItem (VoiceSection::learnControllerId);
    EXPECT_EQ (status(), "Move a controller for Chorus II");
    EXPECT_TRUE (panel->keyPressed (juce::KeyPress (juce::KeyPress::escapeKey)));
    turn (22, 127);
    EXPECT_FALSE (panel->voice.chorus2Ind.isLit());

    UiTest::rightClick (fader);
    EXPECT_EQ (menuItems().back(), (std::pair<int, bool>{VoiceSection::forgetControllerId, true}));
    chooseItem (VoiceSection::forgetControllerId);
    turn (21, 10, 2);
    EXPECT_EQ (fader.getValue(), 100) << "forgotten";
}

TEST_F (ControllerPanelTest, AFastSweepIsShownOnceAFrameAndEndsOnTheLastValue)
{
    for (uint8_t v = 1; v <= 50; ++v)
        ASSERT_TRUE (midi->injectControl ({0xB0, 107, v}));
    ASSERT_TRUE (runPostedMessages());
    EXPECT_EQ (session().activePatch().data[5], 50) << "every move reaches the session at once";
    EXPECT_EQ (panel->voice.vcfFreqSlider.getValue(), 1) << "the panel showed the first and waits for the next frame";
    EXPECT_TRUE (pumpMessagesUntil ([this] { return panel->voice.vcfFreqSlider.getValue() == 50; }, 200));
    EXPECT_EQ (status(), "VCF Freq: 50");
}

TEST_F (ControllerPanelTest, AControllersSwitchKeepsWhatTheSynthesizerHeldAndThePanelShowsIt)
{
    // Sync to Control Changes is off: the synthesizer's own VCA switch moves it, not the panel.
    std::string problem;
    ASSERT_TRUE (model->controllers().importMap ("1 20 HPF\n", problem)) << problem;
    const uint8_t panelSwitches = model->session().activePatch().data[PatchBits::switchesIndex];
    const uint8_t heard = panelSwitches ^ PatchBits::vcaGateBit;
    const int panelVca = panel->voice.vcaModeSwitch.getPosition();
    receive (sysex ({0xF0, 0x41, 0x32, 0x00, 0x11, heard, 0xF7}));
    EXPECT_EQ (panel->voice.vcaModeSwitch.getPosition(), panelVca);
    midi->clearSent();

    turn (20, 127); // HPF to 3
    const uint8_t sent = PatchBits::withHpfPosition (heard, 3);
    EXPECT_EQ (midi->sent, std::vector<Bytes>{paramChange (17, sent)}) << "the synthesizer's VCA kept";
    EXPECT_EQ (panel->voice.hpfSlider.getValue(), 3);
    EXPECT_NE (panel->voice.vcaModeSwitch.getPosition(), panelVca) << "the panel shows what the synthesizer now has";
}
