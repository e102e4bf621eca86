#include "midi/MidiEngine.h"
#include "CapturedStderr.h"
#include "MemoryMidiPlatform.h"
#include "MessageLoop.h"
#include "midi/AlsaMidiPlatform.h"
#include "midi/DeliveryQueue.h"
#include "midi/OutputPacer.h"
#include "midi/protocol/JunoMessages.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;
using Delivery = MidiPlatform::Delivery;

Bytes dumpBytes (uint8_t command, uint8_t channel, uint8_t patchNumber, uint8_t firstValue = 1)
{
    Bytes bytes{0xF0, 0x41, command, channel, patchNumber};
    for (uint8_t i = 0; i < 18; ++i)
        bytes.push_back (static_cast<uint8_t> ((firstValue + i) & 0x7F));
    bytes.push_back (0xF7);
    return bytes;
}

Bytes paramBytes (uint8_t channel, uint8_t number, uint8_t value)
{
    return {0xF0, 0x41, 0x32, channel, number, value, 0xF7};
}

std::array<uint8_t, 18> patchData (uint8_t firstValue)
{
    std::array<uint8_t, 18> data{};
    for (uint8_t i = 0; i < 18; ++i)
        data[i] = static_cast<uint8_t> ((firstValue + i) & 0x7F);
    return data;
}

/** An engine over the in-memory MIDI layer that writes down, in order, every
    delivery with the thread it ran on. */
class EngineTest : public testing::Test
{
protected:
    EngineTest()
    {
        engine.onPatchReceived = [this] (const PatchModel& p) { record ("patch " + p.name, p); };
        engine.onManualReceived = [this] (const PatchModel& p) { record ("manual " + p.name, p); };
        engine.onParamReceived = [this] (int number, int value)
        { record ("param " + std::to_string (number) + " " + std::to_string (value), {}); };
        engine.onDevicesChanged = [this] { record ("devices", {}); };
        engine.openInput (0x1000);
        engine.openOutput (0x1100);
    }

    void record (const std::string& what, const PatchModel& patch)
    {
        deliveries.push_back (what);
        patches.push_back (patch);
        allOnMessageThread = allOnMessageThread && juce::MessageManager::existsAndIsCurrentThread();
    }

    /** Injects each chunk and returns what reached the callbacks. */
    std::vector<std::string> receive (const std::vector<Bytes>& chunks)
    {
        deliveries.clear();
        patches.clear();
        for (const auto& chunk : chunks)
            EXPECT_TRUE (platform->inject (chunk));
        EXPECT_TRUE (runPostedMessages());
        return deliveries;
    }

    std::unique_ptr<MemoryMidiPlatform> owned = std::make_unique<MemoryMidiPlatform>();
    MemoryMidiPlatform* platform = owned.get();
    MidiEngine engine{std::move (owned)};
    std::vector<std::string> deliveries;
    std::vector<PatchModel> patches;
    bool allOnMessageThread = true;
};

TEST_F (EngineTest, ListsDevicesByTheDisplayNameRuleInPlatformOrder)
{
    platform->inputs = {
        {"Synth", "Port A", 0x1000}, {"Same", "Same", 0x1100}, {"", "Virtual", 0x1200}, {"Synth", "Port A", 0x1300}};
    platform->outputs = {{"Virtual Raw MIDI 0-0", "VirMIDI 0-0", 0x1000}};

    const auto inputs = engine.getInputDevices();
    ASSERT_EQ (inputs.size(), 4u);
    const std::vector<std::pair<std::string, uint32_t>> expected = {
        {"Synth Port A", 0x1000}, {"Same", 0x1100}, {"Virtual", 0x1200}, {"Synth Port A", 0x1300}};
    for (size_t i = 0; i < inputs.size(); ++i)
    {
        EXPECT_EQ (inputs[i].name, expected[i].first);
        EXPECT_EQ (inputs[i].endpoint, expected[i].second);
    }
    const auto outputs = engine.getOutputDevices();
    ASSERT_EQ (outputs.size(), 1u);
    EXPECT_EQ (outputs[0].name, "Virtual Raw MIDI 0-0 VirMIDI 0-0");
}

