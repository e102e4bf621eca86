#include "midi/OutputPacer.h"

#include "midi/protocol/JunoMessages.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace
{
/** What a passing message is, for the notes that sound. */
struct NoteEvent
{
    bool isNote = false;
    bool starts = false;
    size_t index = 0; // channel and key
};

NoteEvent noteEvent (const OutputPacer::Message& message)
{
    if (message.size() != 3)
        return {};
    const int kind = message[0] & 0xF0;
    if (kind != 0x80 && kind != 0x90)
        return {};
    return {
        true, kind == 0x90 && message[2] > 0, static_cast<size_t> ((message[0] & 0x0F) * 128 + (message[1] & 0x7F))};
}

/** Pitch bend, channel pressure and a controller's value (not a channel-mode message, which
    acts on the others) are states: only the latest counts. Their kind, channel and controller, or -1. */
int latestKeyOf (const OutputPacer::Message& message)
{
    if (message.empty())
        return -1;
    const int kind = message[0] & 0xF0;
    const int channel = message[0] & 0x0F;
    if ((kind == 0xE0 && message.size() == 3) || (kind == 0xD0 && message.size() == 2))
        return kind << 4 | channel;
    if (kind == 0xB0 && message.size() == 3 && message[1] < 120)
        return (kind << 4 | channel) << 8 | message[1];
    return -1;
}
} // namespace

OutputPacer::OutputPacer (Sink stepSink, int bytesPerSecond)
    : sink (std::move (stepSink)), timePerByte (std::chrono::duration_cast<Clock::duration> (
                                       std::chrono::nanoseconds (1000000000LL) / std::max (1, bytesPerSecond))),
      passingByteLimit (static_cast<size_t> (passThroughLimit / timePerByte))
{
}

void OutputPacer::submit (Message message, MidiPlatform::Delivery delivery, TimePoint now)
{
    if (finishBy.has_value())
        return;
    if (waiting.empty() && now >= linkFreeAt)
    {
        if (delivery == MidiPlatform::Delivery::inOrder)
            notePassed (message);
        transmit (std::move (message), now);
        return;
    }
    enqueue (std::move (message), delivery);
}

void OutputPacer::notePassed (const Message& message)
{
    const auto note = noteEvent (message);
    if (!note.isNote)
        return;
    sounding.set (note.index, note.starts);
    droppedNote.reset (note.index);
}

void OutputPacer::enqueuePassing (Message message)
{
    const int key = latestKeyOf (message);
    if (key >= 0)
    {
        // The latest value takes the place of the one waiting, unless something else came after that one.
        for (auto place = waiting.rbegin(); place != waiting.rend() && place->latestKey >= 0; ++place)
        {
            if (place->latestKey != key)
                continue;
            passingBytesWaiting += message.size();
            passingBytesWaiting -= place->step.message.size();
            place->step.message = std::move (message);
            return;
        }
    }

    // Bounded: a note far behind is no use, but the end of one that sounds must come.
    const auto note = noteEvent (message);
    const size_t after = passingBytesWaiting + message.size();
    const bool endsASoundingNote = note.isNote && !note.starts && sounding.test (note.index);
    if (after > passingByteLimit)
    {
        if (note.isNote && note.starts)
        {
            droppedNote.set (note.index);
            return;
        }
        if (note.isNote && droppedNote.test (note.index))
        {
            droppedNote.reset (note.index);
            return;
        }
        if (after > 2 * passingByteLimit && !endsASoundingNote)
            return;
    }
    notePassed (message);
    passingBytesWaiting += message.size();
    waiting.push_back ({{std::move (message), std::nullopt}, MidiPlatform::Delivery::inOrder, -1, key});
}

