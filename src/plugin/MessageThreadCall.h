#pragma once

#include <functional>

/** Work that must happen on JUCE's message thread, whatever thread a host
    calls from: a plugin's editor model lives there, with its timers and
    posted calls, and is made and destroyed there too. */
namespace MessageThreadCall
{
/** Runs `work` on the message thread and returns once it has run: at once on
    that thread, under the message manager's lock (which holds that thread
    still) or in a process without one; otherwise posted and waited for. Should the message thread not take it within
   `patienceMs` (a host that has stopped its loop), it runs here instead: a message thread that runs nothing runs
   nothing of ours either. */
void runAndWait (std::function<void()> work, int patienceMs = 10000);
} // namespace MessageThreadCall
