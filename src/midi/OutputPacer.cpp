#include "midi/OutputPacer.h"

#include "midi/protocol/JunoMessages.h"

#include <algorithm>
#include <iterator>
#include <utility>

OutputPacer::OutputPacer (Sink stepSink, int bytesPerSecond)
    : sink (std::move (stepSink)), timePerByte (std::chrono::duration_cast<Clock::duration> (
                                       std::chrono::nanoseconds (1000000000LL) / std::max (1, bytesPerSecond)))
{
}

void OutputPacer::submit (Message message, MidiPlatform::Delivery delivery, TimePoint now)
{
    if (finishBy.has_value())
        return;
    if (waiting.empty() && now >= linkFreeAt)
    {
        transmit (std::move (message), now);
        return;
    }
    enqueue (std::move (message), delivery);
}

void OutputPacer::enqueue (Message message, MidiPlatform::Delivery delivery)
{
    using Delivery = MidiPlatform::Delivery;
    const auto isDelivered = [] (Delivery how) { return [how] (const Waiting& w) { return w.delivery == how; }; };
    switch (delivery)
    {
        case Delivery::latestWins:
        {
            dropWaiting (Delivery::latestPerParameter);
            // At most one dump waits, behind every switch: the newest takes its place in the line.
            const auto dump = std::find_if (waiting.begin(), waiting.end(), isDelivered (Delivery::latestWins));
            if (dump != waiting.end())
                dump->step.message = std::move (message);
            else
                waiting.push_back ({{std::move (message), std::nullopt}, delivery});
            return;
        }
        case Delivery::latestPerParameter:
        {
            const int parameter = JunoMessages::paramChangeNumber (message.data(), message.size());
            const auto same =
                std::find_if (waiting.begin(),
                              waiting.end(),
                              [parameter] (const Waiting& w)
                              { return w.delivery == Delivery::latestPerParameter && w.parameter == parameter; });
            if (same != waiting.end())
                same->step.message = std::move (message);
            else
                waiting.push_back ({{std::move (message), std::nullopt}, delivery, parameter});
            return;
        }
        case Delivery::inOrder:
        {
            // Ahead of the parameter changes at the end of the line, behind everything else.
            auto place = waiting.end();
            while (place != waiting.begin() && std::prev (place)->delivery == Delivery::latestPerParameter)
                --place;
            waiting.insert (place, {{std::move (message), std::nullopt}, delivery});
            return;
        }
    }
}

void OutputPacer::switchDestination (uint32_t destination, TimePoint now)
{
    // The sound was meant for the old destination; the new one gets the next edit.
    dropWaiting (MidiPlatform::Delivery::latestWins);
    dropWaiting (MidiPlatform::Delivery::latestPerParameter);
    if (!waiting.empty())
    {
        waiting.push_back ({{{}, destination}, MidiPlatform::Delivery::inOrder});
        return;
    }
    linkFreeAt = now; // another device, another link: idle
    sink ({{}, destination});
}

void OutputPacer::finish (TimePoint deadline)
{
    dropWaiting (MidiPlatform::Delivery::latestWins);
    finishBy = deadline;
}

std::optional<OutputPacer::TimePoint> OutputPacer::service (TimePoint now)
{
    if (finishBy.has_value() && now >= *finishBy)
    {
        // Out of time: the messages go, but a switch still happens (it costs the link nothing).
        while (!waiting.empty())
        {
            Waiting next = std::move (waiting.front());
            waiting.pop_front();
            if (next.step.isSwitch())
                sink (std::move (next.step));
        }
        return std::nullopt;
    }

    while (!waiting.empty())
    {
        if (waiting.front().step.isSwitch())
        {
            Step step = std::move (waiting.front().step);
            waiting.pop_front();
            linkFreeAt = now;
            sink (std::move (step));
            continue;
        }
        if (now < linkFreeAt)
            break;
        Message message = std::move (waiting.front().step.message);
        waiting.pop_front();
        // It has waited since the link became free: within the allowance it starts then, not now.
        transmit (std::move (message), std::max (linkFreeAt, now - lateServiceAllowance));
    }
    if (waiting.empty())
        return std::nullopt;
    return finishBy.has_value() ? std::min (linkFreeAt, *finishBy) : linkFreeAt;
}

std::optional<OutputPacer::TimePoint> OutputPacer::nextLook (TimePoint now) const
{
    if (!waiting.empty())
        return finishBy.has_value() ? std::min (linkFreeAt, *finishBy) : linkFreeAt;
    if (now < linkFreeAt)
        return linkFreeAt; // anything submitted before then waits for the link anyway
    if (lastLeftAt.has_value() && now < *lastLeftAt + lookingSpan)
        return now + lookInterval;
    return std::nullopt;
}

bool OutputPacer::needsWakeUp (std::optional<TimePoint> plannedLook, bool stepsLeft, TimePoint now) const
{
    std::optional<TimePoint> dueBy;
    if (stepsLeft)
        dueBy = now + lookInterval;
    if (!waiting.empty())
    {
        const auto nextDue = finishBy.has_value() ? std::min (linkFreeAt, *finishBy) : linkFreeAt;
        dueBy = dueBy.has_value() ? std::min (*dueBy, nextDue) : nextDue;
    }
    return dueBy.has_value() && (!plannedLook.has_value() || *plannedLook > *dueBy);
}

void OutputPacer::dropWaiting (MidiPlatform::Delivery delivery)
{
    waiting.erase (std::remove_if (waiting.begin(),
                                   waiting.end(),
                                   [delivery] (const Waiting& w) { return w.delivery == delivery; }),
                   waiting.end());
}

void OutputPacer::transmit (Message message, TimePoint start)
{
    lastLeftAt = start;
    linkFreeAt = start + timePerByte * static_cast<Clock::rep> (message.size());
    sink ({std::move (message), std::nullopt});
}
