#pragma once

#include "RawMidiPort.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

/** A Juno-106 and its owner's hands on the far side of a virtual raw MIDI
    port, for the tests that write patches into memories. The synthesizer
    keeps the last patch dump it is sent as the sound it plays; the owner
    writes it into the memory the dump is numbered as and selects that
    memory; the synthesizer then sends the patch it leaves and the one it
    enters, as the instrument does with MIDI FUNCTION III. How it answers a
    memory is scripted: exactly, with a damaged copy, or not at all. Its
    owner's hands take answerDelay; an interface that merges its thru into the
    synthesizer's output may send every byte straight back as well. */
class ScriptedSynthesizer
{
public:
    using Bytes = std::vector<uint8_t>;
    using PatchBytes = std::array<uint8_t, 18>;

    enum class Answer
    {
        exact,
        damagedOnce,   // the first answer has VCF Freq off by 16, later ones are right
        damagedAlways, // every answer has VCF Freq off by 16
        silent,        // the memory is never selected: no answer at all
        playedFirst    // the first dump is only played (a library opening sends its first patch), later ones exact
    };

    /** Listens at once on the raw MIDI device; dumps carry `channel` (0-15). */
    explicit ScriptedSynthesizer (const std::string& device = "hw:0,0", int channel = 0);
    ~ScriptedSynthesizer();

    bool isOpen() const { return port.isOpen(); }
    /** How the memory is answered from now on; exactly unless told. */
    void script (int memory, Answer answer);
    /** Every byte that comes in goes straight back out from now on, beside the answers. */
    void echo (bool on) { echoing = on; }

    /** From a dump to its answer: WRITE, a memory's buttons, then the memory selected. */
    static constexpr std::chrono::milliseconds answerDelay{300};

    /** Every byte that has come in, in order. */
    Bytes received() const;
    /** The memories of the patch dumps that came in, in order. */
    std::vector<int> dumpsReceived() const;
    /** What the memory holds; all zero before a write. */
    PatchBytes memory (int number) const;

    /** The first answer's damage: VCF Freq with bit 4 turned over. */
    static PatchBytes damaged (PatchBytes bytes);

    ScriptedSynthesizer (const ScriptedSynthesizer&) = delete;
    ScriptedSynthesizer& operator= (const ScriptedSynthesizer&) = delete;

private:
    void run();
    void take (const Bytes& message);
    void send (int number, const PatchBytes& bytes);

    RawMidiPort port;
    const uint8_t channel;
    mutable std::mutex lock;
    Bytes allReceived;
    Bytes pending; // an unfinished message
    std::vector<int> dumps;
    std::map<int, Answer> answers;
    std::map<int, int> answersGiven;
    std::array<PatchBytes, 128> memories{};
    int selected = -1;
    std::atomic<bool> running{true};
    std::atomic<bool> echoing{false};
    std::thread thread; // last: it uses everything above
};
