#include "previews/PreviewPlayback.h"

#include <cmath>

PreviewPlayback::PreviewPlayback() = default;

PreviewPlayback::~PreviewPlayback()
{
    collect();
    while (Clip* waiting = toAudio.pop())
        delete waiting;
    delete current;
}

void PreviewPlayback::play (std::unique_ptr<Clip> clip)
{
    collect();
    if (clip == nullptr)
        return;
    lastName = clip->fileName;
    // A full queue means the callback has not run for a while: the clip is simply not played.
    if (toAudio.push (clip.get()))
    {
        clip.release();
        playing.store (true, std::memory_order_release);
    }
}

void PreviewPlayback::stop()
{
    collect();
    auto silence = std::make_unique<Clip>();
    if (toAudio.push (silence.get()))
        silence.release();
    playing.store (false, std::memory_order_release);
}

void PreviewPlayback::collect()
{
    while (Clip* done = fromAudio.pop())
        delete done;
}

void PreviewPlayback::render (float* const* channels, int channelCount, int frames, double outputRate) noexcept
{
    while (Clip* incoming = toAudio.pop())
    {
        // The one it replaces goes back to the message thread to be freed.
        if (current != nullptr)
            fromAudio.push (current);
        current = incoming;
        position = 0.0;
    }
    if (current == nullptr || current->samples.empty() || outputRate <= 0.0)
    {
        playing.store (false, std::memory_order_release);
        return;
    }
    const auto& samples = current->samples;
    const double step = current->sampleRate / outputRate;
    const size_t count = samples.size();
    for (int i = 0; i < frames; ++i, position += step)
    {
        const auto at = static_cast<size_t> (position);
        if (at + 1 >= count)
        {
            playing.store (false, std::memory_order_release);
            position = static_cast<double> (count);
            break;
        }
        const double fraction = position - static_cast<double> (at);
        const float value =
            current->gain * static_cast<float> (samples[at] + (samples[at + 1] - samples[at]) * fraction);
        for (int c = 0; c < channelCount; ++c)
            channels[c][i] += value;
    }
}
