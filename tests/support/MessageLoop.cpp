#include "MessageLoop.h"

#include <juce_events/juce_events.h>

#include <memory>

bool pumpMessagesUntil (const std::function<bool()>& condition, int timeoutMs)
{
    auto* messageManager = juce::MessageManager::getInstance();
    const auto deadline = juce::Time::getMillisecondCounterHiRes() + timeoutMs;
    while (!condition())
    {
        if (juce::Time::getMillisecondCounterHiRes() >= deadline)
            return false;
        messageManager->runDispatchLoopUntil (1);
    }
    return true;
}

bool runPostedMessages (int timeoutMs)
{
    // Posted calls run in order: once this one has run, so have all before it.
    auto reached = std::make_shared<bool> (false);
    juce::MessageManager::callAsync ([reached] { *reached = true; });
    return pumpMessagesUntil ([reached] { return *reached; }, timeoutMs);
}
