// The plugin's processor and window in this process, linked from the same
// code the plugin is built from: what the window does to the host's view of
// the parameters, and what the options do.

#include "SequencerTestSupport.h"
#include "TempFolder.h"
#include "UiTestSupport.h"
#include "files/QorvFileIO.h"
#include "midi/protocol/JunoMessages.h"
#include "plugin/PluginEditor.h"
#include "plugin/PluginProcessor.h"
#include "previews/PreviewFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <thread>
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
    // Whenever one looks, the reason is going by: every part, then the first again, not stuck.
    juce::StringArray shown{status.getText()};
    for (int change = 0; change < parts.size(); ++change)
    {
        const auto before = status.getText();
        for (int wait = 0; wait < 100 && status.getText() == before; ++wait)
            juce::MessageManager::getInstance()->runDispatchLoopUntil (100);
        shown.add (status.getText());
    }
    auto expected = parts;
    expected.add (parts[0]);
    EXPECT_EQ (shown, expected);

    processor.document().chooseOutputDevice ("Juno-106");
    QorvPluginProcessor second;
    second.document().chooseOutputDevice ("Juno-106");
    EXPECT_EQ (second.document().notice(), "Another Qorv plugin sends to Juno-106 on channel 1");
    second.document().setChannel (1);
    EXPECT_EQ (second.document().notice(), "") << "on another channel they do not meet";
}

namespace
{
using Bytes = std::vector<uint8_t>;

Bytes paramChange (int channel, int number, int value)
{
    const auto message = JunoMessages::buildParamChange (channel, number, value);
    return Bytes (message.begin(), message.end());
}

/** A project whose Qorv sends through the host on channel 3. */
std::vector<uint8_t> throughHostProject (uint8_t vcfFreq)
{
    PluginState state;
    state.active.data[5] = vcfFreq;
    state.stored = state.active;
    state.way = PluginState::Way::throughHost;
    state.channel = 2;
    return state.toBytes();
}

class ThroughTheHostTest : public ProcessorTest
{
protected:
    ThroughTheHostTest()
    {
        processor.setRateAndBufferSizeDetails (48000.0, 64);
        restore (throughHostProject (127));
    }

    void restore (const std::vector<uint8_t>& bytes)
    {
        processor.setStateInformation (bytes.data(), static_cast<int> (bytes.size()));
    }

    /** Blocks until the line is quiet (it paces for a DIN link): what left, in order. */
    std::vector<Bytes> blocks()
    {
        std::vector<Bytes> out;
        for (int quiet = 0; quiet < 20;)
        {
            juce::MidiBuffer midi;
            processor.processBlock (audio, midi);
            quiet = midi.isEmpty() ? quiet + 1 : 0;
            for (const auto event : midi)
                out.emplace_back (event.data, event.data + event.numBytes);
        }
        return out;
    }

    void hostMoves (const juce::String& name, int position)
    {
        for (auto* parameter : processor.getParameters())
            if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (parameter); ranged->getName (100) == name)
                ranged->setValueNotifyingHost (ranged->convertTo0to1 (static_cast<float> (position)));
    }

    /** The plugin's message thread takes the host's moves: here, the test's own loop. */
    static void letTheTimerRun() { juce::MessageManager::getInstance()->runDispatchLoopUntil (50); }

    juce::AudioBuffer<float> audio{2, 64};
};
} // namespace

TEST_F (ThroughTheHostTest, WhileTheHostDoesNotProcessThePanelsLatestSoundWaitsAndGoesOutWhenItDoes)
{
    auto& session = processor.document().model().session();
    for (int move = 0; move < 300; ++move)
        session.setLevel (5, (move * 7) % 128);
    session.setLevel (5, 43);
    session.setHpfPosition (2);
    // Each panel edit sends the patch whole: one dump leaves, the panel's sound now, not 255 stale ones.
    const auto dump = JunoMessages::buildPatchDump (session.activePatch(), 2, 0);
    EXPECT_EQ (blocks(), std::vector<Bytes>{Bytes (dump.begin(), dump.end())});
}

