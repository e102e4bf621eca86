#include "capture/AudioAnalysis.h"

#include <algorithm>
#include <cmath>

namespace AudioAnalysis
{
double toDb (double amplitude)
{
    const double floorAmplitude = std::pow (10.0, silenceDb / 20.0);
    return 20.0 * std::log10 (std::max (std::abs (amplitude), floorAmplitude));
}

double toAmplitude (double db)
{
    return std::pow (10.0, db / 20.0);
}

double peakDb (const float* samples, size_t count)
{
    float peak = 0.0f;
    for (size_t i = 0; i < count; ++i)
        peak = std::max (peak, std::abs (samples[i]));
    return toDb (peak);
}

double rmsDb (const float* samples, size_t count)
{
    if (count == 0)
        return silenceDb;
    double sum = 0.0;
    for (size_t i = 0; i < count; ++i)
        sum += static_cast<double> (samples[i]) * samples[i];
    return toDb (std::sqrt (sum / static_cast<double> (count)));
}

double noiseFloorDb (const float* samples, size_t count, double sampleRate)
{
    const size_t block = std::max<size_t> (1, static_cast<size_t> (std::lround (sampleRate * 0.010)));
    std::vector<double> levels;
    for (size_t start = 0; start + block <= count; start += block)
        levels.push_back (rmsDb (samples + start, block));
    if (levels.empty())
        return rmsDb (samples, count);
    const auto fifth = levels.begin() + static_cast<std::ptrdiff_t> (levels.size() / 5);
    std::nth_element (levels.begin(), fifth, levels.end());
    return *fifth;
}

double OnsetRule::thresholdDb (double floorDb) const
{
    return std::max (floorDb + marginOverFloor, lowestThreshold);
}

std::optional<size_t> findOnset (
    const float* samples, size_t count, double sampleRate, long long noteOnFrame, double floorDb, const OnsetRule& rule)
{
    const auto block = static_cast<long long> (std::max (1.0, std::round (sampleRate * rule.blockSeconds)));
    const long long first = std::max (0LL, noteOnFrame - std::llround (rule.searchBefore * sampleRate));
    const long long last =
        std::min (static_cast<long long> (count), noteOnFrame + std::llround (rule.searchAfter * sampleRate));
    const float threshold = static_cast<float> (toAmplitude (rule.thresholdDb (floorDb)));

    const auto isLoud = [&] (long long start)
    {
        const long long end = std::min (start + block, static_cast<long long> (count));
        for (long long i = start; i < end; ++i)
            if (std::abs (samples[i]) >= threshold)
                return true;
        return false;
    };

    int inARow = 0;
    for (long long start = first; start < last; start += block)
    {
        if (!isLoud (start))
        {
            inARow = 0;
            continue;
        }
        if (++inARow < rule.blocksInARow)
            continue;
        // The sound starts at its first loud sample, not at its block's edge.
        const long long firstBlock = start - (rule.blocksInARow - 1) * block;
        for (long long i = firstBlock; i < firstBlock + block; ++i)
            if (std::abs (samples[i]) >= threshold)
                return static_cast<size_t> (i);
    }
    return std::nullopt;
}

size_t endOfLastLoudSample (const float* samples, size_t count, size_t from, double thresholdDb)
{
    const float threshold = static_cast<float> (toAmplitude (thresholdDb));
    for (size_t i = count; i > from; --i)
        if (std::abs (samples[i - 1]) >= threshold)
            return i;
    return from;
}

double frequency (const float* samples, size_t count, double sampleRate)
{
    std::vector<double> crossings;
    for (size_t i = 1; i < count; ++i)
        if (samples[i - 1] < 0.0f && samples[i] >= 0.0f)
            // Where the line between the two samples crosses zero.
            crossings.push_back (static_cast<double> (i - 1) + samples[i - 1] / (samples[i - 1] - samples[i]));
    if (crossings.size() < 3)
        return 0.0;
    std::vector<double> periods;
    for (size_t i = 1; i < crossings.size(); ++i)
        periods.push_back (crossings[i] - crossings[i - 1]);
    auto sorted = periods;
    std::nth_element (sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t> (sorted.size() / 2), sorted.end());
    const double typical = sorted[sorted.size() / 2];
    // A click or a burst of noise splits a period in two; such periods are left out, whole.
    double sum = 0.0;
    size_t kept = 0;
    for (const double period : periods)
        if (std::abs (period - typical) <= 0.1 * typical)
        {
            sum += period;
            ++kept;
        }
    return kept == 0 || sum <= 0.0 ? 0.0 : static_cast<double> (kept) * sampleRate / sum;
}

int countClicks (const float* samples, size_t count, double sampleRate)
{
    if (count < 3)
        return 0;
    std::vector<float> curvature (count - 2);
    for (size_t i = 2; i < count; ++i)
        curvature[i - 2] = std::abs (samples[i] - 2.0f * samples[i - 1] + samples[i - 2]);
    auto sorted = curvature;
    std::nth_element (sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t> (sorted.size() / 2), sorted.end());
    const float threshold = 20.0f * sorted[sorted.size() / 2] + 1e-5f;
    const auto deadTime = static_cast<size_t> (0.002 * sampleRate);
    int clicks = 0;
    for (size_t i = 0; i < curvature.size();)
    {
        if (curvature[i] > threshold)
        {
            ++clicks;
            i += deadTime;
        }
        else
            ++i;
    }
    return clicks;
}

double toneLevelDb (const float* samples, size_t count, double sampleRate, double frequency, double cents)
{
    if (count < 2 || frequency <= 0.0)
        return silenceDb;
    double windowSum = 0.0;
    std::vector<double> windowed (count);
    for (size_t i = 0; i < count; ++i)
    {
        const double hann =
            0.5 - 0.5 * std::cos (2.0 * M_PI * static_cast<double> (i) / static_cast<double> (count - 1));
        windowed[i] = samples[i] * hann;
        windowSum += hann;
    }
    double strongest = 0.0;
    for (double offset = -cents; offset <= cents + 1e-9; offset += 5.0)
    {
        const double step = 2.0 * M_PI * frequency * std::pow (2.0, offset / 1200.0) / sampleRate;
        // The DFT's oscillator turned by one step a sample, without a sine per sample.
        const double c = std::cos (step), s = std::sin (step);
        double re = 0.0, im = 0.0, zr = 1.0, zi = 0.0;
        for (size_t i = 0; i < count; ++i)
        {
            re += windowed[i] * zr;
            im -= windowed[i] * zi;
            const double turned = zr * c - zi * s;
            zi = zr * s + zi * c;
            zr = turned;
        }
        strongest = std::max (strongest, std::sqrt (re * re + im * im));
    }
    // A sine of amplitude A gives A/2 of the window's sum; its RMS is A/sqrt 2.
    return toDb (2.0 * strongest / windowSum / std::sqrt (2.0));
}

bool isClipped (const float* samples, size_t count, int run)
{
    int inARow = 0;
    for (size_t i = 0; i < count; ++i)
    {
        inARow = std::abs (samples[i]) >= 0.999f ? inARow + 1 : 0;
        if (inARow >= run)
            return true;
    }
    return false;
}

void fadeOut (float* samples, size_t count, size_t fadeFrames)
{
    fadeFrames = std::min (fadeFrames, count);
    for (size_t i = 0; i < fadeFrames; ++i)
        samples[count - 1 - i] *= static_cast<float> (i) / static_cast<float> (fadeFrames);
}

QuietWatch::QuietWatch (double sampleRate, double thresholdDb, double window, double span)
    : thresholdPower (std::pow (10.0, thresholdDb / 10.0)),
      windowFrames (std::max<size_t> (1, static_cast<size_t> (std::lround (sampleRate * window)))),
      stepFrames (std::max<size_t> (1, static_cast<size_t> (std::lround (sampleRate * 0.001)))),
      spanFrames (static_cast<size_t> (std::lround (sampleRate * span))), ring (windowFrames, 0.0f)
{
}

void QuietWatch::feed (const float* samples, size_t count)
{
    for (size_t i = 0; i < count; ++i)
    {
        const double old = ring[ringPosition];
        powerSum += static_cast<double> (samples[i]) * samples[i] - old * old;
        ring[ringPosition] = samples[i];
        ringPosition = (ringPosition + 1) % windowFrames;
        filled = std::min (filled + 1, windowFrames);
        if (++sinceStep < stepFrames)
            continue;
        sinceStep = 0;
        // The running sum drifts with rounding; it is exact again once per window.
        if (ringPosition == 0)
        {
            powerSum = 0.0;
            for (const float sample : ring)
                powerSum += static_cast<double> (sample) * sample;
        }
        const bool quiet =
            filled == windowFrames && std::max (powerSum, 0.0) / static_cast<double> (windowFrames) < thresholdPower;
        // The first quiet step starts the count: the window has only just become quiet.
        quietFrames = !quiet ? 0 : wasQuiet ? quietFrames + stepFrames : 0;
        wasQuiet = quiet;
    }
}
} // namespace AudioAnalysis
