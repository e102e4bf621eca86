#pragma once

#include "midi/DeliveryQueue.h"

#include <juce_events/juce_events.h>

#include <functional>
#include <memory>
#include <mutex>

/** Carries what the receive thread recognises over to the message thread
    through a DeliveryQueue: at most one call is posted at a time, and a drain
    that runs out of its slice goes on after a pause instead of posting again,
    so that a flood of input can neither pile up calls in JUCE's queue nor keep
    the message loop from everything else. Create, use and destroy it on the
    message thread; add() and addSetupChange() may come from any thread. */
class MessageThreadDelivery final : private juce::Timer
{
public:
    using Deliver = std::function<void (const DeliveryQueue::Received&)>;
    using FollowSetup = std::function<void (const std::vector<uint32_t>& removedEndpoints)>;

    MessageThreadDelivery (Deliver deliver, FollowSetup followSetup);
    /** Whatever was posted and runs later does nothing. Destroy it only once no thread adds any more. */
    ~MessageThreadDelivery() override;

    /** Queues a message; false when the queue is full and drops it. */
    bool add (DeliveryQueue::Received message);
    void addSetupChange (uint32_t removedEndpoint);
    /** Forgets what waits; nothing of it is delivered. */
    void clear();

    MessageThreadDelivery (const MessageThreadDelivery&) = delete;
    MessageThreadDelivery& operator= (const MessageThreadDelivery&) = delete;

private:
    void postDrain();
    void drain();
    void timerCallback() override;

    const Deliver deliver;
    const FollowSetup followSetup;
    std::mutex lock;
    DeliveryQueue queue;
    // Expires with this object; a posted drain that runs later, or a callback
    // that destroys the engine mid-drain, finds it empty.
    std::shared_ptr<bool> lifeline = std::make_shared<bool> (true);
};
