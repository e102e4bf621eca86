#pragma once

#include <cstddef>

/** The loudness of a take by EBU R128 (libebur128), one channel counted as
    the same sound on both speakers, and the gain that brings it to a target
    without its true peak going over a limit. The gain is stored beside the
    audio and applied as it plays; the audio is never encoded again. */
namespace Loudness
{
struct Figures
{
    double loudness = -70.0;      // LUFS: integrated, or the largest momentary for a short take
    bool momentary = false;       // the take was shorter than one 400 ms block
    double truePeakDb = -140.0;   // dBTP, between the samples too
    double samplePeakDb = -140.0; // dBFS, the samples alone
};

/** The figures of a take; a take shorter than 0.4 s reads the largest momentary loudness. */
Figures measure (const float* samples, size_t count, double sampleRate);

/** The most a take is ever raised, so a nearly silent one stays nearly silent. */
constexpr double maxGain = 40.0;

/** The gain in dB to `target` LUFS, lowered so the true peak stays at or
    below `peakLimit` dBTP, and never above maxGain. A take with no
    measurable loudness gets the most the peak allows. */
double gainTo (const Figures& figures, double target = -20.0, double peakLimit = -1.0);
} // namespace Loudness
