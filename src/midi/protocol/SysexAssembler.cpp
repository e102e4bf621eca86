#include "midi/protocol/SysexAssembler.h"

#include <utility>

namespace
{
constexpr uint8_t sysexStart = 0xF0;
constexpr uint8_t sysexEnd = 0xF7;
constexpr uint8_t firstRealTime = 0xF8;

bool isStatus (uint8_t byte)
{
    return (byte & 0x80) != 0;
}
} // namespace

SysexAssembler::SysexAssembler (MessageHandler handler) : onMessage (std::move (handler))
{
    buffer.reserve (maxMessageSize);
}

void SysexAssembler::processRawBytes (const uint8_t* bytes, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        processByte (bytes[i]);
}

void SysexAssembler::processByte (uint8_t byte)
{
    if (byte == sysexStart)
    {
        // A message still open never got its end: it is dropped.
        buffer.clear();
        buffer.push_back (byte);
        return;
    }
    if (buffer.empty())
        return; // outside a message: channel messages, running status, stray data

    if (byte == sysexEnd)
    {
        buffer.push_back (byte);
        if (onMessage)
            onMessage (buffer.data(), buffer.size());
        buffer.clear();
        return;
    }
    if (byte >= firstRealTime)
        return; // a clock or other real-time byte may sit anywhere on a merged line; it is not data
    if (isStatus (byte))
    {
        // Any other status byte ends an open System Exclusive message without completing it.
        buffer.clear();
        return;
    }

    buffer.push_back (byte);
    if (buffer.size() >= maxMessageSize)
        buffer.clear(); // too long for any message we know; the rest is ignored up to the next F0
}
