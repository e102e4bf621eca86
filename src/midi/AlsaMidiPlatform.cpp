#include "midi/AlsaMidiPlatform.h"

// alsa/error.h declares snd_lib_error_set_local outside its extern "C" block.
extern "C"
{
#include <alsa/asoundlib.h>
}
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <mutex>

namespace
{
constexpr uint8_t sysexStart = 0xF0;
// A burst of incoming SysEx (a whole bank) overflows the default input pool.
constexpr int inputPoolCells = 2000;
constexpr size_t inputBufferBytes = 65536;

uint32_t endpointOf (int client, int port)
{
    return (static_cast<uint32_t> (client) << 8) | static_cast<uint32_t> (port);
}
int clientOf (uint32_t endpoint)
{
    return static_cast<int> (endpoint >> 8);
}
int portOf (uint32_t endpoint)
{
    return static_cast<int> (endpoint & 0xFF);
}

/** ALSA's errors go nowhere: left alone, the library prints them on stderr
    (a machine without a sequencer would show one at every start). Qorv says
    what matters itself, through unavailableReason(). */
void ignoreAlsaError (const char*, int, const char*, int, const char*, ...) {}
void ignoreLocalAlsaError (const char*, int, const char*, int, const char*, va_list) {}

/** Hands the sound library's error handler back as this code is unloaded:
    left pointing into unloaded code, the next error the library reports
    anywhere in the process would crash it. */
struct ErrorHandlerRelease
{
    ~ErrorHandlerRelease()
    {
        if (snd_lib_error == ignoreAlsaError)
            snd_lib_error_set_handler (previous);
    }
    snd_lib_error_handler_t previous = nullptr;
};

void silenceAlsaErrorsForTheProcess()
{
    // The handler is the whole process's; every sound library user in it is spared the noise.
    static std::once_flag once;
    static ErrorHandlerRelease release;
    std::call_once (once,
                    []
                    {
                        release.previous = snd_lib_error;
                        snd_lib_error_set_handler (ignoreAlsaError);
                    });
}

/** Silences the library's errors on this thread only, while it lives: the
    process's handler (a host's own) stays as it is. */
class ThreadSilence
{
public:
    ThreadSilence() : previous (snd_lib_error_set_local (ignoreLocalAlsaError)) {}
    ~ThreadSilence() { snd_lib_error_set_local (previous); }
    ThreadSilence (const ThreadSilence&) = delete;
    ThreadSilence& operator= (const ThreadSilence&) = delete;

private:
    snd_local_error_handler_t previous;
};

std::string unavailableBecause (int error)
{
    switch (-error)
    {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return "MIDI unavailable: no ALSA sequencer";
        case EACCES:
        case EPERM:
            return "MIDI unavailable: no permission to use the ALSA sequencer";
        default:
            return std::string ("MIDI unavailable: ") + snd_strerror (error);
    }
}

bool isAnnouncement (int eventType)
{
    switch (eventType)
    {
        case SND_SEQ_EVENT_CLIENT_START:
        case SND_SEQ_EVENT_CLIENT_EXIT:
        case SND_SEQ_EVENT_CLIENT_CHANGE:
        case SND_SEQ_EVENT_PORT_START:
        case SND_SEQ_EVENT_PORT_EXIT:
        case SND_SEQ_EVENT_PORT_CHANGE:
            return true;
        default:
            return false;
    }
}
} // namespace