TEST_F (EngineTest, OpeningAPortReplacesThePreviousOne)
{
    engine.openInput (0x1300);
    EXPECT_EQ (platform->source, 0x1300u);
    EXPECT_EQ (engine.inputEndpoint, 0x1300u);
    engine.openOutput (0x1400);
    EXPECT_EQ (platform->destination, 0x1400u);
    EXPECT_EQ (engine.outputEndpoint, 0x1400u);

    engine.openInput (0);
    engine.openOutput (0);
    EXPECT_EQ (platform->source, 0u);
    EXPECT_EQ (engine.inputEndpoint, 0u);
    EXPECT_EQ (platform->destination, 0u);
    EXPECT_EQ (engine.outputEndpoint, 0u);
    EXPECT_FALSE (platform->inject (dumpBytes (0x30, 0, 0))); // nothing arrives with no source
}

TEST_F (EngineTest, SendsEachMessageOnceInOrderWithItsDelivery)
{
    PatchModel init;
    engine.sendPatch (init, 0);
    engine.sendNoteOn (0, 60, 60);
    engine.sendPitchBend (0, 64);
    engine.sendCC (0, 1, 127);
    engine.sendNoteOff (0, 60, 60);

    const std::vector<Bytes> expected = {{0xF0, 0x41, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x7F, 0x00,
                                          0x00, 0x00, 0x00, 0x7F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2A, 0x19, 0xF7},
                                         {0x90, 60, 60},
                                         {0xE0, 0x00, 0x40},
                                         {0xB0, 1, 127},
                                         {0x80, 60, 60}};
    EXPECT_EQ (platform->sent, expected);
    const std::vector<Delivery> expectedDelivery = {
        Delivery::latestWins, Delivery::inOrder, Delivery::inOrder, Delivery::inOrder, Delivery::inOrder};
    EXPECT_EQ (platform->sentDelivery, expectedDelivery);
}

TEST_F (EngineTest, PatchDumpsCarryTheEngineChannelAndChannelMessagesTheirOwn)
{
    engine.setMidiChannel (3);
    EXPECT_EQ (engine.midiChannel, 3);
    engine.sendPatch (PatchModel(), 0);
    engine.sendNoteOn (0, 60, 60);
    ASSERT_EQ (platform->sent.size(), 2u);
    EXPECT_EQ (platform->sent[0][3], 3);
    EXPECT_EQ (platform->sent[1][0], 0x90);
}

TEST_F (EngineTest, SendsNothingWhileTheOutputIsClosed)
{
    engine.openOutput (0);
    engine.sendPatch (PatchModel(), 0);
    engine.sendNoteOn (0, 60, 60);
    engine.sendNoteOff (0, 60, 60);
    engine.sendPitchBend (0, 64);
    engine.sendCC (0, 1, 0);
    EXPECT_TRUE (platform->sent.empty());

    engine.openOutput (0x1100);
    engine.sendCC (0, 1, 0);
    EXPECT_EQ (platform->sent.size(), 1u);
}

TEST_F (EngineTest, DeliversTheThreeMessagesInArrivalOrderOnTheMessageThread)
{
    const auto received = receive ({dumpBytes (0x30, 0, 0x0A, 5), paramBytes (0, 5, 64), dumpBytes (0x31, 0, 0x33, 9)});
    EXPECT_EQ (received, (std::vector<std::string>{"patch A23", "param 5 64", "manual "}));
    EXPECT_EQ (patches[0].data, patchData (5));
    EXPECT_EQ (patches[2].data, patchData (9));
    EXPECT_TRUE (allOnMessageThread);
}

TEST_F (EngineTest, NamesReceivedDumpsFromTheirPatchNumber)
{
    const std::vector<std::pair<uint8_t, std::string>> names = {{0x00, "patch A11"},
                                                                {0x07, "patch A18"},
                                                                {0x08, "patch A21"},
                                                                {0x3F, "patch A88"},
                                                                {0x40, "patch B11"},
                                                                {0x7F, "patch B88"}};
    for (const auto& [number, name] : names)
        EXPECT_EQ (receive ({dumpBytes (0x30, 0, number)}), std::vector<std::string>{name});
}

TEST_F (EngineTest, ReceivesOnlyTheEngineChannel)
{
    engine.setMidiChannel (2);
    EXPECT_EQ (receive ({dumpBytes (0x30, 2, 0), dumpBytes (0x30, 0, 1), paramBytes (0, 1, 1), paramBytes (2, 1, 2)}),
               (std::vector<std::string>{"patch A11", "param 1 2"}));
}

