#include "RawMidiPort.h"

RawMidiPort::RawMidiPort (const std::string& device)
{
    // Two opens: one shared handle would make both directions blocking or neither.
    if (snd_rawmidi_open (&input, nullptr, device.c_str(), SND_RAWMIDI_NONBLOCK) < 0)
        input = nullptr;
    if (snd_rawmidi_open (nullptr, &output, device.c_str(), 0) < 0)
        output = nullptr;
    // A virtual port's input starts taking bytes only at its first read.
    if (input != nullptr)
        read (16);
}

RawMidiPort::~RawMidiPort()
{
    if (input != nullptr)
        snd_rawmidi_close (input);
    if (output != nullptr)
        snd_rawmidi_close (output);
}

void RawMidiPort::write (const std::vector<uint8_t>& bytes)
{
    if (output == nullptr)
        return;
    snd_rawmidi_write (output, bytes.data(), bytes.size());
    snd_rawmidi_drain (output);
}

std::vector<uint8_t> RawMidiPort::read (size_t maxBytes)
{
    std::vector<uint8_t> bytes (maxBytes);
    const auto count = input != nullptr ? snd_rawmidi_read (input, bytes.data(), bytes.size()) : -1;
    bytes.resize (count > 0 ? static_cast<size_t> (count) : 0);
    return bytes;
}

RawMidiPort::Status RawMidiPort::status()
{
    snd_rawmidi_status_t* rawStatus = nullptr;
    snd_rawmidi_status_alloca (&rawStatus);
    if (input == nullptr || snd_rawmidi_status (input, rawStatus) < 0)
        return {};
    return {snd_rawmidi_status_get_avail (rawStatus), snd_rawmidi_status_get_xruns (rawStatus)};
}
