#include "ControllerSweep.h"

#include <algorithm>
#include <atomic>
#include <thread>

ControllerSweep::ControllerSweep()
{
    for (size_t p = 0; p < values.size(); ++p)
        for (int k = 0; k < changes / 4; ++k)
        {
            const int x = (3 * k + 40 * static_cast<int> (p) + 1) % 254; // never a starting value
            values[p].push_back (static_cast<uint8_t> (x <= 127 ? x : 254 - x));
        }
}

bool ControllerSweep::play (RawMidiPort& controller,
                            const LinkPeer& peer,
                            const std::function<bool (const std::function<bool()>&)>& waitUntil)
{
    std::atomic<bool> finished{false};
    std::thread writer (
        [&]
        {
            const auto start = Clock::now();
            firstWrite = start;
            for (int i = 0; i < changes; ++i)
            {
                std::this_thread::sleep_until (start + i * std::chrono::milliseconds (1));
                const auto p = static_cast<size_t> (i % 4);
                controller.write ({0xB0, controllers[p], values[p][static_cast<size_t> (i / 4)]});
            }
            lastWrite = Clock::now();
            finished = true;
        });
    const auto expected = lastValues();
    const bool arrived = waitUntil ([&] { return finished && lastValuesIn (peer.arrivals()) == expected; });
    writer.join();
    return arrived;
}

std::array<int, 4> ControllerSweep::lastValues() const
{
    return {values[0].back(), values[1].back(), values[2].back(), values[3].back()};
}

std::array<int, 4> ControllerSweep::lastValuesIn (const std::vector<LinkPeer::Arrival>& arrivals)
{
    std::array<int, 4> last{-1, -1, -1, -1};
    for (const auto& arrival : arrivals)
        for (size_t p = 0; p < parameters.size(); ++p)
            if (arrival.message.size() == 7 && arrival.message[4] == parameters[p])
                last[p] = arrival.message[5];
    return last;
}

testing::AssertionResult ControllerSweep::arrivedInOrder (const std::vector<LinkPeer::Arrival>& arrivals,
                                                          uint8_t channel,
                                                          Clock::time_point& lastIn) const
{
    std::array<long, 4> sentIndex{-1, -1, -1, -1}; // where in its sweep each parameter's last arrival was
    for (const auto& arrival : arrivals)
    {
        const auto& m = arrival.message;
        if (m.size() != 7 || m[0] != 0xF0 || m[1] != 0x41 || m[2] != 0x32 || m[3] != channel || m[6] != 0xF7)
            return testing::AssertionFailure() << "not a parameter change on channel " << channel + 1;
        const auto p =
            static_cast<size_t> (std::find (parameters.begin(), parameters.end(), m[4]) - parameters.begin());
        if (p >= parameters.size())
            return testing::AssertionFailure() << "parameter " << int (m[4]) << " was not swept";
        const auto& swept = values[p];
        const auto next = std::find (swept.begin() + sentIndex[p] + 1, swept.end(), m[5]);
        if (next == swept.end())
            return testing::AssertionFailure()
                   << "parameter " << int (m[4]) << " = " << int (m[5]) << " arrived out of order or was never sent";
        sentIndex[p] = next - swept.begin();
        lastIn = std::max (lastIn, arrival.at);
    }
    if (lastValuesIn (arrivals) != lastValues())
        return testing::AssertionFailure() << "the last values did not arrive last";
    return testing::AssertionSuccess();
}
