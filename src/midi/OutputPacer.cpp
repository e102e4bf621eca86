#include "midi/OutputPacer.h"

#include <algorithm>
#include <utility>

OutputPacer::OutputPacer (Sink messageSink, int bytesPerSecond)
    : sink (std::move (messageSink)), timePerByte (std::chrono::duration_cast<Clock::duration> (
                                          std::chrono::nanoseconds (1000000000LL) / std::max (1, bytesPerSecond)))
{
}

void OutputPacer::submit (Message message, MidiPlatform::Delivery delivery, TimePoint now)
{
    if (waiting.empty() && now >= linkFreeAt)
    {
        transmit (message, now);
        return;
    }
    if (delivery == MidiPlatform::Delivery::latestWins)
    {
        // At most one replaceable message waits: the newest takes its place in the line.
        const auto replaceable =
            std::find_if (waiting.begin(),
                          waiting.end(),
                          [] (const Waiting& w) { return w.delivery == MidiPlatform::Delivery::latestWins; });
        if (replaceable != waiting.end())
        {
            replaceable->message = std::move (message);
            return;
        }
    }
    waiting.push_back ({std::move (message), delivery});
}

std::optional<OutputPacer::TimePoint> OutputPacer::service (TimePoint now)
{
    while (!waiting.empty() && now >= linkFreeAt)
    {
        const Waiting next = std::move (waiting.front());
        waiting.pop_front();
        transmit (next.message, now);
    }
    if (waiting.empty())
        return std::nullopt;
    return linkFreeAt;
}

void OutputPacer::transmit (const Message& message, TimePoint now)
{
    // A late start never earns a faster pace afterwards.
    linkFreeAt = std::max (linkFreeAt, now) + timePerByte * static_cast<Clock::rep> (message.size());
    if (sink)
        sink (message);
}