TEST_F (ThroughTheHostTest, ASessionChangeNeverHidesAHostMoveFromTheSynthesizer)
{
    hostMoves ("VCF Freq", 100);
    EXPECT_EQ (blocks(), std::vector<Bytes>{paramChange (2, 5, 100)});
    letTheTimerRun();

    // The project comes back with 127 while the synthesizer was last sent 100: nothing is sent...
    restore (throughHostProject (127));
    EXPECT_TRUE (blocks().empty());
    // ... so a host move to 127 must go: the synthesizer still has 100.
    hostMoves ("VCF Freq", 127);
    EXPECT_EQ (blocks(), std::vector<Bytes>{paramChange (2, 5, 127)});
    letTheTimerRun();
    hostMoves ("VCF Freq", 100);
    EXPECT_EQ (blocks(), std::vector<Bytes>{paramChange (2, 5, 100)});
}

TEST_F (ProcessorTest, ARestoreFromAnotherThreadIsReadBackAtOnceAndNeverReachesTheHostAsAnEdit)
{
    const auto project = throughHostProject (33);
    std::thread hostThread ([&] { processor.setStateInformation (project.data(), static_cast<int> (project.size())); });
    hostThread.join();
    juce::MemoryBlock saved;
    processor.getStateInformation (saved);
    EXPECT_EQ (std::vector<uint8_t> (saved.begin(), saved.end()), project) << "before the message thread applied it";
    EXPECT_EQ (positionOf ("VCF Freq"), 33) << "the parameters follow at once";
    for (const auto& event : host.events)
        EXPECT_EQ (event.rfind ("value", 0), 0u) << "no gesture: " << event;

    host.events.clear();
    juce::MessageManager::getInstance()->runDispatchLoopUntil (100);
    EXPECT_EQ (processor.document().model().session().activePatch().data[5], 33);
    EXPECT_TRUE (host.events.empty()) << "applied, it tells the host nothing more";
}

namespace
{
/** Whether the sequencer is there; where it must be (the small virtual machine sets
    QORV_NEEDS_SEQUENCER), its absence fails the test instead of skipping it. */
bool hasSequencer (QorvPluginProcessor& processor)
{
    if (processor.document().model().engine().isAvailable())
        return true;
    EXPECT_EQ (std::getenv ("QORV_NEEDS_SEQUENCER"), nullptr) << "no ALSA sequencer here";
    return false;
}

/** Whether a port of that name is at that endpoint in the sequencer, as another client sees it. */
bool portExists (uint32_t endpoint, const char* name)
{
    snd_seq_t* seq = nullptr;
    if (endpoint == 0 || snd_seq_open (&seq, "default", SND_SEQ_OPEN_DUPLEX, 0) < 0)
        return false;
    snd_seq_port_info_t* info = nullptr;
    snd_seq_port_info_alloca (&info);
    const bool found = snd_seq_get_any_port_info (
                           seq, static_cast<int> (endpoint >> 8), static_cast<int> (endpoint & 0xFF), info) == 0 &&
                       std::string (snd_seq_port_info_get_name (info)) == name;
    snd_seq_close (seq);
    return found;
}

void hostsOwnErrorHandler (const char*, int, const char*, int, const char*, ...) {}
} // namespace

TEST_F (ProcessorTest, TheControlPortOpensOnlyOnceTheInstanceIsUsedAndTheStripTurnsItOffForTheProject)
{
    if (!hasSequencer (processor))
        GTEST_SKIP() << "no ALSA sequencer";
    const auto& engine = processor.document().model().engine();
    EXPECT_EQ (engine.controlPortEndpoint(), 0u) << "made, as a host's scan makes it: no port";
    processor.prepareToPlay (48000.0, 64);
    juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
    EXPECT_TRUE (portExists (engine.controlPortEndpoint(), "Qorv Control")) << "prepared to play: used";

    const auto endpoint = engine.controlPortEndpoint();
    {
        QorvPluginEditor editor (processor);
        EXPECT_TRUE (editor.controlButton.getToggleState());
        editor.controlButton.setToggleState (false, juce::dontSendNotification);
        editor.controlButton.onClick();
    }
    EXPECT_EQ (engine.controlPortEndpoint(), 0u);
    EXPECT_FALSE (portExists (endpoint, "Qorv Control")) << "gone from the sequencer";

    juce::MemoryBlock saved;
    processor.getStateInformation (saved);
    QorvPluginProcessor reopened;
    reopened.setStateInformation (saved.getData(), static_cast<int> (saved.getSize()));
    reopened.prepareToPlay (48000.0, 64);
    juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
    EXPECT_FALSE (reopened.document().wantsControlPort());
    EXPECT_EQ (reopened.document().model().engine().controlPortEndpoint(), 0u) << "the project keeps it off";
}

