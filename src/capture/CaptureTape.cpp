#include "capture/CaptureTape.h"

#include <cmath>

size_t CaptureTape::pull()
{
    constexpr size_t chunkFrames = 4096;
    size_t added = 0;
    for (;;)
    {
        const size_t had = audio.size();
        audio.resize (had + chunkFrames);
        const auto chunk = input.read (audio.data() + had, chunkFrames);
        audio.resize (had + chunk.frames);
        if (chunk.frames == 0)
            return added;
        if (!started)
        {
            started = true;
            start = chunk.firstFrameTime;
            rate = input.sampleRate();
        }
        added += chunk.frames;
    }
}

long long CaptureTape::frameAt (TimePoint time) const
{
    return std::llround (std::chrono::duration<double> (time - start).count() * rate);
}

CaptureTape::TimePoint CaptureTape::timeOfFrame (long long frame) const
{
    return start + std::chrono::duration_cast<AudioInput::Clock::duration> (
                       std::chrono::duration<double> (static_cast<double> (frame) / rate));
}
