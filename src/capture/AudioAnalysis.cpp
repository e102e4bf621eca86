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
