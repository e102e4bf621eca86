#pragma once

#include "midi/MidiPlatform.h"

#include <bitset>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

/** Lets messages leave no faster than a serial MIDI link carries them. A
    message leaves at once while the link is idle; otherwise it waits, in
    order. Only the latest sound waits: a newer patch dump takes the place of
    one still waiting or of the first waiting parameter change (it carries
    them all), a newer parameter change replaces a waiting one of the same
    parameter where it stands, so however fast a controller sweeps, at most
    one change per parameter is ever behind. What passes through (notes,
    pitch bend, pressure, controllers) keeps its order; only the latest pitch
    bend, channel pressure and value of each controller on a channel waits,
    in its place, as long as nothing else came after it. The sound and what
    passes through keep their order between them too, except that neither
    lets more than one message of its kind go while the other waits, so
    neither starves the other; but nothing that passes through leaves before
    a parameter change made of a control change that came before it
    (translatedParameter), or a dump in its place. The passing messages
    waiting are bounded: past passThroughLimit of link time new notes are
    dropped (and the ends of those notes with them), past twice that
    everything but the end of a note that sounds. A switch to another
    destination waits behind the notes and controllers meant for the old
    one. Plain logic over a clock passed in; not thread-safe (PacedSender
    adds the thread). */
class OutputPacer
{
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;
    using Message = std::vector<uint8_t>;

    /** One thing that leaves, in order: a message for the current destination,
        or a switch to another destination (which takes no time on the link). */
    struct Step
    {
        Message message;                        // empty for a switch
        std::optional<uint32_t> newDestination; // set for a switch; 0 is none

        bool isSwitch() const { return newDestination.has_value(); }
    };
    using Sink = std::function<void (Step)>;

    /** A DIN MIDI link: 31,250 baud, ten bits a byte. */
    static constexpr int dinBytesPerSecond = 3125;
    /** How late a waiting message may be served and still keep its place in
        the link's timetable. A pacing thread never wakes exactly on time (a
        busy or emulated machine wakes it milliseconds late), and without this
        every late wake-up would be link time lost for good; with it, the device
        gets at most this much of the link's time early, once. */
    static constexpr Clock::duration lateServiceAllowance = std::chrono::milliseconds (50);

    /** How often a pacing thread looks for new messages by itself for a
        while after the last one left (see nextLook): at most this late does a
        message leave an idle link then. */
    static constexpr Clock::duration lookInterval = std::chrono::milliseconds (1);
    /** For how long after the last message it looks so. */
    static constexpr Clock::duration lookingSpan = std::chrono::seconds (1);
    /** How much link time of passing messages may wait before new notes are dropped. */
    static constexpr Clock::duration passThroughLimit = std::chrono::seconds (1);

    explicit OutputPacer (Sink sink, int bytesPerSecond = dinBytesPerSecond);

    /** Passes the message to the sink now if the link is free, else queues it. */
    void submit (Message message, MidiPlatform::Delivery delivery, TimePoint now);

    /** Sends everything after this to another destination (0: none). A waiting
        patch dump and waiting parameter changes are dropped; waiting notes and
        controllers still go to the old destination first. */
    void switchDestination (uint32_t destination, TimePoint now);

    /** Delivers what waits until the deadline and drops what is left then; a
        waiting patch dump is dropped at once (parameter changes still go, so a
        controller's last move is not lost). Later submissions are dropped. */
    void finish (TimePoint deadline);

    /** Passes on every waiting step whose turn has come; returns when to call
        again, or nothing when nothing waits. */
    std::optional<TimePoint> service (TimePoint now);

    /** When a pacing thread should look again by itself: when the next
        waiting message is due, when the link becomes free, or, for the
        lookingSpan after the last message left, every lookInterval; nothing
        when it may sleep until woken. While edits stream in, a thread that
        looks by itself needs no wake-up call from the sender, which would
        cost the sender a system call and, on a busy machine, its turn. */
    std::optional<TimePoint> nextLook (TimePoint now) const;
    /** Whether a thread that looks again by itself at `plannedLook` (nothing:
        only when woken) must be woken now, after a submission; `stepsLeft`
        says that steps passed on wait to be carried out. */
    bool needsWakeUp (std::optional<TimePoint> plannedLook, bool stepsLeft, TimePoint now) const;

    void discardWaiting()
    {
        waiting.clear();
        passingBytesWaiting = 0;
    }
    bool hasWaiting() const { return !waiting.empty(); }

    OutputPacer (const OutputPacer&) = delete;
    OutputPacer& operator= (const OutputPacer&) = delete;

private:
    struct Waiting
    {
        Step step;
        MidiPlatform::Delivery delivery;
        int parameter = -1; // of a parameter change
        int latestKey = -1; // of a passing message of which only the latest waits: its kind, channel, controller
        bool holdsBackPassing = false; // a sound that what passes through after it must not overtake

        bool isSound() const { return delivery != MidiPlatform::Delivery::inOrder; }
    };

    /** Drops every waiting message delivered this way. */
    void dropWaiting (MidiPlatform::Delivery delivery);
    /** Queues a message in the place its delivery gives it. */
    void enqueue (Message message, MidiPlatform::Delivery delivery);
    /** Queues a passing message, or drops it when too many wait; tells which notes sound. */
    void enqueuePassing (Message message);
    /** Follows a passing message that goes on: which notes sound. */
    void notePassed (const Message& message);
    /** Which waiting message leaves next: the first, or the first sound behind passing messages at its turn. */
    std::deque<Waiting>::iterator nextToLeave();
    /** Follows the turns after a message left. */
    void countTurn (bool soundLeft);
    void transmit (Message message, TimePoint start);

    Sink sink;
    Clock::duration timePerByte;
    TimePoint linkFreeAt{}; // when the last message passed on has finished crossing the link
    std::deque<Waiting> waiting;
    size_t passingBytesWaiting = 0;
    size_t passingByteLimit = 0;
    // Turns: how many of one kind left in a row while the other kind waited.
    int passingWhileSoundWaited = 0;
    int soundWhilePassingWaited = 0;
    std::bitset<16 * 128> sounding;    // notes started and not yet ended, by channel and key
    std::bitset<16 * 128> droppedNote; // notes whose start was dropped: their end goes too
    std::optional<TimePoint> finishBy;
    std::optional<TimePoint> lastLeftAt; // when the last message was passed on
};
