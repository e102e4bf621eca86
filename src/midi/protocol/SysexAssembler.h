#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

/** Joins raw received MIDI bytes into whole System Exclusive messages.
    Messages may arrive split over any number of chunks; everything outside a
    message is ignored. Not thread-safe: one receive thread feeds it. */
class SysexAssembler
{
public:
    /** Largest message that can be completed, F0 and F7 included. */
    static constexpr size_t maxMessageSize = 257;

    using MessageHandler = std::function<void (const uint8_t* message, size_t length)>;

    explicit SysexAssembler (MessageHandler onMessage);

    /** Feeds received bytes in arrival order; calls the handler once for each
        message completed by them. */
    void processRawBytes (const uint8_t* bytes, size_t count);

    /** Drops an open message, for when received bytes were lost. */
    void discardOpenMessage() { buffer.clear(); }

    bool isCollecting() const { return !buffer.empty(); }

    SysexAssembler (const SysexAssembler&) = delete;
    SysexAssembler& operator= (const SysexAssembler&) = delete;

private:
    void processByte (uint8_t byte);

    MessageHandler onMessage;
    std::vector<uint8_t> buffer; // the open message from its F0; empty when none is open
};
