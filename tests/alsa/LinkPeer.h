#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

/** A synthesizer at the far end of a virtual raw MIDI port, on a DIN link: it
    takes the bytes out no faster than 3,125 a second (as a MIDI cable would
    bring them) and notes every whole message, running status restored, with
    the time it was taken. */
class LinkPeer
{
public:
    using Clock = std::chrono::steady_clock;
    using Bytes = std::vector<uint8_t>;

    struct Arrival
    {
        Clock::time_point at;
        Bytes message;
    };

    explicit LinkPeer (std::string device = "hw:0,0");
    ~LinkPeer();

    /** Whether the port could be opened; wait a moment after construction. */
    bool isOpen() const;
    /** The synthesizer sends these bytes (its dumps, its panel's parameter changes), soon, from its thread. */
    void send (Bytes bytes);
    std::vector<Arrival> arrivals() const;
    /** The messages that arrived, in order, without their times. */
    std::vector<Bytes> messages() const;
    size_t arrivalCount() const;
    /** Bytes dropped at the port with its input buffer full. */
    size_t lostBytes() const;
    /** The most bytes that had reached the port beyond what the link carries since `since`. */
    long mostBytesAheadOfTheLink (Clock::time_point since) const;

    LinkPeer (const LinkPeer&) = delete;
    LinkPeer& operator= (const LinkPeer&) = delete;

private:
    void run (std::string device);

    struct Sample
    {
        Clock::time_point at;
        size_t arrivedBytes; // taken so far plus waiting in the port
    };

    mutable std::mutex lock;
    bool opened = false;
    bool stopping = false;
    std::vector<Arrival> received;
    std::vector<Sample> samples;
    std::vector<Bytes> toSend;
    size_t lost = 0;
    std::thread thread; // last: starts once everything it uses exists
};
