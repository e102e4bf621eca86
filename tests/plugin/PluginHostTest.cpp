// The built Qorv.vst3 and Qorv.lv2 in a host of our own, made with JUCE's
// plugin hosting, each test once for each format.

#include "AllocationCounter.h"
#include "Vst3HostState.h"
#include "files/PluginState.h"
#include "midi/protocol/JunoMessages.h"

#include <gtest/gtest.h>
#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 64;
const char* const pluginUri = "https://qorv.org/plugins/qorv";

/** A transport the test starts and stops. */
class TestPlayHead : public juce::AudioPlayHead
{
public:
    juce::Optional<PositionInfo> getPosition() const override
    {
        PositionInfo info;
        info.setIsPlaying (playing);
        info.setTimeInSamples (samples);
        return info;
    }
    bool playing = false;
    int64_t samples = 0;
};

/** Our state's bytes, then whatever the wrapper keeps after them. */
Bytes withoutTrailer (Bytes bytes)
{
    if (bytes.size() >= 14)
    {
        const size_t body = bytes[10] | (bytes[11] << 8) | (bytes[12] << 16) | (static_cast<size_t> (bytes[13]) << 24);
        if (14 + body + 4 <= bytes.size())
            bytes.resize (14 + body + 4);
    }
    return bytes;
}

/** JUCE's own base64 ("<size>.<digits>"), as both wrappers keep a plugin's state. */
Bytes fromJuceBase64 (const juce::String& text)
{
    juce::MemoryBlock block;
    if (!block.fromBase64Encoding (text.trim()))
        return {};
    const auto* data = static_cast<const uint8_t*> (block.getData());
    return Bytes (data, data + block.getSize());
}

juce::String toJuceBase64 (const Bytes& bytes)
{
    return juce::MemoryBlock (bytes.data(), bytes.size()).toBase64Encoding();
}

/** The plugin's own state bytes inside what the host keeps: the VST3 host keeps
    them as the component's state in an XML document, the LV2 host as the
    StateString property, base64, in a Turtle document. */
Bytes qorvStateIn (const juce::MemoryBlock& hostState, bool vst3)
{
    if (vst3)
    {
        const auto xml =
            juce::AudioProcessor::getXmlFromBinary (hostState.getData(), static_cast<int> (hostState.getSize()));
        if (xml == nullptr || xml->getChildByName ("IComponent") == nullptr)
            return {};
        return withoutTrailer (fromJuceBase64 (xml->getChildByName ("IComponent")->getAllSubText()));
    }
    const auto text = hostState.toString();
    const auto after =
        text.fromFirstOccurrenceOf ("StateString", false, false).fromFirstOccurrenceOf ("\"", false, false);
    return fromJuceBase64 (after.upToFirstOccurrenceOf ("\"", false, false));
}

/** What the host would hand the plugin if its project held these bytes. */
juce::MemoryBlock hostStateWith (const juce::MemoryBlock& current, const Bytes& qorvState, bool vst3)
{
    if (vst3)
        return vst3HostState (qorvState);
    const auto encoded = toJuceBase64 (qorvState);
    const auto text = current.toString();
    const auto start = text.indexOf (text.indexOf ("StateString"), "\"") + 1;
    const auto end = text.indexOf (start, "\"");
    const auto replaced = text.replaceSection (start, end - start, encoded);
    return juce::MemoryBlock (replaced.toRawUTF8(), replaced.getNumBytesAsUTF8());
}

PatchModel patchWith (uint8_t fill, const std::string& name)
{
    PatchModel patch;
    for (int i = 0; i < PatchBits::numLevelBytes; ++i)
        patch.data[static_cast<size_t> (i)] = static_cast<uint8_t> ((fill + i * 7) & 0x7F);
    patch.name = name;
    return patch;
}

