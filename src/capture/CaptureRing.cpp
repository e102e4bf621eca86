#include "capture/CaptureRing.h"

#include <algorithm>

CaptureRing::CaptureRing (size_t capacityFrames) : ring (std::max<size_t> (1, capacityFrames)) {}

void CaptureRing::write (const float* frames, size_t count, Clock::time_point lastFrameTime, double sampleRate)
{
    const std::lock_guard<std::mutex> guard (lock);
    for (size_t i = 0; i < count; ++i)
        ring[(written + i) % ring.size()] = frames[i];
    written += count;
    newestTime = lastFrameTime;
    rate = sampleRate;
    if (written - readUpTo > ring.size())
    {
        readUpTo = written - ring.size();
        ++lost;
    }
}

void CaptureRing::overrun()
{
    const std::lock_guard<std::mutex> guard (lock);
    ++lost;
}

AudioInput::Chunk CaptureRing::read (float* destination, size_t maxFrames)
{
    const std::lock_guard<std::mutex> guard (lock);
    const size_t count = static_cast<size_t> (std::min<uint64_t> (written - readUpTo, maxFrames));
    AudioInput::Chunk chunk;
    if (count == 0)
        return chunk;
    for (size_t i = 0; i < count; ++i)
        destination[i] = ring[(readUpTo + i) % ring.size()];
    // The newest frame (written - 1) was captured at newestTime; the others one sample period apart before it.
    const double framesBefore = static_cast<double> (written - 1 - readUpTo);
    chunk.frames = count;
    chunk.firstFrameTime =
        newestTime - std::chrono::duration_cast<Clock::duration> (std::chrono::duration<double> (framesBefore / rate));
    readUpTo += count;
    return chunk;
}

uint64_t CaptureRing::overruns() const
{
    const std::lock_guard<std::mutex> guard (lock);
    return lost;
}

void CaptureRing::reset()
{
    const std::lock_guard<std::mutex> guard (lock);
    written = readUpTo = lost = 0;
}
