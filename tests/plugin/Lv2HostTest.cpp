// The built Qorv.lv2 in a bare LV2 host of our own (lilv, no JUCE): the
// host's threads make, automate, restore and delete instances while the
// plugin's own message thread runs beside them, as a DAW's do; a project's
// state comes back at once and a damaged one cannot take the host down; the
// way through the host stays within what a DIN link carries.

#include "Lv2Host.h"
#include "files/PluginState.h"
#include "midi/protocol/JunoMessages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
using Lv2Test::Bytes;
const char* const pluginUri = "https://qorv.org/plugins/qorv";
const char* const juceBase64 = ".ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+";

/** JUCE's text for a block of bytes: the count, a dot, six bits a character from the lowest. */
std::string juceText (const Bytes& bytes)
{
    std::string text = std::to_string (bytes.size()) + ".";
    const size_t bits = bytes.size() * 8;
    for (size_t at = 0; at < bits; at += 6)
    {
        int digit = 0;
        for (size_t bit = 0; bit < 6 && at + bit < bits; ++bit)
            digit |= ((bytes[(at + bit) / 8] >> ((at + bit) % 8)) & 1) << bit;
        text += juceBase64[digit];
    }
    return text;
}

Bytes bytesOf (const std::string& text)
{
    const auto dot = text.find ('.');
    if (dot == std::string::npos)
        return {};
    Bytes bytes (std::stoul (text.substr (0, dot)), 0);
    size_t at = 0;
    for (size_t i = dot + 1; i < text.size(); ++i, at += 6)
    {
        const auto digit = static_cast<unsigned> (std::string (juceBase64).find (text[i]));
        for (size_t bit = 0; bit < 6 && (at + bit) / 8 < bytes.size(); ++bit)
            bytes[(at + bit) / 8] |= static_cast<uint8_t> (((digit >> bit) & 1) << ((at + bit) % 8));
    }
    return bytes;
}

std::optional<PluginState> stateOf (const std::string& text)
{
    const auto bytes = bytesOf (text);
    std::string why;
    return PluginState::fromBytes (bytes.data(), bytes.size(), why);
}

PluginState projectState (PluginState::Way way)
{
    PluginState state;
    for (int i = 0; i < PatchBits::numLevelBytes; ++i)
        state.active.data[static_cast<size_t> (i)] = static_cast<uint8_t> (20 + i);
    state.active.name = "Brass Set";
    state.stored = state.active;
    state.way = way;
    state.channel = 2;
    return state;
}

/** The 24 parameters' ids and how many positions each has. */
const std::pair<const char*, int> parameters[] = {
    {"lfoRate", 128}, {"lfoDelay", 128}, {"dcoLfo", 128},  {"dcoPwm", 128},    {"noise", 128},    {"vcfFreq", 128},
    {"vcfRes", 128},  {"vcfEnv", 128},   {"vcfLfo", 128},  {"vcfKybd", 128},   {"vcaLevel", 128}, {"attack", 128},
    {"decay", 128},   {"sustain", 128},  {"release", 128}, {"subLevel", 128},  {"range", 3},      {"square", 2},
    {"saw", 2},       {"chorus", 3},     {"pwm", 2},       {"vcfPolarity", 2}, {"vcaMode", 2},    {"hpf", 4},
};

/** A host's value for a parameter at a position: faders 0-127, the others their normalised value. */
float plainValue (int positions, int position)
{
    return positions == 128 ? static_cast<float> (position)
                            : static_cast<float> (position % positions) / static_cast<float> (positions - 1);
}

void automateAll (Lv2Test::Instance& instance, int step)
{
    int i = 0;
    for (const auto& [id, positions] : parameters)
        instance.automate (id, plainValue (positions, (step + 13 * i++) % 128));
}

