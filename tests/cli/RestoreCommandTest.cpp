// qorv restore against the real kernel sequencer, inside the virtual machine
// of tools/alsa-vm: a scripted synthesizer on the far side of hw:0,0
// (sequencer port 16:0) keeps what it is sent and answers each memory's
// selection as the test tells it to.

#include "CliTestFiles.h"
#include "QorvProcess.h"
#include "ScriptedSynthesizer.h"
#include "files/QorvFileIO.h"
#include "session/RestoreGuide.h"
#include "session/SynthMemory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{
using namespace std::chrono_literals;
using Answer = ScriptedSynthesizer::Answer;

const std::string virMidi = "Virtual Raw MIDI 0-0 VirMIDI 0-0 (16:0)";

/** Whether the synthesizer has received `count` patch dumps within five seconds. */
bool dumpsArrive (const ScriptedSynthesizer& synth, size_t count)
{
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (synth.dumpsReceived().size() < count)
    {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for (5ms);
    }
    return true;
}

/** qorv run at a terminal of its own: what it prints, and lines typed to it. */
class TerminalRun
{
public:
    TerminalRun (const std::string& folder, const std::vector<std::string>& arguments)
    {
        std::vector<std::string> words{QORV_BINARY};
        words.insert (words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& word : words)
            argv.push_back (word.data());
        argv.push_back (nullptr);
        child = ::forkpty (&terminal, nullptr, nullptr, nullptr);
        if (child == 0)
        {
            if (::chdir (folder.c_str()) == 0)
                ::execv (argv[0], argv.data());
            ::_exit (127);
        }
    }

    ~TerminalRun()
    {
        if (child > 0 && !ended)
        {
            ::kill (child, SIGKILL);
            ::waitpid (child, nullptr, 0);
        }
        if (terminal >= 0)
            ::close (terminal);
    }

    void type (const std::string& line)
    {
        EXPECT_EQ (::write (terminal, line.data(), line.size()), (ssize_t)line.size());
    }

    bool waitFor (const std::string& text, std::chrono::milliseconds timeout = 30s)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (shown.find (text) == std::string::npos)
        {
            if (std::chrono::steady_clock::now() >= deadline || !readSome (50))
                return shown.find (text) != std::string::npos;
        }
        return true;
    }

    /** The exit status once it has ended (-1 when it had to be killed after a minute), after all it printed. */
    int finish()
    {
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (readSome (100) && std::chrono::steady_clock::now() < deadline)
        {
        }
        int status = 0;
        if (::waitpid (child, &status, WNOHANG) != child)
        {
            ::kill (child, SIGKILL);
            ::waitpid (child, &status, 0);
        }
        ended = true;
        return WIFEXITED (status) ? WEXITSTATUS (status) : -1;
    }

    std::string shown;

private:
    /** False once the terminal has closed. */
    bool readSome (int waitMs)
    {
        pollfd ready{terminal, POLLIN, 0};
        if (::poll (&ready, 1, waitMs) <= 0)
            return ready.revents == 0;
        char bytes[1024];
        const ssize_t count = ::read (terminal, bytes, sizeof (bytes));
        if (count <= 0)
            return false;
        shown.append (bytes, static_cast<size_t> (count));
        return true;
    }

    int terminal = -1;
    pid_t child = -1;
    bool ended = false;
};

/** Lines as a terminal shows them: each ends in a carriage return and a line feed. */
std::string asShown (std::string lines)
{
    for (size_t at = 0; (at = lines.find ('\n', at)) != std::string::npos; at += 2)
        lines.replace (at, 1, "\r\n");
    return lines;
}

class RestoreCommandTest : public testing::Test
{
protected:
    RestoreCommandTest()
    {
        LibraryModel library;
        library.patches.clear(); // no Init patch: the instrument's 128 in its order
        for (const auto& row : factory)
            library.patches.push_back (row.patch);
        EXPECT_TRUE (QorvFileIO::save (folder.path ("Factory.106"), library));
    }