TEST_F (EngineTest, IgnoresWhatIsNotAJunoMessage)
{
    const Bytes shortParam = {0xF0, 0x41, 0x32, 0x00, 0x05, 0xF7};
    const Bytes otherCommand = {0xF0, 0x41, 0x35, 0x00, 0x05, 0x40, 0xF7};
    const Bytes otherMaker = {0xF0, 0x43, 0x32, 0x00, 0x05, 0x40, 0xF7};
    EXPECT_TRUE (receive ({{0x90, 0x3C, 0x40}, shortParam, otherCommand, otherMaker, {0xF7}}).empty());
}

TEST_F (EngineTest, ReassemblesMessagesAcrossChunksAndSkipsClockBytes)
{
    const auto dump = dumpBytes (0x30, 0, 0, 20);
    const Bytes head (dump.begin(), dump.begin() + 10);
    Bytes tailWithClock{0xF8};
    tailWithClock.insert (tailWithClock.end(), dump.begin() + 10, dump.begin() + 15);
    tailWithClock.push_back (0xF8);
    tailWithClock.insert (tailWithClock.end(), dump.begin() + 15, dump.end());

    EXPECT_EQ (receive ({head, tailWithClock}), std::vector<std::string>{"patch A11"});
    EXPECT_EQ (patches[0].data, patchData (20));
}

TEST_F (EngineTest, AWatcherSeesEveryWholeMessageInArrivalOrderBesideTheJunoCallbacks)
{
    std::vector<Bytes> watched;
    engine.watchEveryMessage (
        [this, &watched] (const Bytes& message)
        {
            watched.push_back (message);
            allOnMessageThread = allOnMessageThread && juce::MessageManager::existsAndIsCurrentThread();
        });
    const auto dump = dumpBytes (0x30, 0, 0x0A, 5);
    // A note split over two chunks, a second one in running status, the dump
    // split with a clock inside it and another maker's message.
    Bytes third{0x00};
    third.insert (third.end(), dump.begin(), dump.begin() + 10);
    third.push_back (0xF8);
    Bytes fourth (dump.begin() + 10, dump.end());
    fourth.insert (fourth.end(), {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7});

    EXPECT_EQ (receive ({{0x90, 0x3C}, {0x64, 0x3E}, third, fourth}), std::vector<std::string>{"patch A23"});
    EXPECT_EQ (watched,
               (std::vector<Bytes>{
                   {0x90, 0x3C, 0x64}, {0x90, 0x3E, 0x00}, {0xF8}, dump, {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}}));
    EXPECT_TRUE (allOnMessageThread);

    // Lost input ends an open message for the watcher too; an empty watcher sees nothing more.
    watched.clear();
    EXPECT_TRUE (platform->inject ({0xF0, 0x41, 0x30}));
    platform->injectLoss();
    receive ({{0x00, 0xF7, 0xC0, 0x05}});
    EXPECT_EQ (watched, (std::vector<Bytes>{{0xC0, 0x05}}));
    engine.watchEveryMessage (nullptr);
    receive ({{0x90, 0x3C, 0x64}});
    EXPECT_EQ (watched.size(), 1u);
}

TEST_F (EngineTest, LostInputDropsTheOpenMessage)
{
    const auto dump = dumpBytes (0x30, 0, 0);
    EXPECT_TRUE (platform->inject (Bytes (dump.begin(), dump.begin() + 12)));
    platform->injectLoss();
    EXPECT_TRUE (receive ({Bytes (dump.begin() + 12, dump.end())}).empty());
}

TEST_F (EngineTest, EmptyCallbacksDropTheirMessages)
{
    engine.onPatchReceived = nullptr;
    engine.onParamReceived = nullptr;
    EXPECT_EQ (receive ({dumpBytes (0x30, 0, 0), paramBytes (0, 1, 1), dumpBytes (0x31, 0, 0)}),
               std::vector<std::string>{"manual "});
}

TEST_F (EngineTest, SetupChangesReachOnDevicesChangedOnTheMessageThread)
{
    std::thread announcer ([this] { platform->announceSetupChange(); });
    announcer.join();
    EXPECT_TRUE (runPostedMessages());
    EXPECT_EQ (deliveries, std::vector<std::string>{"devices"});
    EXPECT_TRUE (allOnMessageThread);
}

