#include "plugin/PluginProcessor.h"

#include "plugin/MessageThreadCall.h"
#include "plugin/PluginEditor.h"

namespace
{
/** A block's messages for the host: into its MIDI output, or whole into a VST3 host's event list. */
class HostOutput final : public HostMidiLine::Sink
{
public:
    HostOutput (juce::MidiBuffer& buffer, Vst3CompleteSysex::Answer& answer) : midi (buffer), vst3 (answer) {}

    void write (const uint8_t* message, size_t size) override
    {
        if (!vst3.addSysex (message, size, 0, midi))
            midi.addEvent (message, static_cast<int> (size), 0);
    }

private:
    juce::MidiBuffer& midi;
    Vst3CompleteSysex::Answer& vst3;
};

std::array<uint8_t, PatchBits::numBytes> patchBytesOf (const std::optional<PluginState>& state)
{
    return state ? state->active.data : PatchModel().data;
}
} // namespace

QorvPluginProcessor::QorvPluginProcessor()
    : AudioProcessor (BusesProperties().withOutput ("Output", juce::AudioChannelSet::stereo(), true))
{
    shared.parameters.announceFromAudioThread (wrapperType == wrapperType_LV2);
    MessageThreadCall::runAndWait ([this] { messageSide = std::make_shared<PluginDocument> (shared); });
}

QorvPluginProcessor::~QorvPluginProcessor()
{
    // Its timer and posted calls run on the message thread: so does its end, and this thread waits for it.
    MessageThreadCall::runAndWait ([this] { messageSide.reset(); });
}

juce::AudioProcessorEditor* QorvPluginProcessor::createEditor()
{
    document().applyWaitingRestore();
    document().startUsing();
    return new QorvPluginEditor (*this);
}

bool QorvPluginProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    return layouts.getMainInputChannelSet().isDisabled() &&
           layouts.getMainOutputChannelSet() == juce::AudioChannelSet::stereo();
}

void QorvPluginProcessor::prepareToPlay (double sampleRate, int)
{
    shared.sampleRate.store (sampleRate);
    // A host prepares what it will play, not what it only scans.
    PluginDocument::post (documentLink(), [] (PluginDocument& document) { document.startUsing(); });
}

int32_t QorvPluginProcessor::queryIAudioProcessor (const Steinberg::TUID interfaceId, void** object)
{
    return vst3Answer.query (getPlayHead(), interfaceId, object);
}

//==============================================================================
// The audio thread: nothing here allocates, locks or waits.

void QorvPluginProcessor::processBlock (juce::AudioBuffer<float>& audio, juce::MidiBuffer& midi)
{
    juce::ScopedNoDenormals noDenormals;
    audio.clear();
    // A preview, when one plays, is the plugin's only sound.
    shared.preview.render (audio.getArrayOfWritePointers(),
                           audio.getNumChannels(),
                           audio.getNumSamples(),
                           shared.sampleRate.load (std::memory_order_relaxed));

    bool playing = false;
    if (auto* head = getPlayHead())
        if (const auto position = head->getPosition())
            playing = position->getIsPlaying();
    const bool recallNow = shared.recall.transport (playing);
    shared.parameters.announceShown();

    // The track's own MIDI stays in the buffer and passes through unchanged.
    if (!shared.throughHost.load (std::memory_order_relaxed))
    {
        // The plugin's own sequencer client sends: the session takes the moves on the message thread.
        shared.parameters.takeMovesForAudio ([] (PanelControl, int) {});
        if (recallNow)
            shared.patchWanted.store (true);
        return;
    }

    auto& line = shared.line;
    line.startBlock();
    if (vst3Answer.sysexDropped())
        line.writtenWasLost();
    shared.parameters.takeMovesForAudio ([&line] (PanelControl control, int position)
                                         { line.hostMoved (control, position); });
    if (recallNow)
        line.sendWholePatch();
    const double rate = getSampleRate() > 0.0 ? getSampleRate() : 48000.0;
    HostOutput output (midi, vst3Answer);
    line.finishBlock (audio.getNumSamples() / rate, output);
}

//==============================================================================
// The project's state: any thread

void QorvPluginProcessor::getStateInformation (juce::MemoryBlock& destination)
{
    const auto bytes = shared.project.bytes();
    destination.replaceAll (bytes.data(), bytes.size());
}

void QorvPluginProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    const auto restore = shared.project.restore (
        static_cast<const uint8_t*> (data), data != nullptr && sizeInBytes > 0 ? static_cast<size_t> (sizeInBytes) : 0);
    // What the host reads next is the project's, before the message thread has applied it.
    const auto patch = patchBytesOf (restore.state);
    shared.parameters.showPatch (patch, false);
    shared.line.restore (patch);
    if (restore.state)
    {
        shared.recall.setSendAtEveryStart (restore.state->sendAtEveryStart);
        shared.recall.setSendWhenProjectOpens (restore.state->sendWhenProjectOpens);
        shared.recall.stateRestored();
    }

    if (juce::MessageManager::existsAndIsCurrentThread())
        document().applyWaitingRestore();
    else
        PluginDocument::post (documentLink(), [] (PluginDocument& document) { document.applyWaitingRestore(); });
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new QorvPluginProcessor();
}