class PluginHostTest : public testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        const juce::File lv2Bundle (QORV_LV2_BUNDLE);
        ::setenv ("LV2_PATH", lv2Bundle.getParentDirectory().getFullPathName().toRawUTF8(), 1);
        formats.addFormat (new juce::VST3PluginFormat());
        formats.addFormat (new juce::LV2PluginFormat());
        plugin = load();
        ASSERT_NE (plugin, nullptr);
    }

    bool isVst3() const { return std::string (GetParam()) == "VST3"; }

    std::unique_ptr<juce::AudioPluginInstance> load()
    {
        auto* format = formats.getFormat (isVst3() ? 0 : 1);
        if (!isVst3())
            format->searchPathsForPlugins (
                juce::FileSearchPath (juce::File (QORV_LV2_BUNDLE).getParentDirectory().getFullPathName()),
                true,
                false);
        juce::OwnedArray<juce::PluginDescription> found;
        format->findAllTypesForFile (found, isVst3() ? QORV_VST3_BUNDLE : pluginUri);
        if (found.isEmpty())
        {
            ADD_FAILURE() << "the host finds no plugin";
            return nullptr;
        }
        description = *found[0];
        juce::String error;
        auto instance = formats.createPluginInstance (description, sampleRate, blockSize, error);
        if (instance == nullptr)
        {
            ADD_FAILURE() << error;
            return nullptr;
        }
        instance->setPlayHead (&playHead);
        instance->enableAllBuses();
        instance->prepareToPlay (sampleRate, blockSize);
        return instance;
    }

    /** One block through the plugin; returns the MIDI it put out, each message whole. */
    std::vector<Bytes> runBlock (juce::AudioPluginInstance& instance, const std::vector<Bytes>& in = {})
    {
        juce::MidiBuffer midi;
        for (const auto& message : in)
            midi.addEvent (message.data(), static_cast<int> (message.size()), 0);
        audio.clear();
        instance.processBlock (audio, midi);
        playHead.samples += blockSize;
        std::vector<Bytes> out;
        for (const auto event : midi)
            out.push_back (asReceived (Bytes (event.data, event.data + event.numBytes)));
        return out;
    }
    std::vector<Bytes> runBlock (const std::vector<Bytes>& in = {}) { return runBlock (*plugin, in); }

    /** JUCE's VST3 host wraps every SysEx data event in one more F0 and F7 (a
        DAW takes the event's bytes as they are), and its MIDI buffer then ends
        the message at the first F7: the extra F0 is taken off here, so both
        formats show what a DAW gets. */
    Bytes asReceived (Bytes message) const
    {
        if (isVst3() && message.size() >= 3 && message[0] == 0xF0 && message[1] == 0xF0)
            return Bytes (message.begin() + 1, message.end());
        return message;
    }

    juce::MemoryBlock hostState (juce::AudioPluginInstance& instance)
    {
        juce::MemoryBlock block;
        instance.getStateInformation (block);
        return block;
    }

    Bytes qorvState (juce::AudioPluginInstance& instance) { return qorvStateIn (hostState (instance), isVst3()); }

    void restore (juce::AudioPluginInstance& instance, const Bytes& qorvBytes)
    {
        const auto block = hostStateWith (hostState (instance), qorvBytes, isVst3());
        instance.setStateInformation (block.getData(), static_cast<int> (block.getSize()));
        juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
    }

    /** A state that sends through the host on channel 3, as a project would hold it. */
    PluginState throughHostState() const
    {
        PluginState state;
        state.active = patchWith (10, "Brass Set");
        state.stored = patchWith (11, "Brass Set");
        state.channel = 2;
        state.way = PluginState::Way::throughHost;
        return state;
    }

    juce::AudioProcessorParameter* parameterNamed (juce::AudioPluginInstance& instance, const juce::String& name)
    {
        for (auto* parameter : instance.getParameters())
            if (parameter->getName (100) == name)
                return parameter;
        ADD_FAILURE() << "no parameter " << name;
        return nullptr;
    }

    /** A host's automation: the parameter goes to a position of the control. */
    void automate (juce::AudioPluginInstance& instance, const juce::String& name, int position, int positions)
    {
        auto* parameter = parameterNamed (instance, name);
        parameter->setValue (static_cast<float> (position) / static_cast<float> (positions - 1));
    }

    /** The plugin's shared library, as the host loaded it. */
    std::string pluginLibrary() const { return isVst3() ? "Qorv.vst3/Contents" : "Qorv.lv2/libQorv.so"; }

    juce::AudioPluginFormatManager formats;
    juce::PluginDescription description;
    TestPlayHead playHead;
    juce::AudioBuffer<float> audio{2, blockSize};
    std::unique_ptr<juce::AudioPluginInstance> plugin;
};

