#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

/** What becomes of a whole message that arrives on a control input: a
    controller's control change is translated into the synthesizer's own
    parameter change; what a keyboard plays (notes, pitch bend, modulation,
    sustain and the channel-mode messages) may pass on to the synthesizer;
    anything else stops here. Pure functions over bytes. */
namespace ControllerMessages
{
enum class Route
{
    translate,   // a control change for the controller map
    passThrough, // played music, for the synthesizer
    stop         // nothing the synthesizer should get from a controller
};

Route route (const uint8_t* message, size_t length);

/** A channel message of up to three bytes moved to another channel (0-15); the data bytes are unchanged. */
std::array<uint8_t, 3> onChannel (const uint8_t* message, int channel);
} // namespace ControllerMessages
