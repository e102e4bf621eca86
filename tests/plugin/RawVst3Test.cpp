// Qorv.vst3 in a bare VST3 host written on the SDK's interfaces alone, as a
// DAW hosts it: the plugin's output event list is read here, byte for byte,
// with nothing of JUCE's hosting between (JUCE's own host puts an F0 and an F7
// around every SysEx data event, which hosts such as Ardour or Reaper do not).

#include "files/PluginState.h"

#include <gtest/gtest.h>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#pragma GCC diagnostic ignored "-Wshadow"
#include <pluginterfaces/base/ibstream.h>
#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstcomponent.h>
#include <pluginterfaces/vst/ivsteditcontroller.h>
#include <pluginterfaces/vst/ivstevents.h>
#include <pluginterfaces/vst/ivstmessage.h>
#include <pluginterfaces/vst/ivstparameterchanges.h>

#include <chrono>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <thread>
#include <vector>

namespace
{
using namespace Steinberg;
using Bytes = std::vector<uint8_t>;

// The interface ids, spelled out: their symbols live in the SDK's sources, which this host does not build.
const TUID componentId = INLINE_UID (0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
const TUID audioProcessorId = INLINE_UID (0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
const TUID editControllerId = INLINE_UID (0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
const TUID streamId = INLINE_UID (0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
const TUID eventListId = INLINE_UID (0x3A2C4214, 0x346349FE, 0xB2C4F397, 0xB9695A44);
const TUID parameterChangesId = INLINE_UID (0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
const TUID valueQueueId = INLINE_UID (0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
const TUID connectionPointId = INLINE_UID (0x70A4156F, 0x6E6E4026, 0x989148BF, 0xAA60D8D1);

/** What each object here needs to be one: this host owns them all, so counting is moot. */
#define QORV_UNKNOWN_OF(Interface, interfaceId)                                                                        \
    tresult PLUGIN_API queryInterface (const TUID iid, void** object) override                                         \
    {                                                                                                                  \
        *object = FUnknownPrivate::iidEqual (iid, interfaceId) ? static_cast<Interface*> (this) : nullptr;             \
        return *object != nullptr ? kResultOk : kNoInterface;                                                          \
    }                                                                                                                  \
    uint32 PLUGIN_API addRef() override                                                                                \
    {                                                                                                                  \
        return 1;                                                                                                      \
    }                                                                                                                  \
    uint32 PLUGIN_API release() override                                                                               \
    {                                                                                                                  \
        return 1;                                                                                                      \
    }

/** A state's bytes, to read from or write into. */
class MemoryStream final : public IBStream
{
public:
    QORV_UNKNOWN_OF (IBStream, streamId)
    explicit MemoryStream (Bytes initial = {}) : bytes (std::move (initial)) {}

    tresult PLUGIN_API read (void* buffer, int32 count, int32* done) override
    {
        const auto n = std::min<size_t> (static_cast<size_t> (count), bytes.size() - position);
        std::memcpy (buffer, bytes.data() + position, n);
        position += n;
        if (done != nullptr)
            *done = static_cast<int32> (n);
        return kResultOk;
    }
    tresult PLUGIN_API write (void* buffer, int32 count, int32* done) override
    {
        const auto* in = static_cast<const uint8_t*> (buffer);
        bytes.resize (std::max (bytes.size(), position + static_cast<size_t> (count)));
        std::memcpy (bytes.data() + position, in, static_cast<size_t> (count));
        position += static_cast<size_t> (count);
        if (done != nullptr)
            *done = count;
        return kResultOk;
    }
    tresult PLUGIN_API seek (int64 to, int32 mode, int64* result) override
    {
        const int64 base = mode == kIBSeekSet   ? 0
                           : mode == kIBSeekCur ? static_cast<int64> (position)
                                                : static_cast<int64> (bytes.size());
        position = static_cast<size_t> (std::clamp<int64> (base + to, 0, static_cast<int64> (bytes.size())));
        if (result != nullptr)
            *result = static_cast<int64> (position);
        return kResultOk;
    }
    tresult PLUGIN_API tell (int64* where) override
    {
        *where = static_cast<int64> (position);
        return kResultOk;
    }

    Bytes bytes;
    size_t position = 0;
};

/** One parameter's change at the start of the block. */
class OneChange final : public Vst::IParamValueQueue, public Vst::IParameterChanges
{
public:
    tresult PLUGIN_API queryInterface (const TUID iid, void** object) override
    {
        *object = nullptr;
        if (FUnknownPrivate::iidEqual (iid, valueQueueId))
            *object = static_cast<Vst::IParamValueQueue*> (this);
        else if (FUnknownPrivate::iidEqual (iid, parameterChangesId))
            *object = static_cast<Vst::IParameterChanges*> (this);
        return *object != nullptr ? kResultOk : kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }

    // IParameterChanges
    int32 PLUGIN_API getParameterCount() override { return active ? 1 : 0; }
    Vst::IParamValueQueue* PLUGIN_API getParameterData (int32 index) override
    {
        return index == 0 && active ? this : nullptr;
    }
    Vst::IParamValueQueue* PLUGIN_API addParameterData (const Vst::ParamID&, int32&) override { return nullptr; }

    // IParamValueQueue
    Vst::ParamID PLUGIN_API getParameterId() override { return id; }
    int32 PLUGIN_API getPointCount() override { return 1; }
    tresult PLUGIN_API getPoint (int32, int32& sampleOffset, Vst::ParamValue& point) override
    {
        sampleOffset = 0;
        point = value;
        return kResultOk;
    }
    tresult PLUGIN_API addPoint (int32, Vst::ParamValue, int32&) override { return kResultFalse; }

    bool active = false;
    Vst::ParamID id = 0;
    Vst::ParamValue value = 0.0;
};

/** The plugin's output events, kept with their bytes. */
class EventCollector final : public Vst::IEventList
{
public:
    QORV_UNKNOWN_OF (Vst::IEventList, eventListId)
    int32 PLUGIN_API getEventCount() override { return static_cast<int32> (sysex.size()); }
    tresult PLUGIN_API getEvent (int32, Vst::Event&) override { return kResultFalse; }
    tresult PLUGIN_API addEvent (Vst::Event& event) override
    {
        ++count;
        if (event.type == Vst::Event::kDataEvent && event.data.type == Vst::DataEvent::kMidiSysEx)
            sysex.emplace_back (event.data.bytes, event.data.bytes + event.data.size);
        return kResultOk;
    }
    std::vector<Bytes> sysex;
    int count = 0; // every event, SysEx or not
};

std::string utf8Of (const Vst::String128 text)
{
    std::string result;
    for (int i = 0; i < 128 && text[i] != 0; ++i)
        result += static_cast<char> (text[i] < 128 ? text[i] : '?');
    return result;
}

template <typename Interface> Interface* create (IPluginFactory& factory, const TUID cid, const TUID iid)
{
    void* object = nullptr;
    return factory.createInstance (cid, iid, &object) == kResultOk ? static_cast<Interface*> (object) : nullptr;
}
} // namespace

TEST (RawVst3, TheOutputEventListGetsEachAutomatedParameterChangeWholeFromF0ToF7AndNothingWhileItsBusIsOff)
{
    const std::string binary = std::string (QORV_VST3_BUNDLE) + "/Contents/x86_64-linux/Qorv.so";
    void* library = dlopen (binary.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE (library, nullptr) << dlerror();
    auto moduleEntry = reinterpret_cast<bool (*) (void*)> (dlsym (library, "ModuleEntry"));
    auto getFactory = reinterpret_cast<IPluginFactory* (*)()> (dlsym (library, "GetPluginFactory"));
    ASSERT_TRUE (moduleEntry != nullptr && getFactory != nullptr);
    ASSERT_TRUE (moduleEntry (library));
    IPluginFactory* factory = getFactory();
    ASSERT_NE (factory, nullptr);

    TUID componentClass{};
    for (int32 i = 0; i < factory->countClasses(); ++i)
    {
        PClassInfo info{};
        factory->getClassInfo (i, &info);
        if (std::string (info.category) == kVstAudioEffectClass)
            std::memcpy (componentClass, info.cid, sizeof (TUID));
    }
    auto* component = create<Vst::IComponent> (*factory, componentClass, componentId);
    ASSERT_NE (component, nullptr);
    ASSERT_EQ (component->initialize (nullptr), kResultOk);

    // The parameter a DAW would automate, found by its title in the edit controller.
    TUID controllerClass{};
    ASSERT_EQ (component->getControllerClassId (controllerClass), kResultOk);
    auto* controller = create<Vst::IEditController> (*factory, controllerClass, editControllerId);
    ASSERT_NE (controller, nullptr);
    ASSERT_EQ (controller->initialize (nullptr), kResultOk);
    // As a DAW does: the two halves learn of each other.
    void* componentPoint = nullptr;
    void* controllerPoint = nullptr;
    ASSERT_EQ (component->queryInterface (connectionPointId, &componentPoint), kResultOk);
    ASSERT_EQ (controller->queryInterface (connectionPointId, &controllerPoint), kResultOk);
    static_cast<Vst::IConnectionPoint*> (componentPoint)
        ->connect (static_cast<Vst::IConnectionPoint*> (controllerPoint));
    static_cast<Vst::IConnectionPoint*> (controllerPoint)
        ->connect (static_cast<Vst::IConnectionPoint*> (componentPoint));
    Vst::ParamID vcfFreq = 0;
    bool found = false;
    for (int32 i = 0; i < controller->getParameterCount(); ++i)
    {
        Vst::ParameterInfo info{};
        controller->getParameterInfo (i, info);
        if (utf8Of (info.title) == "VCF Freq")
        {
            vcfFreq = info.id;
            found = true;
        }
    }
    ASSERT_TRUE (found) << controller->getParameterCount() << " parameters, none named VCF Freq";

    // A project whose Qorv sends through the host, on channel 3.
    PluginState state;
    state.way = PluginState::Way::throughHost;
    state.channel = 2;
    MemoryStream stateStream (state.toBytes());
    ASSERT_EQ (component->setState (&stateStream), kResultOk);
    std::this_thread::sleep_for (std::chrono::milliseconds (300)); // the plugin applies it on its message thread

    void* processorObject = nullptr;
    ASSERT_EQ (component->queryInterface (audioProcessorId, &processorObject), kResultOk);
    auto* processor = static_cast<Vst::IAudioProcessor*> (processorObject);
    Vst::ProcessSetup setup{Vst::kRealtime, Vst::kSample32, 64, 48000.0};
    ASSERT_EQ (processor->setupProcessing (setup), kResultOk);
    component->activateBus (Vst::kAudio, Vst::kOutput, 0, true);
    component->activateBus (Vst::kEvent, Vst::kInput, 0, true);
    component->activateBus (Vst::kEvent, Vst::kOutput, 0, true);
    ASSERT_EQ (component->setActive (true), kResultOk);
    processor->setProcessing (true);

    std::vector<float> left (64), right (64);
    float* channels[] = {left.data(), right.data()};
    Vst::AudioBusBuffers output{};
    output.numChannels = 2;
    output.channelBuffers32 = channels;
    OneChange change;
    EventCollector events;
    const auto runBlock = [&]
    {
        Vst::ProcessData data{};
        data.processMode = Vst::kRealtime;
        data.symbolicSampleSize = Vst::kSample32;
        data.numSamples = 64;
        data.numOutputs = 1;
        data.outputs = &output;
        data.inputParameterChanges = &change;
        data.outputEvents = &events;
        return processor->process (data);
    };

    ASSERT_EQ (runBlock(), kResultOk);
    EXPECT_TRUE (events.sysex.empty()) << "nothing before a move";
    change.active = true;
    change.id = vcfFreq;
    change.value = 64.0 / 127.0;
    ASSERT_EQ (runBlock(), kResultOk);
    EXPECT_EQ (events.sysex, (std::vector<Bytes>{{0xF0, 0x41, 0x32, 0x02, 0x05, 0x40, 0xF7}}));

    // The host turns the plugin's event output off: nothing goes there, not even a marker of ours.
    const auto setEventOutput = [&] (bool on)
    {
        processor->setProcessing (false);
        component->setActive (false);
        component->activateBus (Vst::kEvent, Vst::kOutput, 0, on);
        component->setActive (true);
        processor->setProcessing (true);
    };
    setEventOutput (false);
    events = {};
    change.value = 100.0 / 127.0;
    for (int block = 0; block < 40; ++block)
        ASSERT_EQ (runBlock(), kResultOk);
    EXPECT_EQ (events.count, 0);

    // On again: what was lost comes whole, with the move made meanwhile.
    setEventOutput (true);
    change.active = false;
    for (int block = 0; block < 40 && events.sysex.empty(); ++block)
        ASSERT_EQ (runBlock(), kResultOk);
    ASSERT_EQ (events.sysex.size(), 1u);
    const auto& dump = events.sysex[0];
    ASSERT_EQ (dump.size(), 24u);
    EXPECT_EQ (dump[2], 0x30) << "a patch dump";
    EXPECT_EQ (dump[5 + 5], 100) << "VCF Freq as the host last moved it";

    processor->setProcessing (false);
    component->setActive (false);
    static_cast<Vst::IConnectionPoint*> (componentPoint)
        ->disconnect (static_cast<Vst::IConnectionPoint*> (controllerPoint));
    static_cast<Vst::IConnectionPoint*> (controllerPoint)
        ->disconnect (static_cast<Vst::IConnectionPoint*> (componentPoint));
    static_cast<Vst::IConnectionPoint*> (componentPoint)->release();
    static_cast<Vst::IConnectionPoint*> (controllerPoint)->release();
    processor->release();
    controller->terminate();
    controller->release();
    component->terminate();
    component->release();
    factory->release();
    auto moduleExit = reinterpret_cast<bool (*)()> (dlsym (library, "ModuleExit"));
    if (moduleExit != nullptr)
        moduleExit();
    dlclose (library);
}

#pragma GCC diagnostic pop
