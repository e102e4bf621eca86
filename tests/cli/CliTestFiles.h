#pragma once

// Real patch files for the command-line tests, built from the factory table.

#include "FactoryPatches.h"
#include "TempFolder.h"
#include "patch/PatchModel.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

/** One dump as the synthesizer sends it: F0 41 30 (patch) or 31 (manual), the
    channel 0-15, the patch number, the 18 bytes, F7. */
inline Bytes dump (uint8_t command, uint8_t channel, uint8_t number, const std::array<uint8_t, 18>& data)
{
    Bytes bytes (24);
    bytes[0] = 0xF0;
    bytes[1] = 0x41;
    bytes[2] = command;
    bytes[3] = channel;
    bytes[4] = number;
    std::copy (data.begin(), data.end(), bytes.begin() + 5);
    bytes[23] = 0xF7;
    return bytes;
}

/** The 128 factory patches, each as a patch dump under its own number, one after another. */
inline Bytes factoryBank (const std::vector<FactoryPatch>& factory)
{
    Bytes bank;
    for (size_t i = 0; i < factory.size(); ++i)
    {
        const Bytes one = dump (0x30, 0, static_cast<uint8_t> (i), factory[i].patch.data);
        bank.insert (bank.end(), one.begin(), one.end());
    }
    return bank;
}

inline void append (Bytes& to, const Bytes& more)
{
    to.insert (to.end(), more.begin(), more.end());
}

inline std::string text (const std::vector<std::string>& lines)
{
    std::string joined;
    for (const auto& line : lines)
        joined += line + "\n";
    return joined;
}
