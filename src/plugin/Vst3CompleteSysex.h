#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>
#include <memory>
#include <mutex>

/** Hands a VST3 host every SysEx message of the plugin's MIDI output whole,
    F0 to F7, without allocating. JUCE's VST3 wrapper gives a SysEx data event
    only the bytes between them (VST3 hosts take the event's bytes as the
    complete message) and makes a heap copy of every message longer than eight
    bytes on the audio thread. So the plugin answers a host's request for its
    audio processor with this, which passes every call on to JUCE's own; while
    a block is processed the plugin's SysEx waits in a buffer made beforehand
    and goes into the host's event list whole, at the moment JUCE writes the
    block's events (which it does only while the host has the event output
    bus enabled); any SysEx event JUCE writes gets its two bytes back. */
namespace Vst3CompleteSysex
{
/** What the plugin answers a VST3 host's query for an interface of its audio
    processor (VST3ClientExtensions::queryIAudioProcessor): the wrapping
    processor for IAudioProcessor, nothing (-1) for anything else. `playHead`
    is the processor's play head, which the VST3 wrapper is. Any thread: the
    wrapping processor is made once, under a lock. */
class Answer
{
public:
    Answer();
    ~Answer();
    int32_t query (juce::AudioPlayHead* playHead, const char* interfaceId, void** object);

    /** On the audio thread, inside the block a VST3 host is processing: one
        whole SysEx message for the host's output events at a sample of the
        block. It goes there as JUCE writes the block's events, and only if
        JUCE does (the host may have disabled the event output bus): a mark in
        `midi` tells when. False when no such block is under way (another
        format, or a host that did not ask for the processor here): write it
        the usual way. */
    bool addSysex (const uint8_t* message, size_t size, int sample, juce::MidiBuffer& midi);
    /** On the audio thread: whether SysEx given since the last call never reached the host. */
    bool sysexDropped();

    Answer (const Answer&) = delete;
    Answer& operator= (const Answer&) = delete;

private:
    class Processor;
    std::mutex creation;
    std::unique_ptr<Processor> owned;
    std::atomic<Processor*> processor{nullptr}; // the audio thread reads it
};
} // namespace Vst3CompleteSysex