TEST_F (EngineTest, ReceivesFromAnotherThreadWhileTheChannelChanges)
{
    // The receive filter reads the channel while the message thread sets it.
    std::thread receiving (
        [this]
        {
            for (int i = 0; i < 200; ++i)
            {
                platform->inject (dumpBytes (0x30, 0, 0));
                platform->inject (paramBytes (1, 2, 3));
            }
        });
    for (int i = 0; i < 200; ++i)
        engine.setMidiChannel (i % 2);
    receiving.join();
    engine.setMidiChannel (0);
    EXPECT_TRUE (runPostedMessages());
    EXPECT_FALSE (deliveries.empty());
    EXPECT_TRUE (allOnMessageThread);
}

TEST_F (EngineTest, ControlInputsTranslateControlChangesAndPassWhatIsPlayedOnTheSynthesizersChannel)
{
    engine.setMidiChannel (2);
    engine.onControlChange = [this] (int channel, int controller, int value)
    {
        record ("cc " + std::to_string (channel) + " " + std::to_string (controller) + " " + std::to_string (value),
                {});
        engine.sendParameterChange (5, value); // as the translation does
    };
    platform->clearSent();

    // From a keyboard on channel 4: a knob, notes (the second in running status), the
    // wheel, modulation, sustain, all notes off, a program change and a clock tick.
    ASSERT_TRUE (platform->injectControl ({0xB3, 74, 64, 0x93, 60, 100, 62, 100, 0xE3, 0, 0x50}));
    ASSERT_TRUE (platform->injectControl ({0xB3, 1, 20, 0xB3, 64, 127, 0xB3, 123, 0, 0xC3, 5, 0xF8, 0x83, 60, 0}));
    EXPECT_TRUE (platform->sent.empty()) << "what was played after the knob waits for its parameter change";
    ASSERT_TRUE (runPostedMessages());

    EXPECT_EQ (deliveries, std::vector<std::string>{"cc 3 74 64"}) << "only the knob is for translation";
    EXPECT_TRUE (allOnMessageThread);
    EXPECT_EQ (platform->sent,
               (std::vector<Bytes>{{0xF0, 0x41, 0x32, 0x02, 0x05, 64, 0xF7},
                                   {0x92, 60, 100},
                                   {0x92, 62, 100},
                                   {0xE2, 0, 0x50},
                                   {0xB2, 1, 20},
                                   {0xB2, 64, 127},
                                   {0xB2, 123, 0},
                                   {0x82, 60, 0}}));
    EXPECT_EQ (platform->sentDelivery[0], Delivery::translatedParameter);
    for (size_t i = 1; i < platform->sentDelivery.size(); ++i)
        EXPECT_EQ (platform->sentDelivery[i], Delivery::inOrder);

    // With no control change on its way, what is played goes straight on from the receiving thread.
    platform->clearSent();
    ASSERT_TRUE (platform->injectControl ({0x93, 64, 100}));
    EXPECT_EQ (platform->sent, (std::vector<Bytes>{{0x92, 64, 100}}));

    // Passing through switched off, or no output: nothing is played, knobs still translate.
    platform->clearSent();
    engine.setPassThrough (false);
    ASSERT_TRUE (platform->injectControl ({0x93, 60, 100, 0xB3, 75, 1}));
    engine.setPassThrough (true);
    engine.openOutput (0);
    ASSERT_TRUE (platform->injectControl ({0x93, 61, 100}));
    ASSERT_TRUE (runPostedMessages());
    EXPECT_TRUE (platform->sent.empty());
    EXPECT_EQ (deliveries.back(), "cc 3 75 1");
}

TEST_F (EngineTest, TheSynthesizersOwnInputIsNeverAController)
{
    int controlChanges = 0;
    engine.onControlChange = [&] (int, int, int) { ++controlChanges; };
    platform->clearSent();
    receive ({{0xB0, 74, 64, 0x90, 60, 100}});
    EXPECT_EQ (controlChanges, 0);
    EXPECT_TRUE (platform->sent.empty()) << "nothing the synthesizer plays is echoed back to it";
}

TEST_F (EngineTest, ParameterChangesCarryTheEngineChannelAndWaitOnePerParameter)
{
    engine.setMidiChannel (5);
    platform->clearSent();
    engine.sendParameterChange (5, 64);
    engine.sendParameterChange (17, 0xFF); // the switches byte keeps its defined bits
    EXPECT_EQ (platform->sent, (std::vector<Bytes>{paramBytes (5, 5, 64), paramBytes (5, 17, 0x1F)}));
    EXPECT_EQ (platform->sentDelivery,
               (std::vector<Delivery>{Delivery::latestPerParameter, Delivery::latestPerParameter}));
}