TEST_F (ProcessorTest, TheOutputListChoosesTheDeviceItShowedThoughAnotherWentMeanwhile)
{
    if (!hasSequencer (processor))
        GTEST_SKIP() << "no ALSA sequencer";
    auto first = std::make_unique<OtherClient> ("Qorv Test A", "out");
    OtherClient second ("Qorv Test B", "out"), third ("Qorv Test C", "out");
    QorvPluginEditor editor (processor);
    editor.outputList.beforeShowing(); // the list as its menu opens
    int secondItem = 0;
    for (int i = 0; i < editor.outputList.getNumItems(); ++i)
        if (editor.outputList.getItemText (i).startsWith ("Qorv Test B"))
            secondItem = editor.outputList.getItemId (i);
    ASSERT_NE (secondItem, 0);

    first.reset(); // gone while the menu is open
    juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
    editor.outputList.setSelectedId (secondItem, juce::sendNotificationSync);
    EXPECT_EQ (processor.document().outputDevice().rfind ("Qorv Test B", 0), 0u) << processor.document().outputDevice();
}

TEST (PluginAlsaErrors, AnInstanceLeavesTheHostsErrorHandlerAsItWas)
{
    snd_lib_error_set_handler (hostsOwnErrorHandler);
    {
        QorvPluginProcessor processor;
        EXPECT_EQ (snd_lib_error, hostsOwnErrorHandler);
    }
    EXPECT_EQ (snd_lib_error, hostsOwnErrorHandler);
    snd_lib_error_set_handler (nullptr);
}

TEST_F (ProcessorTest, ALibraryThatCannotBeReadSaysWhyAndAPipeIsNeverWaitedOn)
{
    const auto folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                            .getChildFile ("qorv-plugin-libraries-" + juce::String (getpid()));
    folder.deleteRecursively();
    ASSERT_TRUE (folder.createDirectory());
    const auto path = [&] (const char* name) { return folder.getChildFile (name); };
    ASSERT_TRUE (path ("Folder.106").createDirectory());
    ASSERT_EQ (::mkfifo (path ("Pipe.106").getFullPathName().toRawUTF8(), 0600), 0);
    ASSERT_TRUE (juce::File ("/dev/zero").createSymbolicLink (path ("Zero.106"), false));
    {
        juce::FileOutputStream huge (path ("Huge.106"));
        ASSERT_TRUE (huge.openedOk());
    }
    ASSERT_EQ (::truncate (path ("Huge.106").getFullPathName().toRawUTF8(), 1 << 30), 0); // 1 GB, sparse
    ASSERT_TRUE (path ("Text.106").replaceWithText ("not a library"));

    const struct
    {
        const char* name;
        const char* why;
    } unreadable[] = {
        {"Folder.106", "is a folder, not a file"},
        {"Pipe.106", "is not a regular file"},
        {"Zero.106", "is not a regular file"},
        {"Huge.106", "is larger than 256 MB, more than any patch file"},
        {"Text.106", "is not a Qorv library (.106)"},
    };
    QorvPluginEditor editor (processor);
    auto& status = editor.panel.patchBar.statusLabel;
    for (const auto& file : unreadable)
    {
        editor.libraryChosen (path (file.name));
        EXPECT_EQ (status.getTooltip(), juce::String ("Load failed: ") + file.name + " " + file.why);

        PluginState state;
        state.libraryPath = path (file.name).getFullPathName().toStdString();
        const auto bytes = state.toBytes();
        processor.setStateInformation (bytes.data(), static_cast<int> (bytes.size()));
        EXPECT_EQ (processor.document().notice(), juce::String ("Library not read: ") + file.name + " " + file.why);
    }
    PluginState gone;
    gone.libraryPath = path ("Gone.106").getFullPathName().toStdString();
    const auto bytes = gone.toBytes();
    processor.setStateInformation (bytes.data(), static_cast<int> (bytes.size()));
    EXPECT_EQ (processor.document().notice(), "Library not found: Gone.106");
    folder.deleteRecursively();
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
    ASSERT_TRUE (processor.document().loadLibrary (path, whyNot)) << whyNot;

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
    EXPECT_TRUE (processor.document().isPlayingPreview());
    editor.previewButton.onClick(); // pressed again: stops
    processor.processBlock (audio, midi);
    EXPECT_EQ (audio.getMagnitude (0, 256), 0.0f);

    editor.panel.bank.showRow (1);
    editor.previewButton.onClick();
    EXPECT_EQ (editor.panel.patchBar.statusLabel.getText(), "No preview of \"Unheard\"");
}
