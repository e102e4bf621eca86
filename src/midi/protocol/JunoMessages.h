#pragma once

#include "patch/PatchModel.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

/** Every Juno-106 message the program sends or recognises, as pure functions
    over bytes. The MIDI engine, the SysEx file and the tests all build and
    read messages here and nowhere else. */
namespace JunoMessages
{
constexpr uint8_t sysexStart = 0xF0;
constexpr uint8_t sysexEnd = 0xF7;
constexpr uint8_t rolandId = 0x41;
constexpr uint8_t patchDumpCommand = 0x30;
constexpr uint8_t manualDumpCommand = 0x31;
constexpr uint8_t paramChangeCommand = 0x32;
constexpr size_t patchDumpSize = 24;
constexpr size_t dumpMinimumSize = 23;
constexpr size_t paramChangeMinimumSize = 7;

constexpr size_t paramChangeSize = 7;

using PatchDump = std::array<uint8_t, patchDumpSize>;
using ParamChange = std::array<uint8_t, paramChangeSize>;
using ChannelMessage = std::array<uint8_t, 3>;

/** What goes out on the line: F0 41 30, the channel (low 4 bits), the patch
    number (low 7 bits), the 18 patch bytes as PatchBits::correctedValue gives
    them, F7. No byte between F0 and F7 is ever 0x80 or more; the patch passed
    in is not changed. */
PatchDump buildPatchDump (const PatchModel& patch, int channel, int patchNumber);

/** The same layout with every byte as given, nothing masked: for the file
    writers, which store exactly the bytes they hold and refuse beforehand
    what would not read back. */
PatchDump buildPatchDumpAsIs (const std::array<uint8_t, PatchBits::numBytes>& bytes, int channel, int patchNumber);

/** F0 41 32, the channel (low 4 bits), the parameter (the patch byte's index,
    0 to 17), the value as PatchBits::correctedValue gives it for that byte, F7. */
ParamChange buildParamChange (int channel, int paramNumber, int value);
/** The parameter a message built by buildParamChange changes, or -1 for any other message. */
int paramChangeNumber (const uint8_t* message, size_t length);

ChannelMessage buildNoteOn (int channel, int note, int velocity);
ChannelMessage buildNoteOff (int channel, int note, int velocity);
/** The 7-bit value goes out as the most significant data byte, the least is 0. */
ChannelMessage buildPitchBend (int channel, int value);
ChannelMessage buildControlChange (int channel, int controller, int value);

/** "A11" to "B88" from a patch number byte. */
std::string patchNameFromNumber (uint8_t patchNumber);

/** What one complete SysEx message turned out to be. */
struct Recognised
{
    enum class Kind
    {
        none,
        patchDump,
        manualDump,
        paramChange
    };

    Kind kind = Kind::none;
    PatchModel patch;    // patch and manual dumps
    int paramNumber = 0; // parameter changes
    int paramValue = 0;
};

/** Applies the recognition rules in their order: length 4, F0 and the Roland
    id, the channel byte, then the command with its minimum length. */
Recognised recognise (const uint8_t* message, size_t length, int channel);
} // namespace JunoMessages
