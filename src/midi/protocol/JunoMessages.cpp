#include "midi/protocol/JunoMessages.h"

#include <algorithm>
#include <cstdio>

namespace JunoMessages
{
namespace
{
    uint8_t statusByte (uint8_t kind, int channel)
    {
        return static_cast<uint8_t> (kind | (channel & 0x0F));
    }
    uint8_t dataByte (int value)
    {
        return static_cast<uint8_t> (value & 0x7F);
    }

    PatchModel patchFromDump (const uint8_t* message)
    {
        PatchModel patch;
        for (size_t i = 0; i < patch.data.size(); ++i)
            patch.data[i] = message[5 + i];
        return patch;
    }
} // namespace

PatchDump buildPatchDump (const PatchModel& patch, int channel, int patchNumber)
{
    // A byte of 0x80 or more would end the message on the line and turn the
    // rest into channel messages: the patch goes out corrected.
    std::array<uint8_t, PatchBits::numBytes> bytes = patch.data;
    PatchBits::correctValues (bytes);
    return buildPatchDumpAsIs (bytes, channel & 0x0F, dataByte (patchNumber));
}

PatchDump buildPatchDumpAsIs (const std::array<uint8_t, PatchBits::numBytes>& bytes, int channel, int patchNumber)
{
    PatchDump dump{};
    dump[0] = sysexStart;
    dump[1] = rolandId;
    dump[2] = patchDumpCommand;
    dump[3] = static_cast<uint8_t> (channel);
    dump[4] = static_cast<uint8_t> (patchNumber);
    std::copy (bytes.begin(), bytes.end(), dump.begin() + 5);
    dump[23] = sysexEnd;
    return dump;
}

ParamChange buildParamChange (int channel, int paramNumber, int value)
{
    const int number = std::clamp (paramNumber, 0, PatchBits::numBytes - 1);
    const uint8_t byte = PatchBits::correctedValue (number, static_cast<uint8_t> (std::clamp (value, 0, 255)));
    return {sysexStart,
            rolandId,
            paramChangeCommand,
            static_cast<uint8_t> (channel & 0x0F),
            static_cast<uint8_t> (number),
            byte,
            sysexEnd};
}

int paramChangeNumber (const uint8_t* message, size_t length)
{
    if (length != paramChangeSize || message[0] != sysexStart || message[1] != rolandId ||
        message[2] != paramChangeCommand)
        return -1;
    return message[4];
}

ChannelMessage buildNoteOn (int channel, int note, int velocity)
{
    return {statusByte (0x90, channel), dataByte (note), dataByte (velocity)};
}

ChannelMessage buildNoteOff (int channel, int note, int velocity)
{
    return {statusByte (0x80, channel), dataByte (note), dataByte (velocity)};
}

ChannelMessage buildPitchBend (int channel, int value)
{
    return {statusByte (0xE0, channel), 0, dataByte (value)};
}

ChannelMessage buildControlChange (int channel, int controller, int value)
{
    return {statusByte (0xB0, channel), dataByte (controller), dataByte (value)};
}

std::string patchNameFromNumber (uint8_t patchNumber)
{
    char name[4];
    std::snprintf (name,
                   sizeof (name),
                   "%c%c%c",
                   patchNumber < 64 ? 'A' : 'B',
                   '1' + ((patchNumber >> 3) & 7),
                   '1' + (patchNumber & 7));
    return name;
}

Recognised recognise (const uint8_t* message, size_t length, int channel)
{
    Recognised result;
    if (length < 4 || message[0] != sysexStart || message[1] != rolandId)
        return result;
    if (message[3] != static_cast<uint8_t> (channel))
        return result;

    const uint8_t command = message[2];
    if (command == patchDumpCommand && length >= dumpMinimumSize)
    {
        result.kind = Recognised::Kind::patchDump;
        result.patch = patchFromDump (message);
        result.patch.name = patchNameFromNumber (message[4]);
    }
    else if (command == manualDumpCommand && length >= dumpMinimumSize)
    {
        result.kind = Recognised::Kind::manualDump;
        result.patch = patchFromDump (message);
        result.patch.name.clear();
    }
    else if (command == paramChangeCommand && length >= paramChangeMinimumSize)
    {
        result.kind = Recognised::Kind::paramChange;
        result.paramNumber = message[4];
        result.paramValue = message[5];
    }
    return result;
}
} // namespace JunoMessages