/** The open sequencer handle with our client, ports and event coders. */
struct AlsaMidiPlatform::Sequencer
{
    /** The open sequencer, or nothing with the (negative) error in `error`. */
    static std::unique_ptr<Sequencer> open (const char* name, const char* clientName, bool withControlPort, int& error)
    {
        auto seq = std::make_unique<Sequencer>();
        {
            const ThreadSilence silence;
            error = snd_seq_open (&seq->handle, name, SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK);
        }
        if (error < 0)
        {
            seq->handle = nullptr;
            return nullptr;
        }
        snd_seq_set_client_name (seq->handle, clientName);
        seq->client = snd_seq_client_id (seq->handle);
        seq->inPort = snd_seq_create_simple_port (seq->handle,
                                                  "QorvIn",
                                                  SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                                  SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        seq->outPort = snd_seq_create_simple_port (seq->handle,
                                                   "QorvOut",
                                                   SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                                   SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        seq->controlPort = withControlPort ? seq->createControlPort() : noPort;
        for (const int result : {seq->client, seq->inPort, seq->outPort, withControlPort ? seq->controlPort.load() : 0})
            if (result < 0)
            {
                error = result;
                return nullptr;
            }
        if ((error = snd_midi_event_new (16, &seq->encoder)) < 0 ||
            (error = snd_midi_event_new (16, &seq->decoder)) < 0 ||
            (error = snd_midi_event_new (16, &seq->controlDecoder)) < 0)
            return nullptr;
        // Every decoded message starts with its status byte.
        snd_midi_event_no_status (seq->decoder, 1);
        snd_midi_event_no_status (seq->controlDecoder, 1);

        snd_seq_set_client_pool_input (seq->handle, inputPoolCells);
        snd_seq_set_input_buffer_size (seq->handle, inputBufferBytes);
        // Appearing, vanishing and changing clients and ports are announced here.
        snd_seq_connect_from (seq->handle, seq->inPort, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE);
        return seq;
    }

    int createControlPort()
    {
        return snd_seq_create_simple_port (handle,
                                           "Qorv Control",
                                           SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                           SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    }

    Sequencer() = default;
    ~Sequencer()
    {
        if (encoder != nullptr)
            snd_midi_event_free (encoder);
        if (decoder != nullptr)
            snd_midi_event_free (decoder);
        if (controlDecoder != nullptr)
            snd_midi_event_free (controlDecoder);
        if (handle != nullptr)
            snd_seq_close (handle);
    }
    Sequencer (const Sequencer&) = delete;
    Sequencer& operator= (const Sequencer&) = delete;

    snd_seq_t* handle = nullptr;
    int client = -1;
    int inPort = -1;
    int outPort = -1;
    static constexpr int noPort = -1;
    std::atomic<int> controlPort{noPort};       // noPort while closed; the receive thread reads it
    snd_midi_event_t* encoder = nullptr;        // pacing thread only
    snd_midi_event_t* decoder = nullptr;        // receive thread only
    snd_midi_event_t* controlDecoder = nullptr; // receive thread only
};

AlsaMidiPlatform::AlsaMidiPlatform (const char* sequencerName, const char* clientName)
    : AlsaMidiPlatform (sequencerName, clientName, Setup{})
{
}

AlsaMidiPlatform::AlsaMidiPlatform (const char* sequencerName, const char* clientName, Setup setup)
{
    if (setup.silenceWholeProcess)
        silenceAlsaErrorsForTheProcess();
    int error = 0;
    sequencer = Sequencer::open (sequencerName, clientName, setup.controlPort, error);
    if (sequencer == nullptr)
    {
        whyUnavailable = unavailableBecause (error);
        return;
    }
    pacedOutput = std::make_unique<PacedSender> ([this] (OutputPacer::Step step) { performStep (step); });
}

AlsaMidiPlatform::~AlsaMidiPlatform()
{
    stop();
    pacedOutput.reset(); // its thread writes through the sequencer
}

int AlsaMidiPlatform::clientNumber() const
{
    return sequencer != nullptr ? sequencer->client : -1;
}

uint32_t AlsaMidiPlatform::controlPortEndpoint() const
{
    if (sequencer == nullptr)
        return 0;
    const int port = sequencer->controlPort.load();
    return port >= 0 ? endpointOf (sequencer->client, port) : 0;
}

void AlsaMidiPlatform::setControlPortOpen (bool open)
{
    if (sequencer == nullptr || open == (sequencer->controlPort.load() >= 0))
        return;
    if (open)
    {
        const int port = sequencer->createControlPort();
        sequencer->controlPort.store (port >= 0 ? port : Sequencer::noPort);
    }
    else
    {
        // Deleting the port ends every subscription to it; what it already received is dropped.
        const int port = sequencer->controlPort.exchange (Sequencer::noPort);
        snd_seq_delete_simple_port (sequencer->handle, port);
    }
}

std::vector<MidiPlatform::Port> AlsaMidiPlatform::sources() const
{
    return listPorts (SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ);
}

std::vector<MidiPlatform::Port> AlsaMidiPlatform::destinations() const
{
    return listPorts (SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE);
}

std::vector<MidiPlatform::Port> AlsaMidiPlatform::listPorts (unsigned requiredCapabilities) const
{
    std::vector<Port> ports;
    if (sequencer == nullptr)
        return ports;

    snd_seq_client_info_t* clientInfo = nullptr;
    snd_seq_port_info_t* portInfo = nullptr;
    snd_seq_client_info_alloca (&clientInfo);
    snd_seq_port_info_alloca (&portInfo);
    snd_seq_client_info_set_client (clientInfo, -1);
    while (snd_seq_query_next_client (sequencer->handle, clientInfo) >= 0)
    {
        const int client = snd_seq_client_info_get_client (clientInfo);
        if (client == SND_SEQ_CLIENT_SYSTEM || client == sequencer->client)
            continue;
        // A kernel client with no sound card behind it is the sequencer's own through port.
        const bool cardless = snd_seq_client_info_get_type (clientInfo) == SND_SEQ_KERNEL_CLIENT &&
                              snd_seq_client_info_get_card (clientInfo) < 0;
        snd_seq_port_info_set_client (portInfo, client);
        snd_seq_port_info_set_port (portInfo, -1);
        while (snd_seq_query_next_port (sequencer->handle, portInfo) >= 0)
        {
            const unsigned caps = snd_seq_port_info_get_capability (portInfo);
            if ((caps & SND_SEQ_PORT_CAP_NO_EXPORT) != 0 || (caps & requiredCapabilities) != requiredCapabilities)
                continue;
            const unsigned bothWays = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_WRITE;
            ports.push_back ({snd_seq_client_info_get_name (clientInfo),
                              snd_seq_port_info_get_name (portInfo),
                              endpointOf (client, snd_seq_port_info_get_port (portInfo)),
                              cardless && (caps & bothWays) == bothWays});
        }
    }
    return ports;
}

void AlsaMidiPlatform::setSource (uint32_t endpoint)
{
    if (sequencer == nullptr)
        return;
    const uint32_t previous = source.exchange (endpoint);
    if (previous != 0)
        snd_seq_disconnect_from (sequencer->handle, sequencer->inPort, clientOf (previous), portOf (previous));
    if (endpoint != 0)
        snd_seq_connect_from (sequencer->handle, sequencer->inPort, clientOf (endpoint), portOf (endpoint));
}

void AlsaMidiPlatform::connectControlSource (uint32_t endpoint)
{
    if (sequencer != nullptr && endpoint != 0 && sequencer->controlPort.load() >= 0)
        snd_seq_connect_from (sequencer->handle, sequencer->controlPort.load(), clientOf (endpoint), portOf (endpoint));
}

void AlsaMidiPlatform::disconnectControlSource (uint32_t endpoint)
{
    if (sequencer != nullptr && endpoint != 0 && sequencer->controlPort.load() >= 0)
        snd_seq_disconnect_from (
            sequencer->handle, sequencer->controlPort.load(), clientOf (endpoint), portOf (endpoint));
}

void AlsaMidiPlatform::setDestination (uint32_t endpoint)
{
    if (sequencer != nullptr)
        pacedOutput->switchDestination (endpoint);
}

void AlsaMidiPlatform::send (const uint8_t* bytes, size_t count, Delivery delivery)
{
    if (sequencer == nullptr || count == 0)
        return;
    pacedOutput->submit (OutputPacer::Message (bytes, bytes + count), delivery);
}

void AlsaMidiPlatform::finishSending (std::chrono::milliseconds limit)
{
    if (sequencer == nullptr)
        return;
    pacedOutput->switchDestination (0);
    pacedOutput->finish (limit);
}

void AlsaMidiPlatform::performStep (const OutputPacer::Step& step)
{
    if (step.isSwitch())
        connectDestination (*step.newDestination);
    else
        writeMessage (step.message);
}

void AlsaMidiPlatform::connectDestination (uint32_t endpoint)
{
    if (destination != 0)
        snd_seq_disconnect_to (sequencer->handle, sequencer->outPort, clientOf (destination), portOf (destination));
    destination = endpoint;
    // A kernel MIDI port passes events on to its device only while it is subscribed to.
    if (endpoint != 0)
        snd_seq_connect_to (sequencer->handle, sequencer->outPort, clientOf (endpoint), portOf (endpoint));
}

void AlsaMidiPlatform::writeMessage (const OutputPacer::Message& message)
{
    if (destination == 0)
        return;

    snd_seq_event_t event;
    snd_seq_ev_clear (&event);
    if (message.front() == sysexStart)
    {
        snd_seq_ev_set_sysex (&event, static_cast<unsigned> (message.size()), const_cast<uint8_t*> (message.data()));
    }
    else
    {
        snd_midi_event_reset_encode (sequencer->encoder);
        if (snd_midi_event_encode (sequencer->encoder, message.data(), static_cast<long> (message.size()), &event) <=
                0 ||
            event.type == SND_SEQ_EVENT_NONE)
            return;
    }
    snd_seq_ev_set_source (&event, sequencer->outPort);
    snd_seq_ev_set_dest (&event, clientOf (destination), portOf (destination));
    snd_seq_ev_set_direct (&event);
    snd_seq_event_output_direct (sequencer->handle, &event);
}

void AlsaMidiPlatform::start (Receiver& newReceiver)
{
    stop();
    receiver = &newReceiver;
    if (sequencer == nullptr)
        return;
    stopReceiving = false;
    wakeFd = eventfd (0, EFD_CLOEXEC);
    if (wakeFd >= 0)
        receiveThread = std::thread ([this] { receiveLoop(); });
}

void AlsaMidiPlatform::stop()
{
    if (receiveThread.joinable())
    {
        stopReceiving = true;
        const uint64_t one = 1;
        [[maybe_unused]] const auto written = write (wakeFd, &one, sizeof (one));
        receiveThread.join();
    }
    if (wakeFd >= 0)
        close (wakeFd);
    wakeFd = -1;
    receiver = nullptr;
}

void AlsaMidiPlatform::receiveLoop()
{
    const int count = snd_seq_poll_descriptors_count (sequencer->handle, POLLIN);
    std::vector<pollfd> descriptors (static_cast<size_t> (count) + 1);
    descriptors[0] = {wakeFd, POLLIN, 0};
    snd_seq_poll_descriptors (sequencer->handle, descriptors.data() + 1, static_cast<unsigned> (count), POLLIN);

    while (!stopReceiving)
    {
        drainInput();
        if (poll (descriptors.data(), descriptors.size(), -1) < 0 && errno != EINTR)
            return;
        if ((descriptors[0].revents & POLLIN) != 0)
            return;
    }
}

void AlsaMidiPlatform::drainInput()
{
    while (!stopReceiving.load (std::memory_order_relaxed))
    {
        snd_seq_event_t* event = nullptr;
        const int result = snd_seq_event_input (sequencer->handle, &event);
        if (result == -ENOSPC)
        {
            // The input overflowed: events are lost, perhaps part of a message or an announcement.
            receiver->receivedBytesLost();
            receiver->setupChanged();
            continue;
        }
        if (result < 0 || event == nullptr)
            return; // -EAGAIN: nothing more for now

        if (isAnnouncement (event->type))
        {
            const auto& subject = event->data.addr;
            if (event->source.client != SND_SEQ_CLIENT_SYSTEM || subject.client == sequencer->client)
                continue;
            if (event->type == SND_SEQ_EVENT_PORT_EXIT)
                receiver->portRemoved (endpointOf (subject.client, subject.port));
            receiver->setupChanged();
            continue;
        }
        const bool fromSynthesizer = endpointOf (event->source.client, event->source.port) == source.load();
        if (event->dest.port == sequencer->controlPort.load (std::memory_order_relaxed))
        {
            // Whoever connected, but never the synthesizer: its own messages must not come back to it.
            if (!fromSynthesizer)
                passOn (*event, &Receiver::controlBytesReceived);
            continue;
        }
        if (!fromSynthesizer)
            continue; // a disconnected source's last events, or a connection made by someone else
        passOn (*event, &Receiver::rawBytesReceived);
    }
}

void AlsaMidiPlatform::passOn (const snd_seq_event_t& event, void (Receiver::*handler) (const uint8_t*, size_t))
{
    if (event.type == SND_SEQ_EVENT_SYSEX)
    {
        (receiver->*handler) (static_cast<const uint8_t*> (event.data.ext.ptr), event.data.ext.len);
        return;
    }
    uint8_t bytes[16];
    // Each port's events are decoded on their own: a control port's running status is not the synthesizer's.
    snd_midi_event_t* decoder = event.dest.port == sequencer->controlPort.load (std::memory_order_relaxed)
                                    ? sequencer->controlDecoder
                                    : sequencer->decoder;
    const long length = snd_midi_event_decode (decoder, bytes, sizeof (bytes), &event);
    if (length > 0)
        (receiver->*handler) (bytes, static_cast<size_t> (length));
}
