#include "midi/protocol/MidiMessageSplitter.h"

#include <utility>

namespace
{
constexpr uint8_t sysexStart = 0xF0;
constexpr uint8_t sysexEnd = 0xF7;
constexpr uint8_t firstSystem = 0xF0;
constexpr uint8_t firstRealTime = 0xF8;

bool isStatus (uint8_t byte)
{
    return (byte & 0x80) != 0;
}

/** How many data bytes follow a status byte (other than F0, F7 and real-time ones). */
size_t dataBytesAfter (uint8_t status)
{
    if (status < firstSystem)
    {
        const uint8_t kind = status & 0xF0;
        return (kind == 0xC0 || kind == 0xD0) ? 1 : 2; // program change and channel pressure take one
    }
    switch (status)
    {
        case 0xF1: // time code quarter frame
        case 0xF3: // song select
            return 1;
        case 0xF2: // song position
            return 2;
        default: // tune request and the undefined F4, F5
            return 0;
    }
}
} // namespace

MidiMessageSplitter::MidiMessageSplitter (MessageHandler handler) : onMessage (std::move (handler)) {}

void MidiMessageSplitter::processRawBytes (const uint8_t* bytes, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        processByte (bytes[i]);
}

void MidiMessageSplitter::discardOpenMessage()
{
    message.clear();
    inSysex = false;
    dataBytesWanted = 0;
    runningStatus = 0;
}

void MidiMessageSplitter::emit (const uint8_t* bytes, size_t length)
{
    if (onMessage)
        onMessage (bytes, length);
}

void MidiMessageSplitter::startMessage (uint8_t status)
{
    message.assign (1, status);
    inSysex = status == sysexStart;
    dataBytesWanted = inSysex ? 0 : dataBytesAfter (status);
    // System messages cancel running status; channel messages set it.
    runningStatus = status < firstSystem ? status : 0;
    if (!inSysex && dataBytesWanted == 0)
    {
        emit (message.data(), message.size());
        message.clear();
    }
}

void MidiMessageSplitter::processByte (uint8_t byte)
{
    if (byte >= firstRealTime)
    {
        emit (&byte, 1); // a clock may sit anywhere, even inside another message
        return;
    }
    if (byte == sysexEnd)
    {
        if (inSysex)
        {
            message.push_back (byte);
            emit (message.data(), message.size());
        }
        message.clear();
        inSysex = false;
        return;
    }
    if (isStatus (byte))
    {
        startMessage (byte); // an open SysEx message ends here, unfinished and unseen
        return;
    }

    if (inSysex)
    {
        message.push_back (byte);
        if (message.size() >= maxSysexSize)
        {
            message.clear(); // too long to show; the rest is dropped up to the next status byte
            inSysex = false;
        }
        return;
    }
    if (message.empty())
    {
        if (runningStatus == 0)
            return; // data with no status before it
        message.assign (1, runningStatus);
        dataBytesWanted = dataBytesAfter (runningStatus);
    }
    message.push_back (byte);
    if (message.size() == dataBytesWanted + 1)
    {
        emit (message.data(), message.size());
        message.clear();
    }
}
