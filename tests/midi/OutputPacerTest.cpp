#include "midi/OutputPacer.h"
#include "midi/PacedSender.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <future>
#include <mutex>
#include <utility>

namespace
{
using namespace std::chrono_literals;
using Delivery = MidiPlatform::Delivery;
using Message = OutputPacer::Message;
using Step = OutputPacer::Step;
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

Message param (uint8_t number, uint8_t value)
{
    return {0xF0, 0x41, 0x32, 0x00, number, value, 0xF7};
}

/** A pacer on a fake clock whose sink notes each step with the time it left. */
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
    /** The messages that left, in order, without the switches. */
    std::vector<Message> messagesLeft() const
    {
        std::vector<Message> messages;
        for (const auto& l : left)
            if (!l.step.isSwitch())
                messages.push_back (l.step.message);
        return messages;
    }

    struct Left
    {
        Step step;
        TimePoint at;
    };
    TimePoint start{1s};
    TimePoint now = start;
    std::vector<Left> left;
    OutputPacer pacer{[this] (Step s) { left.push_back ({std::move (s), now}); }};
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
    EXPECT_EQ (messagesLeft(), (std::vector<Message>{dump (1), note (60), note (61)}));
}

TEST_F (PacerTest, LateServiceKeepsTheTimetableButReleasesNoMoreThanTheAllowance)
{
    submit (dump (1), Delivery::latestWins);
    for (uint8_t k = 0; k < 60; ++k)
        submit (note (k), Delivery::inOrder);

    // Served a little late: the notes start when the link became free, as if served on time.
    const auto slightlyLate = start + 24 * perByte + 5ms;
    pacer.service (slightlyLate);
    const auto onTime = static_cast<size_t> ((5ms + 3 * perByte - 1us) / (3 * perByte));
    EXPECT_EQ (left.size(), 1 + onTime);

    // Served long after all of them were due: only the allowance's worth of link time leaves at once.
    const size_t before = left.size();
    const auto late = slightlyLate + 100ms;
    const auto next = pacer.service (late);
    const auto released = left.size() - before;
    EXPECT_LE (released * 3 * perByte, OutputPacer::lateServiceAllowance + 3 * perByte);
    EXPECT_GE (released * 3 * perByte, OutputPacer::lateServiceAllowance);
    ASSERT_TRUE (next.has_value());
    EXPECT_GT (*next, late);
    EXPECT_LE (*next, late + 3 * perByte);
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

    EXPECT_EQ (messagesLeft(), (std::vector<Message>{dump (1), dump (4), note (60), note (61)}));
}

TEST_F (PacerTest, FaderBurstKeepsTheLinkBusyNeverAheadOfItAndEndsWithTheLastDump)
{
    // 500 dumps in one second, one every 2 ms, with notes among them; the pacer
    // is served only then, up to 2 ms after a message was due.
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

    size_t bytesBefore = 0;
    std::vector<Message> notesLeft;
    for (const auto& l : left)
    {
        // Never before the link has carried everything sent ahead of it.
        EXPECT_GE (l.at - start, perByte * static_cast<long> (bytesBefore));
        bytesBefore += l.step.message.size();
        if (l.step.message.front() == 0x90)
            notesLeft.push_back (l.step.message);
    }
    EXPECT_EQ (notesLeft, notesSent);
    EXPECT_EQ (left.back().step.message, dump (499 % 128));
    EXPECT_LT (left.size(), 500u);
    // No link time lost to late service: the link was busy all along, bar one service interval.
    const auto lastStart = left.back().at;
    EXPECT_LE (lastStart - start, perByte * static_cast<long> (bytesBefore - left.back().step.message.size()) + 2ms);
}

TEST_F (PacerTest, OnlyEachParametersLatestChangeWaitsInItsPlaceAndNotesTakeTurnsWithThem)
{
    // The panel's edits and a keyboard's notes: neither waits behind more than one of the other.
    submit (dump (1), Delivery::latestWins); // leaves at once
    submit (param (5, 10), Delivery::latestPerParameter);
    submit (param (6, 20), Delivery::latestPerParameter);
    submit (param (5, 11), Delivery::latestPerParameter); // takes the place of 5 = 10
    submit (note (60), Delivery::inOrder);
    submit (param (7, 30), Delivery::latestPerParameter);
    submit (note (61), Delivery::inOrder);
    drain();
    EXPECT_EQ (messagesLeft(),
               (std::vector<Message>{dump (1), param (5, 11), note (60), param (6, 20), note (61), param (7, 30)}));
}

