#pragma once

#include "midi/MidiPlatform.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

/** Lets messages leave no faster than a serial MIDI link carries them. A
    message leaves at once while the link is idle; otherwise it waits, in
    order, and a newer patch dump replaces one still waiting. Plain logic over
    a clock passed in; not thread-safe (PacedSender adds the thread). */
class OutputPacer
{
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;
    using Message = std::vector<uint8_t>;
    using Sink = std::function<void (const Message&)>;

    /** A DIN MIDI link: 31,250 baud, ten bits a byte. */
    static constexpr int dinBytesPerSecond = 3125;

    explicit OutputPacer (Sink sink, int bytesPerSecond = dinBytesPerSecond);

    /** Passes the message to the sink now if the link is free, else queues it. */
    void submit (Message message, MidiPlatform::Delivery delivery, TimePoint now);

    /** Passes on every waiting message whose turn has come; returns when the
        next one may leave, or nothing when none is waiting. */
    std::optional<TimePoint> service (TimePoint now);

    void discardWaiting() { waiting.clear(); }
    bool hasWaiting() const { return !waiting.empty(); }

    OutputPacer (const OutputPacer&) = delete;
    OutputPacer& operator= (const OutputPacer&) = delete;

private:
    struct Waiting
    {
        Message message;
        MidiPlatform::Delivery delivery;
    };

    void transmit (const Message& message, TimePoint now);

    Sink sink;
    Clock::duration timePerByte;
    TimePoint linkFreeAt{}; // when the last message passed on has finished crossing the link
    std::deque<Waiting> waiting;
};
