#include "plugin/Vst3CompleteSysex.h"

// The SDK's interfaces have no virtual destructors by design (objects are released, not deleted).
JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wnon-virtual-dtor", "-Wshadow")
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstevents.h>

#include <array>
#include <cstring>
#include <utility>

namespace Vst3CompleteSysex
{
namespace
{
    using namespace Steinberg;

    // The SDK's own interface ids, spelled out: the symbols that hold them are
    // in the VST3 wrapper, which the LV2 build of the same code does not have.
    const TUID audioProcessorId = INLINE_UID (0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
    const TUID eventListId = INLINE_UID (0x3A2C4214, 0x346349FE, 0xB2C4F397, 0xB9695A44);
    const TUID unknownId = INLINE_UID (0x00000000, 0x00000000, 0xC0000000, 0x00000046);

    constexpr uint8_t sysexStart = 0xF0;
    constexpr uint8_t sysexEnd = 0xF7;

    /** The marker the plugin puts before its block's events: JUCE writes it
        first (it alone has a sample before the block) and only when the host
        takes the plugin's events, so it stands for "write the staged SysEx now". */
    constexpr uint8_t markerMessage[] = {0xD0, 0x00};
    constexpr int markerSample = -1;

    /** The host's event list, as JUCE's wrapper writes into it: each SysEx
        data event is written again with its F0 and F7 around it, and the
        plugin's own SysEx, staged during the block, goes in at the marker. */
    class CompletingEventList final : public Vst::IEventList
    {
    public:
        void startBlock (Vst::IEventList& hostList)
        {
            host = &hostList;
            used = 0;
            stagedCount = 0;
        }

        tresult PLUGIN_API queryInterface (const TUID iid, void** object) override
        {
            if (FUnknownPrivate::iidEqual (iid, eventListId) || FUnknownPrivate::iidEqual (iid, unknownId))
            {
                *object = this;
                return kResultOk;
            }
            *object = nullptr;
            return kNoInterface;
        }
        // Lives as long as the processor that owns it, for one block at a time.
        uint32 PLUGIN_API addRef() override { return 1; }
        uint32 PLUGIN_API release() override { return 1; }

        int32 PLUGIN_API getEventCount() override { return host->getEventCount(); }
        tresult PLUGIN_API getEvent (int32 index, Vst::Event& event) override { return host->getEvent (index, event); }

        tresult PLUGIN_API addEvent (Vst::Event& event) override
        {
            if (event.sampleOffset == markerSample)
            {
                writeStaged();
                return kResultOk;
            }
            if (event.type != Vst::Event::kDataEvent || event.data.type != Vst::DataEvent::kMidiSysEx ||
                (event.data.size > 0 && event.data.bytes[0] == sysexStart))
                return host->addEvent (event);

            const size_t size = event.data.size;
            if (used + size + 2 > bytes.size())
                return host->addEvent (event); // more SysEx in one block than anyone sends: as JUCE gives it
            uint8* whole = bytes.data() + used;
            whole[0] = sysexStart;
            std::memcpy (whole + 1, event.data.bytes, size);
            whole[size + 1] = sysexEnd;
            used += size + 2;

            Vst::Event completed = event;
            completed.data.bytes = whole;
            completed.data.size = static_cast<uint32> (size + 2);
            return host->addEvent (completed);
        }

        /** A whole message of the plugin's own, kept until JUCE writes the block's events. */
        bool stage (const uint8_t* message, size_t size, int sample)
        {
            if (host == nullptr || used + size > bytes.size() || stagedCount == staged.size())
                return false;
            std::memcpy (bytes.data() + used, message, size);
            staged[stagedCount++] = {used, size, sample};
            used += size;
            return true;
        }
        bool hasStaged() const { return stagedCount > 0; }

        /** Ends the block; true when staged messages were never written (the host disabled the event output). */
        bool endBlock()
        {
            host = nullptr;
            const bool dropped = stagedCount > 0;
            stagedCount = 0;
            return dropped;
        }

    private:
        struct Staged
        {
            size_t offset;
            size_t size;
            int sample;
        };

        void writeStaged()
        {
            for (size_t i = 0; i < stagedCount; ++i)
            {
                Vst::Event event{};
                event.busIndex = 0;
                event.sampleOffset = staged[i].sample;
                event.flags = Vst::Event::kIsLive;
                event.type = Vst::Event::kDataEvent;
                event.data.size = static_cast<uint32> (staged[i].size);
                event.data.type = Vst::DataEvent::kMidiSysEx;
                event.data.bytes = bytes.data() + staged[i].offset;
                host->addEvent (event);
            }
            stagedCount = 0;
        }

        Vst::IEventList* host = nullptr;
        std::array<uint8, 65536> bytes{}; // the block's completed messages, valid until the next block
        size_t used = 0;
        std::array<Staged, 1024> staged{};
        size_t stagedCount = 0;
    };
} // namespace

/** JUCE's audio processor with the host's event list completed in process(). */
class Answer::Processor final : public Vst::IAudioProcessor
{
public:
    explicit Processor (Vst::IAudioProcessor& juceProcessor) : inner (juceProcessor) {}

