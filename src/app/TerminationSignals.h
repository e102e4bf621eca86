#pragma once

#include <functional>

/** SIGTERM, SIGHUP and SIGINT (a logout, a shutdown, kill, Ctrl+C in the
    terminal) turned into one call on the message thread, so the program can
    keep the user's work before it goes, rather than vanish at once. The
    signal may arrive on any thread: its handler only writes a byte to a pipe
    the message loop watches. A second signal ends the program at once, as
    the signal itself would: the work of the first must be stuck. One object
    at a time; the handlers that were there before come back when it goes. */
class TerminationSignals
{
public:
    explicit TerminationSignals (std::function<void()> onSignal);
    ~TerminationSignals();

    TerminationSignals (const TerminationSignals&) = delete;
    TerminationSignals& operator= (const TerminationSignals&) = delete;

private:
    void received();

    std::function<void()> whenReceived;
    int readEnd = -1;
    bool handled = false;
};
