#include "files/PluginState.h"

#include <zlib.h>

#include <cstring>

namespace
{
constexpr char magic[] = "QORVPLUG";
constexpr size_t magicSize = 8;
constexpr size_t headerSize = magicSize + 2 + 4;
constexpr size_t crcSize = 4;

enum Tag : uint8_t
{
    activeTag = 1,
    storedTag = 2,
    outputDeviceTag = 3,
    channelTag = 4,
    wayTag = 5,
    recallTag = 6,
    libraryPathTag = 7,
    controlPortTag = 8,
};

constexpr uint8_t sendWhenOpensBit = 0x01;
constexpr uint8_t sendAtEveryStartBit = 0x02;

void putLittle (std::vector<uint8_t>& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back (static_cast<uint8_t> (value >> (8 * i)));
}

uint32_t getLittle (const uint8_t* in, int bytes)
{
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= static_cast<uint32_t> (in[i]) << (8 * i);
    return value;
}

uint32_t crcOf (const uint8_t* bytes, size_t size)
{
    return static_cast<uint32_t> (crc32_z (crc32 (0L, Z_NULL, 0), bytes, size));
}

void putField (std::vector<uint8_t>& out, Tag tag, const uint8_t* bytes, size_t size)
{
    out.push_back (tag);
    putLittle (out, static_cast<uint32_t> (size), 4);
    out.insert (out.end(), bytes, bytes + size);
}

void putText (std::vector<uint8_t>& out, Tag tag, const std::string& text)
{
    putField (out, tag, reinterpret_cast<const uint8_t*> (text.data()), text.size());
}

void putPatch (std::vector<uint8_t>& out, Tag tag, const PatchModel& patch)
{
    std::vector<uint8_t> bytes (patch.data.begin(), patch.data.end());
    bytes.insert (bytes.end(), patch.name.begin(), patch.name.end());
    putField (out, tag, bytes.data(), bytes.size());
}

void putByte (std::vector<uint8_t>& out, Tag tag, uint8_t value)
{
    putField (out, tag, &value, 1);
}

/** A patch field: its 18 bytes (corrected) and its name, or nothing. */
std::optional<PatchModel> readPatch (const uint8_t* bytes, size_t size)
{
    if (size < PatchBits::numBytes || size - PatchBits::numBytes > PluginState::maxTextBytes)
        return std::nullopt;
    PatchModel patch;
    std::memcpy (patch.data.data(), bytes, PatchBits::numBytes);
    PatchBits::correctValues (patch.data);
    patch.name.assign (reinterpret_cast<const char*> (bytes + PatchBits::numBytes), size - PatchBits::numBytes);
    return patch;
}
} // namespace

std::vector<uint8_t> PluginState::toBytes() const
{
    std::vector<uint8_t> body;
    putPatch (body, activeTag, active);
    putPatch (body, storedTag, stored);
    putText (body, outputDeviceTag, outputDevice);
    putByte (body, channelTag, static_cast<uint8_t> (channel & 0x0F));
    putByte (body, wayTag, static_cast<uint8_t> (way));
    putByte (body,
             recallTag,
             static_cast<uint8_t> ((sendWhenProjectOpens ? sendWhenOpensBit : 0) |
                                   (sendAtEveryStart ? sendAtEveryStartBit : 0)));
    putText (body, libraryPathTag, libraryPath);
    putByte (body, controlPortTag, controlPort ? 1 : 0);

    std::vector<uint8_t> image (magic, magic + magicSize);
    putLittle (image, currentVersion, 2);
    putLittle (image, static_cast<uint32_t> (body.size()), 4);
    image.insert (image.end(), body.begin(), body.end());
    putLittle (image, crcOf (image.data(), image.size()), 4);
    return image;
}

std::optional<PluginState> PluginState::fromBytes (const uint8_t* bytes, size_t size, std::string& whyNot)
{
    const auto refuse = [&whyNot] (const char* why)
    {
        whyNot = why;
        return std::nullopt;
    };
    if (size > maxBytes)
        return refuse ("the saved state is too large to be Qorv's");
    if (size < headerSize + crcSize || std::memcmp (bytes, magic, magicSize) != 0)
        return refuse ("the saved state is not Qorv's");
    const uint32_t version = getLittle (bytes + magicSize, 2);
    if (version > currentVersion)
        return refuse ("the saved state comes from a later version of Qorv");
    if (version == 0)
        return refuse ("the saved state is damaged");
    const uint32_t bodySize = getLittle (bytes + magicSize + 2, 4);
    if (bodySize != size - headerSize - crcSize)
        return refuse ("the saved state is damaged");
    if (getLittle (bytes + size - crcSize, 4) != crcOf (bytes, size - crcSize))
        return refuse ("the saved state is damaged");

    PluginState state;
    bool hasActive = false, hasStored = false;
    const uint8_t* field = bytes + headerSize;
    const uint8_t* const end = bytes + size - crcSize;
    while (field < end)
    {
        if (end - field < 5)
            return refuse ("the saved state is damaged");
        const uint8_t tag = field[0];
        const uint32_t length = getLittle (field + 1, 4);
        const uint8_t* value = field + 5;
        if (length > static_cast<size_t> (end - value))
            return refuse ("the saved state is damaged");
        field = value + length;

        const auto text = [&] { return std::string (reinterpret_cast<const char*> (value), length); };
        switch (tag)
        {
            case activeTag:
            case storedTag:
            {
                auto patch = readPatch (value, length);
                if (!patch)
                    return refuse ("the saved state is damaged");
                (tag == activeTag ? state.active : state.stored) = std::move (*patch);
                (tag == activeTag ? hasActive : hasStored) = true;
                break;
            }
            case outputDeviceTag:
            case libraryPathTag:
                if (length > maxTextBytes)
                    return refuse ("the saved state is damaged");
                (tag == outputDeviceTag ? state.outputDevice : state.libraryPath) = text();
                break;
            case channelTag:
                if (length != 1 || value[0] > 15)
                    return refuse ("the saved state is damaged");
                state.channel = value[0];
                break;
            case wayTag:
                if (length != 1 || value[0] > 1)
                    return refuse ("the saved state is damaged");
                state.way = static_cast<Way> (value[0]);
                break;
            case recallTag:
                if (length != 1)
                    return refuse ("the saved state is damaged");
                state.sendWhenProjectOpens = (value[0] & sendWhenOpensBit) != 0;
                state.sendAtEveryStart = (value[0] & sendAtEveryStartBit) != 0;
                break;
            case controlPortTag:
                if (length != 1 || value[0] > 1)
                    return refuse ("the saved state is damaged");
                state.controlPort = value[0] == 1;
                break;
            default:
                break; // a field a later revision added: skipped
        }
    }
    if (!hasActive || !hasStored)
        return refuse ("the saved state is damaged");
    return state;
}