    /** The dumps Qorv must have sent: factory row `firstRow + i` as memory `memories[i]`, on the channel. */
    Bytes expectedWire (const std::vector<std::pair<int, size_t>>& memoryAndRow, uint8_t channel = 0) const
    {
        Bytes bytes;
        for (const auto& [memory, row] : memoryAndRow)
            append (bytes, dump (0x30, channel, static_cast<uint8_t> (memory), factory[row].patch.data));
        return bytes;
    }

    /** The lines for one memory that is written and checked at the first send. */
    std::string checkedAtOnce (int memory, size_t row, size_t place, size_t count) const
    {
        return header (memory, row, place, count) + "  written and checked\n";
    }

    std::string header (int memory, size_t row, size_t place, size_t count) const
    {
        const std::string name = SynthMemory::name (memory);
        return name + "  " + factory[row].patch.name + "  (" + std::to_string (place) + " of " +
               std::to_string (count) + ")\n  Press WRITE, then " + SynthMemory::buttons (memory) + "; then select " +
               name + ".\n";
    }

    TempFolder folder;
    const std::vector<FactoryPatch> factory = loadFactoryPatches();
};

TEST_F (RestoreCommandTest, SixteenMemoriesAreWrittenAndCheckedAndADamagedAnswerIsSentAgain)
{
    ScriptedSynthesizer synth ("hw:0,0", 2);
    ASSERT_TRUE (synth.isOpen());
    const int a33 = 2 * 8 + 2;
    synth.script (a33, Answer::damagedOnce);

    const auto result = runQorv (folder.root,
                                 {"restore",
                                  "Factory.106",
                                  "--to",
                                  "16:0",
                                  "--from",
                                  "Virtual Raw MIDI 0-0",
                                  "--start",
                                  "A31",
                                  "--rows",
                                  "17-32",
                                  "--channel",
                                  "3"});
    // The start of a name will do: only one input's name begins so.
    ASSERT_EQ (result.status, 0) << result.out << result.err;
    EXPECT_EQ (result.err, "");

    std::string expected = "Writing 16 patches of Factory.106 into A31 to A48: out through " + virMidi +
                           ", answers from " + virMidi +
                           ", channel 3.\nOn the synthesizer, set MEMORY PROTECT to OFF and the MIDI FUNCTION switch "
                           "to III.\nEach memory goes on by itself once its answer is checked; Ctrl+C stops.\n";
    std::vector<std::pair<int, size_t>> wire;
    for (size_t i = 0; i < 16; ++i)
    {
        const int memory = 16 + static_cast<int> (i);
        const size_t row = 16 + i;
        wire.push_back ({memory, row});
        if (memory != a33)
        {
            expected += checkedAtOnce (memory, row, i + 1, 16);
            continue;
        }
        const auto freq = factory[row].patch.data[5];
        expected += header (memory, row, i + 1, 16) + "  differs: VCF Freq sent " + std::to_string (freq) +
                    ", came back " + std::to_string (freq ^ 0x10) +
                    "\n  sent again (2 of 3 sends): Press WRITE, then bank A, group 3, number 3; then select A33.\n"
                    "  written and checked\n";
        wire.push_back ({memory, row});
    }
    expected += "Summary: 16 written and checked, 0 skipped, 0 differing\n";
    EXPECT_EQ (result.out, expected);

    // Every dump exact, each numbered as its memory, and nothing else on the wire.
    EXPECT_EQ (synth.received(), expectedWire (wire, 2));
    for (size_t i = 0; i < 16; ++i)
        EXPECT_EQ (synth.memory (16 + static_cast<int> (i)), factory[16 + i].patch.data);
}

