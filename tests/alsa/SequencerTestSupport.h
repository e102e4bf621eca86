#pragma once

#include <alsa/asoundlib.h>

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

/** "F0 41 30 ..." as amidi -S takes it. */
std::string spacedHex (const Bytes& bytes);
/** "F04130..." as amidi -d prints it, lines joined. */
std::string compactHex (const Bytes& bytes);
/** Runs a shell command; returns its exit status. */
int runCommand (const std::string& command);

/** A patch dump on channel 0 whose data bytes all differ from those of other seeds. */
Bytes distinctDump (uint8_t command, uint8_t channel, uint8_t patchNumber, int seed);

/** The names of the clients connected to a port: those that take its events
    (readers) or those that send it theirs. */
std::vector<std::string> connectedClients (uint32_t endpoint, bool readers);

/** Another sequencer client with one port, as another program or a plugged-in
    device appears to the engine. */
class OtherClient
{
public:
    OtherClient (const char* clientName, const char* portName);
    ~OtherClient();
    OtherClient (const OtherClient&) = delete;
    OtherClient& operator= (const OtherClient&) = delete;

    uint32_t endpoint() const;
    /** Sends one SYSEX event (a whole message or a piece of one) to our subscribers. */
    void sendSysexEvent (const Bytes& bytes);
    /** Connects our port to a destination and sends there at once, unpaced. */
    void connectTo (uint32_t destination);
    void sendSysexTo (uint32_t destination, const Bytes& bytes);

private:
    snd_seq_t* seq = nullptr;
    int port = -1;
};
