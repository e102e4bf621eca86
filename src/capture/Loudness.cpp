#include "capture/Loudness.h"

#include "capture/AudioAnalysis.h"

#include <algorithm>
#include <cmath>
#include <ebur128.h>
#include <memory>

namespace Loudness
{
namespace
{
    struct StateDeleter
    {
        void operator() (ebur128_state* state) const { ebur128_destroy (&state); }
    };
    using State = std::unique_ptr<ebur128_state, StateDeleter>;

    /** Below the absolute gate of R128 nothing counts: such a take reads as silence. */
    double usable (double loudness)
    {
        return std::isfinite (loudness) ? loudness : AudioAnalysis::silenceDb;
    }
} // namespace

Figures measure (const float* samples, size_t count, double sampleRate)
{
    Figures figures;
    State state (ebur128_init (1,
                               static_cast<unsigned long> (std::lround (sampleRate)),
                               EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK | EBUR128_MODE_SAMPLE_PEAK));
    if (state == nullptr || count == 0)
        return figures;
    // A mono synthesizer is heard on both speakers: counted twice, a sine
    // reads as many LUFS as its peak has dBFS.
    ebur128_set_channel (state.get(), 0, EBUR128_DUAL_MONO);

    figures.momentary = static_cast<double> (count) < 0.4 * sampleRate;
    double loudest = -HUGE_VAL;
    // Momentary loudness moves in steps of 10 ms; its largest value is found by feeding that much at a time.
    const size_t step = std::max<size_t> (1, static_cast<size_t> (sampleRate / 100.0));
    for (size_t start = 0; start < count; start += step)
    {
        const size_t frames = std::min (step, count - start);
        ebur128_add_frames_float (state.get(), samples + start, frames);
        double momentary = -HUGE_VAL;
        if (figures.momentary && ebur128_loudness_momentary (state.get(), &momentary) == EBUR128_SUCCESS)
            loudest = std::max (loudest, momentary);
    }
    double integrated = -HUGE_VAL;
    if (!figures.momentary)
        ebur128_loudness_global (state.get(), &integrated);
    figures.loudness = usable (figures.momentary ? loudest : integrated);

    double truePeak = 0.0, samplePeak = 0.0;
    ebur128_true_peak (state.get(), 0, &truePeak);
    ebur128_sample_peak (state.get(), 0, &samplePeak);
    figures.truePeakDb = AudioAnalysis::toDb (std::max (truePeak, samplePeak));
    figures.samplePeakDb = AudioAnalysis::toDb (samplePeak);
    return figures;
}

double gainTo (const Figures& figures, double target, double peakLimit)
{
    const double headroom = std::min (peakLimit - figures.truePeakDb, maxGain);
    if (figures.loudness <= AudioAnalysis::silenceDb)
        return headroom;
    return std::min (target - figures.loudness, headroom);
}
} // namespace Loudness