TEST_F (RestoreCommandTest, ASilentSynthesizerIsReportedAndTheRunGoesOnFromThereLater)
{
    auto synth = std::make_unique<ScriptedSynthesizer>();
    synth->script (2, Answer::silent); // A13
    const auto stopped =
        runQorv (folder.root,
                 {"restore", "Factory.106", "--to", "16:0", "--from", "16:0", "--rows", "1-16", "--timeout", "1.5"});
    EXPECT_EQ (stopped.status, 1);
    EXPECT_EQ (stopped.err,
               "qorv: No answer from the synthesizer for A13. Check the MIDI cable from its MIDI OUT to Qorv's input, "
               "that its MIDI FUNCTION switch is at III, and that it sends on MIDI channel 1.\n");
    const std::string way = "qorv restore Factory.106 --to 16:0 --from 16:0 --start A13 --rows 3-16 --timeout 1.5";
    EXPECT_NE (stopped.out.find (header (2, 2, 3, 16) +
                                 "Summary: 2 written and checked, 0 skipped, 0 differing, 14 "
                                 "not written yet (A13 to A28)\nTo go on from here: " +
                                 way + "\n"),
               std::string::npos)
        << stopped.out;
    EXPECT_EQ (synth->dumpsReceived(), (std::vector<int>{0, 1, 2}));

    // After a restart of the synthesizer, the command printed goes on at A13.
    synth = std::make_unique<ScriptedSynthesizer>();
    const auto resumed = runQorv (folder.root,
                                  {"restore",
                                   "Factory.106",
                                   "--to",
                                   "16:0",
                                   "--from",
                                   "16:0",
                                   "--start",
                                   "A13",
                                   "--rows",
                                   "3-16",
                                   "--timeout",
                                   "1.5"});
    ASSERT_EQ (resumed.status, 0) << resumed.out << resumed.err;
    EXPECT_NE (resumed.out.find ("Summary: 14 written and checked, 0 skipped, 0 differing\n"), std::string::npos);
    std::vector<std::pair<int, size_t>> wire;
    for (size_t row = 2; row < 16; ++row)
        wire.push_back ({static_cast<int> (row), row});
    EXPECT_EQ (synth->received(), expectedWire (wire));
}

TEST_F (RestoreCommandTest, AMemoryThatKeepsDifferingCountsAsDifferingAfterThreeSends)
{
    ScriptedSynthesizer synth;
    synth.script (65, Answer::damagedAlways); // B12
    const auto result = runQorv (
        folder.root, {"restore", "Factory.106", "--to", "16:0", "--from", "16:0", "--start", "B11", "--rows", "1-3"});
    EXPECT_EQ (result.status, 1);
    const auto freq = std::to_string (factory[1].patch.data[5]);
    const auto damagedFreq = std::to_string (factory[1].patch.data[5] ^ 0x10);
    const std::string differs = "  differs: VCF Freq sent " + freq + ", came back " + damagedFreq + "\n";
    const std::string again = ": Press WRITE, then bank B, group 1, number 2; then select B12.\n";
    EXPECT_NE (result.out.find (header (65, 1, 2, 3) + differs + "  sent again (2 of 3 sends)" + again + differs +
                                "  sent again (3 of 3 sends)" + again + differs +
                                "  counted as differing after 3 sends\n" + checkedAtOnce (66, 2, 3, 3) +
                                "Summary: 2 written and checked, 0 skipped, 1 differing (B12)\n"),
               std::string::npos)
        << result.out;
    EXPECT_EQ (synth.dumpsReceived(), (std::vector<int>{64, 65, 65, 65, 66}));
}

TEST_F (RestoreCommandTest, CtrlCStopsWithTheSummary)
{
    ScriptedSynthesizer synth;
    synth.script (1, Answer::silent);
    QorvProcess restore (folder.root, {"restore", "Factory.106", "--to", "16:0", "--from", "16:0"});
    ASSERT_TRUE (restore.waitForOutput ("then select A12.\n")) << restore.output() << restore.errors();
    restore.signal (SIGINT);
    const auto result = restore.finish();
    EXPECT_EQ (result.status, 1);
    EXPECT_EQ (result.err, "qorv: stopped by SIGINT\n");
    EXPECT_NE (result.out.find ("Summary: 1 written and checked, 0 skipped, 0 differing, 127 not written yet (A12 to "
                                "B88)\nTo go on from here: qorv restore Factory.106 --to 16:0 --from "
                                "16:0 --start A12 --rows 2-128\n"),
               std::string::npos)
        << result.out;
}