TEST (MidiEngineLifetime, CallsPostedBeforeDestructionDoNothingAfterIt)
{
    auto dumpAndParam = dumpBytes (0x30, 0, 0);
    const auto param = paramBytes (0, 1, 2);
    dumpAndParam.insert (dumpAndParam.end(), param.begin(), param.end());

    for (int round = 0; round < 50; ++round)
    {
        int callsBeforeDestruction = 0;
        int calls = 0;
        {
            auto owned = std::make_unique<MemoryMidiPlatform>();
            auto* platform = owned.get();
            MidiEngine engine (std::move (owned));
            engine.onPatchReceived = [&calls] (const PatchModel&) { ++calls; };
            engine.onParamReceived = [&calls] (int, int) { ++calls; };
            engine.openInput (1);
            platform->startReceiving (dumpAndParam);
            // Destroyed with its receive thread still busy and its posts still queued.
            ASSERT_TRUE (pumpMessagesUntil ([&] { return calls > 0 && platform->timesReceived() > 10; }));
            callsBeforeDestruction = calls;
        }
        ASSERT_TRUE (runPostedMessages());
        ASSERT_EQ (calls, callsBeforeDestruction) << "round " << round;
    }
}

TEST (MidiEngineLifetime, ACallbackThatDestroysTheEngineEndsTheDelivery)
{
    auto owned = std::make_unique<MemoryMidiPlatform>();
    auto* platform = owned.get();
    auto engine = std::make_unique<MidiEngine> (std::move (owned));
    int calls = 0;
    engine->onPatchReceived = [&] (const PatchModel&)
    {
        ++calls;
        engine.reset(); // as a quit handled inside a callback would
    };
    engine->openInput (1);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE (platform->inject (dumpBytes (0x30, 0, static_cast<uint8_t> (i))));
    EXPECT_TRUE (pumpMessagesUntil ([&] { return engine == nullptr; }));
    EXPECT_TRUE (runPostedMessages());
    EXPECT_EQ (calls, 1);
}

TEST (MidiEngineFlood, TheMessageLoopGetsTurnsHoweverFastMessagesArrive)
{
    // A source far faster than the callbacks: every 0.2 ms a dump and a
    // parameter change, each taking the message thread 1 ms.
    auto dumpAndParam = dumpBytes (0x30, 0, 0);
    const auto param = paramBytes (0, 1, 2);
    dumpAndParam.insert (dumpAndParam.end(), param.begin(), param.end());
    auto owned = std::make_unique<MemoryMidiPlatform>();
    auto* platform = owned.get();
    MidiEngine engine (std::move (owned));
    long calls = 0;
    const auto slowCallback = [&calls]
    {
        ++calls;
        std::this_thread::sleep_for (std::chrono::milliseconds (1));
    };
    engine.onPatchReceived = [&] (const PatchModel&) { slowCallback(); };
    engine.onParamReceived = [&] (int, int) { slowCallback(); };
    engine.openInput (1);
    platform->startReceiving (dumpAndParam);
    ASSERT_TRUE (pumpMessagesUntil ([&] { return calls > 50; }));

    // Anything posted now, a quit for instance, runs after one slice of deliveries at most.
    for (int round = 0; round < 5; ++round)
    {
        const long callsBefore = calls;
        std::optional<long> callsWhenRun;
        juce::MessageManager::callAsync ([&] { callsWhenRun = calls; });
        // Counted inside the call: the loop that pumps may run a further slice after it.
        ASSERT_TRUE (pumpMessagesUntil ([&] { return callsWhenRun.has_value(); }));
        const long sliceCalls = DeliveryQueue::sliceLength / std::chrono::milliseconds (1);
        EXPECT_LE (*callsWhenRun - callsBefore, sliceCalls + 1) << "round " << round;
    }
}

/** An engine over a memory platform whose link is paced, so messages wait for it. */
struct PacedEngine
{
    explicit PacedEngine (int bytesPerSecond)
    {
        auto owned = std::make_unique<MemoryMidiPlatform> (bytesPerSecond);
        platform = owned.get();
        platform->outputs = {{"", "Old", 1}, {"", "New", 2}};
        engine = std::make_unique<MidiEngine> (std::move (owned));
    }

