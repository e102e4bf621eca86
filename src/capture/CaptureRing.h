#pragma once

#include "capture/AudioInput.h"

#include <cstdint>
#include <mutex>
#include <vector>

/** The one crossing between a capture thread and the reader: captured
    frames in a ring of fixed size with the time of the newest, written by
    the capture thread, read by the recording's thread. The lock is held
    only to copy; the capture thread is not an audio callback with a
    deadline (it reads a period of about 21 ms at a time), so a short wait
    costs it nothing. Frames the reader did not take in time are counted as
    an overrun and dropped, oldest first. */
class CaptureRing
{
public:
    using Clock = AudioInput::Clock;

    explicit CaptureRing (size_t capacityFrames);

    /** From the capture thread: appends frames, the last of which was captured at `lastFrameTime`. */
    void write (const float* frames, size_t count, Clock::time_point lastFrameTime, double sampleRate);
    /** From the capture thread: frames were lost before they reached the ring. */
    void overrun();
    /** From the reader: see AudioInput::read. */
    AudioInput::Chunk read (float* destination, size_t maxFrames);
    uint64_t overruns() const;
    /** Empties the ring and forgets the overruns, for a newly opened device. */
    void reset();

private:
    mutable std::mutex lock;
    std::vector<float> ring;
    uint64_t written = 0;  // frames ever written
    uint64_t readUpTo = 0; // frames ever read or dropped
    uint64_t lost = 0;
    Clock::time_point newestTime{};
    double rate = 48000.0;
};
