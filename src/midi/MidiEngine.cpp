#include "midi/MidiEngine.h"

#include "midi/AlsaMidiPlatform.h"
#include "midi/ChosenDevice.h"
#include "midi/MessageThreadDelivery.h"
#include "midi/MidiPlatform.h"
#include "midi/protocol/ControllerMessages.h"
#include "midi/protocol/JunoMessages.h"
#include "midi/protocol/MidiMessageSplitter.h"
#include "midi/protocol/SysexAssembler.h"

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
        devices.push_back ({displayName (port), port.endpoint, port.loopsBack});
    return devices;
}
} // namespace

/** The platform side of the engine and its receiving half: assembles received
    bytes, recognises the Juno-106 messages and hands them to the message
    thread; follows the chosen devices through changes of the setup. */
class MidiEngineImpl final : private MidiPlatform::Receiver
{
public:
    MidiEngineImpl (MidiEngine& engine, std::unique_ptr<MidiPlatform> midiPlatform)
        : owner (engine), platform (std::move (midiPlatform)),
          assembler ([this] (const uint8_t* message, size_t length) { handleCompleteSysex (message, length); }),
          splitter ([this] (const uint8_t* message, size_t length) { handleAnyMessage (message, length); }),
          controlSplitter ([this] (const uint8_t* message, size_t length) { handleControlMessage (message, length); }),
          delivery ([this] (const DeliveryQueue::Received& message) { deliver (message); },
                    [this] (const std::vector<uint32_t>& removedEndpoints) { followSetup (removedEndpoints); })
    {
        platform->start (*this);
    }

    ~MidiEngineImpl() override { close(); }

    void close()
    {
        if (closed)
            return;
        closed = true;
        // The receive thread uses the assembler and the delivery: it ends first.
        platform->stop();
        delivery.clear();
        if (input.openEndpoint() != 0)
            platform->setSource (0);
        if (controller.openEndpoint() != 0)
            platform->disconnectControlSource (controller.openEndpoint());
        platform->finishSending (MidiEngine::closingTimeLimit);
    }

    void sendBytes (const uint8_t* bytes, size_t count, MidiPlatform::Delivery how)
    {
        if (!closed && output.openEndpoint() != 0)
            platform->send (bytes, count, how);
    }

    void applyInput (ChosenDevice::Change change)
    {
        if (change.has_value())
            platform->setSource (*change);
        owner.inputEndpoint = input.openEndpoint();
        inputLoopsBack = false;
        if (owner.inputEndpoint != 0)
            for (const auto& port : platform->sources())
                if (port.endpoint == owner.inputEndpoint)
                    inputLoopsBack = port.loopsBack;
    }

    void applyOutput (ChosenDevice::Change change)
    {
        if (change.has_value())
            platform->setDestination (*change);
        owner.outputEndpoint = output.openEndpoint();
        outputOpen.store (owner.outputEndpoint != 0);
    }

    void applyController (uint32_t previous, ChosenDevice::Change change)
    {
        if (change.has_value())
        {
            if (previous != 0)
                platform->disconnectControlSource (previous);
            if (*change != 0)
                platform->connectControlSource (*change);
        }
        owner.controllerEndpoint = controller.openEndpoint();
    }

    MidiEngine& owner;
    const std::unique_ptr<MidiPlatform> platform;
    std::atomic<int> channel{0};         // read by the receive thread
    std::atomic<bool> watching{false};   // read by the receive thread
    std::atomic<bool> passThrough{true}; // read by the receive thread
    std::atomic<bool> outputOpen{false}; // read by the receive thread
    /** How the control inputs keep their order: what they play waits for their control changes' translations. */
    struct ControlOrder
    {
        std::atomic<int> onItsWay{0}; // control changes and passing messages handed over and not yet handled
        bool translating = false;     // message thread: a control change's callback runs
    };
    // Shared, so that a control change's callback that ends the engine leaves it behind safely.
    const std::shared_ptr<ControlOrder> controlOrder = std::make_shared<ControlOrder>();
    MidiEngine::MessageWatcher watcher; // message thread only
    ChosenDevice input;
    ChosenDevice output;
    ChosenDevice controller;
    bool closed = false;
    bool inputLoopsBack = false; // the open input is a through port

    MidiEngineImpl (const MidiEngineImpl&) = delete;
    MidiEngineImpl& operator= (const MidiEngineImpl&) = delete;

private:
    void rawBytesReceived (const uint8_t* bytes, size_t count) override
    {
        assembler.processRawBytes (bytes, count);
        if (watching.load (std::memory_order_relaxed))
            splitter.processRawBytes (bytes, count);
    }
    void controlBytesReceived (const uint8_t* bytes, size_t count) override
    {
        controlSplitter.processRawBytes (bytes, count);
    }
    void receivedBytesLost() override
    {
        assembler.discardOpenMessage();
        splitter.discardOpenMessage();
        controlSplitter.discardOpenMessage();
    }
    void setupChanged() override { delivery.addSetupChange (0); }
    void portRemoved (uint32_t endpoint) override { delivery.addSetupChange (endpoint); }

