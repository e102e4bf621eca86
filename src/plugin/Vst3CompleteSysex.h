#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

/** Hands a VST3 host every SysEx message of the plugin's MIDI output whole,
    F0 to F7. JUCE's VST3 wrapper gives a SysEx data event only the bytes
    between them, while VST3 hosts take the event's bytes as the complete
    message; so the plugin answers a host's request for its audio processor
    with this, which passes every call on to JUCE's own and, while JUCE writes
    the block's output events, puts the two bytes back around each SysEx event
    it writes. Allocation-free on the audio thread: the bytes go into a buffer
    made beforehand. */
namespace Vst3CompleteSysex
{
/** What the plugin answers a VST3 host's query for an interface of its audio
    processor (VST3ClientExtensions::queryIAudioProcessor): the wrapping
    processor for IAudioProcessor, nothing (-1) for anything else. `playHead`
    is the processor's play head, which the VST3 wrapper is. */
class Answer
{
public:
    Answer();
    ~Answer();
    int32_t query (juce::AudioPlayHead* playHead, const char* interfaceId, void** object);

    Answer (const Answer&) = delete;
    Answer& operator= (const Answer&) = delete;

private:
    class Processor;
    std::unique_ptr<Processor> processor;
};
} // namespace Vst3CompleteSysex
