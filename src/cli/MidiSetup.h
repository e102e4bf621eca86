#pragma once

#include "cli/Console.h"
#include "midi/MidiEngine.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace QorvCli
{
/** JUCE's message loop on this thread and nothing of its GUI: the MIDI
    engine delivers what it receives here. No display is opened. Make it
    before the engine and let it go after. */
class MessageLoop
{
public:
    MessageLoop();
    ~MessageLoop();

    /** Runs what the engine posts until `done` says so; it is asked every
        `interval` (50 ms unless a command keeps time more finely), and the
        loop sleeps in between while nothing comes. Once only: the loop stays
        stopped afterwards. */
    void runUntil (const std::function<bool()>& done,
                   std::chrono::milliseconds interval = std::chrono::milliseconds (50));

    MessageLoop (const MessageLoop&) = delete;
    MessageLoop& operator= (const MessageLoop&) = delete;
};

/** Ctrl+C (SIGINT), SIGTERM and SIGHUP, while this lives, only raise a flag
    that the waiting loop looks at, so a command ends its work properly (a
    capture saves what it has); a second one ends the program at once. A
    closed pipe on the output (SIGPIPE) ends nothing either: the write fails. */
class StopSignals
{
public:
    StopSignals();
    ~StopSignals();

    bool received() const { return caught.load() != 0; }
    /** "SIGINT" and the like, or empty when none came. */
    std::string name() const;

    StopSignals (const StopSignals&) = delete;
    StopSignals& operator= (const StopSignals&) = delete;

private:
    static void handle (int signalNumber);
    static std::atomic<int> caught;
    static_assert (std::atomic<int>::is_always_lock_free, "set from a signal handler");

    struct sigaction previous[3];
    struct sigaction previousPipe;
};

/** "16:0": an endpoint as the ALSA sequencer addresses it, client and port. */
std::string addressOf (uint32_t endpoint);

/** The device a PORT argument names among those listed: its full name as
    `qorv ports` prints it, a prefix of the name only one device has, or its
    client:port. Nothing, with why in words, when it names none or several. */
std::optional<MidiEngine::DeviceInfo>
findPort (const std::vector<MidiEngine::DeviceInfo>& devices, const std::string& wanted, std::string& whyNot);

enum class PortDirection
{
    input,
    output
};

/** The same among the engine's inputs or outputs. When there is none (or
    no sequencer), says why on the console under the PORT given. */
std::optional<MidiEngine::DeviceInfo>
findPort (const MidiEngine& engine, PortDirection direction, const std::string& wanted, Console& console);
} // namespace QorvCli
