#pragma once

#include "patch/PatchModel.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

/** Guides the writing of patches into the synthesizer's memories, which only
    its owner can do (WRITE and the memory buttons), and checks each one: the
    patch goes out as a dump numbered as its memory, and the dump the
    synthesizer sends when that memory is selected must carry the same 18
    bytes. Says what to press, what counts as the answer, when to send again,
    when to give up waiting, and sums up. Plain logic over a clock passed in;
    the window and the command line are views of it. Use it on one thread. */
class RestoreGuide
{
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

    /** Where the patches go. */
    class Synthesizer
    {
    public:
        virtual ~Synthesizer() = default;
        /** Sends the patch as one dump whose patch number is the memory, 0 to 127. */
        virtual void sendPatch (const PatchModel& patch, int memory) = 0;
        /** Whether what is sent comes straight back in, as one through port chosen both ways does. */
        virtual bool loopsBack() const { return false; }
    };

    /** One patch and the memory it goes into. */
    struct Target
    {
        int row = 0;      // its place in the library, from 0
        PatchModel patch; // as it goes out: values a patch cannot hold corrected
        int memory = 0;   // 0 to 127
    };

    enum class MemoryState
    {
        notWritten,
        checked,  // its answer carried what was sent
        skipped,  // passed over before any answer
        differing // its last answer carried something else
    };

    /** One control whose value came back other than it was sent. */
    struct Difference
    {
        std::string parameter; // as STATUS names it: "VCF Freq", "Range"
        std::string sent;
        std::string received;
    };

    struct Entry
    {
        Target target;
        MemoryState state = MemoryState::notWritten;
        std::vector<Difference> differences; // of its last differing answer
    };

    enum class Phase
    {
        setUp,    // nothing sent yet: the synthesizer is being made ready
        waiting,  // the current memory's patch is out; its answer is awaited
        finished, // past the last memory
        stopped   // stopped before the end; start() goes on from the current memory
    };

    /** What just happened, in the order it happened. */
    enum class Event
    {
        sent,       // the current memory's patch went out (again, when sendsOfCurrent() > 1)
        checked,    // the current memory's answer carried what was sent; moving on follows
        differed,   // its answer carried something else; a send or giving up may follow
        gaveUp,     // it counts as differing after the sends allowed; moving on follows
        skipped,    // passed over; moving on follows
        wentBack,   // the previous memory is current again; its send follows
        unanswered, // the answer time passed without its answer (see onlyEchoes)
        refused,    // start() sent nothing: see whyNotStart
        finished,
        stopped
    };

    struct Options
    {
        /** How long after a send the guide waits before it says what to check. */
        Clock::duration answerTime = std::chrono::seconds (10);
        /** Stop, rather than go on waiting, once the answer time has passed. */
        bool stopWhenUnanswered = false;
        /** How many sends a memory gets in all when its answers differ: each
            differing answer sends the patch again until then, and then the
            memory counts as differing and the guide moves on. 0 leaves both
            to the user (sendAgain, skip). */
        int automaticSends = 0;
    };

    /** What is done, for the summary. */
    struct Summary
    {
        std::vector<int> checked, skipped, differing, notWritten; // memories
    };

    static constexpr const char* setUpAdvice =
        "On the synthesizer, set MEMORY PROTECT to OFF and the MIDI FUNCTION switch to III.";
    static constexpr const char* echoAdvice =
        "Your own dumps come straight back: MIDI IN seems to be connected to MIDI OUT, a thru or a merge. Choose the "
        "synthesizer's own ports.";
    static constexpr const char* loopAdvice = "MIDI IN and MIDI OUT are one through port, which sends your own dumps "
                                              "straight back. Choose the synthesizer's own ports.";

    /** A dump the same as the one sent that comes sooner than this after the
        send is the link's echo (a thru, a merge, a loop), never an answer:
        nobody presses WRITE and a memory's buttons that fast. */
    static constexpr Clock::duration echoTime = std::chrono::milliseconds (200);

