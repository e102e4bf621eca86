#pragma once

#include "capture/AudioInput.h"

#include <vector>

/** Everything an input captured since the tape started, with the time of
    each frame, so a moment the program knows (a note-on) can be found in
    the audio. Times come from the input's first chunk and count on by the
    sample rate. */
class CaptureTape
{
public:
    using TimePoint = AudioInput::Clock::time_point;

    explicit CaptureTape (AudioInput& audioInput) : input (audioInput) {}

    /** Takes in what the input has captured since; returns how many frames came. */
    size_t pull();

    const std::vector<float>& samples() const { return audio; }
    double sampleRate() const { return rate; }
    bool hasStarted() const { return started; }
    /** The frame captured at `time`: negative before the tape, past its end after it. */
    long long frameAt (TimePoint time) const;
    TimePoint timeOfFrame (long long frame) const;
    /** The time just after the last frame taken in. */
    TimePoint end() const { return timeOfFrame (static_cast<long long> (audio.size())); }

private:
    AudioInput& input;
    std::vector<float> audio;
    TimePoint start{};
    double rate = 48000.0;
    bool started = false;
};
