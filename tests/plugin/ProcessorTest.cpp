// The plugin's processor and window in this process, linked from the same
// code the plugin is built from: what the window does to the host's view of
// the parameters, and what the options do.

#include "UiTestSupport.h"
#include "plugin/PluginEditor.h"
#include "plugin/PluginProcessor.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
/** Writes down the host's side of the parameters: values and gestures, in order. */
class HostSide : public juce::AudioProcessorListener
{
public:
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float) override
    {
        events.push_back ("value " + std::to_string (index));
    }
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override
    {
        events.push_back ("begin " + std::to_string (index));
    }
    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override
    {
        events.push_back ("end " + std::to_string (index));
    }
    std::vector<std::string> events;
};

class ProcessorTest : public testing::Test
{
protected:
    ProcessorTest() { processor.addListener (&host); }
    ~ProcessorTest() override { processor.removeListener (&host); }

    int positionOf (const juce::String& name)
    {
        for (auto* parameter : processor.getParameters())
            if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (parameter);
                ranged != nullptr && ranged->getName (100) == name)
                return juce::roundToInt (ranged->getValue() * static_cast<float> (ranged->getNumSteps() - 1));
        ADD_FAILURE() << "no parameter " << name;
        return -1;
    }

    QorvPluginProcessor processor;
    HostSide host;
};
} // namespace

TEST_F (ProcessorTest, APanelEditIsAGestureTheHostCanRecordAndUndoEvolveAndAPatchMoveTheParameters)
{
    QorvPluginEditor editor (processor);
    auto& fader = editor.panel.voice.vcfFreqSlider;
    UiTest::press (fader, 12.0f, 48.0f);
    UiTest::release (fader, 12.0f, 48.0f);
    const int vcfFreq = 5; // the sixth parameter
    EXPECT_EQ (positionOf ("VCF Freq"), fader.getValue());
    EXPECT_EQ (host.events, (std::vector<std::string>{"begin 5", "value 5", "end 5"})) << vcfFreq;

    host.events.clear();
    processor.document().model().session().undo();
    EXPECT_EQ (positionOf ("VCF Freq"), 127) << "back to the Init patch's";
    EXPECT_EQ (host.events, std::vector<std::string>{"value 5"}) << "no gesture: the plugin moved it";

    processor.document().model().session().evolve();
    const auto& evolved = processor.document().model().session().activePatch().data;
    EXPECT_EQ (positionOf ("Attack"), evolved[11]);
    EXPECT_EQ (positionOf ("HPF"), PatchBits::hpfPosition (evolved[17]));
}

TEST_F (ProcessorTest, TheStripSetsTheWayTheChannelAndTheRecallOptionsAndTheWindowComesBackWithThem)
{
    {
        QorvPluginEditor editor (processor);
        editor.wayList.setSelectedId (2, juce::sendNotificationSync); // Through the Host
        editor.channelList.setSelectedId (5, juce::sendNotificationSync);
        editor.showMenu = [] (juce::PopupMenu, juce::Component&, std::function<void (int)> chosen)
        { chosen (QorvPluginEditor::sendAtEveryStartItem); };
        editor.recallButton.onClick();
        EXPECT_FALSE (editor.outputList.isEnabled()) << "no device through the host";
    }
    const auto& document = processor.document();
    EXPECT_EQ (document.way(), PluginState::Way::throughHost);
    EXPECT_EQ (document.channel(), 4);
    EXPECT_TRUE (document.sendsAtEveryStart());
    EXPECT_FALSE (document.sendsWhenProjectOpens());

    QorvPluginEditor reopened (processor);
    EXPECT_EQ (reopened.wayList.getSelectedId(), 2);
    EXPECT_EQ (reopened.channelList.getSelectedId(), 5);
    EXPECT_EQ (reopened.getWidth(), 1092);
    reopened.applySize (0);
    EXPECT_EQ (reopened.getWidth(), 728);
    EXPECT_EQ (reopened.getHeight(), 480 + QorvPluginEditor::stripHeight);
}

TEST_F (ProcessorTest, ARefusedStateSaysSoInStatusAndASecondInstanceOnOneDeviceAndChannelToo)
{
    const std::vector<uint8_t> junk (40, 0x55);
    processor.setStateInformation (junk.data(), static_cast<int> (junk.size()));
    QorvPluginEditor editor (processor);
    // STATUS is narrow: the reason goes by in parts it can show, and its tooltip holds the whole.
    const juce::String reason = "Not restored: the saved state is not Qorv's";
    auto& status = editor.panel.patchBar.statusLabel;
    EXPECT_EQ (status.getTooltip(), reason);
    const auto parts = editor.panel.patchBar.partsThatFit (reason);
    EXPECT_GT (parts.size(), 1);
    EXPECT_EQ (parts.joinIntoString (" "), reason) << "every word of it";
    EXPECT_EQ (status.getText(), parts[0]);

    processor.document().chooseOutputDevice ("Juno-106");
    QorvPluginProcessor second;
    second.document().chooseOutputDevice ("Juno-106");
    EXPECT_EQ (second.document().notice(), "Another Qorv plugin sends to Juno-106 on channel 1");
    second.document().setChannel (1);
    EXPECT_EQ (second.document().notice(), "") << "on another channel they do not meet";
}
