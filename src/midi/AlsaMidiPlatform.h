#pragma once

#include "midi/MidiPlatform.h"
#include "midi/PacedSender.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

struct snd_seq_event;

/** The MIDI service on Linux: one ALSA sequencer client "Qorv" with an input
    port "QorvIn" (the synthesizer), a writable port "Qorv Control" that any
    program or controller may connect to, and an output port "QorvOut". Endpoints are sequencer
    addresses packed as (client << 8) | port. Sends leave at the DIN rate (see
    PacedSender), written and connected on the pacing thread. When the
    sequencer cannot be opened it lists nothing, sends nothing, receives
    nothing and says why; the sound library's own error texts never reach the
    terminal. */
class AlsaMidiPlatform final : public MidiPlatform
{
public:
    /** What a client of this process is given besides its input and output. */
    struct Setup
    {
        /** The "Qorv Control" port from the start; a plugin opens it once it is used. */
        bool controlPort = true;
        /** Whether the sound library's error texts are silenced for the whole
            process (Qorv's own). A plugin leaves its host's handler alone and
            silences only its own opening of the sequencer. */
        bool silenceWholeProcess = true;
    };

    /** Opens the named sequencer ("default" is the system's own). */
    explicit AlsaMidiPlatform (const char* sequencerName = "default", const char* clientName = "Qorv");
    AlsaMidiPlatform (const char* sequencerName, const char* clientName, Setup setup);
    ~AlsaMidiPlatform() override;

    /** Whether the sequencer could be opened. */
    bool isOpen() const { return sequencer != nullptr; }
    /** "MIDI unavailable: no ALSA sequencer" and the like, or empty when open. */
    std::string unavailableReason() const override { return whyUnavailable; }
    /** Our own client's number, or -1 when the sequencer is not open. */
    int clientNumber() const;
    uint32_t controlPortEndpoint() const override;
    void setControlPortOpen (bool open) override;

    std::vector<Port> sources() const override;
    std::vector<Port> destinations() const override;
    void setSource (uint32_t endpoint) override;
    void connectControlSource (uint32_t endpoint) override;
    void disconnectControlSource (uint32_t endpoint) override;
    void setDestination (uint32_t endpoint) override;
    void send (const uint8_t* bytes, size_t count, Delivery delivery) override;
    void finishSending (std::chrono::milliseconds limit) override;
    void start (Receiver& receiver) override;
    void stop() override;

private:
    struct Sequencer;

    std::vector<Port> listPorts (unsigned requiredCapabilities) const;
    void performStep (const OutputPacer::Step& step);
    void connectDestination (uint32_t endpoint);
    void writeMessage (const OutputPacer::Message& message);
    void receiveLoop();
    void drainInput();
    /** Hands a received event's bytes to one of the receiver's two feeds. */
    void passOn (const snd_seq_event& event, void (Receiver::*handler) (const uint8_t*, size_t));

    std::string whyUnavailable;
    std::unique_ptr<Sequencer> sequencer; // everything below uses it
    uint32_t destination = 0;             // pacing thread only, as is the sequencer's output path
    std::atomic<uint32_t> source{0};      // the receive thread passes on bytes from this endpoint only
    std::unique_ptr<PacedSender> pacedOutput;
    Receiver* receiver = nullptr;
    int wakeFd = -1;                        // tells the receive thread to end
    std::atomic<bool> stopReceiving{false}; // read between events: a flood must not keep the thread
    std::thread receiveThread;
};
