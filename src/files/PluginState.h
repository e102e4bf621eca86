#pragma once

#include "patch/PatchModel.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/** What a Qorv plugin keeps in a DAW's project, so that reopening the song
    brings the synthesizer's sound back: the active patch and its stored
    version, where the sound goes and when it is sent, and the library last
    loaded. The bytes are documented in docs/plugin-state.md:

        "QORVPLUG"            8 bytes
        version               2 bytes, little-endian (1)
        body length N         4 bytes, little-endian
        body                  N bytes: fields, each a tag (1 byte), a
                              length (4 bytes, little-endian) and that many bytes
        CRC-32                4 bytes, little-endian, of everything before it

    Fields: 1 active patch and 2 stored version (18 patch bytes, then the
    name), 3 output device name, 4 channel (1 byte, 0-15), 5 the way to the
    synthesizer (1 byte: 0 the plugin's own sequencer client, 1 through the
    host), 6 recall options (1 byte: bit 0 send when the project opens, bit 1
    send at every start), 7 library path, 8 the control port (1 byte: 0 closed,
    1 open; open when the field is missing). Fields 1 and 2 are required; a field
    of a tag this version does not know is skipped, so a later version may add
    some. A later version number, a wrong CRC, a truncated or malformed field
    is refused whole. Plain C++ over bytes: parse everything, then hand over. */
struct PluginState
{
    enum class Way : uint8_t
    {
        direct,     // the plugin's own ALSA sequencer client, paced for a DIN link
        throughHost // the plugin's MIDI output, as complete messages
    };

    static constexpr uint16_t currentVersion = 1;
    /** Far more than any state takes; anything bigger is refused before it is read. */
    static constexpr size_t maxBytes = size_t{1} << 20;
    static constexpr size_t maxTextBytes = 4096;

    PatchModel active;
    PatchModel stored;
    std::string outputDevice; // as the device menu names it; empty: none
    int channel = 0;          // 0-15
    Way way = Way::direct;
    bool sendWhenProjectOpens = false;
    bool sendAtEveryStart = false;
    std::string libraryPath; // as the file system spells it; empty: none
    bool controlPort = true; // the "Qorv Control" port, open while the instance is used

    std::vector<uint8_t> toBytes() const;

    /** The state in these bytes, or nothing with the reason in words. Patch
        bytes a patch cannot hold are corrected, as a library file's are. */
    static std::optional<PluginState> fromBytes (const uint8_t* bytes, size_t size, std::string& whyNot);
};
