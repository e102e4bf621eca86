#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

/** Hands a VST3 host every SysEx message of the plugin's MIDI output whole,
    F0 to F7, without allocating. JUCE's VST3 wrapper gives a SysEx data event
    only the bytes between them (VST3 hosts take the event's bytes as the
    complete message) and makes a heap copy of every message longer than eight
    bytes on the audio thread. So the plugin answers a host's request for its
    audio processor with this, which passes every call on to JUCE's own; while
    a block is processed the plugin writes its SysEx straight into the host's
    event list (addSysex), and any SysEx event JUCE writes gets its two bytes
    back. The bytes go into a buffer made beforehand. */
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

    /** On the audio thread, inside the block a VST3 host is processing: puts
        one whole SysEx message into the host's output events at a sample of
        the block. False when no such block is under way (another format, or a
        host that did not ask for the processor here): write it the usual way. */
    bool addSysex (const uint8_t* message, size_t size, int sample);

    Answer (const Answer&) = delete;
    Answer& operator= (const Answer&) = delete;

private:
    class Processor;
    std::unique_ptr<Processor> processor;
};
} // namespace Vst3CompleteSysex