    static Bytes dump (const PatchModel& patch)
    {
        const auto bytes = JunoMessages::buildPatchDump (patch, 0, 0);
        return Bytes (bytes.begin(), bytes.end());
    }
    static PatchModel patchOf (uint8_t value)
    {
        PatchModel patch;
        patch.data.fill (value);
        return patch;
    }

    MemoryMidiPlatform* platform = nullptr;
    std::unique_ptr<MidiEngine> engine;
};
using Written = MemoryMidiPlatform::Written;

TEST (MidiEngineOutput, SwitchingSendsWaitingNotesToTheOldDeviceAndDropsOnlyTheWaitingDump)
{
    // A hundred bytes a second: a dump holds the link for 240 ms, long enough for every call below.
    PacedEngine paced (100);
    auto& engine = *paced.engine;
    engine.openOutput (1);
    engine.sendPatch (PacedEngine::patchOf (1), 0); // leaves at once
    engine.sendPatch (PacedEngine::patchOf (2), 0); // waits, and is dropped at the switch
    engine.sendNoteOn (0, 60, 100);
    engine.sendNoteOff (0, 60, 0); // a key released just before the switch
    engine.sendCC (0, 1, 0);
    engine.openOutput (2);
    engine.sendNoteOn (0, 62, 100);

    ASSERT_TRUE (paced.platform->writtenLog->waitFor (7));
    const std::vector<Written> expected = {{1, {}},
                                           {1, PacedEngine::dump (PacedEngine::patchOf (1))},
                                           {1, {0x90, 60, 100}},
                                           {1, {0x80, 60, 0}},
                                           {1, {0xB0, 1, 0}},
                                           {2, {}},
                                           {2, {0x90, 62, 100}}};
    EXPECT_EQ (paced.platform->writtenLog->entries(), expected);
    EXPECT_EQ (engine.outputEndpoint, 2u);
}

TEST (MidiEngineOutput, ClosingOrDestroyingDeliversWaitingNotesThenDisconnects)
{
    for (const bool destroy : {false, true})
    {
        // Two hundred bytes a second: the dump holds the link for 120 ms and the notes wait for it.
        PacedEngine paced (200);
        const auto log = paced.platform->writtenLog;
        paced.engine->openOutput (1);
        paced.engine->sendPatch (PacedEngine::patchOf (1), 0);
        paced.engine->sendNoteOn (0, 60, 100);
        paced.engine->sendNoteOff (0, 60, 0);
        paced.engine->sendPatch (PacedEngine::patchOf (2), 0); // may be dropped
        if (destroy)
        {
            paced.engine.reset();
        }
        else
        {
            paced.engine->close();
            EXPECT_EQ (paced.platform->finishLimit, MidiEngine::closingTimeLimit);
            EXPECT_FALSE (paced.engine->isOutputOpen());
            paced.engine->sendNoteOn (0, 61, 100);
            paced.engine->openOutput (2);
            EXPECT_FALSE (paced.engine->isOutputOpen()) << "a closed engine opens nothing";
        }

        const std::vector<Written> expected = {{1, {}},
                                               {1, PacedEngine::dump (PacedEngine::patchOf (1))},
                                               {1, {0x90, 60, 100}},
                                               {1, {0x80, 60, 0}},
                                               {0, {}}};
        EXPECT_EQ (log->entries(), expected) << (destroy ? "destroyed" : "closed");
    }
}

/** An engine following devices that come and go on a memory platform with a DIN-paced link. */
class DeviceFollowTest : public testing::Test
{
protected:
    using Port = MidiPlatform::Port;

    DeviceFollowTest()
    {
        platform->inputs = {{"", "Juno In", 5}, {"", "Other In", 6}};
        platform->outputs = {{"", "Juno Out", 7}, {"", "Other Out", 8}};
        engine.onDevicesChanged = [this]
        {
            // Called once the engine has followed the change.
            ++devicesChanged;
            openWhenTold = {engine.inputEndpoint, engine.outputEndpoint};
        };
    }

    /** Announces a new setup, with the ports that went away, and runs what the engine posts. */
    void announce (std::vector<Port> inputs, std::vector<Port> outputs, std::vector<uint32_t> removed = {})
    {
        platform->inputs = std::move (inputs);
        platform->outputs = std::move (outputs);
        for (const auto endpoint : removed)
            platform->announcePortRemoved (endpoint);
        platform->announceSetupChange();
        ASSERT_TRUE (runPostedMessages());
    }

