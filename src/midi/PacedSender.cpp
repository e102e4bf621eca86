#include "midi/PacedSender.h"

#include <utility>

PacedSender::PacedSender (OutputPacer::Sink performStep, int bytesPerSecond)
    : perform (std::move (performStep)),
      pacer ([this] (OutputPacer::Step step) { outbox.push_back (std::move (step)); }, bytesPerSecond),
      thread ([this] { run(); })
{
}

PacedSender::~PacedSender()
{
    {
        const std::lock_guard<std::mutex> guard (lock);
        pacer.discardWaiting();
        stopping = true;
    }
    wake.notify_one();
    thread.join();
}

void PacedSender::submit (OutputPacer::Message message, MidiPlatform::Delivery delivery)
{
    bool wakeNeeded = false;
    {
        const std::lock_guard<std::mutex> guard (lock);
        const auto now = OutputPacer::Clock::now();
        pacer.submit (std::move (message), delivery, now);
        wakeNeeded = sleeping && pacer.needsWakeUp (sleepsUntil, !outbox.empty(), now);
    }
    if (wakeNeeded)
        wake.notify_one();
}

void PacedSender::switchDestination (uint32_t destination)
{
    {
        const std::lock_guard<std::mutex> guard (lock);
        pacer.switchDestination (destination, OutputPacer::Clock::now());
    }
    wake.notify_one();
}

void PacedSender::finish (std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> guard (lock);
    pacer.finish (OutputPacer::Clock::now() + limit);
    wake.notify_one();
    // The pacer drops what waits once the limit is reached, so this wait ends by then (plus one step).
    idle.wait (guard, [this] { return isIdle(); });
}

void PacedSender::run()
{
    std::unique_lock<std::mutex> guard (lock);
    for (;;)
    {
        pacer.service (OutputPacer::Clock::now());
        if (!outbox.empty())
        {
            auto steps = std::move (outbox);
            outbox.clear();
            performing = true;
            guard.unlock();
            for (auto& step : steps)
                perform (std::move (step));
            guard.lock();
            performing = false;
            continue; // more may have been submitted meanwhile
        }
        if (isIdle())
            idle.notify_all();
        if (stopping)
            return;
        sleepsUntil = pacer.nextLook (OutputPacer::Clock::now());
        sleeping = true;
        if (sleepsUntil.has_value())
            wake.wait_until (guard, *sleepsUntil);
        else
            wake.wait (guard);
        sleeping = false;
    }
}
