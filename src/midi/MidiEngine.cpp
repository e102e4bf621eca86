#include "midi/MidiEngine.h"

#include "midi/AlsaMidiPlatform.h"
#include "midi/MidiPlatform.h"
#include "midi/protocol/JunoMessages.h"
#include "midi/protocol/SysexAssembler.h"

#include <juce_events/juce_events.h>

#include <atomic>
#include <utility>

namespace
{
/** The device name, one space and the port name; the port name alone when
    there is no device name or both are the same. */
std::string displayName (const MidiPlatform::Port& port)
{
    if (port.deviceName.empty() || port.deviceName == port.portName)
        return port.portName;
    return port.deviceName + " " + port.portName;
}

std::vector<MidiEngine::DeviceInfo> deviceList (const std::vector<MidiPlatform::Port>& ports)
{
    std::vector<MidiEngine::DeviceInfo> devices;
    devices.reserve (ports.size());
    for (const auto& port : ports)
        devices.push_back ({displayName (port), port.endpoint});
    return devices;
}
} // namespace

/** The platform side of the engine and its receiving half: assembles received
    bytes, recognises the Juno-106 messages and posts them to the message thread. */
class MidiEngineImpl final : private MidiPlatform::Receiver
{
public:
    MidiEngineImpl (MidiEngine& engine, std::unique_ptr<MidiPlatform> midiPlatform)
        : owner (engine), platform (std::move (midiPlatform)),
          assembler ([this] (const uint8_t* message, size_t length) { handleCompleteSysex (message, length); }),
          lifeline (std::make_shared<MidiEngine*> (&engine))
    {
        platform->start (*this);
    }

    ~MidiEngineImpl() override
    {
        // The receive thread uses the assembler and the lifeline: it ends first.
        platform->stop();
        if (source != 0)
            platform->setSource (0);
    }

    void sendBytes (const uint8_t* bytes, size_t count, MidiPlatform::Delivery delivery)
    {
        if (destination != 0)
            platform->send (bytes, count, delivery);
    }

    MidiEngine& owner;
    const std::unique_ptr<MidiPlatform> platform;
    uint32_t destination = 0;
    uint32_t source = 0;
    std::atomic<int> channel{0}; // read by the receive thread

    MidiEngineImpl (const MidiEngineImpl&) = delete;
    MidiEngineImpl& operator= (const MidiEngineImpl&) = delete;

private:
    void rawBytesReceived (const uint8_t* bytes, size_t count) override { assembler.processRawBytes (bytes, count); }
    void receivedBytesLost() override { assembler.discardOpenMessage(); }

    void setupChanged() override
    {
        post (
            [] (MidiEngine& engine)
            {
                if (engine.onDevicesChanged)
                    engine.onDevicesChanged();
            });
    }

    void handleCompleteSysex (const uint8_t* message, size_t length)
    {
        using Kind = JunoMessages::Recognised::Kind;
        auto received = JunoMessages::recognise (message, length, channel.load (std::memory_order_relaxed));
        switch (received.kind)
        {
            case Kind::patchDump:
                post (
                    [patch = std::move (received.patch)] (MidiEngine& engine)
                    {
                        if (engine.onPatchReceived)
                            engine.onPatchReceived (patch);
                    });
                break;
            case Kind::manualDump:
                post (
                    [patch = std::move (received.patch)] (MidiEngine& engine)
                    {
                        if (engine.onManualReceived)
                            engine.onManualReceived (patch);
                    });
                break;
            case Kind::paramChange:
                post (
                    [number = received.paramNumber, value = received.paramValue] (MidiEngine& engine)
                    {
                        if (engine.onParamReceived)
                            engine.onParamReceived (number, value);
                    });
                break;
            case Kind::none:
                break;
        }
    }

    /** Runs the delivery on the message thread, unless the engine is gone by then. */
    void post (std::function<void (MidiEngine&)> delivery)
    {
        juce::MessageManager::callAsync (
            [engine = std::weak_ptr<MidiEngine*> (lifeline), delivery = std::move (delivery)]
            {
                if (const auto alive = engine.lock())
                    delivery (**alive);
            });
    }

    SysexAssembler assembler; // receive thread only
    // Expires with the engine; posted calls that run later find it empty.
    std::shared_ptr<MidiEngine*> lifeline;
};

MidiEngine::MidiEngine() : MidiEngine (std::make_unique<AlsaMidiPlatform>()) {}

MidiEngine::MidiEngine (std::unique_ptr<MidiPlatform> platform)
    : impl (std::make_unique<MidiEngineImpl> (*this, std::move (platform)))
{
}

MidiEngine::~MidiEngine()
{
    impl.reset();
}

std::vector<MidiEngine::DeviceInfo> MidiEngine::getInputDevices() const
{
    return deviceList (impl->platform->sources());
}

std::vector<MidiEngine::DeviceInfo> MidiEngine::getOutputDevices() const
{
    return deviceList (impl->platform->destinations());
}

void MidiEngine::openInput (uint32_t endpoint)
{
    // Reopening the open source connects it afresh.
    impl->source = endpoint;
    inputEndpoint = endpoint;
    impl->platform->setSource (endpoint);
}

void MidiEngine::openOutput (uint32_t endpoint)
{
    impl->destination = endpoint;
    outputEndpoint = endpoint;
    impl->platform->setDestination (endpoint);
}

void MidiEngine::setMidiChannel (int channel)
{
    impl->channel.store (channel, std::memory_order_relaxed);
    midiChannel = channel;
}

void MidiEngine::sendPatch (const PatchModel& patch, int patchNumber)
{
    const auto dump = JunoMessages::buildPatchDump (patch, impl->channel.load (std::memory_order_relaxed), patchNumber);
    impl->sendBytes (dump.data(), dump.size(), MidiPlatform::Delivery::latestWins);
}

void MidiEngine::sendNoteOn (int channel, int note, int velocity)
{
    const auto message = JunoMessages::buildNoteOn (channel, note, velocity);
    impl->sendBytes (message.data(), message.size(), MidiPlatform::Delivery::inOrder);
}

void MidiEngine::sendNoteOff (int channel, int note, int velocity)
{
    const auto message = JunoMessages::buildNoteOff (channel, note, velocity);
    impl->sendBytes (message.data(), message.size(), MidiPlatform::Delivery::inOrder);
}

void MidiEngine::sendPitchBend (int channel, int value)
{
    const auto message = JunoMessages::buildPitchBend (channel, value);
    impl->sendBytes (message.data(), message.size(), MidiPlatform::Delivery::inOrder);
}

void MidiEngine::sendCC (int channel, int controller, int value)
{
    const auto message = JunoMessages::buildControlChange (channel, controller, value);
    impl->sendBytes (message.data(), message.size(), MidiPlatform::Delivery::inOrder);
}
