#include "SequencerTestSupport.h"

#include <cstdio>
#include <cstdlib>

namespace
{
std::string hex (const Bytes& bytes, const char* format)
{
    std::string text;
    char byte[4];
    for (const auto b : bytes)
    {
        std::snprintf (byte, sizeof (byte), format, b);
        text += byte;
    }
    return text;
}
} // namespace

std::string spacedHex (const Bytes& bytes)
{
    return hex (bytes, "%02X ");
}

std::string compactHex (const Bytes& bytes)
{
    return hex (bytes, "%02X");
}

int runCommand (const std::string& command)
{
    return std::system (command.c_str());
}

Bytes distinctDump (uint8_t command, uint8_t channel, uint8_t patchNumber, int seed)
{
    Bytes dump{0xF0, 0x41, command, channel, patchNumber};
    // The switches byte (the last) keeps to its defined bits, as in every dump the engine sends.
    for (int i = 0; i < 18; ++i)
        dump.push_back (static_cast<uint8_t> (i < 2 ? (seed >> (7 * i)) & 0x7F : (seed + i) & (i == 17 ? 0x1F : 0x7F)));
    dump.push_back (0xF7);
    return dump;
}

std::vector<std::string> connectedClients (uint32_t endpoint, bool readers)
{
    std::vector<std::string> names;
    snd_seq_t* seq = nullptr;
    if (snd_seq_open (&seq, "default", SND_SEQ_OPEN_DUPLEX, 0) < 0)
        return names;
    snd_seq_query_subscribe_t* query = nullptr;
    snd_seq_client_info_t* info = nullptr;
    snd_seq_query_subscribe_alloca (&query);
    snd_seq_client_info_alloca (&info);
    snd_seq_addr_t root;
    root.client = static_cast<unsigned char> (endpoint >> 8);
    root.port = static_cast<unsigned char> (endpoint & 0xFF);
    snd_seq_query_subscribe_set_root (query, &root);
    snd_seq_query_subscribe_set_type (query, readers ? SND_SEQ_QUERY_SUBS_READ : SND_SEQ_QUERY_SUBS_WRITE);
    snd_seq_query_subscribe_set_index (query, 0);
    while (snd_seq_query_port_subscribers (seq, query) >= 0)
    {
        if (snd_seq_get_any_client_info (seq, snd_seq_query_subscribe_get_addr (query)->client, info) >= 0)
            names.push_back (snd_seq_client_info_get_name (info));
        snd_seq_query_subscribe_set_index (query, snd_seq_query_subscribe_get_index (query) + 1);
    }
    snd_seq_close (seq);
    return names;
}

OtherClient::OtherClient (const char* clientName, const char* portName)
{
    if (snd_seq_open (&seq, "default", SND_SEQ_OPEN_DUPLEX, 0) < 0)
    {
        seq = nullptr;
        return;
    }
    snd_seq_set_client_name (seq, clientName);
    port = snd_seq_create_simple_port (seq,
                                       portName,
                                       SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ | SND_SEQ_PORT_CAP_WRITE |
                                           SND_SEQ_PORT_CAP_SUBS_WRITE,
                                       SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
}

OtherClient::~OtherClient()
{
    if (seq != nullptr)
        snd_seq_close (seq);
}

uint32_t OtherClient::endpoint() const
{
    return seq != nullptr ? (static_cast<uint32_t> (snd_seq_client_id (seq)) << 8) | static_cast<uint32_t> (port) : 0;
}

void OtherClient::sendSysexEvent (const Bytes& bytes)
{
    snd_seq_event_t event;
    snd_seq_ev_clear (&event);
    snd_seq_ev_set_sysex (&event, static_cast<unsigned> (bytes.size()), const_cast<uint8_t*> (bytes.data()));
    snd_seq_ev_set_source (&event, port);
    snd_seq_ev_set_subs (&event);
    snd_seq_ev_set_direct (&event);
    snd_seq_event_output_direct (seq, &event);
}

void OtherClient::connectTo (uint32_t destination)
{
    snd_seq_connect_to (seq, port, static_cast<int> (destination >> 8), static_cast<int> (destination & 0xFF));
}

void OtherClient::sendSysexTo (uint32_t destination, const Bytes& bytes)
{
    snd_seq_event_t event;
    snd_seq_ev_clear (&event);
    snd_seq_ev_set_sysex (&event, static_cast<unsigned> (bytes.size()), const_cast<uint8_t*> (bytes.data()));
    snd_seq_ev_set_source (&event, port);
    snd_seq_ev_set_dest (&event, static_cast<int> (destination >> 8), static_cast<int> (destination & 0xFF));
    snd_seq_ev_set_direct (&event);
    snd_seq_event_output_direct (seq, &event);
}