void OutputPacer::enqueue (Message message, MidiPlatform::Delivery delivery)
{
    using Delivery = MidiPlatform::Delivery;
    switch (delivery)
    {
        case Delivery::latestWins:
        {
            // It carries every parameter change waiting (and replaces a waiting dump): it takes the first one's
            // place and holds back what any of them held back. All of them wait behind the last switch.
            const auto first =
                std::find_if (waiting.begin(), waiting.end(), [] (const Waiting& w) { return w.isSound(); });
            if (first == waiting.end())
            {
                waiting.push_back ({{std::move (message), std::nullopt}, delivery});
                return;
            }
            bool holds = false;
            for (auto entry = first; entry != waiting.end(); ++entry)
                holds = holds || (entry->isSound() && entry->holdsBackPassing);
            *first = {{std::move (message), std::nullopt}, delivery, -1, -1, holds};
            waiting.erase (
                std::remove_if (std::next (first), waiting.end(), [] (const Waiting& w) { return w.isSound(); }),
                waiting.end());
            return;
        }
        case Delivery::latestPerParameter:
        case Delivery::translatedParameter:
        {
            const bool holds = delivery == Delivery::translatedParameter;
            const int parameter = JunoMessages::paramChangeNumber (message.data(), message.size());
            const auto same =
                std::find_if (waiting.begin(),
                              waiting.end(),
                              [parameter] (const Waiting& w)
                              { return w.delivery == Delivery::latestPerParameter && w.parameter == parameter; });
            if (same != waiting.end())
            {
                same->step.message = std::move (message);
                same->holdsBackPassing = same->holdsBackPassing || holds;
                return;
            }
            waiting.push_back (
                {{std::move (message), std::nullopt}, Delivery::latestPerParameter, parameter, -1, holds});
            return;
        }
        case Delivery::inOrder:
            enqueuePassing (std::move (message));
            return;
    }
}

void OutputPacer::switchDestination (uint32_t destination, TimePoint now)
{
    // The sound was meant for the old destination; the new one gets the next edit.
    dropWaiting (MidiPlatform::Delivery::latestWins);
    dropWaiting (MidiPlatform::Delivery::latestPerParameter);
    passingWhileSoundWaited = 0;
    soundWhilePassingWaited = 0;
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
        passingBytesWaiting = 0;
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
        const auto next = nextToLeave();
        Message message = std::move (next->step.message);
        const bool soundLeft = next->isSound();
        if (!soundLeft)
            passingBytesWaiting -= message.size();
        waiting.erase (next);
        countTurn (soundLeft);
        // It has waited since the link became free: within the allowance it starts then, not now.
        transmit (std::move (message), std::max (linkFreeAt, now - lateServiceAllowance));
    }
    if (waiting.empty())
        return std::nullopt;
    return finishBy.has_value() ? std::min (linkFreeAt, *finishBy) : linkFreeAt;
}

std::deque<OutputPacer::Waiting>::iterator OutputPacer::nextToLeave()
{
    // The first sound and the first passing message ahead of the next switch, and whether a sound
    // ahead of that message holds it back.
    auto sound = waiting.end();
    auto passing = waiting.end();
    bool heldBack = false;
    for (auto entry = waiting.begin(); entry != waiting.end() && !entry->step.isSwitch(); ++entry)
    {
        if (entry->isSound())
        {
            if (sound == waiting.end())
                sound = entry;
            if (passing == waiting.end())
                heldBack = heldBack || entry->holdsBackPassing;
        }
        else if (passing == waiting.end())
        {
            passing = entry;
        }
        if (sound != waiting.end() && passing != waiting.end())
            break;
    }
    if (passing == waiting.end())
        return sound;
    if (sound == waiting.end())
        return passing;
    // The one that came first goes, unless one of its kind already went while the other waited.
    if (sound < passing)
        return heldBack || soundWhilePassingWaited == 0 ? sound : passing;
    return passingWhileSoundWaited == 0 ? passing : sound;
}

void OutputPacer::countTurn (bool soundLeft)
{
    bool soundWaits = false, passingWaits = false;
    for (auto entry = waiting.begin(); entry != waiting.end() && !entry->step.isSwitch(); ++entry)
    {
        (entry->isSound() ? soundWaits : passingWaits) = true;
        if (soundWaits && passingWaits)
            break;
    }
    if (soundLeft)
    {
        passingWhileSoundWaited = 0;
        soundWhilePassingWaited = passingWaits ? soundWhilePassingWaited + 1 : 0;
    }
    else
    {
        soundWhilePassingWaited = 0;
        passingWhileSoundWaited = soundWaits ? passingWhileSoundWaited + 1 : 0;
    }
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
