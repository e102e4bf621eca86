// ports, send, capture and monitor against the real kernel sequencer, inside
// the virtual machine of tools/alsa-vm: the far side of the virtual raw MIDI
// port hw:0,0 (sequencer port 16:0) is amidi, where a synthesizer would be.

#include "CliTestFiles.h"
#include "ControllerSweep.h"
#include "LinkPeer.h"
#include "QorvProcess.h"
#include "RawInputOwner.h"
#include "RawMidiPort.h"
#include "files/QorvFileIO.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <thread>

namespace
{
using namespace std::chrono_literals;

const std::string virMidi = "Virtual Raw MIDI 0-0 VirMIDI 0-0"; // 16:0, as the MIDI menu names it

std::string spacedHex (const Bytes& bytes)
{
    std::string text;
    char digits[4];
    for (const uint8_t byte : bytes)
    {
        std::snprintf (digits, sizeof (digits), "%02X ", byte);
        text += digits;
    }
    return text;
}

/** Plays the synthesizer: writes the bytes to hw:0,0 all at once, as fast as
    the virtual port takes them. */
void synthesizerSends (const std::string& folder, const Bytes& bytes)
{
    writeBytes (folder + "/sent.syx", bytes);
    ASSERT_EQ (runShell ("amidi -p hw:0,0 -s " + folder + "/sent.syx"), 0);
}

/** What arrives at hw:0,0 while `work` runs, as amidi prints it, in hex digits only. */
template <typename Work> std::string receivedWhile (Work work)
{
    FILE* dump = popen ("amidi -p hw:0,0 -d -t 2 2>/dev/null", "r");
    EXPECT_NE (dump, nullptr);
    if (dump == nullptr)
        return {};
    EXPECT_TRUE (rawInputOpened());
    std::this_thread::sleep_for (300ms); // amidi arms its input right after opening it
    work();
    std::string printed;
    char buffer[512];
    while (std::fgets (buffer, sizeof (buffer), dump) != nullptr)
        printed += buffer;
    pclose (dump);
    std::string digits;
    for (const char c : printed)
        if (std::isxdigit (static_cast<unsigned char> (c)))
            digits += static_cast<char> (std::toupper (static_cast<unsigned char> (c)));
    return digits;
}

std::string compactHex (const Bytes& bytes)
{
    std::string text = spacedHex (bytes);
    text.erase (std::remove (text.begin(), text.end(), ' '), text.end());
    return text;
}

LibraryModel readLibrary (const std::string& path)
{
    LibraryModel library;
    EXPECT_TRUE (QorvFileIO::load (path, library)) << path;
    return library;
}

/** The synthesizer stepping from one memory to the next, as it sends them:
    the patch it leaves (from the second step on), then the one it enters. */
Bytes steppingThrough (const std::vector<FactoryPatch>& factory, size_t first, size_t count)
{
    Bytes bytes;
    for (size_t i = first; i < first + count; ++i)
    {
        if (i > first)
            append (bytes, dump (0x30, 0, static_cast<uint8_t> (i - 1), factory[i - 1].patch.data));
        append (bytes, dump (0x30, 0, static_cast<uint8_t> (i), factory[i].patch.data));
    }
    return bytes;
}

class MidiCommandsTest : public testing::Test
{
protected:
    std::string path (const std::string& name) const { return folder.path (name); }

    /** Starts a capture and waits until it listens. */
    std::unique_ptr<QorvProcess> startCapture (const std::vector<std::string>& options)
    {
        std::vector<std::string> arguments{"capture", "--from", "16:0", "-o", "Backup.106"};
        arguments.insert (arguments.end(), options.begin(), options.end());
        auto capture = std::make_unique<QorvProcess> (folder.root, arguments);
        EXPECT_TRUE (capture->waitForError ("Ctrl+C stops and saves")) << capture->errors();
        return capture;
    }

