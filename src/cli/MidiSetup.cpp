#include "cli/MidiSetup.h"

#include <juce_events/juce_events.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace QorvCli
{
//==============================================================================
MessageLoop::MessageLoop()
{
    juce::MessageManager::getInstance();
}

MessageLoop::~MessageLoop()
{
    juce::DeletedAtShutdown::deleteAll();
    juce::MessageManager::deleteInstance();
}

namespace
{
    /** Stops the dispatch loop once its condition holds. A timer rather than a
        loop that looks by itself: the loop then sleeps until something comes. */
    class StopWhenDone final : private juce::Timer
    {
    public:
        StopWhenDone (const std::function<bool()>& condition, std::chrono::milliseconds interval) : done (condition)
        {
            startTimer (static_cast<int> (interval.count()));
        }
        ~StopWhenDone() override { stopTimer(); }

    private:
        void timerCallback() override
        {
            if (done())
                juce::MessageManager::getInstance()->stopDispatchLoop();
        }

        const std::function<bool()>& done;
    };
} // namespace

void MessageLoop::runUntil (const std::function<bool()>& done, std::chrono::milliseconds interval)
{
    if (done())
        return;
    const StopWhenDone stop (done, interval);
    juce::MessageManager::getInstance()->runDispatchLoop();
}

//==============================================================================
std::atomic<int> StopSignals::caught{0};

namespace
{
    constexpr int stopSignals[] = {SIGINT, SIGTERM, SIGHUP};
}

StopSignals::StopSignals()
{
    caught = 0;
    struct sigaction action = {};
    action.sa_handler = &StopSignals::handle;
    sigemptyset (&action.sa_mask);
    action.sa_flags = SA_RESETHAND; // the second signal takes its usual course
    for (size_t i = 0; i < std::size (stopSignals); ++i)
        ::sigaction (stopSignals[i], &action, &previous[i]);

    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset (&ignore.sa_mask);
    ::sigaction (SIGPIPE, &ignore, &previousPipe);
}

StopSignals::~StopSignals()
{
    for (size_t i = 0; i < std::size (stopSignals); ++i)
        ::sigaction (stopSignals[i], &previous[i], nullptr);
    ::sigaction (SIGPIPE, &previousPipe, nullptr);
}

void StopSignals::handle (int signalNumber)
{
    caught.store (signalNumber);
}

std::string StopSignals::name() const
{
    switch (caught.load())
    {
        case 0:
            return {};
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "signal " + std::to_string (caught.load());
    }
}

//==============================================================================
std::string addressOf (uint32_t endpoint)
{
    return std::to_string (endpoint >> 8) + ":" + std::to_string (endpoint & 0xFF);
}

namespace
{
    /** The endpoint "client:port" names, or nothing when the text is not of that form. */
    std::optional<uint32_t> parseAddress (const std::string& text)
    {
        const size_t colon = text.find (':');
        const auto digits = [] (const std::string& part)
        {
            return !part.empty() && part.size() <= 3 &&
                   std::all_of (part.begin(), part.end(), [] (char c) { return c >= '0' && c <= '9'; });
        };
        if (colon == std::string::npos || !digits (text.substr (0, colon)) || !digits (text.substr (colon + 1)))
            return std::nullopt;
        const int client = std::atoi (text.substr (0, colon).c_str());
        const int port = std::atoi (text.substr (colon + 1).c_str());
        if (client > 255 || port > 255)
            return std::nullopt;
        return static_cast<uint32_t> ((client << 8) | port);
    }

    std::string listed (const std::vector<const MidiEngine::DeviceInfo*>& devices)
    {
        std::string text;
        for (const auto* device : devices)
            text += (text.empty() ? "" : ", ") + device->name + " (" + addressOf (device->endpoint) + ")";
        return text;
    }
} // namespace

std::optional<MidiEngine::DeviceInfo>
findPort (const std::vector<MidiEngine::DeviceInfo>& devices, const std::string& wanted, std::string& whyNot)
{
    if (const auto endpoint = parseAddress (wanted))
    {
        for (const auto& device : devices)
            if (device.endpoint == *endpoint)
                return device;
        whyNot = "no such port here (qorv ports lists them)";
        return std::nullopt;
    }

    std::vector<const MidiEngine::DeviceInfo*> named, prefixed;
    for (const auto& device : devices)
    {
        if (device.name == wanted)
            named.push_back (&device);
        else if (!wanted.empty() && device.name.compare (0, wanted.size(), wanted) == 0)
            prefixed.push_back (&device);
    }
    if (named.size() == 1)
        return *named.front();
    if (named.size() > 1)
    {
        whyNot = std::to_string (named.size()) + " ports bear this name: give the client:port of one (" +
                 listed (named) + ")";
        return std::nullopt;
    }
    if (prefixed.size() == 1)
        return *prefixed.front();
    if (prefixed.empty())
        whyNot = "no such port here (qorv ports lists them)";
    else
        whyNot = "the name of " + std::to_string (prefixed.size()) + " ports begins so: give more of it (" +
                 listed (prefixed) + ")";
    return std::nullopt;
}

std::optional<MidiEngine::DeviceInfo>
findPort (const MidiEngine& engine, PortDirection direction, const std::string& wanted, Console& console)
{
    std::string whyNot;
    std::optional<MidiEngine::DeviceInfo> found;
    if (!engine.isAvailable())
        whyNot = engine.unavailableReason();
    else
        found = findPort (
            direction == PortDirection::input ? engine.getInputDevices() : engine.getOutputDevices(), wanted, whyNot);
    if (!found)
        console.error (wanted, whyNot);
    return found;
}
} // namespace QorvCli
