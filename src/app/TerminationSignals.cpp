#include "app/TerminationSignals.h"

#include <juce_events/juce_events.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace
{
constexpr std::array<int, 3> signalsCaught{SIGTERM, SIGHUP, SIGINT};

/** The pipe's write end, for the handler, which can reach nothing else. */
volatile sig_atomic_t writeEnd = -1;
/** Set by the first signal: a second one means the work of the first is stuck. */
volatile sig_atomic_t alreadySignalled = 0;

std::array<struct sigaction, signalsCaught.size()> previousActions{};

void handler (int signalNumber)
{
    if (alreadySignalled != 0)
    {
        // The message thread has not ended the program (a hung home folder, say): end it now.
        ::signal (signalNumber, SIG_DFL);
        ::raise (signalNumber);
        return;
    }
    alreadySignalled = 1;
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write (writeEnd, &byte, 1); // a full pipe already says it
    errno = savedErrno;
}
} // namespace

TerminationSignals::TerminationSignals (std::function<void()> onSignal) : whenReceived (std::move (onSignal))
{
    int ends[2];
    if (::pipe2 (ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the signals keep their defaults: nothing worse than before
    readEnd = ends[0];
    writeEnd = ends[1];
    alreadySignalled = 0;
    juce::LinuxEventLoop::registerFdCallback (readEnd, [this] (int) { received(); });

    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset (&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < signalsCaught.size(); ++i)
        ::sigaction (signalsCaught[i], &action, &previousActions[i]);
}

TerminationSignals::~TerminationSignals()
{
    if (readEnd < 0)
        return;
    for (size_t i = 0; i < signalsCaught.size(); ++i)
        ::sigaction (signalsCaught[i], &previousActions[i], nullptr);
    juce::LinuxEventLoop::unregisterFdCallback (readEnd);
    ::close (writeEnd);
    writeEnd = -1;
    ::close (readEnd);
}

void TerminationSignals::received()
{
    char drained[64];
    while (::read (readEnd, drained, sizeof (drained)) > 0)
    {
    }
    // Once: a second signal while the work is kept changes nothing.
    if (handled)
        return;
    handled = true;
    if (whenReceived)
        whenReceived();
}