    TempFolder folder;
    const std::vector<FactoryPatch> factory = loadFactoryPatches();
};

TEST_F (MidiCommandsTest, PortsListsInputsAndOutputsWithTheirAddressesAndMenuNames)
{
    const auto result = runQorv (folder.root, {"ports"});
    ASSERT_EQ (result.status, 0) << result.err;
    const std::string line = "  16:0  " + virMidi + "\n  17:0  Virtual Raw MIDI 0-1 VirMIDI 0-1\n";
    const size_t outputs = result.out.find ("Outputs:\n");
    ASSERT_EQ (result.out.rfind ("Inputs:\n", 0), 0u) << result.out;
    ASSERT_NE (outputs, std::string::npos) << result.out;
    EXPECT_NE (result.out.find (line), std::string::npos) << result.out;
    EXPECT_NE (result.out.find (line, outputs), std::string::npos) << result.out;

    // The sequencer is no socket, and no display is ever asked for.
    const std::string log = path ("strace.log");
    ASSERT_EQ (
        runShell ("DISPLAY=:0 strace -f -qq -e trace=connect -o " + log + " " + QORV_BINARY + " ports >/dev/null"), 0);
    std::ifstream in (log);
    EXPECT_EQ (std::string ((std::istreambuf_iterator<char> (in)), std::istreambuf_iterator<char>()), "");
}

TEST_F (MidiCommandsTest, SendPutsExactlyTheChosenPatchsDumpOnTheLine)
{
    std::vector<PatchModel> patches;
    for (const auto& row : factory)
        patches.push_back (row.patch);
    LibraryModel library;
    library.patches = patches;
    ASSERT_TRUE (QorvFileIO::save (path ("Factory.106"), library));
    writeBytes (path ("bank.syx"), factoryBank (factory));

    QorvResult byName, byIndex;
    const std::string received = receivedWhile (
        [&]
        {
            byName = runQorv (
                folder.root,
                {"send", "Factory.106", "--patch", "Flute / Horn", "--to", "Virtual Raw MIDI 0-0", "--channel", "5"});
            byIndex = runQorv (folder.root, {"send", "bank.syx", "--patch", "3", "--to", "16:0"});
        });
    ASSERT_EQ (byName.status, 0) << byName.err;
    ASSERT_EQ (byIndex.status, 0) << byIndex.err;
    EXPECT_EQ (byName.out, "Sent Flute / Horn to " + virMidi + " (16:0) on channel 5\n");
    EXPECT_EQ (byIndex.out, "Sent bank A13 to " + virMidi + " (16:0) on channel 1\n");

    Bytes expected = dump (0x30, 4, 0, factory[108].patch.data); // B65 Flute / Horn
    append (expected, dump (0x30, 0, 0, factory[2].patch.data));
    EXPECT_EQ (received, compactHex (expected));
}

TEST_F (MidiCommandsTest, SendSaysWhichPortOrPatchItCannotFind)
{
    writeBytes (path ("bank.syx"), factoryBank (factory));
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"send", "bank.syx", "--patch", "1", "--to", "Virtual"},
         "qorv: Virtual: the name of 2 ports begins so: give more of it (" + virMidi +
             " (16:0), Virtual Raw MIDI 0-1 VirMIDI 0-1 (17:0))\n"},
        {{"send", "bank.syx", "--patch", "1", "--to", "Nothing"},
         "qorv: Nothing: no such port here (qorv ports lists them)\n"},
        {{"send", "bank.syx", "--patch", "1", "--to", "99:0"},
         "qorv: 99:0: no such port here (qorv ports lists them)\n"},
        {{"send", "bank.syx", "--to", "16:0"},
         "qorv: bank.syx: holds 128 patches: choose one with --patch NAME or INDEX (qorv list shows them)\n"},
        {{"send", "bank.syx", "--patch", "129", "--to", "16:0"},
         "qorv: bank.syx: has no patch named or numbered '129' (qorv list shows them)\n"},
    };
    for (const auto& [arguments, message] : cases)
    {
        const auto result = runQorv (folder.root, arguments);
        EXPECT_EQ (result.status, 1) << message;
        EXPECT_EQ (result.err, message);
    }
}