    void handleCompleteSysex (const uint8_t* message, size_t length)
    {
        using Kind = JunoMessages::Recognised::Kind;
        using Received = DeliveryQueue::Received;
        auto received = JunoMessages::recognise (message, length, channel.load (std::memory_order_relaxed));
        switch (received.kind)
        {
            case Kind::patchDump:
                delivery.add ({Received::Kind::patchDump, std::move (received.patch), 0, 0});
                break;
            case Kind::manualDump:
                delivery.add ({Received::Kind::manualDump, std::move (received.patch), 0, 0});
                break;
            case Kind::paramChange:
                delivery.add ({Received::Kind::paramChange, {}, received.paramNumber, received.paramValue});
                break;
            case Kind::none:
                break;
        }
    }

    void handleAnyMessage (const uint8_t* message, size_t length)
    {
        DeliveryQueue::Received received;
        received.kind = DeliveryQueue::Received::Kind::anyMessage;
        received.bytes.assign (message, message + length);
        delivery.add (std::move (received));
    }

    /** On the receive thread: a control change goes over to the message
        thread to be translated; what a keyboard plays goes straight on to the
        synthesizer, so that it is not late, unless a control change before it
        is still on its way: then it follows that one over, so that it never
        overtakes the parameter change made of it. */
    void handleControlMessage (const uint8_t* message, size_t length)
    {
        using Kind = DeliveryQueue::Received::Kind;
        switch (ControllerMessages::route (message, length))
        {
            case ControllerMessages::Route::translate:
            {
                DeliveryQueue::Received received;
                received.kind = Kind::controlChange;
                received.channel = message[0] & 0x0F;
                received.controller = message[1];
                received.controllerValue = message[2];
                sendOver (std::move (received));
                break;
            }
            case ControllerMessages::Route::passThrough:
                if (passThrough.load (std::memory_order_relaxed) && outputOpen.load (std::memory_order_relaxed))
                {
                    const auto moved =
                        ControllerMessages::onChannel (message, channel.load (std::memory_order_relaxed));
                    if (controlOrder->onItsWay.load (std::memory_order_acquire) == 0)
                    {
                        platform->send (moved.data(), moved.size(), MidiPlatform::Delivery::inOrder);
                        break;
                    }
                    DeliveryQueue::Received received;
                    received.kind = Kind::passThrough;
                    received.bytes.assign (moved.begin(), moved.end());
                    sendOver (std::move (received));
                }
                break;
            case ControllerMessages::Route::stop:
                break;
        }
    }

    /** On the receive thread: a message of a control input over to the message thread, counted until handled. */
    void sendOver (DeliveryQueue::Received received)
    {
        controlOrder->onItsWay.fetch_add (1, std::memory_order_relaxed);
        if (!delivery.add (std::move (received)))
            controlOrder->onItsWay.fetch_sub (1, std::memory_order_release);
    }

    /** On the message thread. */
    void deliver (const DeliveryQueue::Received& message)
    {
        using Kind = DeliveryQueue::Received::Kind;
        switch (message.kind)
        {
            case Kind::patchDump:
                if (owner.onPatchReceived)
                    owner.onPatchReceived (message.patch);
                break;
            case Kind::manualDump:
                if (owner.onManualReceived)
                    owner.onManualReceived (message.patch);
                break;
            case Kind::paramChange:
                if (owner.onParamReceived)
                    owner.onParamReceived (message.paramNumber, message.paramValue);
                break;
            case Kind::controlChange:
            {
                // Counted down once its parameter change is sent: the passing messages after it may go then.
                const auto order = controlOrder;
                if (owner.onControlChange)
                {
                    order->translating = true;
                    owner.onControlChange (message.channel, message.controller, message.controllerValue);
                    order->translating = false;
                }
                order->onItsWay.fetch_sub (1, std::memory_order_release);
                break;
            }
            case Kind::passThrough:
                if (passThrough.load (std::memory_order_relaxed))
                    sendBytes (message.bytes.data(), message.bytes.size(), MidiPlatform::Delivery::inOrder);
                controlOrder->onItsWay.fetch_sub (1, std::memory_order_release);
                break;
            case Kind::anyMessage:
                if (watcher)
                    watcher (message.bytes);
                break;
        }
    }

