#pragma once

#include "patch/PatchModel.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

/** What the receive thread hands to the message thread, kept in one line so
    that at most one drain is ever posted however fast messages arrive, and
    delivered in short slices with pauses between them, so that the message
    thread keeps time for everything else (a quit among it). Plain logic over
    a clock passed in; not thread-safe (MessageThreadDelivery adds the lock and
    the posting). */
class DeliveryQueue
{
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

    /** One recognised message from the synthesizer, a control change from a
        control input, or any whole message for a watcher. */
    struct Received
    {
        enum class Kind
        {
            patchDump,
            manualDump,
            paramChange,
            controlChange, // from a control input
            passThrough,   // from a control input, for the synthesizer once the control changes before it are sent
            anyMessage
        };
        Kind kind = Kind::patchDump;
        PatchModel patch;    // the dumps
        int paramNumber = 0; // a parameter change
        int paramValue = 0;
        int channel = 0; // a control change
        int controller = 0;
        int controllerValue = 0;
        std::vector<uint8_t> bytes; // any message as received; a passing one on the synthesizer's channel
    };

    /** Many whole banks of dumps; only a flood beyond anything a synthesizer
        sends fills it, and what comes then is dropped, as a full input buffer
        drops it, rather than growing without end. */
    static constexpr size_t defaultCapacity = 4096;
    /** How long one slice of a drain may deliver. */
    static constexpr Clock::duration sliceLength = std::chrono::milliseconds (10);
    /** How long the message thread has for other work before the next slice. */
    static constexpr Clock::duration pauseBetweenSlices = std::chrono::milliseconds (5);

    explicit DeliveryQueue (size_t maxWaiting = defaultCapacity) : capacity (maxWaiting) {}

    /** Queues a message; true when a drain must be posted now (none is under way). */
    bool add (Received message);
    /** Notes a change of the MIDI setup and a port that went away with it (0:
        none); true when a drain must be posted now. Changes coalesce. */
    bool addSetupChange (uint32_t removedEndpoint);

    /** Starts a slice of the drain. */
    void beginSlice (TimePoint now);
    /** The setup change noted since the last one was taken, if the slice has
        time left: the ports that went away. */
    std::optional<std::vector<uint32_t>> takeSetupChange (TimePoint now);
    /** The next message to deliver in this slice; nothing when the slice is
        used up or nothing is left (see drainUnderWay). */
    std::optional<Received> next (TimePoint now);
    /** After next() gave nothing: true when the drain must go on after a pause
        (its slice ran out with work left); false when it is over, so the next
        add() asks for a new one. */
    bool drainUnderWay() const { return drainPosted; }

    /** Forgets everything waiting. */
    void clear();
    size_t droppedCount() const { return dropped; }

private:
    bool hasWork() const { return !messages.empty() || setupChange.has_value(); }
    bool sliceUsedUp (TimePoint now) const { return now - sliceStart >= sliceLength; }
    bool askForDrain();

    const size_t capacity;
    std::deque<Received> messages;
    std::optional<std::vector<uint32_t>> setupChange;
    bool drainPosted = false;
    TimePoint sliceStart{};
    size_t dropped = 0;
};
