#pragma once

#include <alsa/asoundlib.h>

#include <cstdint>
#include <string>
#include <vector>

/** The far end of a virtual raw MIDI port, where a synthesizer would be: what
    the engine sends comes out here, what is written here reaches the engine. */
class RawMidiPort
{
public:
    explicit RawMidiPort (const std::string& device = "hw:0,0");
    ~RawMidiPort();
    RawMidiPort (const RawMidiPort&) = delete;
    RawMidiPort& operator= (const RawMidiPort&) = delete;

    bool isOpen() const { return input != nullptr && output != nullptr; }

    /** Writes the bytes and waits until they have left. */
    void write (const std::vector<uint8_t>& bytes);
    /** Reads at most maxBytes of what has arrived, without waiting. */
    std::vector<uint8_t> read (size_t maxBytes = 4096);
    struct Status
    {
        size_t waiting = 0;   // bytes that have arrived and wait to be read
        size_t lostBytes = 0; // bytes dropped with the input buffer full, since the last status
    };
    Status status();

private:
    snd_rawmidi_t* input = nullptr;
    snd_rawmidi_t* output = nullptr;
};
