#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <cstddef>
#include <cstdint>

/** Puts one whole message into the host's MIDI output. JUCE's VST3 wrapper
    hands a SysEx message to the host without its F0 and F7, while VST3 hosts
    (Ardour, Reaper, Cubase) take a SysEx data event as the complete message,
    F0 to F7: for VST3 the message is stored so that the event the wrapper makes
    of it holds every byte. Never allocates while the buffer has room (the
    wrappers reserve several kilobytes), so it may run on the audio thread. */
namespace HostMidiOut
{
void add (juce::MidiBuffer& buffer, const uint8_t* message, size_t size, int sample, bool forVst3);
} // namespace HostMidiOut