TEST_F (RestoreCommandTest, AtATerminalALineRSendsAgainAndSSkips)
{
    ScriptedSynthesizer synth;
    synth.script (0, Answer::silent);
    TerminalRun run (folder.root, {"restore", "Factory.106", "--to", "16:0", "--from", "16:0", "--rows", "1-2"});
    ASSERT_TRUE (run.waitFor ("a line \"s\" skips it, \"r\" sends its patch again; Ctrl+C stops.")) << run.shown;
    ASSERT_TRUE (run.waitFor ("then select A11.")) << run.shown;
    // A dump still waiting for the wire is replaced by the next one (the same
    // one sent again, or the next memory's): each must arrive before the next key.
    ASSERT_TRUE (dumpsArrive (synth, 1));
    run.type ("r\n");
    ASSERT_TRUE (run.waitFor ("  sent again: Press WRITE")) << run.shown;
    ASSERT_TRUE (dumpsArrive (synth, 2));
    run.type ("what\n");
    ASSERT_TRUE (run.waitFor ("qorv: type s and Enter to skip this memory, r and Enter to send its patch again"))
        << run.shown;
    run.type ("s\n");
    EXPECT_EQ (run.finish(), 1);
    EXPECT_NE (run.shown.find (asShown ("  skipped\n" + checkedAtOnce (1, 1, 2, 2) +
                                        "Summary: 1 written and checked, 1 skipped (A11), 0 differing\n")),
               std::string::npos)
        << run.shown;
    EXPECT_EQ (synth.dumpsReceived(), (std::vector<int>{0, 0, 1}));
}
} // namespace

namespace
{
TEST_F (RestoreCommandTest, ItsOwnEchoChecksNothingAndSaysWhyButAnEchoBesideTheAnswersChangesNothing)
{
    const std::vector<std::string> fourMemories{
        "restore", "Factory.106", "--to", "16:0", "--from", "16:0", "--rows", "1-4", "--timeout", "2"};
    {
        // Only a thru or a merge on the far side: every dump comes straight back, nothing answers.
        ScriptedSynthesizer echoOnly;
        echoOnly.echo (true);
        for (int memory = 0; memory < 4; ++memory)
            echoOnly.script (memory, Answer::silent);
        const auto result = runQorv (folder.root, fourMemories);
        EXPECT_EQ (result.status, 1);
        EXPECT_EQ (result.err, "qorv: " + std::string (RestoreGuide::echoAdvice) + "\n");
        EXPECT_NE (result.out.find ("Summary: 0 written and checked, 0 skipped, 0 differing, 4 not written yet (A11 "
                                    "to A14)\n"),
                   std::string::npos)
            << result.out;
    }
    {
        // An interface that merges its thru into the synthesizer's answers, 0.3 s after each dump.
        ScriptedSynthesizer merged;
        merged.echo (true);
        const auto result = runQorv (folder.root, fourMemories);
        EXPECT_EQ (result.status, 0) << result.out << result.err;
        EXPECT_NE (result.out.find ("Summary: 4 written and checked, 0 skipped, 0 differing\n"), std::string::npos)
            << result.out;
        EXPECT_EQ (merged.dumpsReceived(), (std::vector<int>{0, 1, 2, 3})) << "each sent once";
    }
}

TEST_F (RestoreCommandTest, TheSequencersThroughPortChosenBothWaysIsRefusedBeforeAnythingIsSent)
{
    // The through port's client may come only once the sequencer is first asked for its clients.
    QorvResult ports;
    for (int attempt = 0; attempt < 20; ++attempt)
    {
        ports = runQorv (folder.root, {"ports"});
        if (ports.out.find ("14:0") != std::string::npos)
            break;
        std::this_thread::sleep_for (100ms);
    }
    ASSERT_NE (ports.out.find ("14:0  Midi Through Midi Through Port-0"), std::string::npos) << ports.out;

    const auto result = runQorv (folder.root, {"restore", "Factory.106", "--to", "14:0", "--from", "14:0"});
    EXPECT_EQ (result.status, 1);
    EXPECT_EQ (result.out, "");
    EXPECT_EQ (result.err,
               "qorv: Midi Through Midi Through Port-0 (14:0): " + std::string (RestoreGuide::loopAdvice) + "\n");
}
} // namespace