    std::unique_ptr<MemoryMidiPlatform> owned = std::make_unique<MemoryMidiPlatform> (OutputPacer::dinBytesPerSecond);
    MemoryMidiPlatform* platform = owned.get();
    MidiEngine engine{std::move (owned)};
    int devicesChanged = 0;
    std::pair<uint32_t, uint32_t> openWhenTold;
};

TEST_F (DeviceFollowTest, TheControllerDeviceIsFollowedByNameLikeTheOtherTwo)
{
    engine.openController (6);
    EXPECT_EQ (engine.chosenControllerName(), "Other In");
    EXPECT_EQ (platform->controlSources, std::vector<uint32_t>{6});

    announce ({{"", "Juno In", 5}}, {{"", "Juno Out", 7}}, {6});
    EXPECT_EQ (engine.controllerEndpoint, 0u);
    EXPECT_TRUE (platform->controlSources.empty());
    EXPECT_EQ (engine.chosenControllerName(), "Other In");

    announce ({{"", "Juno In", 5}, {"", "Other In", 16}}, {{"", "Juno Out", 7}});
    EXPECT_EQ (engine.controllerEndpoint, 16u);
    EXPECT_EQ (platform->controlSources, std::vector<uint32_t>{16});
    engine.close();
    EXPECT_TRUE (platform->controlSources.empty()) << "closing lets go of the controller too";
}

TEST_F (DeviceFollowTest, AGoneDeviceIsClosedButStaysChosenAndReopensOnItsNewEndpoint)
{
    engine.openInput (5);
    engine.openOutput (7);
    EXPECT_EQ (engine.chosenInputName(), "Juno In");
    EXPECT_EQ (engine.chosenOutputName(), "Juno Out");

    announce ({{"", "Other In", 6}}, {{"", "Other Out", 8}}, {5, 7});
    EXPECT_FALSE (engine.isInputOpen());
    EXPECT_FALSE (engine.isOutputOpen());
    EXPECT_EQ (platform->source, 0u);
    EXPECT_EQ (platform->destination, 0u);
    EXPECT_EQ (engine.chosenInputName(), "Juno In");
    EXPECT_EQ (engine.chosenOutputName(), "Juno Out");
    EXPECT_EQ (devicesChanged, 1) << "one notice for the changes announced together";
    EXPECT_EQ (openWhenTold, (std::pair<uint32_t, uint32_t>{0, 0}));
    engine.sendPatch (PacedEngine::patchOf (3), 0); // nowhere to go

    // Plugged in again, elsewhere in the list.
    announce ({{"", "Other In", 6}, {"", "Juno In", 15}}, {{"", "Other Out", 8}, {"", "Juno Out", 17}});
    EXPECT_EQ (engine.inputEndpoint, 15u);
    EXPECT_EQ (engine.outputEndpoint, 17u);
    EXPECT_EQ (platform->source, 15u);
    EXPECT_EQ (openWhenTold, (std::pair<uint32_t, uint32_t>{15, 17}));

    engine.sendPatch (PacedEngine::patchOf (4), 0);
    ASSERT_TRUE (platform->writtenLog->waitFor (4));
    const std::vector<Written> expected = {
        {7, {}}, {0, {}}, {17, {}}, {17, PacedEngine::dump (PacedEngine::patchOf (4))}};
    EXPECT_EQ (platform->writtenLog->entries(), expected);
}

TEST_F (DeviceFollowTest, APortRemovedAndBackOnTheSameEndpointIsConnectedAfresh)
{
    // Gone and back before the engine could follow: the old connection went with the port.
    engine.openInput (5);
    engine.openOutput (7);
    announce (platform->inputs, platform->outputs, {5, 7});
    EXPECT_EQ (platform->sourcesSet, (std::vector<uint32_t>{5, 5}));
    ASSERT_TRUE (platform->writtenLog->waitFor (2));
    EXPECT_EQ (platform->writtenLog->entries(), (std::vector<Written>{{7, {}}, {7, {}}}));
    EXPECT_EQ (engine.inputEndpoint, 5u);

    // A change elsewhere leaves the open devices alone.
    announce ({{"", "Juno In", 5}}, {{"", "Juno Out", 7}}, {6, 8});
    EXPECT_EQ (platform->sourcesSet.size(), 2u);
    EXPECT_EQ (platform->writtenLog->entries().size(), 2u);
}