TEST_F (PacerTest, NothingPassesAParameterChangeMadeOfAControlChangeThatCameBeforeIt)
{
    // A controller's knob and then its key: the note comes after the parameter change, whatever waits.
    submit (dump (1), Delivery::latestWins); // leaves at once
    submit (param (5, 10), Delivery::translatedParameter);
    submit (param (6, 20), Delivery::latestPerParameter);
    submit (param (5, 11), Delivery::latestPerParameter); // in the place of 5 = 10, and holding back as it did
    submit (note (60), Delivery::inOrder);
    submit (param (7, 30), Delivery::translatedParameter);
    submit (note (61), Delivery::inOrder);
    drain();
    EXPECT_EQ (messagesLeft(),
               (std::vector<Message>{dump (1), param (5, 11), note (60), param (6, 20), param (7, 30), note (61)}))
        << "the note may pass the panel's change of parameter 6, never the knob's of 5 and 7";

    // A dump that carries such a change holds back what it held back.
    left.clear();
    now += 1s;
    submit (dump (2), Delivery::latestWins);
    submit (param (5, 12), Delivery::translatedParameter);
    submit (note (62), Delivery::inOrder);
    submit (dump (3), Delivery::latestWins);
    drain();
    EXPECT_EQ (messagesLeft(), (std::vector<Message>{dump (2), dump (3), note (62)}));
}

TEST_F (PacerTest, ParameterChangesAndPassingMessagesTakeTurnsSoNeitherStarves)
{
    submit (dump (1), Delivery::latestWins); // leaves at once
    for (uint8_t k = 0; k < 4; ++k)
        submit (note (k), Delivery::inOrder);
    // Changes that come while the notes wait go after one of them at most, then turn about.
    for (uint8_t p = 0; p < 3; ++p)
        submit (param (p, 1), Delivery::latestPerParameter);
    drain();
    EXPECT_EQ (messagesLeft(),
               (std::vector<Message>{
                   dump (1), note (0), param (0, 1), note (1), param (1, 1), note (2), param (2, 1), note (3)}));
}

TEST_F (PacerTest, OnlyTheLatestBendPressureAndControllerValueWaitUnlessSomethingCameAfterIt)
{
    const auto bend = [] (uint8_t channel, uint8_t value) { return Message{uint8_t (0xE0 | channel), 0, value}; };
    const auto cc = [] (uint8_t controller, uint8_t value) { return Message{0xB0, controller, value}; };
    submit (dump (1), Delivery::latestWins); // leaves at once: everything below waits
    for (uint8_t v = 0; v < 100; ++v)
        submit (bend (0, v), Delivery::inOrder);
    submit (bend (1, 5), Delivery::inOrder); // another channel: its own
    submit (cc (1, 10), Delivery::inOrder);
    submit ({0xD0, 40}, Delivery::inOrder);
    submit ({0xD0, 41}, Delivery::inOrder);
    submit (cc (1, 11), Delivery::inOrder);
    submit (bend (0, 100), Delivery::inOrder); // over bend (0, 99), past the others
    submit (note (60), Delivery::inOrder);
    submit (bend (0, 101), Delivery::inOrder); // after the note: not in front of it
    submit (cc (123, 0), Delivery::inOrder);   // all notes off acts on what came before: never merged
    submit (cc (123, 0), Delivery::inOrder);
    submit (param (5, 64), Delivery::latestPerParameter);
    submit (bend (0, 102), Delivery::inOrder); // after the parameter change: not in front of it
    submit (bend (0, 103), Delivery::inOrder);
    drain();

    // The parameter change takes its turn after one passing message; the bends after it stay after it.
    EXPECT_EQ (messagesLeft(),
               (std::vector<Message>{dump (1),
                                     bend (0, 100),
                                     param (5, 64),
                                     bend (1, 5),
                                     cc (1, 11),
                                     {0xD0, 41},
                                     note (60),
                                     bend (0, 101),
                                     cc (123, 0),
                                     cc (123, 0),
                                     bend (0, 103)}));
}

