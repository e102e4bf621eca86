// The plugin's state as a host hands it back: any bytes either are refused
// with a reason, or are a state that writes itself again as the same state.

#include "FuzzSupport.h"
#include "files/PluginState.h"

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    std::string why;
    const auto state = PluginState::fromBytes (data, size, why);
    if (!state)
    {
        require (!why.empty(), "a refusal says why");
        return 0;
    }
    require (state->channel >= 0 && state->channel <= 15, "a channel a message can carry");
    for (size_t i = 0; i < state->active.data.size(); ++i)
        require (state->active.data[i] == PatchBits::correctedValue (static_cast<int> (i), state->active.data[i]),
                 "patch bytes a patch can hold");
    const auto again = state->toBytes();
    const auto reread = PluginState::fromBytes (again.data(), again.size(), why);
    require (reread.has_value() && reread->toBytes() == again, "a state written again reads back the same");
    return 0;
}