    /** On the message thread: closes what went, reopens what came back, then tells the window. */
    void followSetup (const std::vector<uint32_t>& removedEndpoints)
    {
        if (closed)
            return;
        applyInput (input.follow (owner.getInputDevices(), removedEndpoints));
        applyOutput (output.follow (owner.getOutputDevices(), removedEndpoints));
        const uint32_t controllerWas = controller.openEndpoint();
        applyController (controllerWas, controller.follow (owner.getInputDevices(), removedEndpoints));
        if (owner.onDevicesChanged)
            owner.onDevicesChanged();
    }

    SysexAssembler assembler;            // receive thread only
    MidiMessageSplitter splitter;        // receive thread only, while watching
    MidiMessageSplitter controlSplitter; // receive thread only
    MessageThreadDelivery delivery;      // last: its calls use everything above
};

MidiEngine::MidiEngine() : MidiEngine (std::make_unique<AlsaMidiPlatform>()) {}

MidiEngine::MidiEngine (std::unique_ptr<MidiPlatform> platform)
    : impl (std::make_unique<MidiEngineImpl> (*this, std::move (platform)))
{
}

MidiEngine::~MidiEngine()
{
    close();
    impl.reset();
}

bool MidiEngine::isAvailable() const
{
    return impl->platform->unavailableReason().empty();
}

std::string MidiEngine::unavailableReason() const
{
    return impl->platform->unavailableReason();
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
    if (!impl->closed)
        impl->applyInput (impl->input.open (endpoint, getInputDevices()));
}

void MidiEngine::openOutput (uint32_t endpoint)
{
    if (!impl->closed)
        impl->applyOutput (impl->output.open (endpoint, getOutputDevices()));
}

void MidiEngine::chooseInput (const std::string& name)
{
    if (!impl->closed)
        impl->applyInput (impl->input.choose (name, getInputDevices()));
}

void MidiEngine::chooseOutput (const std::string& name)
{
    if (!impl->closed)
        impl->applyOutput (impl->output.choose (name, getOutputDevices()));
}

void MidiEngine::openController (uint32_t endpoint)
{
    if (impl->closed)
        return;
    const uint32_t previous = impl->controller.openEndpoint();
    impl->applyController (previous, impl->controller.open (endpoint, getInputDevices()));
}

void MidiEngine::chooseController (const std::string& name)
{
    if (impl->closed)
        return;
    const uint32_t previous = impl->controller.openEndpoint();
    impl->applyController (previous, impl->controller.choose (name, getInputDevices()));
}

uint32_t MidiEngine::controlPortEndpoint() const
{
    return impl->platform->controlPortEndpoint();
}

void MidiEngine::setControlPortOpen (bool open)
{
    if (impl->closed)
        return;
    impl->platform->setControlPortOpen (open);
    if (open && impl->controller.openEndpoint() != 0)
        impl->platform->connectControlSource (impl->controller.openEndpoint());
}

void MidiEngine::addControlSource (uint32_t endpoint)
{
    if (!impl->closed && endpoint != 0)
        impl->platform->connectControlSource (endpoint);
}

std::string MidiEngine::chosenControllerName() const
{
    return impl->controller.name();
}

void MidiEngine::setPassThrough (bool on)
{
    impl->passThrough.store (on);
}

bool MidiEngine::passesThrough() const
{
    return impl->passThrough.load();
}

bool MidiEngine::inputIsOutputsLoop() const
{
    return inputEndpoint != 0 && inputEndpoint == outputEndpoint && impl->inputLoopsBack;
}

std::string MidiEngine::chosenInputName() const
{
    return impl->input.name();
}

std::string MidiEngine::chosenOutputName() const
{
    return impl->output.name();
}

void MidiEngine::setMidiChannel (int channel)
{
    impl->channel.store (channel, std::memory_order_relaxed);
    midiChannel = channel;
}

void MidiEngine::watchEveryMessage (MessageWatcher watcher)
{
    const bool on = static_cast<bool> (watcher);
    impl->watcher = std::move (watcher);
    impl->watching.store (on, std::memory_order_relaxed);
}

void MidiEngine::close()
{
    impl->close();
    inputEndpoint = 0;
    outputEndpoint = 0;
    controllerEndpoint = 0;
}
void MidiEngine::sendPatch (const PatchModel& patch, int patchNumber)
{
    const auto dump = JunoMessages::buildPatchDump (patch, impl->channel.load (std::memory_order_relaxed), patchNumber);
    impl->sendBytes (dump.data(), dump.size(), MidiPlatform::Delivery::latestWins);
}

void MidiEngine::sendParameterChange (int paramNumber, int value)
{
    const auto message =
        JunoMessages::buildParamChange (impl->channel.load (std::memory_order_relaxed), paramNumber, value);
    // Made of a control change, it goes before whatever the controllers played after that.
    impl->sendBytes (message.data(),
                     message.size(),
                     impl->controlOrder->translating ? MidiPlatform::Delivery::translatedParameter
                                                     : MidiPlatform::Delivery::latestPerParameter);
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