TEST_F (PacerTest, AFloodOfNotesWaitsBoundedAndEveryNoteThatStartedEnds)
{
    // Ten seconds of notes in no time: far more than the line may hold.
    submit (dump (1), Delivery::latestWins);
    size_t submitted = 0;
    for (int i = 0; i < 5000; ++i)
    {
        const auto key = static_cast<uint8_t> (i % 100);
        submit ({0x90, key, 100}, Delivery::inOrder);
        submit ({0x80, key, 0}, Delivery::inOrder);
        submitted += 2;
    }
    submit (param (5, 1), Delivery::latestPerParameter);
    drain();

    const auto messages = messagesLeft();
    size_t bytes = 0;
    std::array<bool, 128> sounding{};
    bool parameterLeft = false;
    for (const auto& m : messages)
    {
        bytes += m.size();
        parameterLeft = parameterLeft || m == param (5, 1);
        if (m[0] == 0x90)
            sounding[m[1]] = true;
        else if (m[0] == 0x80)
            sounding[m[1]] = false;
    }
    EXPECT_LT (messages.size(), submitted / 2) << "dropped, not kept for minutes";
    const auto limitBytes = static_cast<size_t> (OutputPacer::passThroughLimit / perByte);
    EXPECT_LE (bytes, 24 + 7 + 2 * limitBytes) << "at most twice the limit waited";
    EXPECT_EQ (std::count (sounding.begin(), sounding.end(), true), 0) << "no note is left hanging";
    EXPECT_TRUE (parameterLeft);
}

TEST_F (PacerTest, ADumpTakesThePlaceOfTheWaitingParameterChangesItCarries)
{
    submit (dump (1), Delivery::latestWins);
    submit (param (5, 10), Delivery::latestPerParameter);
    submit (note (60), Delivery::inOrder);
    submit (param (6, 20), Delivery::latestPerParameter);
    submit (dump (2), Delivery::latestWins);
    submit (param (5, 12), Delivery::latestPerParameter); // after the dump: it still goes
    drain();

    EXPECT_EQ (messagesLeft(), (std::vector<Message>{dump (1), dump (2), note (60), param (5, 12)}))
        << "the dump in the place of the first change it carries";
}

TEST_F (PacerTest, ASweepOfFourParametersNeverFallsBehindTheLink)
{
    // 2,000 changes in 2 s, four parameters in turn, each sweeping upwards;
    // the pacer is served at each change, as a thread that looks every
    // millisecond or sooner would.
    constexpr int changes = 2000;
    // Each parameter sweeps upwards to an end of its own: 127, 117, 107, 97.
    const auto valueOf = [] (int i)
    { return static_cast<uint8_t> ((i / 4) * (127 - 10 * (i % 4)) / (changes / 4 - 1)); };
    TimePoint lastSubmission;
    for (int i = 0; i < changes; ++i)
    {
        advanceTo (start + i * 1ms);
        submit (param (static_cast<uint8_t> (i % 4), valueOf (i)), Delivery::latestPerParameter);
        lastSubmission = now;
    }
    drain();

    std::array<int, 4> lastValue{-1, -1, -1, -1};
    size_t bytesBefore = 0;
    for (const auto& l : left)
    {
        EXPECT_GE (l.at - start, perByte * static_cast<long> (bytesBefore)) << "never ahead of the link";
        bytesBefore += l.step.message.size();
        const auto number = l.step.message[4];
        const int value = l.step.message[5];
        const int previous = std::exchange (lastValue[number], value);
        EXPECT_GE (value, previous) << "each parameter's values leave in the order they were moved";
    }
    for (uint8_t number = 0; number < 4; ++number)
        EXPECT_EQ (lastValue[number], 127 - 10 * number) << "parameter " << int (number);
    // Everything is on the synthesizer within the time of what waited: at most
    // 18 parameter changes and the one on the wire, 133 bytes.
    const auto lastEnd = left.back().at + 7 * perByte;
    EXPECT_LE (lastEnd - lastSubmission, 19 * 7 * perByte);
    EXPECT_LT (left.size(), static_cast<size_t> (changes)) << "coalesced";
}