Bytes paramChange (uint8_t channel, uint8_t number, uint8_t value)
{
    return {0xF0, 0x41, 0x32, channel, number, value, 0xF7};
}
} // namespace

TEST_P (PluginHostTest, AnInstrumentWithTheTwentyFourParametersNamedAsStatusNamesThem)
{
    EXPECT_EQ (description.name, "Qorv");
    EXPECT_TRUE (description.isInstrument);
    EXPECT_TRUE (plugin->acceptsMidi());
    EXPECT_TRUE (plugin->producesMidi());

    // Ours, in our order, and the wrapper's own "Bypass"; JUCE's LV2 host lists them by URI.
    const juce::StringArray ours ({"LFO Rate", "LFO Delay", "DCO LFO", "DCO PWM",   "Noise",     "VCF Freq",
                                   "VCF Res",  "VCF ENV",   "VCF LFO", "VCF KYBD",  "VCA Level", "Attack",
                                   "Decay",    "Sustain",   "Release", "Sub Level", "Range",     "Square",
                                   "Saw",      "Chorus",    "PWM",     "ENV",       "VCA",       "HPF"});
    juce::StringArray names;
    for (auto* parameter : plugin->getParameters())
        names.add (parameter->getName (100));
    names.removeString ("Bypass");
    if (isVst3())
    {
        EXPECT_EQ (names.joinIntoString (", "), ours.joinIntoString (", "));
    }
    auto sortedNames = names, sortedOurs = ours;
    sortedNames.sort (false);
    sortedOurs.sort (false);
    EXPECT_EQ (sortedNames.joinIntoString (", "), sortedOurs.joinIntoString (", "));

    const struct
    {
        const char* name;
        std::vector<const char*> texts;
    } choices[] = {
        {"Range", {"16'", "8'", "4'"}},
        {"Chorus", {"Off", "I", "II"}},
        {"PWM", {"LFO", "Man"}},
        {"ENV", {"Normal", "Inverted"}},
        {"VCA", {"ENV", "Gate"}},
        {"Square", {"Off", "On"}},
    };
    for (const auto& choice : choices)
    {
        // The texts a host shows along the parameter's whole range, in order.
        auto* parameter = parameterNamed (*plugin, choice.name);
        ASSERT_NE (parameter, nullptr);
        std::vector<std::string> shown;
        for (int step = 0; step <= 100; ++step)
        {
            const auto text = parameter->getText (static_cast<float> (step) / 100.0f, 100).toStdString();
            if (shown.empty() || shown.back() != text)
                shown.push_back (text);
        }
        EXPECT_EQ (shown, std::vector<std::string> (choice.texts.begin(), choice.texts.end())) << choice.name;
    }
    EXPECT_EQ (parameterNamed (*plugin, "VCF Freq")->getText (64.0f / 127.0f, 100).getIntValue(), 64);
    EXPECT_EQ (parameterNamed (*plugin, "HPF")->getText (1.0f, 100).getIntValue(), 3);
}

TEST_P (PluginHostTest, AutomationThroughTheHostGivesExactlyTheParameterChangesInTheMidiOutput)
{
    restore (*plugin, throughHostState().toBytes());
    EXPECT_TRUE (runBlock().empty()) << "nothing is sent while a project loads";

    automate (*plugin, "VCF Freq", 64, 128);
    EXPECT_EQ (runBlock(), std::vector<Bytes>{paramChange (2, 5, 64)});
    automate (*plugin, "Range", 2, 3); // 4'
    automate (*plugin, "HPF", 3, 4);
    const auto moved = runBlock();
    const auto state = throughHostState();
    const uint8_t flags = PatchBits::withRangeBits (state.active.data[16], PatchBits::range4);
    const uint8_t switches = PatchBits::withHpfPosition (state.active.data[17], 3);
    EXPECT_EQ (moved, (std::vector<Bytes>{paramChange (2, 16, flags), paramChange (2, 17, switches)}));
    EXPECT_TRUE (runBlock().empty()) << "each move once";

    // The track's own notes pass through unchanged, beside the plugin's messages.
    const Bytes note{0x90, 60, 100};
    automate (*plugin, "Attack", 90, 128);
    auto withNote = runBlock ({note});
    std::sort (withNote.begin(), withNote.end()); // both at the block's start, in either order
    EXPECT_EQ (withNote, (std::vector<Bytes>{note, paramChange (2, 11, 90)}));

    // The session follows the host: the saved state holds the moves.
    juce::MessageManager::getInstance()->runDispatchLoopUntil (100);
    std::string why;
    const auto saved = qorvState (*plugin);
    const auto kept = PluginState::fromBytes (saved.data(), saved.size(), why);
    ASSERT_TRUE (kept.has_value()) << why;
    EXPECT_EQ (kept->active.data[5], 64);
    EXPECT_EQ (kept->active.data[11], 90);
    EXPECT_EQ (kept->active.data[16], flags);
}

