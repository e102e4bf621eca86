#pragma once

#include "capture/AudioAnalysis.h"

#include <optional>
#include <string>

/** What is played for a preview: one note held for a while. Its name is
    part of the preview's file name, so each phrase of a patch has a file. */
struct Phrase
{
    int note = 60;     // MIDI note, 0 to 127
    double hold = 1.0; // seconds from note-on to note-off

    /** "note60-1s", "note48-2.5s": plain characters only. */
    std::string name() const;
    /** The phrase a name gives; nothing for anything else. */
    static std::optional<Phrase> parse (const std::string& name);
    /** Whether it can be played: a MIDI note, and a hold from 10 ms to 60 s. */
    bool isValid() const;
    bool operator== (const Phrase& other) const { return name() == other.name(); }
};

/** Every step of a take, each a setting. The defaults suit a synthesizer
    heard through a quiet line input; what only the instrument can settle
    (how long it needs after a dump, how quiet its output is) is tuned
    here. Times in seconds, levels in dB. */
struct TakeSettings
{
    // Before anything is sent, the input must be quiet: the last `quietWindow`
    // below the noise floor + `quietMargin` for `quietSpan`; after `quietLimit`
    // the take goes on, flagged "ringing".
    double quietMargin = 10.0;
    double quietWindow = 0.010;
    double quietSpan = 0.030;
    double quietLimit = 5.0;
    // A patch with Release 0 and VCA Level 0 first, because parameters are
    // live: a voice still ringing would take on the next patch's sound.
    double flushWait = 0.080;
    // After the dump has crossed the MIDI link.
    double settle = 0.060;
    Phrase phrase;
    // After the note-off, until quiet (by the same measure) for `tailQuiet`; after
    // `tailLimit` the take ends, faded and flagged "tail cut".
    double tailQuiet = 0.050;
    double tailLimit = 4.0;
    // Where the sound starts, and what is kept around it.
    AudioAnalysis::OnsetRule onset;
    double preRoll = 0.005;
    double postRoll = 0.050;
    double fadeOut = 0.010;
    // Playback level: the gain to this loudness (LUFS), the true peak kept at or below the limit (dBTP).
    double targetLoudness = -20.0;
    double peakLimit = -1.0;

    double quietThresholdDb (double floorDb) const { return floorDb + quietMargin; }
};
