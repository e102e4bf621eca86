#include "plugin/HostMidiOut.h"

namespace HostMidiOut
{
namespace
{
    // A MidiBuffer event: the sample (4 bytes), the size (2 bytes), then the bytes.
    constexpr int headerSize = static_cast<int> (sizeof (int32_t) + sizeof (uint16_t));

    /** Where an event at `sample` goes: after every event at or before it, as MidiBuffer::addEvent places one. */
    int placeFor (const juce::MidiBuffer& buffer, int sample)
    {
        int offset = 0;
        for (const auto event : buffer)
        {
            if (event.samplePosition > sample)
                break;
            offset = static_cast<int> (event.data - buffer.data.begin()) + event.numBytes;
        }
        return offset;
    }
} // namespace

void add (juce::MidiBuffer& buffer, const uint8_t* message, size_t size, int sample, bool forVst3)
{
    const bool sysex = size >= 2 && message[0] == 0xF0 && message[size - 1] == 0xF7;
    if (!forVst3 || !sysex)
    {
        buffer.addEvent (message, static_cast<int> (size), sample);
        return;
    }

    // The wrapper passes on the bytes between the event's first and last: an
    // F0 before the message and an F7 after it make those the whole message.
    // Written by hand, because adding an event ends it at its first F7.
    const auto stored = static_cast<uint16_t> (size + 2);
    const int offset = placeFor (buffer, sample);
    uint8_t header[headerSize];
    const auto position = static_cast<int32_t> (sample);
    std::memcpy (header, &position, sizeof (position));
    std::memcpy (header + sizeof (position), &stored, sizeof (stored));

    auto& data = buffer.data;
    data.insertMultiple (offset, 0, headerSize + stored);
    auto* event = data.begin() + offset;
    std::memcpy (event, header, headerSize);
    event[headerSize] = 0xF0;
    std::memcpy (event + headerSize + 1, message, size);
    event[headerSize + 1 + static_cast<int> (size)] = 0xF7;
}
} // namespace HostMidiOut
