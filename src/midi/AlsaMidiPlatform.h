#pragma once

#include "midi/MidiPlatform.h"
#include "midi/PacedSender.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

/** The MIDI service on Linux: one ALSA sequencer client "Qorv" with an input
    port "QorvIn" and an output port "QorvOut". Endpoints are sequencer
    addresses packed as (client << 8) | port. Sends leave at the DIN rate (see
    PacedSender). When the sequencer cannot be opened it lists nothing, sends
    nothing and receives nothing. */
class AlsaMidiPlatform final : public MidiPlatform
{
public:
    /** Opens the named sequencer ("default" is the system's own). */
    explicit AlsaMidiPlatform (const char* sequencerName = "default");
    ~AlsaMidiPlatform() override;

    /** Whether the sequencer could be opened. */
    bool isOpen() const { return sequencer != nullptr; }
    /** Our own client's number, or -1 when the sequencer is not open. */
    int clientNumber() const;

    std::vector<Port> sources() const override;
    std::vector<Port> destinations() const override;
    void setSource (uint32_t endpoint) override;
    void setDestination (uint32_t endpoint) override;
    void send (const uint8_t* bytes, size_t count, Delivery delivery) override;
    void start (Receiver& receiver) override;
    void stop() override;

private:
    struct Sequencer;

    std::vector<Port> listPorts (unsigned requiredCapabilities) const;
    void writeMessage (const OutputPacer::Message& message);
    void receiveLoop();
    void drainInput();

    std::unique_ptr<Sequencer> sequencer; // first: everything below uses it
    std::mutex outputLock;                // the sequencer's output path and `destination`
    uint32_t destination = 0;
    std::atomic<uint32_t> source{0}; // the receive thread passes on bytes from this endpoint only
    std::unique_ptr<PacedSender> pacedOutput;
    Receiver* receiver = nullptr;
    int wakeFd = -1; // tells the receive thread to end
    std::thread receiveThread;
};
