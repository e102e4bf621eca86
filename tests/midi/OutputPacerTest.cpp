#include "midi/OutputPacer.h"
#include "midi/PacedSender.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace
{
using namespace std::chrono_literals;
using Delivery = MidiPlatform::Delivery;
using Message = OutputPacer::Message;
using TimePoint = OutputPacer::TimePoint;

constexpr auto perByte = 320us; // 3,125 bytes a second

Message dump (uint8_t tag)
{
    Message m (24, tag);
    m.front() = 0xF0;
    m.back() = 0xF7;
    return m;
}

Message note (uint8_t key)
{
    return {0x90, key, 60};
}

/** A pacer on a fake clock whose sink notes each message with the time it left. */
class PacerTest : public testing::Test
{
protected:
    void submit (Message m, Delivery d) { pacer.submit (std::move (m), d, now); }
    void advanceTo (TimePoint t)
    {
        now = t;
        pacer.service (now);
    }
    /** Serves the pacer at every due time until nothing waits. */
    void drain()
    {
        while (const auto next = pacer.service (now))
            now = *next;
    }

    struct Left
    {
        Message message;
        TimePoint at;
    };
    TimePoint start{1s};
    TimePoint now = start;
    std::vector<Left> left;
    OutputPacer pacer{[this] (const Message& m) { left.push_back ({m, now}); }};
};

TEST_F (PacerTest, IdleLinkPassesMessagesOnAtOnce)
{
    submit (dump (1), Delivery::latestWins);
    ASSERT_EQ (left.size(), 1u);
    EXPECT_EQ (left[0].at, start);

    // 24 bytes later the link is idle again.
    now = start + 24 * perByte;
    submit (note (60), Delivery::inOrder);
    ASSERT_EQ (left.size(), 2u);
    EXPECT_EQ (left[1].at, now);
    EXPECT_FALSE (pacer.hasWaiting());
}

TEST_F (PacerTest, BusyLinkHoldsMessagesUntilThePreviousOneHasCrossedIt)
{
    submit (dump (1), Delivery::latestWins);
    submit (note (60), Delivery::inOrder);
    submit (note (61), Delivery::inOrder);
    EXPECT_EQ (left.size(), 1u);

    EXPECT_EQ (pacer.service (start + 24 * perByte - 1us), start + 24 * perByte);
    EXPECT_EQ (left.size(), 1u);
    EXPECT_EQ (pacer.service (start + 24 * perByte), start + 27 * perByte);
    EXPECT_EQ (left.size(), 2u);
    EXPECT_EQ (pacer.service (start + 27 * perByte), std::nullopt);
    ASSERT_EQ (left.size(), 3u);
    EXPECT_EQ (left[1].message, note (60));
    EXPECT_EQ (left[2].message, note (61));
}

TEST_F (PacerTest, LateServiceDoesNotReleaseABurst)
{
    submit (dump (1), Delivery::latestWins);
    for (uint8_t k = 0; k < 3; ++k)
        submit (note (k), Delivery::inOrder);
    // Served long after all of them were due: still one message per link time.
    const auto late = start + 100ms;
    EXPECT_EQ (pacer.service (late), late + 3 * perByte);
    EXPECT_EQ (left.size(), 2u);
}

TEST_F (PacerTest, NewerDumpReplacesTheWaitingOneInPlace)
{
    submit (dump (1), Delivery::latestWins); // leaves at once
    submit (dump (2), Delivery::latestWins);
    submit (note (60), Delivery::inOrder);
    submit (dump (3), Delivery::latestWins);
    submit (note (61), Delivery::inOrder);
    submit (dump (4), Delivery::latestWins);
    drain();

    ASSERT_EQ (left.size(), 4u);
    EXPECT_EQ (left[0].message, dump (1));
    EXPECT_EQ (left[1].message, dump (4));
    EXPECT_EQ (left[2].message, note (60));
    EXPECT_EQ (left[3].message, note (61));
}

TEST_F (PacerTest, FaderBurstLeavesAtTheLinkRateAndEndsWithTheLastDump)
{
    // 500 dumps in one second, one every 2 ms, with notes among them.
    std::vector<Message> notesSent;
    for (int i = 0; i < 500; ++i)
    {
        advanceTo (start + i * 2ms);
        submit (dump (static_cast<uint8_t> (i % 128)), Delivery::latestWins);
        if (i % 50 == 0)
        {
            notesSent.push_back (note (static_cast<uint8_t> (i / 50)));
            submit (notesSent.back(), Delivery::inOrder);
        }
    }
    drain();

    size_t bytes = 0;
    std::vector<Message> notesLeft;
    for (size_t i = 0; i < left.size(); ++i)
    {
        if (i > 0)
        {
            EXPECT_GE (left[i].at - left[i - 1].at, perByte * static_cast<long> (left[i - 1].message.size()));
        }
        bytes += left[i].message.size();
        if (left[i].message.front() == 0x90)
            notesLeft.push_back (left[i].message);
    }
    EXPECT_EQ (notesLeft, notesSent);
    EXPECT_EQ (left.back().message, dump (499 % 128));
    // Everything that left fits the link in the time it took.
    EXPECT_LE (perByte * static_cast<long> (bytes - left.back().message.size()), left.back().at - start);
    EXPECT_LT (left.size(), 500u);
}

TEST_F (PacerTest, DiscardedMessagesNeverLeave)
{
    submit (dump (1), Delivery::latestWins);
    submit (note (60), Delivery::inOrder);
    submit (dump (2), Delivery::latestWins);
    pacer.discardWaiting();
    drain();
    EXPECT_EQ (left.size(), 1u);
}

TEST (PacedSender, PassesOnEveryNoteInOrderAndTheLastDumpFromItsThread)
{
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<Message> received;
    PacedSender sender (
        [&] (const Message& m)
        {
            const std::lock_guard<std::mutex> guard (lock);
            received.push_back (m);
            arrived.notify_all();
        });

    std::vector<Message> notesSent;
    for (uint8_t i = 0; i < 60; ++i)
    {
        sender.submit (dump (i), Delivery::latestWins);
        if (i % 3 == 0)
        {
            notesSent.push_back (note (i));
            sender.submit (notesSent.back(), Delivery::inOrder);
        }
    }

    std::unique_lock<std::mutex> guard (lock);
    const auto lastDumpArrived = [&]
    {
        for (const auto& m : received)
            if (m == dump (59))
                return true;
        return false;
    };
    ASSERT_TRUE (arrived.wait_for (guard,
                                   30s,
                                   [&]
                                   {
                                       size_t notes = 0;
                                       for (const auto& m : received)
                                           notes += m.front() == 0x90;
                                       return notes == notesSent.size() && lastDumpArrived();
                                   }));
    std::vector<Message> notesReceived, dumpsReceived;
    for (const auto& m : received)
        (m.front() == 0x90 ? notesReceived : dumpsReceived).push_back (m);
    EXPECT_EQ (notesReceived, notesSent);
    EXPECT_EQ (dumpsReceived.back(), dump (59));
}
} // namespace