TEST_P (PluginHostTest, AFreshInstanceRestoredFromTheSavedStateShowsTheSamePatchAndOptions)
{
    auto state = throughHostState();
    state.outputDevice = "Juno-106 MIDI 1";
    state.sendAtEveryStart = true;
    state.libraryPath = "/nowhere/Strings.106";
    restore (*plugin, state.toBytes());
    automate (*plugin, "Sub Level", 100, 128);
    runBlock();
    juce::MessageManager::getInstance()->runDispatchLoopUntil (100);
    const auto saved = qorvState (*plugin);

    auto fresh = load();
    ASSERT_NE (fresh, nullptr);
    restore (*fresh, saved);
    EXPECT_EQ (qorvState (*fresh), saved) << "the round trip changes nothing";
    std::string why;
    const auto kept = PluginState::fromBytes (saved.data(), saved.size(), why);
    ASSERT_TRUE (kept.has_value()) << why;
    EXPECT_EQ (kept->active.name, "Brass Set");
    EXPECT_EQ (kept->active.data[15], 100);
    EXPECT_TRUE (kept->stored.sameSound (state.stored));
    EXPECT_EQ (kept->outputDevice, "Juno-106 MIDI 1");
    EXPECT_EQ (kept->channel, 2);
    EXPECT_EQ (kept->way, PluginState::Way::throughHost);
    EXPECT_TRUE (kept->sendAtEveryStart);
    EXPECT_FALSE (kept->sendWhenProjectOpens);
    EXPECT_EQ (kept->libraryPath, "/nowhere/Strings.106");
    runBlock (*fresh);
    EXPECT_EQ (parameterNamed (*fresh, "Sub Level")
                   ->getText (parameterNamed (*fresh, "Sub Level")->getValue(), 100)
                   .getIntValue(),
               100);
}

TEST_P (PluginHostTest, ARefusedStateShowsTheInitPatchAndIsWrittenBackAsItCameUntilSomethingChanges)
{
    const auto good = throughHostState().toBytes();
    auto damaged = good;
    damaged[20] ^= 0x40;
    auto later = good;
    later[8] = 2;
    const Bytes notOurs{'h', 'e', 'l', 'l', 'o'};
    const int initVcfFreq = PatchModel().data[5];
    for (const auto& refused : {damaged, later, notOurs})
    {
        restore (*plugin, good);
        restore (*plugin, refused);
        const auto saved = qorvState (*plugin);
        // The VST3 host keeps JUCE's own bytes after ours; a refused state's own length is unknown there.
        ASSERT_GE (saved.size(), refused.size());
        EXPECT_EQ (Bytes (saved.begin(), saved.begin() + static_cast<long> (refused.size())), refused)
            << "the project's bytes, not an Init patch over them";
        if (!isVst3())
        {
            EXPECT_EQ (saved.size(), refused.size());
        }
        auto* vcfFreq = parameterNamed (*plugin, "VCF Freq");
        EXPECT_EQ (vcfFreq->getText (vcfFreq->getValue(), 100).getIntValue(), initVcfFreq) << "the Init patch shows";
        EXPECT_TRUE (runBlock().empty()) << "and nothing is sent";

        automate (*plugin, "Sub Level", 100, 128);
        runBlock();
        juce::Thread::sleep (200); // the plugin's message thread follows the move
        std::string why;
        const auto changed = qorvState (*plugin);
        const auto own = PluginState::fromBytes (changed.data(), changed.size(), why);
        ASSERT_TRUE (own.has_value()) << why << ": once something changed, the plugin's own state";
        EXPECT_EQ (own->active.data[15], 100);
        EXPECT_EQ (own->active.data[5], initVcfFreq);
    }
}