TEST_F (MidiCommandsTest, CaptureRecordsAWholeBankSteppedThroughAsA11ToB88)
{
    auto capture = startCapture ({});
    synthesizerSends (folder.root, steppingThrough (factory, 0, 128));
    const auto result = capture->finish();
    ASSERT_EQ (result.status, 0) << result.err;

    std::vector<std::string> progress;
    for (size_t i = 0; i < 128; ++i)
        progress.push_back (std::to_string (i + 1) + "/128 " + factory[i].slot);
    progress.push_back ("Saved 128 new patches into Backup.106 (128 in all)");
    EXPECT_EQ (result.out, text (progress));

    const LibraryModel library = readLibrary (path ("Backup.106"));
    ASSERT_EQ (library.patches.size(), 128u);
    for (size_t i = 0; i < 128; ++i)
    {
        EXPECT_EQ (library.patches[i].name, factory[i].slot);
        EXPECT_EQ (library.patches[i].data, factory[i].patch.data) << factory[i].slot;
    }
}

TEST_F (MidiCommandsTest, AnInterruptedCaptureSavesWhatItHadAndALaterOneAddsToIt)
{
    auto first = startCapture ({});
    synthesizerSends (folder.root, steppingThrough (factory, 0, 10));
    ASSERT_TRUE (first->waitForOutput ("10/128 A22\n")) << first->output();
    first->signal (SIGINT);
    const auto stopped = first->finish();
    ASSERT_EQ (stopped.status, 0) << stopped.err;
    EXPECT_NE (stopped.err.find ("qorv: stopped by SIGINT\n"), std::string::npos) << stopped.err;
    EXPECT_EQ (readLibrary (path ("Backup.106")).patches.size(), 10u);

    // The patches the library holds are kept; one it holds already is counted, not added.
    auto second = startCapture ({"--count", "3"});
    synthesizerSends (folder.root, steppingThrough (factory, 9, 3));
    const auto added = second->finish();
    ASSERT_EQ (added.status, 0) << added.err;
    EXPECT_EQ (added.out,
               text ({"1/3 A22 (in the library already)",
                      "2/3 A23",
                      "3/3 A24",
                      "Saved 2 new patches into Backup.106 (12 in all)"}));
    const LibraryModel library = readLibrary (path ("Backup.106"));
    ASSERT_EQ (library.patches.size(), 12u);
    for (size_t i = 0; i < 12; ++i)
        EXPECT_EQ (library.patches[i].data, factory[i].patch.data) << factory[i].slot;
}

TEST_F (MidiCommandsTest, ManualDumpsAreRecordedAsManualAndTheTimeoutEndsAQuietCapture)
{
    auto capture = startCapture ({"--timeout", "1.5", "--channel", "3"});
    Bytes manuals = dump (0x31, 2, 0, factory[0].patch.data);
    append (manuals, dump (0x31, 2, 0, factory[0].patch.data)); // the same again: passed over
    append (manuals, dump (0x31, 2, 0, factory[1].patch.data));
    append (manuals, dump (0x31, 0, 0, factory[2].patch.data)); // another channel: not this synthesizer
    synthesizerSends (folder.root, manuals);
    const auto result = capture->finish();
    ASSERT_EQ (result.status, 0) << result.err;
    EXPECT_EQ (result.out,
               text ({"1/128 Manual", "2/128 Manual (1)", "Saved 2 new patches into Backup.106 (2 in all)"}));
    EXPECT_NE (result.err.find ("qorv: stopped: no new patch for 1.5 s\n"), std::string::npos) << result.err;
    const LibraryModel library = readLibrary (path ("Backup.106"));
    ASSERT_EQ (library.patches.size(), 2u);
    EXPECT_EQ (library.patches[0].data, factory[0].patch.data);
    EXPECT_EQ (library.patches[1].data, factory[1].patch.data);

    // Nothing at all: nothing is written.
    const auto quiet = runQorv (folder.root, {"capture", "--from", "16:0", "-o", "Quiet.106", "--timeout", "0.5"});
    EXPECT_EQ (quiet.status, 1);
    EXPECT_NE (quiet.err.find ("qorv: Quiet.106: no patch received; left as it was\n"), std::string::npos) << quiet.err;
    EXPECT_FALSE (std::ifstream (path ("Quiet.106")).is_open());
}

