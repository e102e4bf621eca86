#include "MessageLoop.h"
#include "RawInputOwner.h"
#include "RawMidiPort.h"
#include "SequencerTestSupport.h"
#include "midi/MidiEngine.h"
#include "midi/protocol/JunoMessages.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <sstream>
#include <thread>

namespace
{
using namespace std::chrono_literals;

constexpr uint32_t virMidi00 = 0x1000; // client 16, port 0: the far end is hw:0,0
constexpr uint32_t virMidi01 = 0x1100;
constexpr int waitMs = 10000;

Bytes operator+ (Bytes a, const Bytes& b)
{
    a.insert (a.end(), b.begin(), b.end());
    return a;
}

Bytes dataFrom (const Bytes& dump)
{
    return Bytes (dump.begin() + 5, dump.begin() + 23);
}

Bytes dataOf (const PatchModel& patch)
{
    return Bytes (patch.data.begin(), patch.data.end());
}

/** The engine on the real sequencer, writing down every delivery in order. */
class SequencerTest : public testing::Test
{
protected:
    SequencerTest()
    {
        engine.onPatchReceived = [this] (const PatchModel& p) { record ("patch " + p.name, p); };
        engine.onManualReceived = [this] (const PatchModel& p) { record ("manual " + p.name, p); };
        engine.onParamReceived = [this] (int number, int value)
        { record ("param " + std::to_string (number) + " " + std::to_string (value), {}); };
        engine.onDevicesChanged = [this]
        {
            ++setupChanges;
            allOnMessageThread = allOnMessageThread && juce::MessageManager::existsAndIsCurrentThread();
        };
    }

    void record (const std::string& what, const PatchModel& patch)
    {
        deliveries.push_back (what);
        patches.push_back (patch);
        allOnMessageThread = allOnMessageThread && juce::MessageManager::existsAndIsCurrentThread();
    }

    bool waitForDeliveries (size_t count)
    {
        return pumpMessagesUntil ([&] { return deliveries.size() >= count; }, waitMs);
    }

    bool listed (const std::vector<MidiEngine::DeviceInfo>& devices, const std::string& name) const
    {
        for (const auto& d : devices)
            if (d.name == name)
                return true;
        return false;
    }

