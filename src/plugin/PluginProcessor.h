#pragma once

#include "plugin/PluginDocument.h"
#include "plugin/Vst3CompleteSysex.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

/** Qorv inside a DAW: one plugin instance as the host sees it. Hosts call it
    from any thread (JUCE's LV2 client makes and deletes it on the host's
    own), so it keeps two halves apart: what any thread may touch (the 24
    host parameters, the line to the host's MIDI output, the recall, the
    project's state; PluginShared) and the document, the editor model with
    everything that runs on the message thread, which is made and destroyed
    there while the host's thread waits, so no timer or posted call of it ever
    runs beside its destruction. Sound reaches the synthesizer one of two
    ways: through the plugin's own sequencer client, paced for a DIN link (the
    default), or through the host, as complete messages in the plugin's MIDI
    output, paced the same. The audio callback never allocates, locks or
    waits. */
class QorvPluginProcessor final : public juce::AudioProcessor, public juce::VST3ClientExtensions
{
public:
    using Way = PluginState::Way;

    QorvPluginProcessor();
    ~QorvPluginProcessor() override;

    // juce::AudioProcessor
    const juce::String getName() const override { return "Qorv"; }
    void prepareToPlay (double sampleRate, int samplesPerBlock) override;
    void releaseResources() override {}
    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;
    void processBlock (juce::AudioBuffer<float>& audio, juce::MidiBuffer& midi) override;
    using juce::AudioProcessor::processBlock;
    bool acceptsMidi() const override { return true; }
    bool producesMidi() const override { return true; }
    double getTailLengthSeconds() const override { return 0.0; }
    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram (int) override {}
    const juce::String getProgramName (int) override { return {}; }
    void changeProgramName (int, const juce::String&) override {}
    bool hasEditor() const override { return true; }
    juce::AudioProcessorEditor* createEditor() override;
    void getStateInformation (juce::MemoryBlock& destination) override;
    void setStateInformation (const void* data, int sizeInBytes) override;
    // juce::VST3ClientExtensions: every SysEx message reaches a VST3 host whole.
    int32_t queryIAudioProcessor (const Steinberg::TUID interfaceId, void** object) override;

    /** The message thread's half: what the window shows and does. Message thread only. */
    PluginDocument& document() { return *messageSide; }

private:
    std::weak_ptr<PluginDocument> documentLink() const { return messageSide; }

    PluginShared shared{*this};
    Vst3CompleteSysex::Answer vst3Answer;
    std::shared_ptr<PluginDocument> messageSide; // made and destroyed on the message thread

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QorvPluginProcessor)
};