TEST_F (MidiCommandsTest, MonitorDecodesTheJunoMessagesAndShowsOtherMidiInHex)
{
    QorvProcess monitor (folder.root, {"monitor", "--from", "Virtual Raw MIDI 0-0"});
    ASSERT_TRUE (monitor.waitForError ("Ctrl+C stops")) << monitor.errors();

    // The owner's manual's dumps: A11 as a manual dump on channel 1, A12 as
    // patch dump A45 on channel 3, then two parameter changes, a note, a clock
    // and another maker's message.
    Bytes bytes = dump (0x31, 0, 0, factory[0].patch.data);
    append (bytes, dump (0x30, 2, 0x1C, factory[1].patch.data));
    append (bytes, {0xF0, 0x41, 0x32, 0x00, 0x05, 0x20, 0xF7});
    append (bytes, {0xF0, 0x41, 0x32, 0x00, 0x11, 0x1F, 0xF7});
    append (bytes, {0x90, 0x3C, 0x64, 0x3E, 0x00, 0xF8, 0xF0, 0x43, 0x10, 0x01, 0xF7});
    synthesizerSends (folder.root, bytes);
    ASSERT_TRUE (monitor.waitForOutput ("F0 43 10 01 F7\n")) << monitor.output();
    monitor.signal (SIGINT);
    const auto result = monitor.finish();
    EXPECT_EQ (result.status, 0) << result.err;

    EXPECT_EQ (result.out,
               text ({"Manual dump (channel 1)",
                      "  LFO Rate 20, LFO Delay 49",
                      "  Range 16', DCO LFO 0, DCO PWM 102, PWM Man, Square 0, Saw 1, Sub Level 0, Noise 0",
                      "  HPF 1",
                      "  VCF Freq 35, VCF Res 13, ENV Normal, VCF ENV 58, VCF LFO 0, VCF KYBD 86",
                      "  VCA ENV, VCA Level 108",
                      "  Attack 3, Decay 49, Sustain 45, Release 32",
                      "  Chorus I",
                      "Patch dump A45 (channel 3)",
                      "  LFO Rate 6, LFO Delay 48",
                      "  Range 8', DCO LFO 0, DCO PWM 56, PWM Man, Square 0, Saw 1, Sub Level 70, Noise 0",
                      "  HPF 0",
                      "  VCF Freq 43, VCF Res 17, ENV Normal, VCF ENV 26, VCF LFO 0, VCF KYBD 84",
                      "  VCA ENV, VCA Level 75",
                      "  Attack 64, Decay 118, Sustain 38, Release 37",
                      "  Chorus I",
                      "VCF Freq = 32",
                      "PWM = Man, HPF = 0, ENV = Inverted, VCA = Gate",
                      "90 3C 64",
                      "90 3E 00",
                      "F8",
                      "F0 43 10 01 F7"}));
}
} // namespace

namespace
{
/** `qorv control` for the synthesizer at 16:0 on channel 3, with a controller
    at hw:0,1 (17:0) connected through --from, until SIGTERM. */
class ControlCommandTest : public MidiCommandsTest
{
protected:
    std::unique_ptr<QorvProcess> startControl (const std::vector<std::string>& options)
    {
        std::vector<std::string> arguments{"control", "--to", "16:0", "--from", "17:0", "--channel", "3"};
        arguments.insert (arguments.end(), options.begin(), options.end());
        auto control = std::make_unique<QorvProcess> (folder.root, arguments);
        EXPECT_TRUE (control->waitForError ("Ctrl+C stops")) << control->errors();
        return control;
    }

