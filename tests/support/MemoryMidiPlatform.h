#pragma once

#include "midi/MidiPlatform.h"
#include "midi/PacedSender.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

/** A MIDI layer in memory for tests: lists the ports it is given, records
    every message the engine hands it (unpaced, in order) and delivers bytes
    "received" from the connected source the way the ALSA receive thread does.
    Made with a link rate, it paces its output as the ALSA layer does (through
    a PacedSender) and writes down what leaves, and where to, in `written`.

    The engine hands nothing over while its output is closed and the platform
    receives nothing while no source is open: open them first, for example
    engine.openOutput (1) and engine.openInput (1). */
class MemoryMidiPlatform final : public MidiPlatform
{
public:
    /** Unpaced: every send is recorded at once in `sent`. */
    MemoryMidiPlatform() = default;
    /** Paced at this many bytes a second: what leaves the link is recorded in `written`. */
    explicit MemoryMidiPlatform (int linkBytesPerSecond);
    ~MemoryMidiPlatform() override;

    // What sources() and destinations() list; set these from the test.
    std::vector<Port> inputs;
    std::vector<Port> outputs;

    // Every message handed to send(), in order, with how it was to be delivered.
    // Read them only while no other thread sends (the engine passes notes
    // through from its receive thread: the thread that injects them).
    std::vector<std::vector<uint8_t>> sent;
    std::vector<Delivery> sentDelivery;
    void clearSent();

    // The endpoints last set by the engine.
    uint32_t source = 0;
    uint32_t destination = 0;
    // Each call to setSource, in order (0: disconnected).
    std::vector<uint32_t> sourcesSet;
    // The sources connected to the control port now.
    std::vector<uint32_t> controlSources;

    /** One thing that left a paced link: a message and where it went, or a
        switch of destination (an empty message). */
    struct Written
    {
        uint32_t destination = 0;
        std::vector<uint8_t> message;
        bool operator== (const Written& other) const
        {
            return destination == other.destination && message == other.message;
        }
    };
    /** What has left a paced link, in order; a test may keep it beyond the platform's life. */
    class WrittenLog
    {
    public:
        void add (Written written);
        std::vector<Written> entries() const;
        /** Waits until at least `count` entries are there; false on timeout. */
        bool waitFor (size_t count, std::chrono::milliseconds timeout = std::chrono::seconds (10)) const;

    private:
        mutable std::mutex lock;
        mutable std::condition_variable grew;
        std::vector<Written> log;
    };
    const std::shared_ptr<WrittenLog> writtenLog = std::make_shared<WrittenLog>();
    /** The limit of the last finishSending(), or -1 ms when it was not called. */
    std::chrono::milliseconds finishLimit{-1};

    /** Delivers received bytes from the open source to the engine, on the
        calling thread (any thread). Returns false, delivering nothing, while
        no source is open or reception is stopped. */
    bool inject (const std::vector<uint8_t>& bytes);
    /** Delivers bytes that arrived on the control port, on the calling thread
        (any thread), as whatever is connected to it would send them. Returns
        false, delivering nothing, while reception is stopped. */
    bool injectControl (const std::vector<uint8_t>& bytes);
    /** Reports lost input, as an overflowing receive buffer does. */
    void injectLoss();
    /** Reports a change of the MIDI setup, from the calling thread. */
    void announceSetupChange();
    /** Reports that a port went away (and then a change of the setup), as a removed device does. */
    void announcePortRemoved (uint32_t endpoint);

    /** Starts a receive thread of the platform's own that injects the bytes
        every 0.2 ms until reception is stopped, as a busy source would. */
    void startReceiving (std::vector<uint8_t> bytes);
    /** How many times that thread has injected its bytes. */
    long timesReceived() const { return receivedCount.load(); }

    /** What unavailableReason() says; empty: the platform works. */
    std::string unavailable;
    std::string unavailableReason() const override { return unavailable; }

    std::vector<Port> sources() const override { return inputs; }
    std::vector<Port> destinations() const override { return outputs; }
    void setSource (uint32_t endpoint) override;
    void connectControlSource (uint32_t endpoint) override;
    void disconnectControlSource (uint32_t endpoint) override;
    void setDestination (uint32_t endpoint) override;
    void send (const uint8_t* bytes, size_t count, Delivery delivery) override;
    void finishSending (std::chrono::milliseconds limit) override;
    void start (Receiver& receiver) override;
    void stop() override;

private:
    std::mutex receiveLock; // one delivery at a time, and none after stop()
    Receiver* receiver = nullptr;
    bool sourceOpen = false;
    std::atomic<bool> stopReceiving{false};
    std::atomic<long> receivedCount{0};
    std::thread receiveThread;

    uint32_t pacedDestination = 0;            // pacing thread only
    std::unique_ptr<PacedSender> pacedOutput; // last: its thread writes into the above
};
