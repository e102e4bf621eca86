#include "midi/MessageThreadDelivery.h"

#include <utility>

MessageThreadDelivery::MessageThreadDelivery (Deliver deliverMessage, FollowSetup followSetupChange)
    : deliver (std::move (deliverMessage)), followSetup (std::move (followSetupChange))
{
}

MessageThreadDelivery::~MessageThreadDelivery()
{
    stopTimer();
}

bool MessageThreadDelivery::add (DeliveryQueue::Received message)
{
    bool post = false;
    bool queued = false;
    {
        const std::lock_guard<std::mutex> guard (lock);
        const size_t droppedBefore = queue.droppedCount();
        post = queue.add (std::move (message));
        queued = queue.droppedCount() == droppedBefore;
    }
    if (post)
        postDrain();
    return queued;
}

void MessageThreadDelivery::addSetupChange (uint32_t removedEndpoint)
{
    bool post = false;
    {
        const std::lock_guard<std::mutex> guard (lock);
        post = queue.addSetupChange (removedEndpoint);
    }
    if (post)
        postDrain();
}

void MessageThreadDelivery::clear()
{
    const std::lock_guard<std::mutex> guard (lock);
    queue.clear();
}

void MessageThreadDelivery::postDrain()
{
    // The receive thread ends before this object goes, so `this` is alive while posting; the
    // lifeline tells the posted call, on the message thread, whether it still is.
    juce::MessageManager::callAsync (
        [this, alive = std::weak_ptr<bool> (lifeline)]
        {
            if (!alive.expired())
                drain();
        });
}

void MessageThreadDelivery::timerCallback()
{
    stopTimer();
    drain();
}

void MessageThreadDelivery::drain()
{
    const std::weak_ptr<bool> alive = lifeline;
    const auto now = [] { return DeliveryQueue::Clock::now(); };
    std::unique_lock<std::mutex> guard (lock);
    queue.beginSlice (now());
    for (;;)
    {
        // The callbacks run unlocked: the receive thread goes on adding meanwhile.
        if (auto removed = queue.takeSetupChange (now()))
        {
            guard.unlock();
            followSetup (*removed);
        }
        else if (auto message = queue.next (now()))
        {
            guard.unlock();
            deliver (*message);
        }
        else
        {
            break;
        }
        if (alive.expired())
            return; // a callback destroyed the engine, and this object with it
        guard.lock();
    }
    const bool goOn = queue.drainUnderWay();
    guard.unlock();
    // A timer rather than a new post: JUCE runs posted calls until its queue is empty, so a
    // drain that posted itself again would never let the message loop do anything else.
    if (goOn)
        startTimer (static_cast<int> (
            std::chrono::duration_cast<std::chrono::milliseconds> (DeliveryQueue::pauseBetweenSlices).count()));
}
