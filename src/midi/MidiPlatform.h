#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/** What the MIDI engine needs of the operating system's MIDI service: port
    lists, one connected source (the synthesizer), a control port that
    controllers connect to, one destination, sending whole messages and a
    feed of received bytes. The engine keeps every rule; a platform only
    carries out these effects. AlsaMidiPlatform is the real one; tests use an
    in-memory one. */
class MidiPlatform
{
public:
    /** One source or destination as the service names it. */
    struct Port
    {
        std::string deviceName; // empty when the port has no device
        std::string portName;
        uint32_t endpoint = 0;  // never 0 for a listed port
        bool loopsBack = false; // a through port: what is sent to it comes straight back out of it
    };

    /** How a message may be handled while it waits for a slow link. */
    enum class Delivery
    {
        inOrder,            // notes, bend, controllers: never dropped, never reordered among themselves
        latestWins,         // a whole-patch dump: replaces a dump and every parameter change still waiting
        latestPerParameter, // a parameter change: replaces a waiting change of the same parameter, in its place
        translatedParameter // as latestPerParameter, made of a control input's control change: nothing that
                            // passes through after it (the controller's notes) leaves before it
    };

    /** Gets what the platform receives. Its calls come from the platform's
        receive thread (setupChanged perhaps from another), never after stop(). */
    class Receiver
    {
    public:
        virtual ~Receiver() = default;
        /** One received chunk of raw MIDI bytes from the connected source, in arrival order. */
        virtual void rawBytesReceived (const uint8_t* bytes, size_t count) = 0;
        /** One chunk of raw MIDI bytes that arrived on the control port, from
            whatever is connected to it, in arrival order; never bytes from the
            connected source (the synthesizer). */
        virtual void controlBytesReceived (const uint8_t* bytes, size_t count) = 0;
        /** Received bytes were lost (an input overflow): an open message cannot be trusted. */
        virtual void receivedBytesLost() = 0;
        /** A source or destination appeared, disappeared or changed. */
        virtual void setupChanged() = 0;
        /** A port went away, and with it any connection to it, even if a port
            of the same endpoint appears again later. setupChanged follows. */
        virtual void portRemoved (uint32_t endpoint) = 0;
    };

    MidiPlatform() = default;
    virtual ~MidiPlatform() = default;
    MidiPlatform (const MidiPlatform&) = delete;
    MidiPlatform& operator= (const MidiPlatform&) = delete;

    /** Empty while the service works; otherwise why there is no MIDI, in a few words for a menu. */
    virtual std::string unavailableReason() const { return {}; }

    virtual std::vector<Port> sources() const = 0;
    virtual std::vector<Port> destinations() const = 0;

    /** Makes the endpoint the only connected source; 0 connects none. */
    virtual void setSource (uint32_t endpoint) = 0;
    /** Where the control port is, for others to connect to (0: nowhere). */
    virtual uint32_t controlPortEndpoint() const { return 0; }
    /** Opens or closes the control port; closing it ends every connection to it. */
    virtual void setControlPortOpen (bool) {}
    /** Connects a source to the control port, which anything else may connect to as well. */
    virtual void connectControlSource (uint32_t endpoint) = 0;
    virtual void disconnectControlSource (uint32_t endpoint) = 0;
    /** Makes the endpoint the destination of every later send; 0 means none.
        Notes and controllers still waiting for the link go to the previous
        destination first; a waiting patch dump may be dropped. */
    virtual void setDestination (uint32_t endpoint) = 0;
    /** Hands one whole message to the destination. Never waits for the link;
        may be called from the receive thread as well as from the engine's. */
    virtual void send (const uint8_t* bytes, size_t count, Delivery delivery) = 0;
    /** Delivers the notes and controllers still waiting for the link, for at
        most `limit`, then disconnects the destination; sends nothing afterwards. */
    virtual void finishSending (std::chrono::milliseconds limit) = 0;

    /** Starts delivering to the receiver, which must outlive stop(). */
    virtual void start (Receiver& receiver) = 0;
    /** Stops delivering; when it returns no receiver call is running or will run. */
    virtual void stop() = 0;
};
