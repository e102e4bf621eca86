#include "LinkPeer.h"

#include "RawMidiPort.h"
#include "midi/protocol/MidiMessageSplitter.h"

#include <algorithm>

namespace
{
constexpr double dinBytesPerSecond = 3125.0;
}

LinkPeer::LinkPeer (std::string device) : thread ([this, device] { run (device); }) {}

LinkPeer::~LinkPeer()
{
    {
        const std::lock_guard<std::mutex> guard (lock);
        stopping = true;
    }
    thread.join();
}

bool LinkPeer::isOpen() const
{
    const std::lock_guard<std::mutex> guard (lock);
    return opened;
}

std::vector<LinkPeer::Arrival> LinkPeer::arrivals() const
{
    const std::lock_guard<std::mutex> guard (lock);
    return received;
}

std::vector<LinkPeer::Bytes> LinkPeer::messages() const
{
    const std::lock_guard<std::mutex> guard (lock);
    std::vector<Bytes> result;
    for (const auto& arrival : received)
        result.push_back (arrival.message);
    return result;
}

void LinkPeer::send (Bytes bytes)
{
    const std::lock_guard<std::mutex> guard (lock);
    toSend.push_back (std::move (bytes));
}

size_t LinkPeer::arrivalCount() const
{
    const std::lock_guard<std::mutex> guard (lock);
    return received.size();
}

size_t LinkPeer::lostBytes() const
{
    const std::lock_guard<std::mutex> guard (lock);
    return lost;
}

long LinkPeer::mostBytesAheadOfTheLink (Clock::time_point since) const
{
    const std::lock_guard<std::mutex> guard (lock);
    long before = 0; // what had arrived before: not part of what is measured
    long most = 0;
    for (const auto& s : samples)
    {
        if (s.at <= since)
            before = static_cast<long> (s.arrivedBytes);
        else
            most = std::max (
                most,
                static_cast<long> (s.arrivedBytes) - before -
                    static_cast<long> (dinBytesPerSecond * std::chrono::duration<double> (s.at - since).count()));
    }
    return most;
}

void LinkPeer::run (std::string device)
{
    RawMidiPort port (device);
    {
        const std::lock_guard<std::mutex> guard (lock);
        opened = port.isOpen();
    }
    Clock::time_point now;
    MidiMessageSplitter splitter (
        [&] (const uint8_t* message, size_t length) {
            received.push_back ({now, Bytes (message, message + length)});
        });
    const auto start = Clock::now();
    size_t consumed = 0;
    while (port.isOpen())
    {
        now = Clock::now();
        const auto status = port.status();
        const auto allowance =
            static_cast<long> (dinBytesPerSecond * std::chrono::duration<double> (now - start).count()) -
            static_cast<long> (consumed);
        const auto bytes = allowance > 0 ? port.read (static_cast<size_t> (std::min (allowance, 4096L))) : Bytes{};
        std::vector<Bytes> sending;
        {
            const std::lock_guard<std::mutex> guard (lock);
            sending.swap (toSend);
            lost += status.lostBytes;
            samples.push_back ({now, consumed + status.waiting});
            consumed += bytes.size();
            splitter.processRawBytes (bytes.data(), bytes.size());
            if (stopping)
                return;
        }
        for (const auto& message : sending)
            port.write (message);
        std::this_thread::sleep_for (std::chrono::milliseconds (1));
    }
}
