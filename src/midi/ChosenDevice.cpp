#include "midi/ChosenDevice.h"

#include <algorithm>

namespace
{
std::optional<uint32_t> firstNamed (const ChosenDevice::Devices& devices, const std::string& name)
{
    const auto found = std::find_if (
        devices.begin(), devices.end(), [&name] (const MidiEngine::DeviceInfo& d) { return d.name == name; });
    if (found == devices.end())
        return std::nullopt;
    return found->endpoint;
}
} // namespace

ChosenDevice::Change ChosenDevice::open (uint32_t newEndpoint, const Devices& devices)
{
    // An endpoint no list names (gone already, or never listed) has no name to follow.
    const auto listed =
        std::find_if (devices.begin(),
                      devices.end(),
                      [newEndpoint] (const MidiEngine::DeviceInfo& d) { return d.endpoint == newEndpoint; });
    chosenName = newEndpoint != 0 && listed != devices.end() ? listed->name : std::string();
    endpoint = newEndpoint;
    return endpoint; // reopening the open device connects it afresh
}

ChosenDevice::Change ChosenDevice::choose (const std::string& name, const Devices& devices)
{
    chosenName = name;
    if (const auto named = name.empty() ? std::nullopt : firstNamed (devices, name))
    {
        endpoint = *named;
        return endpoint;
    }
    if (endpoint == 0)
        return std::nullopt;
    endpoint = 0;
    return endpoint;
}

ChosenDevice::Change ChosenDevice::follow (const Devices& devices, const std::vector<uint32_t>& removedEndpoints)
{
    Change change;
    const bool removed =
        std::find (removedEndpoints.begin(), removedEndpoints.end(), endpoint) != removedEndpoints.end();
    if (endpoint != 0 && (removed || !stillListed (devices)))
    {
        endpoint = 0;
        change = endpoint;
    }
    if (endpoint == 0 && !chosenName.empty())
        if (const auto named = firstNamed (devices, chosenName))
        {
            endpoint = *named;
            change = endpoint;
        }
    return change;
}

bool ChosenDevice::stillListed (const Devices& devices) const
{
    return std::any_of (devices.begin(),
                        devices.end(),
                        [this] (const MidiEngine::DeviceInfo& d)
                        { return d.endpoint == endpoint && (chosenName.empty() || d.name == chosenName); });
}
