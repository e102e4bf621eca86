#include "previews/PreviewPlayback.h"

#include <cmath>

PreviewPlayback::PreviewPlayback() = default;

PreviewPlayback::~PreviewPlayback()
{
    collect();
    delete requested.exchange (nullptr);
    delete current;
}

void PreviewPlayback::ask (std::unique_ptr<Clip> clip)
{
    collect();
    clip->request = ++lastRequest;
    // The callback either takes a request or never sees it: one still here is ours to free.
    delete requested.exchange (clip.release(), std::memory_order_acq_rel);
}

void PreviewPlayback::play (std::unique_ptr<Clip> clip)
{
    if (clip == nullptr)
        return;
    lastName = clip->fileName;
    lastWasPlay = !clip->samples.empty();
    ask (std::move (clip));
}

void PreviewPlayback::stop()
{
    lastWasPlay = false;
    ask (std::make_unique<Clip>());
}

bool PreviewPlayback::isPlaying() const
{
    return lastWasPlay && finished.load (std::memory_order_acquire) != lastRequest;
}

void PreviewPlayback::collect()
{
    while (Clip* old = done.pop())
        delete old;
}

void PreviewPlayback::render (float* const* channels, int channelCount, int frames, double outputRate) noexcept
{
    if (Clip* incoming = requested.exchange (nullptr, std::memory_order_acq_rel))
    {
        // The one it replaces goes back to the message thread to be freed. The
        // message thread collects before every request and only the latest
        // request is ever taken, so the queue back never holds more than two.
        if (current != nullptr)
            done.push (current);
        current = incoming;
        position = 0.0;
    }
    if (current == nullptr || current->samples.empty() || outputRate <= 0.0)
    {
        if (current != nullptr)
            finished.store (current->request, std::memory_order_release);
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
            finished.store (current->request, std::memory_order_release);
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