/** An X server of the test's own, which it can take away. */
class PrivateXServer
{
public:
    PrivateXServer()
    {
        int numberPipe[2];
        if (::pipe (numberPipe) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init (&actions);
        posix_spawn_file_actions_adddup2 (&actions, numberPipe[1], 3);
        posix_spawn_file_actions_addopen (&actions, 2, "/dev/null", O_WRONLY, 0);
        const char* arguments[] = {
            "Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "640x480x24", nullptr};
        if (posix_spawnp (&server, "Xvfb", &actions, nullptr, const_cast<char**> (arguments), environ) != 0)
            server = -1;
        posix_spawn_file_actions_destroy (&actions);
        ::close (numberPipe[1]);
        char number[16] = {};
        // The number comes once the server takes connections; the pipe stays open while it runs.
        numberFrom = numberPipe[0];
        const auto got = ::read (numberFrom, number, sizeof (number) - 1);
        if (got > 0)
            display = ":" + std::to_string (std::atoi (number));
        // Taking connections, as xdpyinfo sees it.
        const auto probe = "xdpyinfo -display " + display + " >/dev/null 2>&1";
        for (int wait = 0; wait < 100 && !display.empty() && std::system (probe.c_str()) != 0; ++wait)
            std::this_thread::sleep_for (std::chrono::milliseconds (50));
    }
    ~PrivateXServer() { end(); }

    /** How many windows are on the server: JUCE makes one of its own as it connects. */
    int windowCount() const
    {
        const auto command = "xwininfo -root -children -display " + display + " 2>/dev/null";
        FILE* output = ::popen (command.c_str(), "r");
        if (output == nullptr)
            return -1;
        char line[512];
        int count = 0;
        while (std::fgets (line, sizeof (line), output) != nullptr)
            if (std::sscanf (line, " %d child", &count) == 1)
                break;
        ::pclose (output);
        return count;
    }

    void end()
    {
        if (server <= 0)
            return;
        ::kill (server, SIGKILL);
        ::waitpid (server, nullptr, 0);
        ::close (numberFrom);
        server = -1;
    }

    pid_t server = -1;
    int numberFrom = -1;
    std::string display;
};

class Lv2HostTest : public testing::Test
{
protected:
    Lv2HostTest() : host (QORV_LV2_BUNDLE, pluginUri) {}

    /** Runs blocks for about `milliseconds`, as a host's audio thread would, so the plugin's timer takes its turns. */
    static void runFor (Lv2Test::Instance& instance, int milliseconds)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds (milliseconds);
        while (std::chrono::steady_clock::now() < end)
        {
            instance.runBlock();
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
        }
    }

    Lv2Test::Host host;
};
} // namespace

TEST_F (Lv2HostTest, AThousandInstancesMadeAutomatedRestoredAndDeletedOnAThreadOfTheHost)
{
    ASSERT_TRUE (host.found());
    const auto project = juceText (projectState (PluginState::Way::direct).toBytes());
    // Another instance lives throughout for half the rounds, as beside other tracks; alone, the
    // plugin's message thread starts and ends with each instance.
    auto resident = host.instantiate();
    ASSERT_NE (resident, nullptr);
    constexpr int rounds = 1000;
    int made = 0, restoredAtOnce = 0;
    for (int round = 0; round < rounds; ++round)
    {
        if (round == rounds / 2)
            resident.reset();
        std::thread hostThread (
            [&]
            {
                auto instance = host.instantiate();
                if (instance == nullptr)
                    return;
                ++made;
                instance->restoreText (project);
                if (instance->savedText() == project)
                    ++restoredAtOnce;
                // Automation while the timer takes moves and the restore is applied, then gone at once.
                for (int block = 0; block < round % 7; ++block)
                {
                    automateAll (*instance, round + block);
                    instance->runBlock();
                    if (round % 3 == 0)
                        std::this_thread::sleep_for (std::chrono::microseconds (700));
                }
            });
        hostThread.join();
    }
    EXPECT_EQ (made, rounds);
    EXPECT_EQ (restoredAtOnce, rounds);
}

