#include "midi/DeliveryQueue.h"

#include <gtest/gtest.h>

namespace
{
using namespace std::chrono_literals;
using Received = DeliveryQueue::Received;
using TimePoint = DeliveryQueue::TimePoint;

Received param (int number)
{
    return {Received::Kind::paramChange, {}, number, 0};
}

/** A queue on a fake clock, drained as the message thread drains it. */
class DeliveryQueueTest : public testing::Test
{
protected:
    /** One slice: delivers until the queue says stop, each delivery taking `each`. */
    std::vector<int> slice (DeliveryQueue::Clock::duration each = 0ms)
    {
        std::vector<int> delivered;
        queue.beginSlice (now);
        while (const auto next = queue.next (now))
        {
            delivered.push_back (next->paramNumber);
            now += each;
        }
        return delivered;
    }

    TimePoint now{1s};
    DeliveryQueue queue{5};
};

TEST_F (DeliveryQueueTest, OnlyTheFirstAdditionAsksForADrainUntilTheDrainIsOver)
{
    EXPECT_TRUE (queue.add (param (1)));
    EXPECT_FALSE (queue.add (param (2)));
    EXPECT_FALSE (queue.addSetupChange (0));
    queue.beginSlice (now);
    EXPECT_EQ (queue.takeSetupChange (now), std::vector<uint32_t>{});

    EXPECT_EQ (slice(), (std::vector<int>{1, 2}));
    EXPECT_FALSE (queue.drainUnderWay());
    EXPECT_TRUE (queue.addSetupChange (0)) << "the drain is over: a new one is needed";
}

TEST_F (DeliveryQueueTest, ASliceEndsWhenItsTimeIsUsedAndTheDrainGoesOnLater)
{
    for (int i = 0; i < 5; ++i)
        queue.add (param (i));
    const auto third = DeliveryQueue::sliceLength / 3 + 1ms;
    EXPECT_EQ (slice (third), (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE (queue.drainUnderWay());
    EXPECT_FALSE (queue.add (param (5))) << "the drain under way will deliver it";
    EXPECT_EQ (queue.takeSetupChange (now), std::nullopt);

    EXPECT_EQ (slice (third), (std::vector<int>{3, 4, 5}));
    EXPECT_FALSE (queue.drainUnderWay()) << "an empty queue ends the drain, time left or not";
}

TEST_F (DeliveryQueueTest, SetupChangesCoalesceWithTheRemovedPorts)
{
    EXPECT_TRUE (queue.addSetupChange (7));
    queue.addSetupChange (0);
    queue.addSetupChange (9);
    queue.beginSlice (now);
    EXPECT_EQ (queue.takeSetupChange (now), (std::vector<uint32_t>{7, 9}));
    EXPECT_EQ (queue.takeSetupChange (now), std::nullopt);

    // A change noted after its slice ran out waits for the next slice.
    queue.addSetupChange (3);
    EXPECT_EQ (queue.takeSetupChange (now + DeliveryQueue::sliceLength), std::nullopt);
    EXPECT_EQ (queue.next (now + DeliveryQueue::sliceLength), std::nullopt);
    EXPECT_TRUE (queue.drainUnderWay());
    queue.beginSlice (now + DeliveryQueue::sliceLength + DeliveryQueue::pauseBetweenSlices);
    EXPECT_EQ (queue.takeSetupChange (now + DeliveryQueue::sliceLength + DeliveryQueue::pauseBetweenSlices),
               std::vector<uint32_t>{3});
}

TEST_F (DeliveryQueueTest, AFullQueueDropsWhatComesAndCountsIt)
{
    for (int i = 0; i < 8; ++i)
        queue.add (param (i));
    EXPECT_EQ (queue.droppedCount(), 3u);
    EXPECT_EQ (slice(), (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST_F (DeliveryQueueTest, ClearedMessagesAreNeverDelivered)
{
    queue.add (param (1));
    queue.addSetupChange (4);
    queue.clear();
    queue.beginSlice (now);
    EXPECT_EQ (queue.takeSetupChange (now), std::nullopt);
    EXPECT_EQ (slice(), std::vector<int>{});
    EXPECT_FALSE (queue.drainUnderWay());
}
} // namespace
