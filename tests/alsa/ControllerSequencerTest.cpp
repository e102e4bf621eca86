// Controllers through the real sequencer: a virtual port acting as a
// controller is connected to "Qorv Control"; what the synthesizer's port gets
// is read at the pace of a DIN link.

#include "ControllerSweep.h"
#include "LinkPeer.h"
#include "MessageLoop.h"
#include "RawMidiPort.h"
#include "editor/EditorModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <thread>

namespace
{
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr uint32_t virMidi00 = 0x1000; // the synthesizer: its far end is hw:0,0
constexpr uint32_t virMidi01 = 0x1100; // the controller: its far end is hw:0,1
constexpr uint8_t synthChannel = 2;
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr bool timingMeansSomething = false;
#else
constexpr bool timingMeansSomething = true;
#endif

Bytes paramChange (uint8_t number, uint8_t value)
{
    return {0xF0, 0x41, 0x32, synthChannel, number, value, 0xF7};
}

double ms (Clock::duration d)
{
    return std::chrono::duration<double, std::milli> (d).count();
}

class ControllerSequencerTest : public testing::Test
{
protected:
    ControllerSequencerTest()
    {
        auto& engine = model.engine();
        engine.setMidiChannel (synthChannel);
        engine.openOutput (virMidi00);
        engine.addControlSource (virMidi01);
        std::this_thread::sleep_for (200ms); // the peer arms its port
    }

    /** Runs the message loop until the peer has taken `count` messages in all. */
    bool waitForArrivals (size_t count)
    {
        return pumpMessagesUntil ([&] { return peer.arrivalCount() >= count; }, 10000);
    }

    LinkPeer peer{"hw:0,0"};
    RawMidiPort controller{"hw:0,1"};
    EditorModel model; // the real sequencer
};
} // namespace

TEST_F (ControllerSequencerTest, MappedControlChangesArriveAsExactlyTheirParameterChangesAndMusicPassesInOrder)
{
    ASSERT_TRUE (peer.isOpen());
    ASSERT_TRUE (controller.isOpen());

    controller.write ({0xB0, 107, 64});  // the default map, channel 1: VCF Freq
    controller.write ({0xB5, 117, 127}); // channel 6: Sub Level
    ASSERT_TRUE (waitForArrivals (2));

    model.controllers().startLearning (PanelControl::vcfRes);
    controller.write ({0xB3, 21, 16}); // teaches, sends nothing
    ASSERT_TRUE (pumpMessagesUntil ([&] { return !model.controllers().learningControl().has_value(); }));
    controller.write ({0xB3, 21, 90});
    ASSERT_TRUE (waitForArrivals (3));

    // A keyboard on channel 4: notes (the second with running status), all notes off, the wheel.
    controller.write ({0x93, 60, 100, 60, 0, 0xB3, 123, 0, 0xE3, 0, 80});
    ASSERT_TRUE (waitForArrivals (7));
    std::this_thread::sleep_for (100ms);
    ASSERT_TRUE (runPostedMessages());

    EXPECT_EQ (peer.messages(),
               (std::vector<Bytes>{paramChange (5, 64),
                                   paramChange (15, 127),
                                   paramChange (6, 90),
                                   {0x92, 60, 100},
                                   {0x92, 60, 0},
                                   {0xB2, 123, 0},
                                   {0xE2, 0, 80}}));
    const auto& active = model.session().activePatch().data;
    EXPECT_EQ (active[5], 64);
    EXPECT_EQ (active[15], 127);
    EXPECT_EQ (active[6], 90);
}

TEST_F (ControllerSequencerTest, ASweepOfFourParametersIsCoalescedInOrderAtTheLinksPaceWithEveryLastValueWithin45ms)
{
    ASSERT_TRUE (peer.isOpen());
    ControllerSweep sweep;
    EXPECT_TRUE (sweep.play (controller,
                             peer,
                             [] (const std::function<bool()>& condition)
                             { return pumpMessagesUntil (condition, 15000); }));
    std::this_thread::sleep_for (200ms); // nothing else may follow
    ASSERT_TRUE (runPostedMessages());

    const auto arrivals = peer.arrivals();
    Clock::time_point lastValuesIn{};
    EXPECT_TRUE (sweep.arrivedInOrder (arrivals, synthChannel, lastValuesIn));
    const auto ahead = peer.mostBytesAheadOfTheLink (sweep.firstWrite);
    std::printf ("Controller sweep: %d control changes in %.0f ms; %zu parameter changes reached the synthesizer; "
                 "every last value in place %.1f ms after the last control change; at most %ld bytes ahead of "
                 "the link; %zu bytes lost\n",
                 ControllerSweep::changes,
                 ms (sweep.lastWrite - sweep.firstWrite),
                 arrivals.size(),
                 ms (lastValuesIn - sweep.lastWrite),
                 ahead,
                 peer.lostBytes());
    EXPECT_LT (arrivals.size(), static_cast<size_t> (ControllerSweep::changes)) << "coalesced";
    EXPECT_LE (ahead, 7) << "never faster than the link";
    EXPECT_EQ (peer.lostBytes(), 0u);
    if (timingMeansSomething)
    {
        EXPECT_LE (lastValuesIn - sweep.lastWrite, 45ms);
    }
    const auto& active = model.session().activePatch().data;
    EXPECT_EQ ((std::array<int, 4>{active[0], active[1], active[5], active[6]}), sweep.lastValues())
        << "the session ends at the last values";
}