    tresult PLUGIN_API queryInterface (const TUID iid, void** object) override
    {
        if (FUnknownPrivate::iidEqual (iid, audioProcessorId))
        {
            addRef();
            *object = static_cast<Vst::IAudioProcessor*> (this);
            return kResultOk;
        }
        return inner.queryInterface (iid, object);
    }
    // The component's own count: this lives exactly as long as the component.
    uint32 PLUGIN_API addRef() override { return inner.addRef(); }
    uint32 PLUGIN_API release() override { return inner.release(); }

    tresult PLUGIN_API setBusArrangements (Vst::SpeakerArrangement* inputs,
                                           int32 numIns,
                                           Vst::SpeakerArrangement* outputs,
                                           int32 numOuts) override
    {
        return inner.setBusArrangements (inputs, numIns, outputs, numOuts);
    }
    tresult PLUGIN_API getBusArrangement (Vst::BusDirection direction,
                                          int32 index,
                                          Vst::SpeakerArrangement& arrangement) override
    {
        return inner.getBusArrangement (direction, index, arrangement);
    }
    tresult PLUGIN_API canProcessSampleSize (int32 symbolicSampleSize) override
    {
        return inner.canProcessSampleSize (symbolicSampleSize);
    }
    uint32 PLUGIN_API getLatencySamples() override { return inner.getLatencySamples(); }
    tresult PLUGIN_API setupProcessing (Vst::ProcessSetup& setup) override { return inner.setupProcessing (setup); }
    tresult PLUGIN_API setProcessing (TBool state) override { return inner.setProcessing (state); }
    uint32 PLUGIN_API getTailSamples() override { return inner.getTailSamples(); }

    tresult PLUGIN_API process (Vst::ProcessData& data) override
    {
        Vst::IEventList* hostList = data.outputEvents;
        if (hostList == nullptr)
            return inner.process (data);
        events.startBlock (*hostList);
        data.outputEvents = &events;
        const auto result = inner.process (data);
        data.outputEvents = hostList;
        if (events.endBlock())
            dropped = true;
        return result;
    }

    /** Whether messages were dropped since the last call. */
    bool takeDropped() { return std::exchange (dropped, false); }

    bool stage (const uint8_t* message, size_t size, int sample, bool& first)
    {
        first = !events.hasStaged();
        return events.stage (message, size, sample);
    }

private:
    Vst::IAudioProcessor& inner;
    CompletingEventList events;
    bool dropped = false; // the audio thread's
};

Answer::Answer() = default;
Answer::~Answer() = default;

bool Answer::sysexDropped()
{
    auto* const wrapping = processor.load (std::memory_order_acquire);
    return wrapping != nullptr && wrapping->takeDropped();
}

bool Answer::addSysex (const uint8_t* message, size_t size, int sample, juce::MidiBuffer& midi)
{
    auto* const wrapping = processor.load (std::memory_order_acquire);
    bool first = false;
    if (wrapping == nullptr || !wrapping->stage (message, size, sample, first))
        return false;
    if (first)
        midi.addEvent (markerMessage, static_cast<int> (sizeof (markerMessage)), markerSample);
    return true;
}

int32_t Answer::query (juce::AudioPlayHead* playHead, const char* interfaceId, void** object)
{
    *object = nullptr;
    if (!FUnknownPrivate::iidEqual (interfaceId, audioProcessorId))
        return -1;
    const std::lock_guard<std::mutex> guard (creation);
    if (owned == nullptr)
    {
        // JUCE's VST3 wrapper is the processor's play head and its audio processor at once.
        auto* juceProcessor = dynamic_cast<Vst::IAudioProcessor*> (playHead);
        if (juceProcessor == nullptr)
            return -1;
        owned = std::make_unique<Processor> (*juceProcessor);
        processor.store (owned.get(), std::memory_order_release);
    }
    return owned->queryInterface (interfaceId, object);
}
} // namespace Vst3CompleteSysex

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
