#include "files/JepFileIO.h"
#include "files/FileBytes.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>
#include <string_view>

namespace
{
constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view marker = "sysexData";
constexpr std::string_view dataOpen = "<data>";
constexpr std::string_view dataClose = "</data>";
constexpr size_t smallestFile = 8;

/** The value of each byte in the alphabet, or -1. */
constexpr std::array<int8_t, 256> makeDigitValues()
{
    std::array<int8_t, 256> values{};
    for (auto& value : values)
        value = -1;
    for (size_t i = 0; i < alphabet.size(); ++i)
        values[static_cast<uint8_t> (alphabet[i])] = static_cast<int8_t> (i);
    return values;
}
constexpr auto digitValues = makeDigitValues();

/** The white space of the C locale's isspace, spelled out so no locale can change it. */
bool isWhiteSpace (char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
} // namespace

std::vector<uint8_t> JepFileIO::base64Decode (const std::string& text)
{
    std::vector<uint8_t> decoded;
    decoded.reserve (text.size() * 3 / 4);
    // Only the last 14 bits of the accumulator ever reach the output.
    uint32_t accumulator = 0;
    int bits = -8;
    for (const char c : text)
    {
        const int value = digitValues[static_cast<uint8_t> (c)];
        if (value < 0)
            continue;
        accumulator = ((accumulator << 6) | static_cast<uint32_t> (value)) & 0x3FFF;
        bits += 6;
        if (bits >= 0)
        {
            decoded.push_back (static_cast<uint8_t> (accumulator >> bits));
            bits -= 8;
        }
    }
    return decoded;
}

bool JepFileIO::parse (const uint8_t* bytes, size_t size, PatchModel& patch)
{
    if (size < smallestFile)
        return false;
    const std::string_view file (reinterpret_cast<const char*> (bytes), size);
    const size_t markerAt = file.find (marker);
    if (markerAt == std::string_view::npos)
        return false;
    const size_t openAt = file.find (dataOpen, markerAt);
    const size_t closeAt = file.find (dataClose, markerAt);
    if (openAt == std::string_view::npos || closeAt == std::string_view::npos)
        return false;

    // A closing tag before the opening one leaves the payload running to the end.
    const size_t payloadStart = openAt + dataOpen.size();
    const size_t payloadEnd = closeAt < openAt ? file.size() : closeAt;
    std::string payload;
    payload.reserve (payloadEnd - payloadStart);
    std::copy_if (file.begin() + static_cast<std::ptrdiff_t> (payloadStart),
                  file.begin() + static_cast<std::ptrdiff_t> (payloadEnd),
                  std::back_inserter (payload),
                  [] (char c) { return !isWhiteSpace (c); });

    const std::vector<uint8_t> decoded = base64Decode (payload);
    if (decoded.size() < PatchBits::numBytes)
        return false;
    std::copy_n (decoded.begin(), PatchBits::numBytes, patch.data.begin());
    return true;
}

bool JepFileIO::load (const std::string& path, PatchModel& patch)
{
    std::vector<uint8_t> file;
    return FileBytes::readAll (path, FileBytes::maxFileSize, file) && parse (file.data(), file.size(), patch);
}

bool JepFileIO::load (const std::string& path, PatchModel& patch, std::string& whyNot)
{
    if (load (path, patch))
        return true;
    whyNot = FileBytes::whyNotReadable (path);
    if (whyNot.empty())
        whyNot = "holds no Juno Editor preset data";
    return false;
}
