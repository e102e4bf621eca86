#pragma once

#include "midi/MidiEngine.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/** The device chosen for one direction, followed by its name as the menus show
    it: when it goes away it is closed but stays chosen, and when a device of
    that name is listed again (on whatever endpoint) it is opened again. Plain
    logic: it says what to connect, the engine connects it. */
class ChosenDevice
{
public:
    using Devices = std::vector<MidiEngine::DeviceInfo>;
    /** The endpoint to connect now (0: disconnect), or nothing when the connection stays as it is. */
    using Change = std::optional<uint32_t>;

    /** Chooses the device on this endpoint, by its listed name, and opens it; 0 chooses none. */
    Change open (uint32_t endpoint, const Devices& devices);
    /** Chooses a device by name (empty: none) and opens the first listed one of that name, if any. */
    Change choose (const std::string& name, const Devices& devices);
    /** Follows a change of the setup: closes the open device if it is no longer
        listed as chosen or its port went away, and opens the chosen one if listed. */
    Change follow (const Devices& devices, const std::vector<uint32_t>& removedEndpoints);

    /** What the settings store; empty when nothing is chosen. */
    const std::string& name() const { return chosenName; }
    /** The open endpoint; 0 while closed. */
    uint32_t openEndpoint() const { return endpoint; }

private:
    bool stillListed (const Devices& devices) const;

    std::string chosenName;
    uint32_t endpoint = 0;
};
