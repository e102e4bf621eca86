#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

/** Ogg Vorbis images in memory, one channel, through libvorbis, with the
    comment tags a preview carries inside it (JUCE's writer keeps only a
    few tags of its own). The same audio and tags always give the same bytes. */
namespace VorbisFile
{
/** Vorbis comments in their order: NAME=value, names compared without case. */
struct Tags
{
    std::vector<std::pair<std::string, std::string>> fields;

    void set (const std::string& name, const std::string& value);
    /** The first value of the name, or nothing. */
    std::optional<std::string> get (const std::string& name) const;
};

/** Encodes the samples (-1 to 1) at `quality` (Vorbis's -0.1 to 1; 0.4 is
    about 80 kbit/s for one channel). False, with why, when libvorbis refuses
    the sample rate or there is nothing to encode. */
bool encode (const float* samples,
             size_t count,
             int sampleRate,
             const Tags& tags,
             std::vector<uint8_t>& image,
             std::string& whyNot,
             float quality = 0.4f);

struct Decoded
{
    std::vector<float> samples; // the first channel
    int sampleRate = 0;
    int channels = 0;
    Tags tags;
};

/** Decodes a whole image; false, with why, for anything that is not a
    complete Ogg Vorbis stream. `tagsOnly` stops after the headers. */
bool decode (const uint8_t* data, size_t size, Decoded& decoded, std::string& whyNot, bool tagsOnly = false);
} // namespace VorbisFile
