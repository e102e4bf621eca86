#pragma once

#include "midi/OutputPacer.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

/** An OutputPacer with its own thread, which performs every step (writing a
    message, switching the destination) in order, one at a time, outside the
    lock. A submission only takes that lock for a moment: it never waits for a
    write, however slow the write is. */
class PacedSender
{
public:
    explicit PacedSender (OutputPacer::Sink perform, int bytesPerSecond = OutputPacer::dinBytesPerSecond);
    /** Drops what still waits for the link, performs what has already left it, and stops the thread. */
    ~PacedSender();

    void submit (OutputPacer::Message message, MidiPlatform::Delivery delivery);
    /** Later messages go to this destination; see OutputPacer::switchDestination. */
    void switchDestination (uint32_t destination);
    /** Performs what waits (but a patch dump) for at most `limit`, drops the
        rest and returns once nothing is being performed. Later submissions are
        dropped. */
    void finish (std::chrono::milliseconds limit);

    PacedSender (const PacedSender&) = delete;
    PacedSender& operator= (const PacedSender&) = delete;

private:
    void run();
    bool isIdle() const { return outbox.empty() && !performing && !pacer.hasWaiting(); }

    const OutputPacer::Sink perform; // pacing thread only
    std::mutex lock;
    std::condition_variable wake; // the pacing thread has something new to do
    std::condition_variable idle; // the pacing thread has nothing left to perform
    bool stopping = false;
    bool performing = false;
    // When the sleeping thread looks again by itself (empty: only when woken).
    std::optional<OutputPacer::TimePoint> sleepsUntil;
    bool sleeping = false;
    std::deque<OutputPacer::Step> outbox; // left the pacer, not yet performed
    OutputPacer pacer;
    std::thread thread; // last: starts once everything it uses exists
};
