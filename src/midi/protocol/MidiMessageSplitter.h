#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

/** Splits raw received MIDI bytes into whole messages, whatever they are:
    channel messages (running status restored, so each comes out with its
    status byte), system common and real-time messages, and SysEx from F0 to
    F7. For a monitor that shows everything; the Juno-106 messages themselves
    are joined by SysexAssembler. Not thread-safe: one receive thread feeds it. */
class MidiMessageSplitter
{
public:
    /** Longest SysEx message passed on, F0 and F7 included; a longer one is dropped. */
    static constexpr size_t maxSysexSize = 65536;

    using MessageHandler = std::function<void (const uint8_t* message, size_t length)>;

    explicit MidiMessageSplitter (MessageHandler onMessage);

    /** Feeds received bytes in arrival order; calls the handler once for each
        message completed by them. A real-time byte comes out at once, even in
        the middle of another message; a status byte ends an open SysEx message
        without passing it on; data bytes with no status before them are dropped. */
    void processRawBytes (const uint8_t* bytes, size_t count);

    /** Forgets an open message and the running status, for when received bytes were lost. */
    void discardOpenMessage();

    MidiMessageSplitter (const MidiMessageSplitter&) = delete;
    MidiMessageSplitter& operator= (const MidiMessageSplitter&) = delete;

private:
    void processByte (uint8_t byte);
    void startMessage (uint8_t status);
    void emit (const uint8_t* bytes, size_t length);

    MessageHandler onMessage;
    std::vector<uint8_t> message; // the open message from its status byte; empty when none is open
    size_t dataBytesWanted = 0;   // of a channel or system common message
    bool inSysex = false;
    uint8_t runningStatus = 0; // the last channel status, for data bytes that follow without one
};