TEST_F (PacerTest, ASwitchDropsWaitingParameterChangesAndFinishDeliversThem)
{
    submit (dump (1), Delivery::latestWins);
    submit (param (5, 10), Delivery::latestPerParameter);
    pacer.switchDestination (7, now);
    submit (param (6, 20), Delivery::latestPerParameter); // onto the new, idle link
    submit (param (7, 30), Delivery::latestPerParameter);
    pacer.finish (now + 1s);
    drain();

    EXPECT_EQ (messagesLeft(), (std::vector<Message>{dump (1), param (6, 20), param (7, 30)}));
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

TEST_F (PacerTest, SwitchWaitsBehindNotesForTheOldDestinationAndDropsTheWaitingDump)
{
    submit (dump (1), Delivery::latestWins); // leaves at once, the link is busy
    submit (dump (2), Delivery::latestWins);
    submit (note (60), Delivery::inOrder);
    pacer.switchDestination (7, now);
    submit (note (61), Delivery::inOrder);
    submit (dump (3), Delivery::latestWins);
    drain();

    ASSERT_EQ (left.size(), 5u);
    EXPECT_EQ (left[0].step.message, dump (1));
    EXPECT_EQ (left[1].step.message, note (60));
    EXPECT_EQ (left[1].at, start + 24 * perByte);
    ASSERT_TRUE (left[2].step.isSwitch());
    EXPECT_EQ (*left[2].step.newDestination, 7u);
    EXPECT_EQ (left[2].at, left[1].at) << "a switch takes no link time";
    EXPECT_EQ (left[3].step.message, note (61));
    EXPECT_EQ (left[3].at, left[2].at) << "the new destination's link is idle";
    EXPECT_EQ (left[4].step.message, dump (3));
}

TEST_F (PacerTest, SwitchWithNothingWaitingLeavesAtOnceOntoAnIdleLink)
{
    submit (dump (1), Delivery::latestWins);
    pacer.switchDestination (0, now);
    ASSERT_EQ (left.size(), 2u);
    EXPECT_TRUE (left[1].step.isSwitch());
    submit (note (60), Delivery::inOrder);
    ASSERT_EQ (left.size(), 3u);
    EXPECT_EQ (left[2].at, start);
}

TEST_F (PacerTest, FinishDeliversWaitingNotesUntilTheDeadlineThenDropsTheRestButNotTheSwitch)
{
    submit (dump (1), Delivery::latestWins);
    for (uint8_t k = 0; k < 20; ++k)
        submit (note (k), Delivery::inOrder);
    submit (dump (2), Delivery::latestWins);
    pacer.switchDestination (0, now);
    const auto deadline = start + 24 * perByte + 10 * 3 * perByte;
    pacer.finish (deadline);
    submit (note (100), Delivery::inOrder); // too late: dropped

    TimePoint lastService = now;
    while (const auto next = pacer.service (now))
    {
        EXPECT_LE (*next, deadline) << "the thread is woken by the deadline at the latest";
        lastService = now = *next;
    }
    EXPECT_EQ (lastService, deadline);

    const auto messages = messagesLeft();
    ASSERT_EQ (messages.size(), 11u) << "the dump and the ten notes that fit before the deadline";
    for (uint8_t k = 0; k < 10; ++k)
        EXPECT_EQ (messages[1u + k], note (k));
    ASSERT_TRUE (left.back().step.isSwitch());
    EXPECT_FALSE (pacer.hasWaiting());
}

TEST_F (PacerTest, ThePacingThreadLooksByItselfWhileEditsStreamInAndSleepsWhenThereAreNone)
{
    using std::nullopt;
    EXPECT_EQ (pacer.nextLook (now), nullopt) << "nothing has left yet: sleep until woken";

    submit (dump (1), Delivery::latestWins);
    const auto linkFree = start + 24 * perByte;
    EXPECT_EQ (pacer.nextLook (now), linkFree);
    EXPECT_TRUE (pacer.needsWakeUp (nullopt, true, now)) << "a sleeping thread must perform what left";
    EXPECT_FALSE (pacer.needsWakeUp (now + OutputPacer::lookInterval, true, now));
    EXPECT_TRUE (pacer.needsWakeUp (now + 2 * OutputPacer::lookInterval, true, now));

    // An edit while the link is busy waits for it; a thread looking then needs no word.
    submit (dump (2), Delivery::latestWins);
    EXPECT_FALSE (pacer.needsWakeUp (linkFree, false, now));
    EXPECT_TRUE (pacer.needsWakeUp (linkFree + 1us, false, now));
    advanceTo (linkFree);

    // Once the link is free, the thread looks every interval for a while, then sleeps.
    const auto idle = linkFree + 24 * perByte + 1ms;
    EXPECT_EQ (pacer.nextLook (idle), idle + OutputPacer::lookInterval);
    EXPECT_EQ (pacer.nextLook (linkFree + OutputPacer::lookingSpan), nullopt);
    EXPECT_FALSE (pacer.needsWakeUp (nullopt, false, idle)) << "nothing to do";
}

/** A sink for PacedSender tests: collects messages from the pacing thread and lets the test wait for them. */
class Collector
{
public:
    void take (const Step& step)
    {
        std::unique_lock<std::mutex> guard (lock);
        holdUntilReleased.wait (guard, [this] { return !holding; });
        steps.push_back (step);
        arrived.notify_all();
    }
    bool waitFor (const std::function<bool (const std::vector<Step>&)>& condition)
    {
        std::unique_lock<std::mutex> guard (lock);
        return arrived.wait_for (guard, 30s, [&] { return condition (steps); });
    }
    void hold()
    {
        const std::lock_guard<std::mutex> guard (lock);
        holding = true;
    }
    void release()
    {
        {
            const std::lock_guard<std::mutex> guard (lock);
            holding = false;
        }
        holdUntilReleased.notify_all();
    }
    std::vector<Step> taken()
    {
        const std::lock_guard<std::mutex> guard (lock);
        return steps;
    }

private:
    std::mutex lock;
    std::condition_variable arrived;
    std::condition_variable holdUntilReleased;
    bool holding = false;
    std::vector<Step> steps;
};

TEST (PacedSender, PassesOnEveryNoteInOrderAndTheLastDumpFromItsThread)
{
    Collector collector;
    PacedSender sender ([&] (Step s) { collector.take (s); });

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

    const auto split = [] (const std::vector<Step>& steps)
    {
        std::pair<std::vector<Message>, std::vector<Message>> notesAndDumps;
        for (const auto& s : steps)
            (s.message.front() == 0x90 ? notesAndDumps.first : notesAndDumps.second).push_back (s.message);
        return notesAndDumps;
    };
    ASSERT_TRUE (collector.waitFor (
        [&] (const std::vector<Step>& steps)
        {
            const auto [notes, dumps] = split (steps);
            return notes.size() == notesSent.size() && !dumps.empty() && dumps.back() == dump (59);
        }));
    EXPECT_EQ (split (collector.taken()).first, notesSent);
}

TEST (PacedSender, SubmissionsNeverWaitForAWriteInProgress)
{
    Collector collector;
    // A hundred bytes a second: the first dump keeps the link busy for all the submissions below.
    PacedSender sender ([&] (Step s) { collector.take (s); }, 100);
    collector.hold(); // the first write hangs, as a stuck device driver might
    sender.submit (dump (1), Delivery::latestWins);

    // Run elsewhere, so that a submission stuck behind the write fails the test instead of hanging it.
    auto submissions = std::async (std::launch::async,
                                   [&]
                                   {
                                       for (uint8_t i = 2; i < 50; ++i)
                                           sender.submit (dump (i), Delivery::latestWins);
                                       sender.submit (note (60), Delivery::inOrder);
                                       sender.switchDestination (3);
                                   });
    const bool returned = submissions.wait_for (10s) == std::future_status::ready;
    collector.release();
    ASSERT_TRUE (returned) << "a submission waited for the write in progress";

    ASSERT_TRUE (collector.waitFor ([] (const std::vector<Step>& steps) { return steps.size() == 3; }));
    const auto steps = collector.taken();
    EXPECT_EQ (steps[0].message, dump (1));
    EXPECT_EQ (steps[1].message, note (60)) << "the waiting dump is dropped at the switch";
    EXPECT_TRUE (steps[2].isSwitch());
}

TEST (PacedSender, FinishDeliversWaitingNotesAndReturnsWithinItsLimit)
{
    Collector collector;
    // Ten bytes a second: the notes below would take six seconds.
    PacedSender sender ([&] (Step s) { collector.take (s); }, 10);
    sender.submit (note (1), Delivery::inOrder);
    for (uint8_t k = 2; k < 22; ++k)
        sender.submit (note (k), Delivery::inOrder);
    sender.submit (dump (1), Delivery::latestWins);

    const auto before = std::chrono::steady_clock::now();
    sender.finish (500ms);
    const auto took = std::chrono::steady_clock::now() - before;
    EXPECT_LT (took, 3s);

    const auto steps = collector.taken();
    ASSERT_GE (steps.size(), 2u) << "the first waiting note left within the limit";
    EXPECT_LE (steps.size(), 7u);
    for (size_t i = 0; i < steps.size(); ++i)
        EXPECT_EQ (steps[i].message, note (static_cast<uint8_t> (i + 1)));
    sender.submit (note (99), Delivery::inOrder);
    std::this_thread::sleep_for (100ms);
    EXPECT_EQ (collector.taken().size(), steps.size()) << "nothing leaves after finishing";
}
} // namespace
