#include "MessageLoop.h"
#include "SequencerTestSupport.h"
#include "midi/MidiEngine.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

namespace
{
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr uint32_t virMidi00 = 0x1000;

double milliseconds (Clock::duration d)
{
    return std::chrono::duration<double, std::milli> (d).count();
}

/** A synthesizer gone wild at the far end of hw:0,0: patch dumps, notes and
    parameter changes at ten times the rate of a DIN link, from its own thread. */
class FloodWriter
{
public:
    static constexpr double bytesPerSecond = 31250.0;

    FloodWriter()
    {
        for (int i = 0; i < 8; ++i)
        {
            const auto dump = distinctDump (0x30, 0, static_cast<uint8_t> (i), i);
            chunk.insert (chunk.end(), dump.begin(), dump.end());
            chunk.insert (chunk.end(), {0x90, 60, 100, 0x80, 60, 0, 0xF0, 0x41, 0x32, 0x00, 0x05, 0x40, 0xF7});
        }
        if (snd_rawmidi_open (nullptr, &output, "hw:0,0", SND_RAWMIDI_NONBLOCK) < 0)
            output = nullptr;
        else
            thread = std::thread ([this] { run(); });
    }
    ~FloodWriter()
    {
        flooding = false;
        if (thread.joinable())
            thread.join();
        if (output != nullptr)
            snd_rawmidi_close (output);
    }
    FloodWriter (const FloodWriter&) = delete;
    FloodWriter& operator= (const FloodWriter&) = delete;

    bool isOpen() const { return output != nullptr; }

private:
    void run()
    {
        const auto start = Clock::now();
        double written = 0;
        while (flooding)
        {
            const auto due = start + std::chrono::duration_cast<Clock::duration> (
                                         std::chrono::duration<double> (written / bytesPerSecond));
            std::this_thread::sleep_until (due);
            // Never waits: a full buffer only delays the next write.
            if (snd_rawmidi_write (output, chunk.data(), chunk.size()) > 0)
                written += static_cast<double> (chunk.size());
            else
                std::this_thread::sleep_for (1ms);
        }
    }

    Bytes chunk;
    snd_rawmidi_t* output = nullptr;
    std::atomic<bool> flooding{true};
    std::thread thread; // last: starts once everything it uses exists
};

TEST (Flood, QuittingWhileMidiFloodsInFinishesWithinASecond)
{
    long delivered = 0;
    auto engine = std::make_unique<MidiEngine>();
    // Every received message takes the message thread a millisecond, as a busy panel might:
    // far less than the flood asks for.
    const auto slowDelivery = [&delivered]
    {
        ++delivered;
        const auto until = Clock::now() + 1ms;
        while (Clock::now() < until)
        {
        }
    };
    engine->onPatchReceived = [&] (const PatchModel&) { slowDelivery(); };
    engine->onParamReceived = [&] (int, int) { slowDelivery(); };
    engine->openInput (virMidi00);
    FloodWriter flood;
    ASSERT_TRUE (flood.isOpen());

    pumpMessagesUntil ([] { return false; }, 2000);
    const long deliveredBefore = delivered;
    pumpMessagesUntil ([] { return false; }, 500);
    ASSERT_GT (delivered, deliveredBefore) << "the flood still reaches the engine when quitting";

    // Quitting: the request is a message like any other; then the engine goes,
    // and whatever it had posted runs (and does nothing).
    const auto requested = Clock::now();
    bool quitRan = false;
    juce::MessageManager::callAsync ([&quitRan] { quitRan = true; });
    ASSERT_TRUE (pumpMessagesUntil ([&quitRan] { return quitRan; }, 120000));
    const auto quitSeen = Clock::now();
    engine.reset();
    const auto destroyed = Clock::now();
    ASSERT_TRUE (runPostedMessages (120000));
    const auto drained = Clock::now();

    std::printf ("Quit during a flood at %.0f bytes/s: %ld messages delivered; the quit request ran after %.1f ms, "
                 "the engine was torn down in %.1f ms and what it had posted drained in %.1f ms: %.1f ms in all\n",
                 FloodWriter::bytesPerSecond,
                 delivered,
                 milliseconds (quitSeen - requested),
                 milliseconds (destroyed - quitSeen),
                 milliseconds (drained - destroyed),
                 milliseconds (drained - requested));
    EXPECT_LT (drained - requested, 1s);
}
} // namespace
