// The command line itself: usage errors and their status, help, the version,
// the hand-over before the window (no display, no X connection), MIDI
// commands on a machine without a sequencer, and output that cannot be written.

#include "CliTestFiles.h"
#include "QorvProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace
{
class CommandLineTest : public testing::Test
{
protected:
    CommandLineTest()
    {
        const auto factory = loadFactoryPatches();
        writeBytes (folder.path ("Brass.syx"), dump (0x30, 0, 0, factory[0].patch.data));
    }

    TempFolder folder;
};

bool contains (const std::string& text, const std::string& part)
{
    return text.find (part) != std::string::npos;
}

TEST_F (CommandLineTest, AWrongCommandLineIsAUsageErrorThatSaysWhatIsWrong)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"list"}, "list: name at least one FILE"},
        {{"list", "--bogus", "Brass.syx"}, "list: unknown option --bogus"},
        {{"list", "--json=yes", "Brass.syx"}, "list: --json takes no value"},
        {{"convert", "Brass.syx"}, "convert: name the OUTPUT with -o"},
        {{"convert", "--", "Brass.syx", "-o", "Out.106"},
         "convert: everything after \"--\" is a file name, -o too: name the OUTPUT with -o before \"--\""},
        {{"convert", "-o", "Out.106"}, "convert: name at least one INPUT"},
        {{"convert", "Brass.syx", "-o"}, "convert: -o needs a value"},
        {{"convert", "Brass.syx", "-o", "a.106", "-o", "b.106"}, "convert: --output given twice"},
        {{"convert", "Brass.syx", "-o", "Out.txt"}, "cannot tell what to write from the name 'Out.txt'"},
        {{"convert", "Brass.syx", "--bank", "-o", "Out.106"}, "--bank writes one .syx file"},
        {{"convert", "Brass.syx", "--channel", "0", "-o", "Out.syx"}, "--channel wants a MIDI channel from 1 to 16"},
        {{"convert", "Brass.syx", "--channel", "17", "-o", "Out.syx"}, "--channel wants a MIDI channel from 1 to 16"},
        {{"convert", "Brass.syx", "--channel=x", "-o", "Out.syx"}, "--channel wants a MIDI channel from 1 to 16"},
        {{"ports", "extra"}, "ports: takes no operands"},
        {{"send", "--to", "16:0"}, "send: name one FILE"},
        {{"send", "Brass.syx"}, "send: name the output with --to PORT"},
        {{"capture", "--from", "16:0"}, "capture: name the library to record into with -o LIBRARY.106"},
        {{"capture", "--from", "16:0", "-o", "Lib.syx"}, "name the library to record into with -o LIBRARY.106"},
        {{"capture", "-o", "Lib.106"}, "capture: name the input with --from PORT"},
        {{"capture", "--from", "16:0", "-o", "Lib.106", "--count", "0"}, "--count wants a whole number from 1"},
        {{"capture", "--from", "16:0", "-o", "Lib.106", "--timeout", "-1"}, "--timeout wants a number of seconds"},
        {{"capture", "--from", "16:0", "-o", "Lib.106", "--timeout", "nan"}, "--timeout wants a number of seconds"},
        {{"monitor"}, "monitor: name the input with --from PORT"},
        {{"monitor", "--from", "16:0", "extra"}, "monitor: takes no operands"},
        {{"control", "--from", "17:0"}, "control: name the synthesizer's output with --to PORT"},
        {{"control", "--to", "16:0", "extra"}, "control: takes no operands"},
        {{"control", "--to", "16:0", "--to", "16:1"}, "control: --to given twice"},
        {{"control", "--to", "16:0", "--verbose=yes"}, "control: --verbose takes no value"},
        {{"control", "--to", "16:0", "--channel", "0"}, "--channel wants a MIDI channel from 1 to 16"},
        {{"restore", "--to", "16:0", "--from", "16:0"}, "restore: name one LIBRARY to write"},
        {{"restore", "Brass.syx", "--from", "16:0"}, "restore: name the output to the synthesizer with --to PORT"},
        {{"restore", "Brass.syx", "--to", "16:0"}, "restore: name the input from the synthesizer with --from PORT"},
        {{"restore", "Brass.syx", "--to", "1:0", "--from", "1:0", "--start", "A19"},
         "--start wants a memory from A11 to B88, not 'A19'"},
        {{"restore", "Brass.syx", "--to", "1:0", "--from", "1:0", "--timeout", "0"},
         "--timeout wants a number of seconds above 0, not '0'"},
        {{"restore", "Brass.syx", "--to", "1:0", "--from", "1:0", "--rows", "1-2"},
         "--rows wants FIRST-LAST from 1 to 1 (the patches as qorv list numbers them), not '1-2'"},
        {{"morph", "Brass.syx"}, "morph: name two to four PATCHES to blend"},
        {{"morph", "Brass.syx", "Brass.syx"}, "morph: say where to blend with --at X"},
        {{"morph", "Brass.syx", "Brass.syx", "--at", "1.01"}, "morph: --at wants numbers from 0 to 1, not '1.01'"},
        {{"morph", "Brass.syx", "Brass.syx", "--at", "-0.1"}, "--at wants numbers from 0 to 1, not '-0.1'"},
        {{"morph", "Brass.syx", "Brass.syx", "--at", "nan"}, "--at wants numbers from 0 to 1, not 'nan'"},
        {{"morph", "Brass.syx", "Brass.syx", "--at", "0.5,0.5"}, "two patches blend along a line"},
        {{"morph", "Brass.syx", "Brass.syx", "Brass.syx", "--at", "0.5"}, "blend on a square: --at takes X,Y"},
        {{"morph", "Brass.syx", "Brass.syx", "--at", "0.5", "-o", "Blend.106"}, "name the output FILE.syx"},
        {{"breed", "-o", "Kids.syx"}, "breed: name one to three PARENT patches"},
        {{"breed", "Brass.syx", "Brass.syx", "Brass.syx", "Brass.syx", "-o", "Kids.syx"}, "at most three PARENT"},
        {{"breed", "Brass.syx"}, "breed: name the OUTPUT with -o"},
        {{"breed", "Brass.syx", "-o", "Kids.txt"}, "cannot tell what to write from the name 'Kids.txt'"},
        {{"breed", "Brass.syx", "-o", "Kids.syx", "--amount", "huge"}, "--amount is subtle, moderate or wild"},
        {{"breed", "Brass.syx", "-o", "Kids.syx", "--lock", "VCF,VCO"}, "--lock takes sections LFO, DCO"},
        {{"breed", "Brass.syx", "-o", "Kids.syx", "--seed", "12x"}, "--seed wants a whole number"},
        {{"breed", "Brass.syx", "-o", "Kids.syx", "--seed", "18446744073709551616"}, "--seed wants a whole number"},
        {{"breed", "Brass.syx", "-o", "Kids.syx", "--children", "0"}, "--children wants a whole number from 1"},
        {{"similar", "Brass.syx"}, "similar: name a LIBRARY and the NAME"},
        {{"similar", "Brass.syx", "Brass", "--count", "0"}, "--count wants a whole number from 1"},
        {{"duplicates"}, "duplicates: name one LIBRARY"},
        {{"duplicates", "Brass.syx", "--within", "-1"}, "--within wants a whole number from 0"},
        {{"record", "--to", "16:0", "--from", "hw:0"}, "record: name one LIBRARY to record"},
        {{"record", "Brass.syx", "--from", "hw:0"}, "record: name the output to the synthesizer with --to PORT"},
        {{"record", "Brass.syx", "--to", "16:0"},
         "record: name the audio input the synthesizer is connected to with --from PCM"},
        {{"record", "Brass.syx", "--to", "1:0", "--from", "hw:0", "--rows", "1", "--missing"},
         "--rows and --missing do not go together"},
        {{"record", "Brass.syx", "--to", "1:0", "--from", "hw:0", "--note", "128"}, "--note wants 0 to 127"},
        {{"record", "Brass.syx", "--to", "1:0", "--from", "hw:0", "--rows", "A12"},
         "--rows wants FIRST-LAST from 1 to 1 (as qorv list numbers the patches) or memory names such as A11-A18, not "
         "'A12'"},
        {{"previews", "Brass.syx"}, "previews: say what to do: --verify or --prune"},
        {{"previews", "Brass.syx", "--verify", "--prune"}, "previews: say what to do: --verify or --prune"},
        {{"voicecheck", "--to", "16:0"}, "voicecheck: name the audio input"},
        {{"voicecheck", "--to", "16:0", "--from", "hw:0", "extra"}, "voicecheck: takes no operands"},
    };
    for (const auto& [arguments, message] : cases)
    {
        const auto result = runQorv (folder.root, arguments);
        EXPECT_EQ (result.status, 2) << arguments[0] << ": " << result.err;
        EXPECT_TRUE (contains (result.err, "qorv: " + message) || contains (result.err, message)) << result.err;
        EXPECT_TRUE (contains (result.err, "see qorv " + arguments[0] + " --help")) << result.err;
        EXPECT_EQ (result.out, "");
    }
    // Nothing was written by any of them.
    EXPECT_EQ (folder.entries(), std::vector<std::string>{"Brass.syx"});
}

