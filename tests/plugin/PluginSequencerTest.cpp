// The plugin's default way to the synthesizer, through the real sequencer in
// the small virtual machine: the plugin, in a host of our own, opens its own
// sequencer client and sends to a virtual MIDI port where the synthesizer
// would be, at the pace of a DIN link.

#include "LinkPeer.h"
#include "Vst3HostState.h"
#include "files/PluginState.h"
#include "midi/protocol/JunoMessages.h"

#include <gtest/gtest.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <cstdlib>
#include <thread>

namespace
{
using Bytes = std::vector<uint8_t>;

class TestPlayHead : public juce::AudioPlayHead
{
public:
    juce::Optional<PositionInfo> getPosition() const override
    {
        PositionInfo info;
        info.setIsPlaying (playing);
        return info;
    }
    bool playing = false;
};

} // namespace

TEST (PluginSequencer, TheFirstPlaybackSendsThePatchAndAnAutomationStepItsParameterChangeThroughTheSequencer)
{
    LinkPeer synthesizer ("hw:0,0");
    juce::AudioPluginFormatManager formats;
    formats.addFormat (new juce::VST3PluginFormat());
    juce::OwnedArray<juce::PluginDescription> found;
    formats.getFormat (0)->findAllTypesForFile (found, QORV_VST3_BUNDLE);
    ASSERT_FALSE (found.isEmpty());
    juce::String error;
    auto plugin = formats.createPluginInstance (*found[0], 48000.0, 64, error);
    ASSERT_NE (plugin, nullptr) << error;
    TestPlayHead playHead;
    plugin->setPlayHead (&playHead);
    plugin->prepareToPlay (48000.0, 64);
    ASSERT_TRUE (synthesizer.isOpen());

    // A project whose Qorv sends to the virtual port on channel 3, its own way.
    PluginState state;
    state.active.data[5] = 20;
    state.active.name = "Pad";
    state.stored = state.active;
    state.outputDevice = "Virtual Raw MIDI 0-0 VirMIDI 0-0";
    state.channel = 2;
    const auto hostState = vst3HostState (state.toBytes());
    plugin->setStateInformation (hostState.getData(), static_cast<int> (hostState.getSize()));

    juce::AudioBuffer<float> audio (2, 64);
    juce::MidiBuffer midi;
    const auto runFor = [&] (int milliseconds)
    {
        // Blocks as a host's audio thread runs them, with the message loop between.
        const auto end = juce::Time::getMillisecondCounter() + static_cast<juce::uint32> (milliseconds);
        while (juce::Time::getMillisecondCounter() < end)
        {
            midi.clear();
            plugin->processBlock (audio, midi);
            EXPECT_TRUE (midi.isEmpty()) << "nothing goes to the host's MIDI output the default way";
            juce::MessageManager::getInstance()->runDispatchLoopUntil (5);
        }
    };
    runFor (500);
    EXPECT_EQ (synthesizer.arrivalCount(), 0u) << "nothing is sent while the project loads";

    playHead.playing = true;
    runFor (500);
    const auto dump = JunoMessages::buildPatchDump (state.active, 2, 0);
    EXPECT_EQ (synthesizer.messages(), std::vector<Bytes>{Bytes (dump.begin(), dump.end())});

    for (auto* parameter : plugin->getParameters())
        if (parameter->getName (100) == "VCF Freq")
            parameter->setValue (64.0f / 127.0f);
    runFor (500);
    const auto arrived = synthesizer.messages();
    ASSERT_EQ (arrived.size(), 2u);
    EXPECT_EQ (arrived[1], (Bytes{0xF0, 0x41, 0x32, 0x02, 0x05, 0x40, 0xF7}));

    plugin->releaseResources();
    plugin.reset();
}
