#include "midi/PacedSender.h"

#include <utility>

PacedSender::PacedSender (OutputPacer::Sink sink, int bytesPerSecond)
    : pacer (std::move (sink), bytesPerSecond), thread ([this] { run(); })
{
}

PacedSender::~PacedSender()
{
    {
        const std::lock_guard<std::mutex> guard (lock);
        stopping = true;
    }
    wake.notify_one();
    thread.join();
}

void PacedSender::submit (OutputPacer::Message message, MidiPlatform::Delivery delivery)
{
    bool queued = false;
    {
        const std::lock_guard<std::mutex> guard (lock);
        pacer.submit (std::move (message), delivery, OutputPacer::Clock::now());
        queued = pacer.hasWaiting();
    }
    if (queued)
        wake.notify_one();
}

void PacedSender::discardWaiting()
{
    const std::lock_guard<std::mutex> guard (lock);
    pacer.discardWaiting();
}

void PacedSender::run()
{
    std::unique_lock<std::mutex> guard (lock);
    while (!stopping)
    {
        if (const auto next = pacer.service (OutputPacer::Clock::now()))
            wake.wait_until (guard, *next);
        else
            wake.wait (guard);
    }
}