TEST_F (CommandLineTest, HelpAndVersionGoToStandardOutput)
{
    for (const std::string help : {"--help", "-h"})
    {
        const auto result = runQorv (folder.root, {help});
        EXPECT_EQ (result.status, 0);
        EXPECT_EQ (result.out.rfind ("Usage: qorv [FILE...]\n", 0), 0u);
        for (const std::string command : {"list",
                                          "convert",
                                          "ports",
                                          "send",
                                          "capture",
                                          "monitor",
                                          "control",
                                          "restore",
                                          "morph",
                                          "breed",
                                          "similar",
                                          "duplicates",
                                          "record",
                                          "previews",
                                          "voicecheck"})
            EXPECT_TRUE (contains (result.out, "\n  " + command + " ")) << command;
    }
    for (const std::string command : {"list",
                                      "convert",
                                      "ports",
                                      "send",
                                      "capture",
                                      "monitor",
                                      "control",
                                      "restore",
                                      "morph",
                                      "breed",
                                      "similar",
                                      "duplicates",
                                      "record",
                                      "previews",
                                      "voicecheck"})
    {
        // Help wins over anything else on the line, even a wrong option.
        const auto result = runQorv (folder.root, {command, "--bogus", "--help"});
        EXPECT_EQ (result.status, 0) << command;
        EXPECT_EQ (result.out.rfind ("Usage: qorv " + command, 0), 0u) << result.out;
        EXPECT_EQ (result.err, "");
    }
    const auto version = runQorv (folder.root, {"--version"});
    EXPECT_EQ (version.status, 0);
    EXPECT_EQ (version.out, std::string ("qorv ") + QORV_VERSION + "\n");
}