TEST_F (ControllerSequencerTest, AControlChangeWrittenTogetherWithANoteReachesTheSynthesizerBeforeIt)
{
    // Automation at a note's start: CC 107 (VCF Freq) and the note in one write, twenty times.
    ASSERT_TRUE (peer.isOpen());
    for (uint8_t i = 0; i < 20; ++i)
    {
        controller.write ({0xB0, 107, static_cast<uint8_t> (40 + i), 0x90, static_cast<uint8_t> (60 + i), 100});
        ASSERT_TRUE (waitForArrivals (2u * (i + 1u))) << "pair " << int (i);
    }
    const auto messages = peer.messages();
    ASSERT_EQ (messages.size(), 40u);
    for (uint8_t i = 0; i < 20; ++i)
    {
        EXPECT_EQ (messages[2u * i], paramChange (5, static_cast<uint8_t> (40 + i))) << "pair " << int (i);
        EXPECT_EQ (messages[2u * i + 1], (Bytes{0x92, static_cast<uint8_t> (60 + i), 100})) << "pair " << int (i);
    }
}

TEST_F (ControllerSequencerTest, PitchBendAboveTheLinksRateNeitherHoldsBackAParameterChangeNorFallsBehind)
{
    // 3 s of pitch bend at 1,500 messages a second (the link carries 1,042), a knob moved half-way.
    ASSERT_TRUE (peer.isOpen());
    constexpr auto floodLength = 3s;
    constexpr uint8_t lastBend = 0x55;
    Clock::time_point knobMoved{}, floodEnded{};
    std::atomic<bool> done{false};
    std::thread flood (
        [&]
        {
            const auto start = Clock::now();
            bool knob = false;
            for (int tick = 0;; ++tick)
            {
                std::this_thread::sleep_until (start + tick * 2ms);
                const auto now = Clock::now();
                if (now - start >= floodLength)
                    break;
                Bytes bends;
                for (int i = 0; i < 3; ++i)
                    bends.insert (bends.end(), {0xE0, 0, static_cast<uint8_t> ((tick * 3 + i) % 0x50)});
                if (!knob && now - start >= floodLength / 2)
                {
                    bends.insert (bends.end(), {0xB0, 107, 33});
                    knobMoved = Clock::now();
                    knob = true;
                }
                controller.write (bends);
            }
            controller.write ({0xE0, 0, lastBend});
            floodEnded = Clock::now();
            done = true;
        });
    const auto lastBendIn = [&]
    {
        for (const auto& message : peer.messages())
            if (message == Bytes{0xE2, 0, lastBend})
                return true;
        return false;
    };
    const bool arrived = pumpMessagesUntil ([&] { return done && lastBendIn(); }, 20000);
    flood.join();
    ASSERT_TRUE (arrived);
    std::this_thread::sleep_for (100ms);
    ASSERT_TRUE (runPostedMessages());

    const auto arrivals = peer.arrivals();
    Clock::time_point parameterIn{}, lastBendAt{};
    size_t bends = 0;
    for (const auto& arrival : arrivals)
    {
        if (arrival.message == paramChange (5, 33))
            parameterIn = arrival.at;
        if (arrival.message == Bytes{0xE2, 0, lastBend})
            lastBendAt = arrival.at;
        bends += arrival.message[0] == 0xE2;
    }
    ASSERT_NE (parameterIn, Clock::time_point{}) << "the parameter change arrived";
    EXPECT_EQ (arrivals.back().message, (Bytes{0xE2, 0, lastBend})) << "the last bend is the last thing";
    std::printf ("Pitch bend flood: %zu bends arrived of 4,500; the parameter change %.1f ms after its control "
                 "change, the last bend %.1f ms after the flood ended; at most %ld bytes ahead of the link; %zu "
                 "bytes lost\n",
                 bends,
                 ms (parameterIn - knobMoved),
                 ms (lastBendAt - floodEnded),
                 peer.mostBytesAheadOfTheLink (knobMoved - floodLength / 2),
                 peer.lostBytes());
    EXPECT_EQ (peer.lostBytes(), 0u);
    if (timingMeansSomething)
    {
        EXPECT_LE (parameterIn - knobMoved, 100ms);
        EXPECT_LE (lastBendAt - floodEnded, 150ms);
    }
}
