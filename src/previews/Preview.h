#pragma once

#include "capture/TakeSettings.h"
#include "patch/PatchModel.h"
#include "previews/VorbisFile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/** What is known of one stored preview besides its audio: which sound and
    phrase it is, how it was recorded and how loud it is. All of it lives in
    the file's own tags, so a folder of previews can be rebuilt from its
    files; the index only keeps a copy. */
struct PreviewInfo
{
    using PatchBytes = std::array<uint8_t, PatchBits::numBytes>;
    static constexpr size_t waveformPoints = 64;

    std::string title; // the patch's name when it was recorded
    PatchBytes bytes{};
    Phrase phrase;
    unsigned flags = 0;       // PreviewTake::Flag
    std::string date;         // "2024-05-01T12:34:56Z"
    std::string input;        // the capture device's id
    double gain = 0.0;        // dB to the target loudness (REPLAYGAIN_TRACK_GAIN)
    double loudness = 0.0;    // LUFS
    double truePeak = 0.0;    // dBTP
    double onsetOffset = 0.0; // seconds from the note-on to the sound
    int sampleRate = 48000;
    size_t frames = 0;
    /** The largest absolute sample of each 64th of the audio, 0 to 255. */
    std::array<uint8_t, waveformPoints> waveform{};

    double seconds() const { return sampleRate > 0 ? static_cast<double> (frames) / sampleRate : 0.0; }
    std::string fileName() const { return fileNameOf (bytes, phrase); }

    /** "<36 hex digits of the bytes>-<phrase>.ogg": the same sound and phrase
        has the same name, whatever the patch is called. */
    static std::string fileNameOf (const PatchBytes& bytes, const Phrase& phrase);
    /** The bytes and phrase a file name gives; nothing for any other name. */
    static std::optional<std::pair<PatchBytes, Phrase>> parseFileName (const std::string& name);
    static std::string hexOf (const PatchBytes& bytes);

    /** The tags a preview's file carries. */
    VorbisFile::Tags toTags() const;
    /** The info the tags give (and the audio's length and rate, which the
        file knows); nothing when a tag a preview needs is missing or malformed. */
    static std::optional<PreviewInfo> fromTags (const VorbisFile::Tags& tags, int sampleRate, size_t frames);
    static std::array<uint8_t, waveformPoints> waveformOf (const std::vector<float>& audio);
};
