#pragma once

// What the tests of takes and runs share: a clock that moves in small steps
// until a condition holds, and the pitch of a stretch of audio.

#include "MemorySound.h"

#include <chrono>
#include <cmath>
#include <functional>
#include <vector>

/** Moves the sound's clock in steps of `step` (5 ms, as a window's timer
    might) and calls `tick` after each, until `done` or `limit` of clock time. */
inline bool runClock (MemorySound& sound,
                      const std::function<void (AudioInput::Clock::time_point)>& tick,
                      const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds (600),
                      std::chrono::milliseconds step = std::chrono::milliseconds (5))
{
    const auto end = sound.now + limit;
    while (!done())
    {
        if (sound.now >= end)
            return false;
        sound.advance (step);
        tick (sound.now);
    }
    return true;
}

/** The pitch of a stretch of a sine, by its upward zero crossings; 0 for silence. */
inline double pitchOf (const float* samples, size_t count, double sampleRate)
{
    std::vector<double> crossings;
    for (size_t i = 1; i < count; ++i)
        if (samples[i - 1] < 0.0f && samples[i] >= 0.0f)
            crossings.push_back (static_cast<double> (i - 1) + samples[i - 1] / (samples[i - 1] - samples[i]));
    if (crossings.size() < 3)
        return 0.0;
    return (static_cast<double> (crossings.size()) - 1.0) * sampleRate / (crossings.back() - crossings.front());
}

/** Whether every 20 ms of the audio from `from` seconds to `to` sounds at `frequency`, within 10 cents. */
inline bool soundsAt (const std::vector<float>& audio, double sampleRate, double frequency, double from, double to)
{
    const auto window = static_cast<size_t> (0.020 * sampleRate);
    for (auto start = static_cast<size_t> (from * sampleRate); start + window <= static_cast<size_t> (to * sampleRate);
         start += window)
    {
        if (start + window > audio.size())
            return false;
        const double pitch = pitchOf (audio.data() + start, window, sampleRate);
        if (pitch <= 0.0 || std::abs (1200.0 * std::log2 (pitch / frequency)) > 10.0)
            return false;
    }
    return true;
}