TEST_P (PluginHostTest, TheFirstPlaybackAfterARestoreSendsThePatchOnce)
{
    const auto state = throughHostState();
    restore (*plugin, state.toBytes());
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE (runBlock().empty()) << "stopped: nothing";

    playHead.playing = true;
    const auto dump = JunoMessages::buildPatchDump (state.active, 2, 0);
    EXPECT_EQ (runBlock(), std::vector<Bytes>{Bytes (dump.begin(), dump.end())});
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE (runBlock().empty()) << "once";
    playHead.playing = false;
    runBlock();
    playHead.playing = true;
    EXPECT_TRUE (runBlock().empty()) << "not at the next start without \"Send at Every Start\"";
}

TEST_P (PluginHostTest, TheAudioCallbackNeverAllocatesOverTenThousandBlocksOfAutomation)
{
    restore (*plugin, throughHostState().toBytes());
    auto parameters = plugin->getParameters();
    parameters.removeIf ([] (auto* parameter) { return parameter->getName (100) == "Bypass"; });
    juce::MidiBuffer midi;
    midi.ensureSize (4096);
    size_t allocations = 0;
    size_t messages = 0;
    for (int block = 0; block < 10000; ++block)
    {
        // Playback starts in the first block: the patch goes out whole, then the moves.
        playHead.playing = true;
        // Every parameter moves every block, as 24 automation lanes drawn as ramps.
        for (int i = 0; i < parameters.size(); ++i)
            parameters[i]->setValue (static_cast<float> ((block + i * 13) % 100) / 99.0f);
        midi.clear();
        AllocationCounter::Counting counting (pluginLibrary());
        plugin->processBlock (audio, midi);
        allocations += counting.allocations();
        messages += static_cast<size_t> (midi.getNumEvents());
    }
    EXPECT_EQ (allocations, 0u);
    // As fast as a DIN link carries them: 13 seconds of 64-sample blocks at 48 kHz hold 5,952 parameter changes.
    EXPECT_GT (messages, 5000u) << "the automation went out";
}

TEST_P (PluginHostTest, TheWindowIsThePanelUnderItsStripAndComesBackAsItWas)
{
    restore (*plugin, throughHostState().toBytes());
    const auto before = qorvState (*plugin);
    for (int round = 0; round < 2; ++round)
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor (plugin->createEditorIfNeeded());
        ASSERT_NE (editor, nullptr);
        EXPECT_EQ (editor->getWidth(), 1092) << "Large, as the program starts";
        EXPECT_EQ (editor->getHeight(), 720 + 28) << "under a strip of 28 pixels";
        if (const char* folder = std::getenv ("QORV_PLUGIN_SCREENSHOT_DIR"); folder != nullptr && round == 0)
        {
            // For the README: the window as a host shows it, photographed by the X server.
            juce::DocumentWindow window ("Qorv in a test host", juce::Colours::black, 0);
            window.setContentNonOwned (editor.get(), true);
            window.setTopLeftPosition (0, 0);
            window.setVisible (true);
            juce::MessageManager::getInstance()->runDispatchLoopUntil (1500);
            const auto file = juce::File (folder).getChildFile (juce::String ("plugin-") + GetParam() + ".png");
            const auto command = "import -window root -crop " + juce::String (editor->getWidth()) + "x" +
                                 juce::String (editor->getHeight()) + "+0+0 '" + file.getFullPathName() + "'";
            EXPECT_EQ (std::system (command.toRawUTF8()), 0);
            window.clearContentComponent();
        }
    }
    EXPECT_EQ (qorvState (*plugin), before) << "closing the window loses nothing";
}

INSTANTIATE_TEST_SUITE_P (Formats, PluginHostTest, testing::Values ("VST3", "LV2"));