    MidiEngine engine; // the real sequencer
    std::vector<std::string> deliveries;
    std::vector<PatchModel> patches;
    int setupChanges = 0;
    bool allOnMessageThread = true;
};

TEST_F (SequencerTest, ListsPortsInSequencerOrderWithTheirDisplayNames)
{
    for (const auto& devices : {engine.getInputDevices(), engine.getOutputDevices()})
    {
        std::vector<std::pair<std::string, uint32_t>> virtualPorts;
        uint32_t previous = 0;
        for (const auto& d : devices)
        {
            EXPECT_GT (d.endpoint, previous) << d.name;
            EXPECT_GE (d.endpoint, 0x100u) << "the System client is left out";
            EXPECT_EQ (d.name.find ("Qorv"), std::string::npos) << "our own ports are left out";
            previous = d.endpoint;
            if (d.name.rfind ("Virtual Raw MIDI", 0) == 0)
                virtualPorts.emplace_back (d.name, d.endpoint);
        }
        const std::vector<std::pair<std::string, uint32_t>> expected = {
            {"Virtual Raw MIDI 0-0 VirMIDI 0-0", virMidi00}, {"Virtual Raw MIDI 0-1 VirMIDI 0-1", virMidi01}};
        EXPECT_EQ (virtualPorts, expected);
    }
}

TEST_F (SequencerTest, AnotherClientComingAndGoingReachesOnDevicesChanged)
{
    auto other = std::make_unique<OtherClient> ("Hotplug Test", "Probe Port");
    ASSERT_TRUE (pumpMessagesUntil (
        [&] { return setupChanges > 0 && listed (engine.getInputDevices(), "Hotplug Test Probe Port"); }, waitMs));
    EXPECT_TRUE (listed (engine.getOutputDevices(), "Hotplug Test Probe Port"));

    setupChanges = 0;
    other.reset();
    ASSERT_TRUE (pumpMessagesUntil (
        [&] { return setupChanges > 0 && !listed (engine.getInputDevices(), "Hotplug Test Probe Port"); }, waitMs));
    EXPECT_TRUE (allOnMessageThread);
}

TEST_F (SequencerTest, UnloadedAndReloadedDeviceReachesOnDevicesChanged)
{
    const std::string name = "Virtual Raw MIDI 0-0 VirMIDI 0-0";
    ASSERT_TRUE (listed (engine.getOutputDevices(), name));
    ASSERT_EQ (runCommand ("rmmod snd_virmidi"), 0);
    EXPECT_TRUE (
        pumpMessagesUntil ([&] { return setupChanges > 0 && !listed (engine.getOutputDevices(), name); }, waitMs));

    setupChanges = 0;
    ASSERT_EQ (runCommand ("modprobe snd-virmidi midi_devs=2"), 0);
    EXPECT_TRUE (
        pumpMessagesUntil ([&] { return setupChanges > 0 && listed (engine.getOutputDevices(), name); }, waitMs));
    EXPECT_TRUE (allOnMessageThread);
}

TEST_F (SequencerTest, OnlyTheLastOpenedPortsAreConnected)
{
    const auto qorvReads = [] (uint32_t port)
    {
        const auto readers = connectedClients (port, true);
        return std::count (readers.begin(), readers.end(), "Qorv");
    };
    const auto qorvWrites = [] (uint32_t port)
    {
        const auto writers = connectedClients (port, false);
        return std::count (writers.begin(), writers.end(), "Qorv");
    };

    // The output is connected on the pacing thread, a moment after openOutput returns.
    const auto settles = [] (const std::function<bool()>& condition)
    {
        for (int i = 0; i < waitMs / 20; ++i, std::this_thread::sleep_for (20ms))
            if (condition())
                return true;
        return false;
    };

    engine.openInput (virMidi00);
    engine.openOutput (virMidi00);
    EXPECT_EQ (qorvReads (virMidi00), 1);
    EXPECT_TRUE (settles ([&] { return qorvWrites (virMidi00) == 1; }));

    engine.openInput (virMidi01);
    engine.openOutput (virMidi01);
    EXPECT_EQ (qorvReads (virMidi00), 0);
    EXPECT_EQ (qorvReads (virMidi01), 1);
    EXPECT_TRUE (settles ([&] { return qorvWrites (virMidi00) == 0 && qorvWrites (virMidi01) == 1; }));

    engine.openInput (virMidi01); // reopening connects it afresh, once
    EXPECT_EQ (qorvReads (virMidi01), 1);

    engine.openInput (0);
    engine.openOutput (0);
    EXPECT_EQ (qorvReads (virMidi01), 0);
    EXPECT_TRUE (settles ([&] { return qorvWrites (virMidi01) == 0; }));
}

TEST_F (SequencerTest, SentMessagesArriveByteExactAtTheDevice)
{
    engine.openOutput (virMidi00);
    engine.setMidiChannel (5);
    PatchModel patch;
    for (size_t i = 0; i < patch.data.size(); ++i)
        patch.data[i] = static_cast<uint8_t> (i * 7);

    FILE* dump = popen ("amidi -p hw:0,0 -d -t 1 2>/dev/null", "r");
    ASSERT_NE (dump, nullptr);
    ASSERT_TRUE (rawInputOpened());
    std::this_thread::sleep_for (300ms); // amidi arms its input right after opening it

    engine.sendPatch (patch, 0);
    engine.sendNoteOn (0, 60, 60);
    engine.sendPitchBend (0, 64);
    engine.sendCC (0, 1, 100);
    engine.sendNoteOff (0, 60, 60);

    std::string printed;
    char buffer[512];
    while (std::fgets (buffer, sizeof (buffer), dump) != nullptr)
        printed += buffer;
    pclose (dump);
    std::string bytes;
    for (const char c : printed)
        if (std::isxdigit (static_cast<unsigned char> (c)))
            bytes += c;

    const auto dumpBytes = JunoMessages::buildPatchDump (patch, 5, 0);
    const Bytes expected =
        Bytes (dumpBytes.begin(), dumpBytes.end()) + Bytes{0x90, 60, 60, 0xE0, 0, 64, 0xB0, 1, 100, 0x80, 60, 60};
    EXPECT_EQ (bytes, compactHex (expected));
}

/** Reads what arrives at the far ends of the ports until each has `counts` bytes or the time is up. */
std::vector<Bytes> readUntil (std::vector<RawMidiPort*> ports, std::vector<size_t> counts)
{
    std::vector<Bytes> received (ports.size());
    for (int i = 0; i < waitMs / 5; ++i)
    {
        bool complete = true;
        for (size_t p = 0; p < ports.size(); ++p)
        {
            received[p] = received[p] + ports[p]->read();
            complete = complete && received[p].size() >= counts[p];
        }
        if (complete)
            break;
        std::this_thread::sleep_for (5ms);
    }
    return received;
}

TEST_F (SequencerTest, ANoteReleasedJustBeforeSwitchingReachesTheFirstDevice)
{
    RawMidiPort first ("hw:0,0");
    RawMidiPort second ("hw:0,1");
    ASSERT_TRUE (first.isOpen() && second.isOpen());
    PatchModel patch;
    patch.data.fill (0x11);
    const auto dump = JunoMessages::buildPatchDump (patch, 0, 0);

    engine.openOutput (virMidi00);
    engine.sendPatch (patch, 0); // holds the link for 7.68 ms: what follows waits
    engine.sendNoteOn (0, 60, 100);
    engine.sendNoteOff (0, 60, 0);
    engine.openOutput (virMidi01);
    engine.sendNoteOn (0, 62, 100);

    const Bytes expectedFirst = Bytes (dump.begin(), dump.end()) + Bytes{0x90, 60, 100, 0x80, 60, 0};
    const Bytes expectedSecond = {0x90, 62, 100};
    const auto received = readUntil ({&first, &second}, {expectedFirst.size(), expectedSecond.size()});
    EXPECT_EQ (compactHex (received[0]), compactHex (expectedFirst));
    EXPECT_EQ (compactHex (received[1]), compactHex (expectedSecond));
}

TEST_F (SequencerTest, AnUnpluggedDeviceIsReopenedWhenItComesBack)
{
    // The card goes while the engine is connected to it, as an unplugged USB
    // interface does (rmmod would refuse: the connections hold the module).
    const std::string name = "Virtual Raw MIDI 0-0 VirMIDI 0-0";
    engine.openInput (virMidi00);
    engine.openOutput (virMidi00);
    ASSERT_EQ (engine.chosenInputName(), name);
    ASSERT_EQ (engine.chosenOutputName(), name);

    ASSERT_EQ (runCommand ("echo snd_virmidi.0 > /sys/bus/platform/drivers/snd_virmidi/unbind"), 0);
    ASSERT_TRUE (pumpMessagesUntil ([&] { return !engine.isInputOpen() && !engine.isOutputOpen(); }, waitMs));
    EXPECT_EQ (engine.chosenInputName(), name);
    EXPECT_EQ (engine.chosenOutputName(), name);
    EXPECT_TRUE (allOnMessageThread);

    ASSERT_EQ (runCommand ("echo snd_virmidi.0 > /sys/bus/platform/drivers/snd_virmidi/bind"), 0);
    ASSERT_TRUE (pumpMessagesUntil ([&] { return engine.isInputOpen() && engine.isOutputOpen(); }, waitMs));
    EXPECT_TRUE (listed (engine.getOutputDevices(), name));

    // Both directions work again, with no click in any menu.
    RawMidiPort synth ("hw:0,0");
    ASSERT_TRUE (synth.isOpen());
    PatchModel patch;
    patch.data.fill (0x22);
    engine.sendPatch (patch, 0);
    const auto dump = JunoMessages::buildPatchDump (patch, 0, 0);
    EXPECT_EQ (compactHex (readUntil ({&synth}, {dump.size()})[0]), compactHex (Bytes (dump.begin(), dump.end())));

    const auto incoming = distinctDump (0x30, 0, 0, 5);
    synth.write (incoming);
    ASSERT_TRUE (waitForDeliveries (1));
    EXPECT_EQ (dataOf (patches[0]), dataFrom (incoming));
}

TEST_F (SequencerTest, MessagesWrittenByAmidiReachTheCallbacksInOrder)
{
    engine.openInput (virMidi00);
    engine.setMidiChannel (2);
    const auto patchDump = distinctDump (0x30, 2, 0x0A, 1);
    const auto manualDump = distinctDump (0x31, 2, 0x00, 2);
    const auto otherChannel = distinctDump (0x30, 0, 0x00, 3);
    const Bytes param = {0xF0, 0x41, 0x32, 0x02, 0x05, 0x40, 0xF7};
    const Bytes paramOtherChannel = {0xF0, 0x41, 0x32, 0x00, 0x06, 0x41, 0xF7};

    for (const auto& message : {otherChannel, patchDump, paramOtherChannel, param, manualDump})
        ASSERT_EQ (runCommand ("amidi -p hw:0,0 -S '" + spacedHex (message) + "'"), 0);
    ASSERT_TRUE (waitForDeliveries (3));
    EXPECT_EQ (deliveries, (std::vector<std::string>{"patch A23", "param 5 64", "manual "}));
    EXPECT_EQ (dataOf (patches[0]), dataFrom (patchDump));
    EXPECT_EQ (dataOf (patches[2]), dataFrom (manualDump));
    EXPECT_TRUE (allOnMessageThread);
}

TEST_F (SequencerTest, DumpsArriveWholeHoweverTheBytesAreWritten)
{
    engine.openInput (virMidi00);
    const auto first = distinctDump (0x30, 0, 0, 10);
    const auto second = distinctDump (0x30, 0, 1, 11);
    const auto third = distinctDump (0x30, 0, 2, 12);
    const auto fourth = distinctDump (0x30, 0, 3, 13);
    const auto fifth = distinctDump (0x30, 0, 4, 14);

    {
        RawMidiPort synth ("hw:0,0");
        ASSERT_TRUE (synth.isOpen());
        synth.write (Bytes (first.begin(), first.begin() + 5));
        synth.write (Bytes (first.begin() + 5, first.begin() + 15));
        synth.write (Bytes (first.begin() + 15, first.end()));
    }
    // Two dumps in one write.
    ASSERT_EQ (runCommand ("amidi -p hw:0,0 -S '" + spacedHex (second + third) + "'"), 0);
    // A foreign 300-byte message comes in two pieces and is dropped; the dump after it is not.
    Bytes longMessage{0xF0, 0x41, 0x30, 0x00};
    longMessage.resize (300, 0x11);
    longMessage.push_back (0xF7);
    ASSERT_EQ (runCommand ("amidi -p hw:0,0 -S '" + spacedHex (longMessage + fourth) + "'"), 0);
    // Clock bytes from a merged line inside a dump.
    const Bytes clocked = Bytes (fifth.begin(), fifth.begin() + 9) + Bytes{0xF8} +
                          Bytes (fifth.begin() + 9, fifth.begin() + 20) + Bytes{0xF8, 0xF8} +
                          Bytes (fifth.begin() + 20, fifth.end());
    ASSERT_EQ (runCommand ("amidi -p hw:0,0 -S '" + spacedHex (clocked) + "'"), 0);

    ASSERT_TRUE (waitForDeliveries (5));
    EXPECT_TRUE (runPostedMessages());
    ASSERT_EQ (deliveries, (std::vector<std::string>{"patch A11", "patch A12", "patch A13", "patch A14", "patch A15"}));
    const std::vector<Bytes> sent = {first, second, third, fourth, fifth};
    for (size_t i = 0; i < sent.size(); ++i)
        EXPECT_EQ (dataOf (patches[i]), dataFrom (sent[i])) << i;
}

TEST_F (SequencerTest, DumpSentAsSeveralSysexEventsIsJoined)
{
    OtherClient sender ("Split Sender", "Split Port");
    engine.openInput (sender.endpoint());
    const auto dump = distinctDump (0x30, 0, 0x3F, 20);
    sender.sendSysexEvent (Bytes (dump.begin(), dump.begin() + 10));
    sender.sendSysexEvent (Bytes (dump.begin() + 10, dump.end()));
    ASSERT_TRUE (waitForDeliveries (1));
    EXPECT_EQ (deliveries, std::vector<std::string>{"patch A88"});
    EXPECT_EQ (dataOf (patches[0]), dataFrom (dump));
}

TEST_F (SequencerTest, BurstOfAWholeBankOfDumpsArrivesComplete)
{
    // 7,200 bytes at once, faster than any DIN link: more than the sequencer's
    // default input pool holds.
    engine.openInput (virMidi00);
    Bytes burst;
    for (int i = 0; i < 300; ++i)
        burst = burst + distinctDump (0x30, 0, static_cast<uint8_t> (i % 128), i);
    {
        RawMidiPort synth ("hw:0,0");
        ASSERT_TRUE (synth.isOpen());
        synth.write (burst);
    }
    ASSERT_TRUE (waitForDeliveries (300));
    EXPECT_TRUE (runPostedMessages());
    ASSERT_EQ (patches.size(), 300u);
    for (int i = 0; i < 300; ++i)
        EXPECT_EQ (dataOf (patches[static_cast<size_t> (i)]), dataFrom (distinctDump (0x30, 0, 0, i))) << i;
}

TEST (SequencerLifetime, EngineDestroyedWhileItsReceiveThreadPostsDeliversNothingAfterwards)
{
    RawMidiPort synth ("hw:0,0");
    ASSERT_TRUE (synth.isOpen());
    std::atomic<bool> writing{true};
    const Bytes dumpAndParam = distinctDump (0x30, 0, 0, 1) + Bytes{0xF0, 0x41, 0x32, 0x00, 0x01, 0x02, 0xF7};
    std::thread writer (
        [&]
        {
            while (writing)
            {
                synth.write (dumpAndParam);
                std::this_thread::sleep_for (1ms);
            }
        });

    int rounds = 0;
    for (; rounds < 30; ++rounds)
    {
        int calls = 0;
        int callsBeforeDestruction = 0;
        {
            MidiEngine engine;
            engine.onPatchReceived = [&calls] (const PatchModel&) { ++calls; };
            engine.onParamReceived = [&calls] (int, int) { ++calls; };
            engine.openInput (virMidi00);
            if (!pumpMessagesUntil ([&] { return calls > 2; }, waitMs))
                break;
            callsBeforeDestruction = calls;
        }
        if (!runPostedMessages() || calls != callsBeforeDestruction)
            break;
    }
    writing = false;
    writer.join();
    EXPECT_EQ (rounds, 30);
}
} // namespace