TEST_F (CommandLineTest, AFileNamedLikeACommandAfterTheDoubleDashIsAnOperand)
{
    std::filesystem::rename (folder.path ("Brass.syx"), folder.path ("-p.syx"));
    const auto result = runQorv (folder.root, {"list", "--", "-p.syx"});
    EXPECT_EQ (result.status, 0) << result.err;
    EXPECT_EQ (result.out, "  1  -p\n");
}

TEST_F (CommandLineTest, CommandsNeedNoDisplayAndNeverConnectToOne)
{
    for (const std::string display : {"DISPLAY=", "DISPLAY=:987"})
    {
        const auto result = runQorv (folder.root, {"list", "Brass.syx"}, {display});
        EXPECT_EQ (result.status, 0) << display << result.err;
        EXPECT_EQ (result.out, "  1  Brass\n");
    }

    // No socket is ever connected: not to an X server, not to anything. The
    // MIDI commands build their message loop and engine even without a sequencer.
    ASSERT_EQ (runShell ("command -v strace >/dev/null"), 0) << "strace is needed: scripts/install-deps.sh test";
    const std::string log = folder.path ("strace.log");
    const std::vector<std::pair<std::string, int>> commands = {{"list Brass.syx", 0},
                                                               {"convert Brass.syx -o Brass.106", 0},
                                                               {"ports", ::access ("/dev/snd/seq", F_OK) == 0 ? 0 : 1}};
    for (const auto& [command, status] : commands)
    {
        EXPECT_EQ (runShell ("cd " + folder.root.string() + " && DISPLAY=:0 strace -f -qq -e trace=connect -o " + log +
                             " " + QORV_BINARY + " " + command + " >/dev/null 2>&1"),
                   status)
            << command;
        std::ifstream in (log);
        const std::string calls ((std::istreambuf_iterator<char> (in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE (in.is_open()) << command;
        EXPECT_EQ (calls, "") << command;
    }
}

TEST_F (CommandLineTest, AnythingElseStartsTheWindowSoAFileCalledListOpensAsDotSlashList)
{
    std::filesystem::copy_file (folder.path ("Brass.syx"), folder.path ("list"));
    const auto window = runQorv (folder.root, {"./list"}, {"DISPLAY="});
    EXPECT_EQ (window.status, 1);
    EXPECT_TRUE (contains (window.err, "cannot open the X display")) << window.err;

    const auto command = runQorv (folder.root, {"list", "list"}, {"DISPLAY="});
    EXPECT_EQ (command.status, 1); // "list" has no extension it knows
    EXPECT_TRUE (contains (command.err, "qorv: list: not a .106, .syx or .jep file")) << command.err;
}

TEST_F (CommandLineTest, WithoutASequencerTheMidiCommandsSaySoAndTouchNothing)
{
    if (::access ("/dev/snd/seq", F_OK) == 0)
        GTEST_SKIP() << "this machine has an ALSA sequencer; the virtual machine's tests cover it";

    const auto ports = runQorv (folder.root, {"ports"});
    EXPECT_EQ (ports.status, 1);
    EXPECT_EQ (ports.err, "qorv: MIDI unavailable: no ALSA sequencer\n");
    EXPECT_EQ (ports.out, "");

    const std::vector<std::vector<std::string>> commands = {
        {"send", "Brass.syx", "--to", "Synth"},
        {"capture", "--from", "Synth", "-o", "Lib.106"},
        {"monitor", "--from", "Synth"},
        {"control", "--to", "Synth"},
        {"restore", "Brass.syx", "--to", "Synth", "--from", "Synth"}};
    for (const auto& arguments : commands)
    {
        const auto result = runQorv (folder.root, arguments);
        EXPECT_EQ (result.status, 1) << arguments[0];
        EXPECT_EQ (result.err, "qorv: Synth: MIDI unavailable: no ALSA sequencer\n") << arguments[0];
    }
    EXPECT_EQ (folder.entries(), std::vector<std::string>{"Brass.syx"});
}

TEST_F (CommandLineTest, AControllerMapThatCannotBeUsedIsNamedWithItsReasonBeforeAnythingElse)
{
    const std::string wrong = "1 74 VCF Freq\n1 64 Attack\n";
    writeBytes (folder.path ("wrong.map"), Bytes (wrong.begin(), wrong.end()));
    const std::pair<std::string, std::string> cases[] = {
        {"missing.map", "qorv: missing.map: No such file or directory\n"},
        {"wrong.map", "qorv: wrong.map: line 2: CC 64 passes to the synthesizer and cannot be mapped\n"},
    };
    for (const auto& [map, message] : cases)
    {
        const auto result = runQorv (folder.root, {"control", "--to", "Synth", "--map", map});
        EXPECT_EQ (result.status, 1) << map;
        EXPECT_EQ (result.err, message);
    }
}

TEST_F (CommandLineTest, OutputThatCannotBeWrittenFailsTheCommand)
{
    const int status = runShell ("cd " + folder.root.string() + " && " + QORV_BINARY +
                                 " list --params Brass.syx >/dev/full 2>err.txt");
    EXPECT_EQ (status, 1);
    std::ifstream in (folder.path ("err.txt"));
    std::string line;
    std::getline (in, line);
    EXPECT_EQ (line, "qorv: standard output: No space left on device");
}
} // namespace

TEST_F (CommandLineTest, PreviewsVerifyNamesEachFileThatIsNotThePreviewItsNameSays)
{
    const std::string name = std::string (36, 'a') + "-note60-1s.ogg";
    std::filesystem::create_directory (folder.path ("Brass.previews"));
    writeBytes (folder.path ("Brass.previews/" + name), {'O', 'g', 'g', 'S', 0});
    const auto result = runQorv (folder.root, {"previews", "Brass.syx", "--verify"});
    EXPECT_EQ (result.status, 1);
    EXPECT_TRUE (contains (result.err, "Brass.previews/" + name + ": It is not an Ogg Vorbis file.")) << result.err;
    EXPECT_TRUE (contains (result.out, "1 file in Brass.previews checked: 1 not.")) << result.out;
    const auto none = runQorv (folder.root, {"previews", "Other.106", "--verify"});
    EXPECT_EQ (none.status, 0);
    EXPECT_EQ (none.out, "No previews in Other.previews.\n");
}
