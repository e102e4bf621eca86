// The plugin's processor and window in this process, linked from the same
// code the plugin is built from: what the window does to the host's view of
// the parameters, and what the options do.

#include "TempFolder.h"
#include "UiTestSupport.h"
#include "files/QorvFileIO.h"
#include "plugin/PluginEditor.h"
#include "plugin/PluginProcessor.h"
#include "previews/PreviewFolder.h"

#include <gtest/gtest.h>

#include <cmath>
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
    processor.model().session().undo();
    EXPECT_EQ (positionOf ("VCF Freq"), 127) << "back to the Init patch's";
    EXPECT_EQ (host.events, std::vector<std::string>{"value 5"}) << "no gesture: the plugin moved it";

    processor.model().session().evolve();
    const auto& evolved = processor.model().session().activePatch().data;
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
    EXPECT_EQ (processor.way(), PluginState::Way::throughHost);
    EXPECT_EQ (processor.channel(), 4);
    EXPECT_TRUE (processor.sendsAtEveryStart());
    EXPECT_FALSE (processor.sendsWhenProjectOpens());

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
    EXPECT_EQ (editor.panel.patchBar.statusLabel.getText(), "Not restored: the saved state is not Qorv's");

    processor.chooseOutputDevice ("Juno-106");
    QorvPluginProcessor second;
    second.chooseOutputDevice ("Juno-106");
    EXPECT_EQ (second.notice(), "Another Qorv plugin sends to Juno-106 on channel 1");
    second.setChannel (1);
    EXPECT_EQ (second.notice(), "") << "on another channel they do not meet";
}

TEST_F (ProcessorTest, ThePreviewOfTheSelectedRowPlaysThroughThePluginsOutputLevelMatched)
{
    TempFolder folder;
    LibraryModel library;
    PatchModel heard, unheard;
    heard.name = "Heard";
    heard.data[5] = 40;
    unheard.name = "Unheard";
    unheard.data[5] = 90;
    library.replacePatches ({heard, unheard});
    const std::string path = folder.path ("Set.106");
    ASSERT_TRUE (QorvFileIO::save (path, library));
    PreviewInfo info;
    info.bytes = heard.data;
    info.gain = -6.0;
    ASSERT_TRUE (PreviewFolder (PreviewFolder::folderFor (path)).store (info, std::vector<float> (48000, 0.5f)));
    std::string whyNot;
    ASSERT_TRUE (processor.loadLibrary (path, whyNot)) << whyNot;

    QorvPluginEditor editor (processor);
    processor.prepareToPlay (48000.0, 256);
    juce::AudioBuffer<float> audio (2, 256);
    juce::MidiBuffer midi;
    editor.panel.bank.showRow (0);
    editor.previewButton.onClick();
    processor.processBlock (audio, midi);
    // Vorbis keeps a constant within a hair; the gain brings it 6 dB down.
    EXPECT_NEAR (audio.getSample (0, 100), 0.5f * std::pow (10.0f, -6.0f / 20.0f), 0.02f);
    EXPECT_EQ (audio.getSample (0, 100), audio.getSample (1, 100));
    EXPECT_TRUE (processor.isPlayingPreview());
    editor.previewButton.onClick(); // pressed again: stops
    processor.processBlock (audio, midi);
    EXPECT_EQ (audio.getMagnitude (0, 256), 0.0f);

    editor.panel.bank.showRow (1);
    editor.previewButton.onClick();
    EXPECT_EQ (editor.panel.patchBar.statusLabel.getText(), "No preview of \"Unheard\"");
}