    /** Why nothing can be written through this synthesizer's link, or nothing when it can. */
    static std::optional<std::string> whyNotStart (const Synthesizer& synthesizer);

    /** The patches of `rows` (places in `patches`, from 0) in that order, into
        consecutive memories from `firstMemory`; as many as fit up to B88. */
    static std::vector<Target>
    plan (const std::vector<PatchModel>& patches, const std::vector<int>& rows, int firstMemory);

    /** A guide in its set-up phase at the first memory. */
    RestoreGuide (Synthesizer& synthesizer, std::vector<Target> targets, Options options);

    /** Takes up earlier work: each entry's state (as many as there are
        entries) and the entry to go on from; only in the set-up phase. */
    void resume (const std::vector<MemoryState>& states, size_t next);

    std::function<void (Event)> onChange;

    // What the user does, and what the synthesizer does
    /** From the set-up (or after a stop): sends the current memory's patch and
        waits for its answer; sends nothing (Event::refused) while whyNotStart says why. */
    void start (TimePoint now);
    /** A patch dump from the synthesizer, numbered `memory`. Only one numbered
        as the current memory, while waiting, and not the link's echo of the
        send (see echoTime), is its answer. */
    void dumpReceived (const PatchModel& received, int memory, TimePoint now);
    void sendAgain (TimePoint now);
    void skip (TimePoint now);
    /** The previous memory becomes current again, its patch is sent and its
        answer checked anew; after the last memory, the last one does. */
    void back (TimePoint now);
    void stop();
    /** Looks at the clock: the answer time. */
    void tick (TimePoint now);

    // Where it stands
    Phase phase() const { return currentPhase; }
    const std::vector<Entry>& entries() const { return allEntries; }
    /** The entry being written; entries().size() once past the last. */
    size_t currentIndex() const { return index; }
    /** The entry being written, or nullptr past the last. */
    const Entry* current() const { return index < allEntries.size() ? &allEntries[index] : nullptr; }
    /** How many times the current memory's patch has gone out since it became current. */
    int sendsOfCurrent() const { return sends; }
    /** The answer time passed without an answer, and nothing was sent since (a stop keeps it so). */
    bool isUnanswered() const { return unanswered; }
    /** Since the last send, only the link's echo of it came back as the current memory. */
    bool onlyEchoes() const { return echoHeard; }
    bool canGoBack() const;
    Summary summary() const;

    // What the user is told
    /** "Press WRITE, then bank A, group 1, number 1; then select A11." */
    std::string instruction() const;
    /** What to check when no answer came, `channel` 0 to 15 being the one Qorv
        listens on; echoAdvice when only the link's echo came. */
    std::string noAnswerAdvice (int channel) const;
    /** "VCF Freq sent 64, came back 60; Attack sent 3, came back 5" */
    static std::string differenceText (const std::vector<Difference>& differences);
    /** "14 written and checked, 1 skipped (A13), 1 differing (A14)", with what is not written yet. */
    std::string summaryText() const;
    /** The controls whose values differ between what was sent and what came back. */
    static std::vector<Difference> compare (const PatchModel& sent, const PatchModel& received);

    RestoreGuide (const RestoreGuide&) = delete;
    RestoreGuide& operator= (const RestoreGuide&) = delete;

private:
    void announce (Event event);
    void sendCurrent (TimePoint now);
    /** To the next entry: its send, or the end. */
    void moveOn (TimePoint now);

    Synthesizer& synthesizer;
    const Options options;
    std::vector<Entry> allEntries;
    Phase currentPhase = Phase::setUp;
    size_t index = 0;
    int sends = 0;
    TimePoint lastSend{};
    bool unanswered = false;
    std::optional<int> lastOtherMemory; // a memory heard since the last send that was not the current one
    bool echoHeard = false;
};
