#pragma once

#include "midi/MidiPlatform.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

/** A MIDI layer in memory for tests: lists the ports it is given, records
    every message the engine hands it (unpaced, in order) and delivers bytes
    "received" from the connected source the way the ALSA receive thread does.

    The engine hands nothing over while its output is closed and the platform
    receives nothing while no source is open: open them first, for example
    engine.openOutput (1) and engine.openInput (1). */
class MemoryMidiPlatform final : public MidiPlatform
{
public:
    MemoryMidiPlatform() = default;
    ~MemoryMidiPlatform() override;

    // What sources() and destinations() list; set these from the test.
    std::vector<Port> inputs;
    std::vector<Port> outputs;

    // Every message handed to send(), in order, with how it was to be delivered.
    std::vector<std::vector<uint8_t>> sent;
    std::vector<Delivery> sentDelivery;
    void clearSent();

    // The endpoints last set by the engine.
    uint32_t source = 0;
    uint32_t destination = 0;

    /** Delivers received bytes from the open source to the engine, on the
        calling thread (any thread). Returns false, delivering nothing, while
        no source is open or reception is stopped. */
    bool inject (const std::vector<uint8_t>& bytes);
    /** Reports lost input, as an overflowing receive buffer does. */
    void injectLoss();
    /** Reports a change of the MIDI setup, from the calling thread. */
    void announceSetupChange();

    /** Starts a receive thread of the platform's own that injects the bytes
        every 0.2 ms until reception is stopped, as a busy source would. */
    void startReceiving (std::vector<uint8_t> bytes);
    /** How many times that thread has injected its bytes. */
    long timesReceived() const { return receivedCount.load(); }

    std::vector<Port> sources() const override { return inputs; }
    std::vector<Port> destinations() const override { return outputs; }
    void setSource (uint32_t endpoint) override;
    void setDestination (uint32_t endpoint) override { destination = endpoint; }
    void send (const uint8_t* bytes, size_t count, Delivery delivery) override;
    void start (Receiver& receiver) override;
    void stop() override;

private:
    std::mutex receiveLock; // one delivery at a time, and none after stop()
    Receiver* receiver = nullptr;
    bool sourceOpen = false;
    std::atomic<bool> stopReceiving{false};
    std::atomic<long> receivedCount{0};
    std::thread receiveThread;
};
