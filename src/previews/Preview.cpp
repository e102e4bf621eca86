#include "previews/Preview.h"

#include "capture/PreviewTake.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace
{
std::string number (double value, const char* format)
{
    char text[48];
    std::snprintf (text, sizeof (text), format, value);
    return text;
}

/** A number at the start of a tag's value ("-3.21 dB"); nothing when there is none. */
std::optional<double> leadingNumber (const std::optional<std::string>& text)
{
    if (!text || text->empty())
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod (text->c_str(), &end);
    if (end == text->c_str() || !std::isfinite (value))
        return std::nullopt;
    return value;
}

int hexDigit (char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<PreviewInfo::PatchBytes> parseHex (const std::string& text)
{
    PreviewInfo::PatchBytes bytes{};
    if (text.size() != bytes.size() * 2)
        return std::nullopt;
    for (size_t i = 0; i < bytes.size(); ++i)
    {
        const int high = hexDigit (text[2 * i]), low = hexDigit (text[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes[i] = static_cast<uint8_t> (high * 16 + low);
    }
    return bytes;
}
} // namespace

std::string PreviewInfo::hexOf (const PatchBytes& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (const uint8_t byte : bytes)
    {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

std::string PreviewInfo::fileNameOf (const PatchBytes& bytes, const Phrase& phrase)
{
    return hexOf (bytes) + "-" + phrase.name() + ".ogg";
}

std::optional<std::pair<PreviewInfo::PatchBytes, Phrase>> PreviewInfo::parseFileName (const std::string& name)
{
    constexpr size_t hexLength = PatchBits::numBytes * 2;
    const std::string extension = ".ogg";
    if (name.size() <= hexLength + 1 + extension.size() || name[hexLength] != '-' ||
        name.compare (name.size() - extension.size(), extension.size(), extension) != 0)
        return std::nullopt;
    const auto bytes = parseHex (name.substr (0, hexLength));
    const auto phrase = Phrase::parse (name.substr (hexLength + 1, name.size() - hexLength - 1 - extension.size()));
    if (!bytes || !phrase)
        return std::nullopt;
    return std::make_pair (*bytes, *phrase);
}

VorbisFile::Tags PreviewInfo::toTags() const
{
    VorbisFile::Tags tags;
    tags.set ("TITLE", title);
    tags.set ("QORV_PATCH", hexOf (bytes));
    tags.set ("QORV_PHRASE", phrase.name());
    tags.set ("QORV_FLAGS", PreviewTake::flagsText (flags));
    tags.set ("DATE", date);
    tags.set ("QORV_INPUT", input);
    tags.set ("QORV_LOUDNESS", number (loudness, "%.2f LUFS"));
    tags.set ("QORV_TRUE_PEAK", number (truePeak, "%.2f dBTP"));
    tags.set ("QORV_ONSET", number (onsetOffset * 1000.0, "%.2f ms"));
    tags.set ("QORV_FRAMES", std::to_string (frames));
    tags.set ("REPLAYGAIN_TRACK_GAIN", number (gain, "%.2f dB"));
    tags.set ("REPLAYGAIN_TRACK_PEAK", number (std::pow (10.0, truePeak / 20.0), "%.6f"));
    static const char digits[] = "0123456789abcdef";
    std::string points;
    for (const uint8_t point : waveform)
    {
        points += digits[point >> 4];
        points += digits[point & 15];
    }
    tags.set ("QORV_WAVEFORM", points);
    return tags;
}

std::optional<PreviewInfo> PreviewInfo::fromTags (const VorbisFile::Tags& tags, int sampleRate, size_t frames)
{
    PreviewInfo info;
    const auto bytes = parseHex (tags.get ("QORV_PATCH").value_or (""));
    const auto phrase = Phrase::parse (tags.get ("QORV_PHRASE").value_or (""));
    const auto gain = leadingNumber (tags.get ("REPLAYGAIN_TRACK_GAIN"));
    const auto loudness = leadingNumber (tags.get ("QORV_LOUDNESS"));
    const auto truePeak = leadingNumber (tags.get ("QORV_TRUE_PEAK"));
    if (!bytes || !phrase || !gain || !loudness || !truePeak)
        return std::nullopt;
    info.title = tags.get ("TITLE").value_or ("");
    info.bytes = *bytes;
    info.phrase = *phrase;
    info.flags = PreviewTake::parseFlags (tags.get ("QORV_FLAGS").value_or (""));
    info.date = tags.get ("DATE").value_or ("");
    info.input = tags.get ("QORV_INPUT").value_or ("");
    info.gain = *gain;
    info.loudness = *loudness;
    info.truePeak = *truePeak;
    info.onsetOffset = leadingNumber (tags.get ("QORV_ONSET")).value_or (0.0) / 1000.0;
    info.sampleRate = sampleRate;
    info.frames = frames;
    const std::string points = tags.get ("QORV_WAVEFORM").value_or ("");
    for (size_t i = 0; i < waveformPoints && 2 * i + 1 < points.size(); ++i)
    {
        const int high = hexDigit (points[2 * i]), low = hexDigit (points[2 * i + 1]);
        info.waveform[i] = static_cast<uint8_t> (high < 0 || low < 0 ? 0 : high * 16 + low);
    }
    return info;
}

std::array<uint8_t, PreviewInfo::waveformPoints> PreviewInfo::waveformOf (const std::vector<float>& audio)
{
    std::array<uint8_t, waveformPoints> points{};
    if (audio.empty())
        return points;
    for (size_t i = 0; i < waveformPoints; ++i)
    {
        const size_t begin = audio.size() * i / waveformPoints;
        const size_t end = std::max (begin + 1, audio.size() * (i + 1) / waveformPoints);
        float peak = 0.0f;
        for (size_t j = begin; j < end && j < audio.size(); ++j)
            peak = std::max (peak, std::abs (audio[j]));
        points[i] = static_cast<uint8_t> (std::lround (std::min (1.0f, peak) * 255.0f));
    }
    return points;
}
