#include "midi/DeliveryQueue.h"

#include <utility>

bool DeliveryQueue::add (Received message)
{
    if (messages.size() >= capacity)
    {
        ++dropped;
        return false; // a drain is under way: the queue is full of its work
    }
    messages.push_back (std::move (message));
    return askForDrain();
}

bool DeliveryQueue::addSetupChange (uint32_t removedEndpoint)
{
    if (!setupChange.has_value())
        setupChange.emplace();
    if (removedEndpoint != 0)
        setupChange->push_back (removedEndpoint);
    return askForDrain();
}

bool DeliveryQueue::askForDrain()
{
    if (drainPosted)
        return false;
    drainPosted = true;
    return true;
}

void DeliveryQueue::beginSlice (TimePoint now)
{
    sliceStart = now;
}

std::optional<std::vector<uint32_t>> DeliveryQueue::takeSetupChange (TimePoint now)
{
    if (sliceUsedUp (now))
        return std::nullopt;
    return std::exchange (setupChange, std::nullopt);
}

std::optional<DeliveryQueue::Received> DeliveryQueue::next (TimePoint now)
{
    if (!hasWork())
    {
        drainPosted = false;
        return std::nullopt;
    }
    if (messages.empty() || sliceUsedUp (now))
        return std::nullopt;
    Received message = std::move (messages.front());
    messages.pop_front();
    return message;
}

void DeliveryQueue::clear()
{
    messages.clear();
    setupChange.reset();
}
