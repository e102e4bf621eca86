#pragma once

#include <functional>

/** Runs the JUCE message loop on the calling (message) thread until the
    condition holds or the time is up; returns whether the condition held. */
bool pumpMessagesUntil (const std::function<bool()>& condition, int timeoutMs = 5000);

/** Runs every call posted to the message thread before this one; returns
    false if they did not all run within the time. */
bool runPostedMessages (int timeoutMs = 5000);
