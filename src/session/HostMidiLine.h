#pragma once

#include "control/PanelControls.h"
#include "patch/PatchModel.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

/** A plugin's sound on its way to the synthesizer through the host's MIDI
    output, where only the audio thread may write. Whatever waits is the
    latest sound, never a line of old messages: a newer value of a byte
    replaces the one waiting, a whole patch replaces every byte waiting, and
    nothing is lost or grows while the host does not process (bypassed,
    deactivated). In each block at most one message per changed byte leaves
    (the Range, Square, Saw and Chorus of one block are one message), no
    faster than a DIN link carries them, and a byte goes only when it
    differs from what the synthesizer was last sent, which only this line
    knows and only where it writes. The session, a restore or the message
    thread post their changes lock-free from any thread; the audio thread
    takes them, adds the host's own moves and writes, without allocating,
    locking or waiting. */
class HostMidiLine
{
public:
    using Bytes = std::array<uint8_t, PatchBits::numBytes>;

    /** A DIN link: 31,250 baud, ten bits a byte. */
    static constexpr int linkBytesPerSecond = 3125;
    /** What the line may send at once after a pause: one whole patch dump. */
    static constexpr double burstBytes = 24.0;

    /** Where a block's messages go, each whole (a dump or a parameter change). */
    class Sink
    {
    public:
        virtual ~Sink() = default;
        virtual void write (const uint8_t* message, size_t size) = 0;
    };

    HostMidiLine();

    // Any thread but the audio thread
    /** The whole patch, as one dump: every byte waiting goes with it. */
    void sendPatch (const Bytes& patch);
    /** One byte as a parameter change. `changedBits` are the bits this change
        decides: the DCO flags and the switches bytes are shared by several
        controls, and a change of one must not undo a host's move of another
        that the sender has not heard of yet. */
    void sendByte (int byteIndex, uint8_t value, uint8_t changedBits = PatchBits::maxLevel);
    /** A project's patch comes back: later moves build on it, and nothing is
        sent (whatever waited to be sent is dropped). */
    void restore (const Bytes& patch);
    /** The synthesizer may hold anything now (the other way sent to it, or
        the channel changed): every byte counts as never sent. */
    void forgetSent();
    void setChannel (int channel);

    // The audio thread, once a block: startBlock, the host's moves and the recall, finishBlock
    /** Takes what was posted since the last block. */
    void startBlock();
    /** A host's move of one of its parameters, in this block. */
    void hostMoved (PanelControl control, int position);
    /** The whole patch, at the next chance (a recall as playback starts). */
    void sendWholePatch();
    /** What was written never reached the synthesizer (the host dropped it):
        it may hold anything, and gets the whole patch at the next chance. */
    void writtenWasLost();
    /** Writes what may leave in a block of `seconds`; the rest waits for later blocks. */
    void finishBlock (double seconds, Sink& sink);

    HostMidiLine (const HostMidiLine&) = delete;
    HostMidiLine& operator= (const HostMidiLine&) = delete;

private:
    /** A waiting byte, packed: the value, the bits it decides, whether it is
        to be sent (a restore's is not), and whether anything waits at all. */
    static constexpr uint16_t valueBits = 0x007F;
    static constexpr int maskShift = 7;
    static constexpr uint16_t sendFlag = 0x4000;
    static constexpr uint16_t waitingFlag = 0x8000;

    void post (int byteIndex, uint8_t value, uint8_t bits, bool send);
    void writeDump (Sink& sink);
    void writeChanges (Sink& sink);

    std::array<std::atomic<uint16_t>, PatchBits::numBytes> posted{};
    std::atomic<bool> patchPosted{false};
    std::atomic<bool> restorePosted{false};
    std::atomic<bool> sentForgotten{false};
    std::atomic<int> channel{0};

    // The audio thread's own
    Bytes wanted{};                                      // the sound the synthesizer is to have
    std::array<int16_t, PatchBits::numBytes> lastSent{}; // -1: never sent, or forgotten
    uint32_t changed = 0;                                // bytes to send, one bit each
    bool dumpDue = false;
    double credit = burstBytes; // bytes the link could have carried by now
    int resumeAt = 0;           // the byte the last short block stopped at, so every byte gets its turn
};