TEST_F (DeviceFollowTest, TwoDevicesOfOneNameOpenTheFirst)
{
    engine.openInput (6);
    announce ({{"", "Other In", 16}, {"", "Other In", 26}}, platform->outputs, {6});
    EXPECT_EQ (engine.inputEndpoint, 16u);

    engine.chooseOutput ("Juno Out");
    announce (platform->inputs, {{"", "Juno Out", 27}, {"", "Juno Out", 7}, {"", "Juno Out", 17}});
    EXPECT_EQ (engine.outputEndpoint, 7u) << "the open one is still listed under its name";
    announce (platform->inputs, {{"", "Juno Out", 27}, {"", "Juno Out", 17}}, {7});
    EXPECT_EQ (engine.outputEndpoint, 27u);
}

TEST_F (DeviceFollowTest, ADeviceChosenByNameOpensWhenItAppears)
{
    engine.chooseInput ("Synth In");
    engine.chooseOutput ("Synth Out");
    EXPECT_FALSE (engine.isInputOpen());
    EXPECT_EQ (engine.chosenInputName(), "Synth In");
    EXPECT_EQ (engine.chosenOutputName(), "Synth Out");

    announce ({{"Synth", "In", 9}}, {{"Synth", "Out", 10}});
    EXPECT_EQ (engine.inputEndpoint, 9u);
    EXPECT_EQ (engine.outputEndpoint, 10u);

    // Choosing a name not listed closes the open device and waits for that one.
    engine.chooseInput ("Elsewhere");
    EXPECT_FALSE (engine.isInputOpen());
    EXPECT_EQ (platform->source, 0u);
}

TEST_F (DeviceFollowTest, OpeningNoneUnchoosesSoAReturningDeviceStaysClosed)
{
    engine.openInput (5);
    engine.openOutput (7);
    engine.openInput (0);
    engine.chooseOutput ("");
    EXPECT_EQ (engine.chosenInputName(), "");
    EXPECT_EQ (engine.chosenOutputName(), "");

    announce ({}, {}, {5, 7});
    announce ({{"", "Juno In", 5}}, {{"", "Juno Out", 7}});
    EXPECT_FALSE (engine.isInputOpen());
    EXPECT_FALSE (engine.isOutputOpen());
}

TEST (MidiEngineWithoutSequencer, ListsNothingSendsNothingAndSaysSoQuietly)
{
    CapturedStderr captured;
    {
        auto owned = std::make_unique<AlsaMidiPlatform> ("qorv-no-such-sequencer");
        EXPECT_FALSE (owned->isOpen());
        MidiEngine engine (std::move (owned));
        EXPECT_FALSE (engine.isAvailable());
        EXPECT_EQ (engine.unavailableReason(), "MIDI unavailable: no ALSA sequencer");
        EXPECT_TRUE (engine.getInputDevices().empty());
        EXPECT_TRUE (engine.getOutputDevices().empty());
        engine.openInput (0x1000);
        engine.openOutput (0x1000);
        engine.sendPatch (PatchModel(), 0);
        engine.sendNoteOn (0, 60, 60);
        EXPECT_EQ (engine.inputEndpoint, 0x1000u);
        EXPECT_EQ (engine.outputEndpoint, 0x1000u);
        engine.chooseOutput ("Juno");
        EXPECT_EQ (engine.chosenOutputName(), "Juno") << "a name is kept for when MIDI comes";
    }
    EXPECT_EQ (captured.finish(), "");
}

TEST (MidiEngineWithoutSequencer, TheSystemSequencerMissingPrintsNothing)
{
    // Runs where there is no sequencer: on a machine without sound, or in the
    // small virtual machine without its sound modules. QORV_NO_SEQUENCER=1 says
    // that there must be none, so the test cannot pass by being skipped.
    if (access ("/dev/snd/seq", F_OK) == 0)
    {
        ASSERT_EQ (std::getenv ("QORV_NO_SEQUENCER"), nullptr) << "a sequencer is there after all";
        GTEST_SKIP() << "this machine has a sequencer";
    }
    CapturedStderr captured;
    {
        MidiEngine engine;
        EXPECT_FALSE (engine.isAvailable());
        EXPECT_EQ (engine.unavailableReason(), "MIDI unavailable: no ALSA sequencer");
        EXPECT_TRUE (engine.getOutputDevices().empty());
        engine.sendNoteOn (0, 60, 60);
    }
    EXPECT_EQ (captured.finish(), "");
}
} // namespace
