#include "RawMidiPort.h"
#include "SequencerTestSupport.h"
#include "midi/MidiEngine.h"
#include "midi/protocol/JunoMessages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace
{
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr uint32_t virMidi00 = 0x1000;
constexpr double dinBytesPerSecond = 3125.0;
constexpr int burstDumps = 500;
constexpr auto dumpInterval = 2ms; // 500 dumps in one second

double seconds (Clock::duration d)
{
    return std::chrono::duration<double> (d).count();
}

/** A synthesizer on a DIN link: takes the bytes out of the virtual port no
    faster than 3,125 a second, and notes what arrived when. */
class DinRatePeer
{
public:
    DinRatePeer() : thread ([this] { run(); }) {}
    ~DinRatePeer() { finish (Bytes{}); }

    /** Lets the peer stop once it has received this dump, or after quiet. */
    void finish (const Bytes& lastDump)
    {
        {
            const std::lock_guard<std::mutex> guard (lock);
            expectedLast = lastDump;
            finishing = true;
        }
        if (thread.joinable())
            thread.join();
    }

    struct Arrival
    {
        Clock::time_point at;
        Bytes message;
    };
    struct Sample
    {
        Clock::time_point at;
        size_t arrivedBytes; // read so far plus waiting in the port
    };

    std::atomic<bool> opened{false};
    std::vector<Arrival> arrivals;
    std::vector<Sample> samples;
    size_t lostBytes = 0;
    size_t mostWaiting = 0;

private:
    void run()
    {
        RawMidiPort synth ("hw:0,0");
        opened = synth.isOpen();
        const auto start = Clock::now();
        auto lastArrival = start;
        size_t consumed = 0;
        Bytes stream;
        while (opened)
        {
            const auto now = Clock::now();
            const auto status = synth.status();
            lostBytes += status.lostBytes;
            mostWaiting = std::max (mostWaiting, status.waiting);
            samples.push_back ({now, consumed + status.waiting});

            const auto allowance =
                static_cast<long> (dinBytesPerSecond * seconds (now - start)) - static_cast<long> (consumed);
            if (allowance > 0)
            {
                const auto bytes = synth.read (static_cast<size_t> (std::min (allowance, 4096L)));
                consumed += bytes.size();
                for (const auto b : bytes)
                {
                    if (b == 0xF0)
                        stream.clear();
                    stream.push_back (b);
                    if (b == 0xF7)
                    {
                        arrivals.push_back ({now, stream});
                        lastArrival = now;
                        stream.clear();
                    }
                }
            }
            {
                const std::lock_guard<std::mutex> guard (lock);
                const bool lastSeen = !arrivals.empty() && arrivals.back().message == expectedLast;
                if (finishing && (lastSeen || now - lastArrival > 1s))
                    break;
            }
            std::this_thread::sleep_for (2ms);
        }
    }

    std::mutex lock;
    Bytes expectedLast;
    bool finishing = false;
    std::thread thread; // last: starts once everything it uses exists
};

struct Burst
{
    std::vector<Bytes> dumps;
    std::vector<Clock::time_point> sentAt;
    Clock::duration longestCall{};
    Clock::duration total{};
};

/** Sends 500 dumps spread over one second, as a fast fader drag does. */
Burst sendBurst (const std::function<void (const Bytes&)>& send)
{
    Burst burst;
    const auto start = Clock::now();
    for (int i = 0; i < burstDumps; ++i)
    {
        std::this_thread::sleep_until (start + i * dumpInterval);
        burst.dumps.push_back (distinctDump (0x30, 0, 0, i));
        const auto before = Clock::now();
        send (burst.dumps.back());
        const auto after = Clock::now();
        burst.longestCall = std::max (burst.longestCall, after - before);
        burst.sentAt.push_back (before);
    }
    burst.total = Clock::now() - start;
    return burst;
}

/** The most bytes that had reached the port beyond what the link allows since the first send. */
long mostBytesAheadOfTheLink (const DinRatePeer& peer, Clock::time_point firstSend)
{
    long most = 0;
    for (const auto& s : peer.samples)
        if (s.at > firstSend)
            most = std::max (most,
                             static_cast<long> (s.arrivedBytes) -
                                 static_cast<long> (dinBytesPerSecond * seconds (s.at - firstSend)));
    return most;
}

TEST (DinRate, FaderBurstLeavesNoFasterThanTheLinkAndEndsWithTheLastDump)
{
    MidiEngine engine;
    engine.openOutput (virMidi00);
    DinRatePeer peer;
    std::this_thread::sleep_for (200ms); // the peer arms its port
    ASSERT_TRUE (peer.opened);

    PatchModel patch;
    const auto burst = sendBurst (
        [&] (const Bytes& dump)
        {
            std::copy (dump.begin() + 5, dump.begin() + 23, patch.data.begin());
            engine.sendPatch (patch, 0);
        });
    peer.finish (burst.dumps.back());

    std::map<Bytes, size_t> sentIndex;
    for (size_t i = 0; i < burst.dumps.size(); ++i)
        sentIndex[burst.dumps[i]] = i;
    ASSERT_FALSE (peer.arrivals.empty());
    long previous = -1;
    for (const auto& arrival : peer.arrivals)
    {
        const auto found = sentIndex.find (arrival.message);
        ASSERT_NE (found, sentIndex.end()) << "a dump arrived damaged: " << compactHex (arrival.message);
        EXPECT_GT (static_cast<long> (found->second), previous) << "dumps arrive in the order sent";
        previous = static_cast<long> (found->second);
    }
    const auto ahead = mostBytesAheadOfTheLink (peer, burst.sentAt.front());
    const auto lastDelay = peer.arrivals.back().at - burst.sentAt.back();

    std::printf ("DIN-rate burst: %d dumps sent in %.3f s (longest sendPatch call %.3f ms); %zu dumps received; "
                 "last dump arrived %.1f ms after its send; at most %ld bytes ahead of the link; "
                 "at most %zu bytes waiting at the device; %zu bytes lost\n",
                 burstDumps,
                 seconds (burst.total),
                 seconds (burst.longestCall) * 1000,
                 peer.arrivals.size(),
                 seconds (lastDelay) * 1000,
                 ahead,
                 peer.mostWaiting,
                 peer.lostBytes);

    EXPECT_EQ (peer.arrivals.back().message, burst.dumps.back());
    EXPECT_EQ (peer.lostBytes, 0u);
    EXPECT_LE (ahead, 48) << "bytes reached the device faster than the link carries them";
    EXPECT_LT (peer.arrivals.size(), static_cast<size_t> (burstDumps));
    // Waiting for the link would stretch the burst to 500 x 7.68 ms = 3.84 s.
    EXPECT_LT (seconds (burst.total), 2.5);
}

TEST (DinRate, UnpacedBurstOverflowsTheSamePeer)
{
    // Shows that the peer above tells pacing from none: sent as they come, the
    // dumps pile up at the device until bytes are lost.
    OtherClient unpaced ("Unpaced Sender", "Unpaced Port");
    unpaced.connectTo (virMidi00);
    DinRatePeer peer;
    std::this_thread::sleep_for (200ms);
    ASSERT_TRUE (peer.opened);

    const auto burst = sendBurst ([&] (const Bytes& dump) { unpaced.sendSysexTo (virMidi00, dump); });
    peer.finish (burst.dumps.back());

    std::printf ("Unpaced burst: %zu dumps received, at most %zu bytes waiting at the device, %zu bytes lost\n",
                 peer.arrivals.size(),
                 peer.mostWaiting,
                 peer.lostBytes);
    EXPECT_GT (peer.lostBytes, 0u);
    EXPECT_GT (mostBytesAheadOfTheLink (peer, burst.sentAt.front()), 1000);
}
} // namespace
