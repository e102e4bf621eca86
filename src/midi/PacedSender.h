#pragma once

#include "midi/OutputPacer.h"

#include <condition_variable>
#include <mutex>
#include <thread>

/** An OutputPacer with its own thread: submit() never waits for the link, and
    the thread passes waiting messages on when their turn comes. The sink runs
    on the submitting thread (idle link) or on the pacing thread, never on
    both at once. */
class PacedSender
{
public:
    explicit PacedSender (OutputPacer::Sink sink, int bytesPerSecond = OutputPacer::dinBytesPerSecond);
    /** Stops the thread; messages still waiting are dropped. */
    ~PacedSender();

    void submit (OutputPacer::Message message, MidiPlatform::Delivery delivery);
    /** Drops every waiting message; none is in the sink when this returns. */
    void discardWaiting();

    PacedSender (const PacedSender&) = delete;
    PacedSender& operator= (const PacedSender&) = delete;

private:
    void run();

    std::mutex lock;
    std::condition_variable wake;
    bool stopping = false;
    OutputPacer pacer;
    std::thread thread; // last: starts once everything it uses exists
};