TEST_F (Lv2HostTest, ARestoredProjectIsWhatTheNextSaveWritesAndTheParametersShowItBeforeTheFirstBlock)
{
    auto instance = host.instantiate();
    ASSERT_NE (instance, nullptr);
    const auto state = projectState (PluginState::Way::throughHost);
    const auto project = juceText (state.toBytes());
    EXPECT_EQ (instance->restoreText (project), LV2_STATE_SUCCESS);
    EXPECT_EQ (instance->savedText(), project) << "at once, before the message thread applied it";
    EXPECT_TRUE (instance->runBlock().empty()) << "nothing is sent while a project loads";
    EXPECT_EQ (instance->reported["vcfFreq"], 25.0f) << "the parameters follow the project in the first block";
    EXPECT_EQ (instance->reported["lfoRate"], 20.0f);

    runFor (*instance, 300);
    EXPECT_EQ (instance->savedText(), project) << "applied, the state is still the project's bytes";
}

TEST_F (Lv2HostTest, AStateTextWhoseCountItsDigitsCannotCarryIsRefusedAndWrittenBackAsItCame)
{
    for (const std::string damaged : {"-1.ABCDEFGH", "2147483648.ABCD", "99999999999999999999.AB", "1000.AB", "12"})
    {
        auto instance = host.instantiate();
        ASSERT_NE (instance, nullptr);
        instance->restoreText (damaged); // the host lives on: JUCE alone would throw out of here
        runFor (*instance, 100);
        EXPECT_EQ (instance->savedText(), damaged) << "kept for the project until something changes";

        instance->automate ("vcfFreq", 99.0f);
        runFor (*instance, 200);
        const auto own = stateOf (instance->savedText());
        ASSERT_TRUE (own.has_value()) << damaged << ": after a change the plugin writes its own state";
        EXPECT_EQ (own->active.data[5], 99);
    }
}

TEST_F (Lv2HostTest, OneSecondOfAllTwentyFourParametersMovingEveryBlockStaysWithinTheDinLink)
{
    auto instance = host.instantiate();
    ASSERT_NE (instance, nullptr);
    instance->restoreText (juceText (projectState (PluginState::Way::throughHost).toBytes()));
    runFor (*instance, 100);

    constexpr int blocksPerSecond = static_cast<int> (Lv2Test::Host::sampleRate) / Lv2Test::Host::blockSize;
    size_t bytes = 0;
    int sameByteTwice = 0;
    for (int block = 0; block < blocksPerSecond; ++block)
    {
        automateAll (*instance, block);
        std::array<int, PatchBits::numBytes> perByte{};
        for (const auto& message : instance->runBlock())
        {
            bytes += message.size();
            const int parameter = JunoMessages::paramChangeNumber (message.data(), message.size());
            if (parameter >= 0 && ++perByte[static_cast<size_t> (parameter)] > 1)
                ++sameByteTwice;
        }
    }
    EXPECT_LE (bytes, 3125u + JunoMessages::patchDumpSize) << "a second of a DIN link, and one dump's burst";
    EXPECT_GT (bytes, 3000u) << "and the link is used";
    EXPECT_EQ (sameByteTwice, 0) << "one message per changed byte per block";
}

TEST_F (Lv2HostTest, TheHostCarriesOnWhenTheXServerGoesAwayWhileNoWindowIsOpen)
{
    const std::string previousDisplay = std::getenv ("DISPLAY") != nullptr ? std::getenv ("DISPLAY") : "";
    PrivateXServer xServer;
    ASSERT_FALSE (xServer.display.empty()) << "Xvfb did not start";
    ::setenv ("DISPLAY", xServer.display.c_str(), 1);
    {
        // The first instance starts the plugin's message thread, which JUCE connects to this server.
        auto instance = host.instantiate();
        ASSERT_NE (instance, nullptr);
        runFor (*instance, 300);
        EXPECT_EQ (xServer.windowCount(), 0) << "no window open: no connection, not even JUCE's own hidden window";
        xServer.end();
        runFor (*instance, 1000); // Xlib's default would have ended this process by now
        instance->automate ("vcfFreq", 77.0f);
        runFor (*instance, 200);
        const auto own = stateOf (instance->savedText());
        ASSERT_TRUE (own.has_value());
        EXPECT_EQ (own->active.data[5], 77) << "the plugin goes on working";
    }
    ::setenv ("DISPLAY", previousDisplay.c_str(), 1);
}