    /** Waits (without a message loop of its own: the program translates) until the synthesizer took `count` messages.
     */
    bool waitForArrivals (size_t count)
    {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (peer.arrivalCount() < count && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for (5ms);
        return peer.arrivalCount() >= count;
    }

    LinkPeer peer{"hw:0,0"};
    RawMidiPort controller{"hw:0,1"};
};
} // namespace

TEST_F (ControlCommandTest, TranslatesTheDefaultMapAndAMapFilePassesMusicAndEndsCleanlyOnSigterm)
{
    const std::string map = "# my keyboard\n4 21 VCF Res\n";
    writeBytes (path ("keys.map"), Bytes (map.begin(), map.end()));
    ASSERT_TRUE (controller.isOpen());
    auto control = startControl ({"--map", "keys.map", "--verbose"});
    std::this_thread::sleep_for (200ms);
    EXPECT_EQ (peer.arrivalCount(), 0u) << "nothing is sent before a control change arrives";

    controller.write ({0xB0, 107, 64});               // the default map: VCF Freq
    controller.write ({0xB3, 21, 90});                // the map file: VCF Res on channel 4
    controller.write ({0xB0, 20, 1});                 // nothing answers to CC 20
    controller.write ({0x93, 60, 100, 0xB3, 123, 0}); // a note and all notes off pass
    ASSERT_TRUE (waitForArrivals (4)) << control->errors();
    control->signal (SIGTERM);
    const auto result = control->finish();

    EXPECT_EQ (result.status, 0) << result.err;
    // Music goes on at once, a control change through the translation: each kind keeps its order.
    std::vector<Bytes> parameterChanges, music;
    for (const auto& message : peer.messages())
        (message.front() == 0xF0 ? parameterChanges : music).push_back (message);
    EXPECT_EQ (
        parameterChanges,
        (std::vector<Bytes>{{0xF0, 0x41, 0x32, 0x02, 0x05, 0x40, 0xF7}, {0xF0, 0x41, 0x32, 0x02, 0x06, 0x5A, 0xF7}}));
    EXPECT_EQ (music, (std::vector<Bytes>{{0x92, 60, 100}, {0xB2, 123, 0}}));
    EXPECT_EQ (result.out, "CC 107 ch 1 -> VCF Freq 64\nCC 21 ch 4 -> VCF Res 90\n");
    EXPECT_NE (result.err.find ("stopped by SIGTERM"), std::string::npos) << result.err;
}

TEST_F (ControlCommandTest, ASweepIsCoalescedInOrderAtTheLinksPaceAndTheLastValuesLeaveBeforeTheEnd)
{
    auto control = startControl ({"--no-thru"});
    ControllerSweep sweep;
    const bool swept = sweep.play (controller,
                                   peer,
                                   [] (const std::function<bool()>& condition)
                                   {
                                       const auto deadline = std::chrono::steady_clock::now() + 15s;
                                       while (!condition() && std::chrono::steady_clock::now() < deadline)
                                           std::this_thread::sleep_for (1ms);
                                       return condition();
                                   });
    EXPECT_TRUE (swept);
    control->signal (SIGTERM);
    EXPECT_EQ (control->finish().status, 0);

    const auto arrivals = peer.arrivals();
    std::chrono::steady_clock::time_point lastIn{};
    EXPECT_TRUE (sweep.arrivedInOrder (arrivals, 2, lastIn));
    const double lastMs = std::chrono::duration<double, std::milli> (lastIn - sweep.lastWrite).count();
    std::printf ("qorv control sweep: %zu parameter changes for %d control changes; every last value in place %.1f ms "
                 "after the last control change; at most %ld bytes ahead of the link\n",
                 arrivals.size(),
                 ControllerSweep::changes,
                 lastMs,
                 peer.mostBytesAheadOfTheLink (sweep.firstWrite));
    EXPECT_LT (arrivals.size(), static_cast<size_t> (ControllerSweep::changes));
    EXPECT_LE (peer.mostBytesAheadOfTheLink (sweep.firstWrite), 7);
    EXPECT_LE (lastMs, 45.0);
}

namespace
{
Bytes parameterChange (uint8_t number, uint8_t value)
{
    return {0xF0, 0x41, 0x32, 0x02, number, value, 0xF7};
}

/** The synthesizer's sound in these tests: 4', Saw, Chorus Off; PWM Man, ENV Inverted, HPF 1. */
std::array<uint8_t, 18> synthesizerSound()
{
    PatchModel patch;
    patch.data[PatchBits::dcoFlagsIndex] =
        PatchBits::withChorus (PatchBits::withRangeBits (PatchBits::sawBit, PatchBits::range4), PatchBits::Chorus::off);
    patch.data[PatchBits::switchesIndex] =
        PatchBits::withHpfPosition (PatchBits::pwmManBit | PatchBits::vcfInvertBit, 1);
    return patch.data;
}
} // namespace

TEST_F (ControlCommandTest, ASwitchByteIsSentOnlyOnceKnownAndThenKeepsTheSynthesizersOtherBits)
{
    const std::string map = "1 20 HPF\n1 21 Chorus\n";
    writeBytes (path ("switches.map"), Bytes (map.begin(), map.end()));
    const auto sound = synthesizerSound();
    {
        // Nothing heard: the switch bytes are unknown, a fader still goes.
        auto control = startControl ({"--map", "switches.map"});
        controller.write ({0xB0, 20, 127, 0xB0, 21, 127, 0xB0, 20, 0, 0xB0, 107, 64});
        ASSERT_TRUE (waitForArrivals (1));
        std::this_thread::sleep_for (300ms);
        control->signal (SIGTERM);
        const auto result = control->finish();
        EXPECT_EQ (result.status, 0);
        EXPECT_EQ (peer.messages(), std::vector<Bytes>{parameterChange (5, 64)}) << "no switch byte sent";
        const std::string hpf =
            "qorv: HPF sends nothing yet: HPF, PWM, ENV and VCA share one byte of the "
            "synthesizer's sound, and Qorv does not know how the others are set. Give --listen PORT "
            "(the synthesizer's MIDI output) and choose a patch on the synthesizer, or --patch FILE "
            "to start from a sound of yours.\n";
        EXPECT_NE (result.err.find (hpf), std::string::npos) << result.err;
        EXPECT_NE (result.err.find ("qorv: Chorus sends nothing yet: Range, Square, Saw and Chorus share"),
                   std::string::npos)
            << result.err;
        EXPECT_EQ (result.err.find (hpf), result.err.rfind (hpf)) << "said once";
    }
    {
        // Listening to the synthesizer: its dump, then its own panel's VCA switch.
        auto control = startControl ({"--map", "switches.map", "--listen", "16:0"});
        EXPECT_NE (control->errors().find ("following Virtual Raw MIDI 0-0 VirMIDI 0-0 (16:0)"), std::string::npos);
        peer.send (dump (0x30, 2, 5, sound));
        const uint8_t switches = sound[PatchBits::switchesIndex] | PatchBits::vcaGateBit;
        peer.send (parameterChange (17, switches));
        std::this_thread::sleep_for (500ms); // heard and taken in
        controller.write ({0xB0, 20, 127, 0xB0, 21, 127});
        ASSERT_TRUE (waitForArrivals (3));
        control->signal (SIGTERM);
        EXPECT_EQ (control->finish().status, 0);
        const auto messages = peer.messages();
        EXPECT_EQ (std::vector<Bytes> (messages.begin() + 1, messages.end()),
                   (std::vector<Bytes>{
                       parameterChange (17, PatchBits::withHpfPosition (switches, 3)),
                       parameterChange (
                           16, PatchBits::withChorus (sound[PatchBits::dcoFlagsIndex], PatchBits::Chorus::two))}));
    }
}

TEST_F (ControlCommandTest, APatchFileIsSentOnceAtTheStartAndItsSwitchesAreKept)
{
    const auto sound = synthesizerSound();
    writeBytes (path ("sound.syx"), dump (0x30, 0, 0, sound));
    const std::string map = "1 20 HPF\n";
    writeBytes (path ("hpf.map"), Bytes (map.begin(), map.end()));
    auto control = startControl ({"--map", "hpf.map", "--patch", "sound.syx"});
    ASSERT_TRUE (waitForArrivals (1));
    controller.write ({0xB0, 20, 0});
    ASSERT_TRUE (waitForArrivals (2));
    control->signal (SIGTERM);
    const auto result = control->finish();
    EXPECT_EQ (result.status, 0) << result.err;
    EXPECT_EQ (peer.messages(),
               (std::vector<Bytes>{dump (0x30, 2, 0, sound),
                                   parameterChange (17, PatchBits::withHpfPosition (sound[17], 0))}));

    writeBytes (path ("bank.syx"), factoryBank (factory));
    const auto refused = runQorv (folder.root, {"control", "--to", "16:0", "--patch", "bank.syx"});
    EXPECT_EQ (refused.status, 1);
    EXPECT_EQ (refused.err,
               "qorv: bank.syx: holds 128 patches: choose one with --pick NAME or INDEX (qorv list shows them)\n");
}

TEST_F (ControlCommandTest, VerboseWithAStandardOutputNobodyReadsKeepsTranslatingAndCtrlCEndsIt)
{
    QorvProcess control (folder.root,
                         {"control", "--to", "16:0", "--from", "17:0", "--channel", "3", "--verbose"},
                         {},
                         QORV_BINARY,
                         QorvProcess::Output::unread);
    ASSERT_TRUE (control.waitForError ("Ctrl+C stops")) << control.errors();

    // 16 faders moved 400 times each: far more lines than a pipe holds.
    for (int round = 0; round < 400; ++round)
    {
        Bytes moves;
        for (uint8_t fader = 0; fader < 16; ++fader)
            moves.insert (moves.end(),
                          {0xB0, static_cast<uint8_t> (102 + fader), static_cast<uint8_t> ((round + fader) % 128)});
        controller.write (moves);
        std::this_thread::sleep_for (2ms);
    }
    Bytes last;
    for (uint8_t fader = 0; fader < 16; ++fader)
        last.insert (last.end(), {0xB0, static_cast<uint8_t> (102 + fader), static_cast<uint8_t> (fader * 8)});
    controller.write (last);

    const auto everyFaderAtItsLastValue = [&]
    {
        std::array<int, 16> values;
        values.fill (-1);
        for (const auto& message : peer.messages())
            if (message.size() == 7 && message[4] < 16)
                values[message[4]] = message[5];
        for (int fader = 0; fader < 16; ++fader)
            if (values[static_cast<size_t> (fader)] != fader * 8)
                return false;
        return true;
    };
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!everyFaderAtItsLastValue() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for (20ms);
    EXPECT_TRUE (everyFaderAtItsLastValue()) << "the translation went on";

    control.signal (SIGINT);
    const auto result = control.finish (15s);
    EXPECT_EQ (result.status, 1) << "ended by itself, saying lines were lost: " << result.err;
    EXPECT_NE (result.err.find ("qorv: stopped by SIGINT\n"), std::string::npos) << result.err;
    EXPECT_NE (result.err.find ("qorv: standard output: nothing read it: "), std::string::npos) << result.err;
}
