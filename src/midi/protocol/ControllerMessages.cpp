#include "midi/protocol/ControllerMessages.h"

namespace ControllerMessages
{
namespace
{
    constexpr uint8_t noteOff = 0x80;
    constexpr uint8_t noteOn = 0x90;
    constexpr uint8_t controlChange = 0xB0;
    constexpr uint8_t pitchBend = 0xE0;

    /** The controllers the synthesizer answers to itself: modulation, sustain and the channel-mode messages. */
    bool synthesizerControls (uint8_t controller)
    {
        return controller == 1 || controller == 64 || controller >= 120;
    }
} // namespace

Route route (const uint8_t* message, size_t length)
{
    if (length != 3)
        return Route::stop;
    switch (message[0] & 0xF0)
    {
        case noteOff:
        case noteOn:
        case pitchBend:
            return Route::passThrough;
        case controlChange:
            return synthesizerControls (message[1]) ? Route::passThrough : Route::translate;
        default:
            return Route::stop;
    }
}

std::array<uint8_t, 3> onChannel (const uint8_t* message, int channel)
{
    return {static_cast<uint8_t> ((message[0] & 0xF0) | (channel & 0x0F)), message[1], message[2]};
}
} // namespace ControllerMessages
