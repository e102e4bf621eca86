// A plugin's sound on its way through the host's MIDI output: only the latest
// sound waits, one message per changed byte per block, no faster than a DIN
// link, and a byte goes only when the synthesizer was not last sent it.

#include "session/HostMidiLine.h"
#include "midi/protocol/JunoMessages.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;
constexpr double blockSeconds = 64.0 / 48000.0;

class Recorder final : public HostMidiLine::Sink
{
public:
    void write (const uint8_t* message, size_t size) override { messages.emplace_back (message, message + size); }
    std::vector<Bytes> messages;
};

Bytes paramChange (int number, int value)
{
    const auto message = JunoMessages::buildParamChange (0, number, value);
    return Bytes (message.begin(), message.end());
}

HostMidiLine::Bytes initBytes()
{
    HostMidiLine::Bytes bytes{};
    const PatchModel init;
    std::copy (init.data.begin(), init.data.end(), bytes.begin());
    return bytes;
}

/** One block: what was posted, the host's moves, then what leaves. */
std::vector<Bytes> block (HostMidiLine& line,
                          std::initializer_list<std::pair<PanelControl, int>> moves = {},
                          double seconds = blockSeconds)
{
    Recorder out;
    line.startBlock();
    for (const auto& [control, position] : moves)
        line.hostMoved (control, position);
    line.finishBlock (seconds, out);
    return out.messages;
}
} // namespace

TEST (HostMidiLine, WhileTheHostDoesNotProcessOnlyTheLatestSoundWaits)
{
    HostMidiLine line;
    // 300 moves of VCF Freq from the panel while no block runs, then the Range.
    for (int value = 0; value < 300; ++value)
        line.sendByte (5, static_cast<uint8_t> (value % 128));
    auto flags = initBytes()[16];
    flags = PatchBits::withRangeBits (flags, PatchBits::range4);
    line.sendByte (16, flags, PatchBits::rangeMask);
    EXPECT_EQ (block (line), (std::vector<Bytes>{paramChange (5, 299 % 128), paramChange (16, flags)}));
    EXPECT_TRUE (block (line).empty()) << "each once";

    // A whole patch replaces the bytes still waiting and goes as one dump.
    line.sendByte (5, 10);
    auto patch = initBytes();
    patch[5] = 77;
    line.sendPatch (patch);
    std::vector<Bytes> sent;
    for (int b = 0; b < 10; ++b)
        for (auto& message : block (line))
            sent.push_back (message);
    const auto dump = JunoMessages::buildPatchDumpAsIs (patch, 0, 0);
    EXPECT_EQ (sent, std::vector<Bytes>{Bytes (dump.begin(), dump.end())});
}

TEST (HostMidiLine, AByteGoesOnlyWhenItDiffersFromWhatTheSynthesizerWasLastSent)
{
    HostMidiLine line;
    EXPECT_EQ (block (line, {{PanelControl::vcfFreq, 100}}), std::vector<Bytes>{paramChange (5, 100)});
    // The session follows with the move it heard of: the synthesizer has it already.
    line.sendByte (5, 100);
    EXPECT_TRUE (block (line).empty());
    // A project's patch comes back: nothing is sent, and what the synthesizer holds is still known.
    auto restored = initBytes();
    restored[5] = 127;
    line.restore (restored);
    EXPECT_TRUE (block (line).empty());
    EXPECT_TRUE (block (line, {{PanelControl::vcfFreq, 100}}).empty()) << "it holds 100 already";
    EXPECT_EQ (block (line, {{PanelControl::vcfFreq, 127}}), std::vector<Bytes>{paramChange (5, 127)});

    // The other way sent meanwhile: whatever it holds, the next move goes.
    line.forgetSent();
    EXPECT_EQ (block (line, {{PanelControl::vcfFreq, 127}}), std::vector<Bytes>{paramChange (5, 127)});
}

TEST (HostMidiLine, MovesOfOneSwitchByteInABlockAreOneMessageAndAPanelEditKeepsTheHostsOtherBits)
{
    HostMidiLine line;
    const auto flags = block (
        line, {{PanelControl::range, 2}, {PanelControl::square, 0}, {PanelControl::saw, 1}, {PanelControl::chorus, 0}});
    ASSERT_EQ (flags.size(), 1u);
    const uint8_t sent = flags[0][5];
    EXPECT_EQ (sent & PatchBits::rangeMask, PatchBits::range4);
    EXPECT_EQ (sent & PatchBits::pulseBit, 0);
    EXPECT_EQ (sent & PatchBits::sawBit, PatchBits::sawBit);
    EXPECT_EQ (sent & PatchBits::chorusMask, PatchBits::chorusOffBits);

    // The panel, not yet told of the host's Range, turns Square on: only that bit is its change.
    const uint8_t panelByte = static_cast<uint8_t> ((initBytes()[16] & ~PatchBits::rangeMask) | PatchBits::range8);
    line.sendByte (16, static_cast<uint8_t> (panelByte | PatchBits::pulseBit), PatchBits::pulseBit);
    const auto edited = block (line);
    ASSERT_EQ (edited.size(), 1u);
    EXPECT_EQ (edited[0][5], sent | PatchBits::pulseBit) << "the host's 4' stays";
}

TEST (HostMidiLine, EveryParameterMovingEveryBlockTakesNoMoreThanTheLinkAndEveryByteGetsItsTurn)
{
    HostMidiLine line;
    constexpr int blocks = 750; // one second
    size_t bytes = 0;
    std::array<int, PatchBits::numBytes> sentPerByte{};
    std::array<int, PatchBits::numBytes> lastSent{};
    for (int b = 0; b < blocks; ++b)
    {
        Recorder out;
        line.startBlock();
        for (int fader = 0; fader < PatchBits::numLevelBytes; ++fader)
            line.hostMoved (static_cast<PanelControl> (fader), (b + fader * 13) % 128);
        line.hostMoved (PanelControl::range, b % 3);
        line.hostMoved (PanelControl::hpf, b % 4);
        line.finishBlock (blockSeconds, out);
        for (const auto& message : out.messages)
        {
            bytes += message.size();
            const auto number = static_cast<size_t> (JunoMessages::paramChangeNumber (message.data(), message.size()));
            ++sentPerByte[number];
            lastSent[number] = message[5];
        }
    }
    EXPECT_LE (bytes, 3125u + JunoMessages::patchDumpSize);
    EXPECT_GE (bytes, 3125u - 2 * JunoMessages::paramChangeSize) << "the link's whole rate is used";
    for (int fader = 0; fader < PatchBits::numLevelBytes; ++fader)
        EXPECT_GE (sentPerByte[static_cast<size_t> (fader)], 20)
            << "fader " << fader << " waits its turn, never for ever";

    // The moves end: within a moment every byte the synthesizer holds is the last one moved.
    for (int b = 0; b < 100; ++b)
        for (const auto& message : block (line))
            lastSent[static_cast<size_t> (JunoMessages::paramChangeNumber (message.data(), message.size()))] =
                message[5];
    for (int fader = 0; fader < PatchBits::numLevelBytes; ++fader)
        EXPECT_EQ (lastSent[static_cast<size_t> (fader)], (blocks - 1 + fader * 13) % 128) << "fader " << fader;
    EXPECT_EQ (lastSent[16] & PatchBits::rangeMask, PatchBits::range16 << ((blocks - 1) % 3));
    EXPECT_EQ (PatchBits::hpfPosition (static_cast<uint8_t> (lastSent[17])), (blocks - 1) % 4);
}

TEST (HostMidiLine, ARecallWaitsForTheLinkAndNothingOvertakesIt)
{
    HostMidiLine line;
    EXPECT_EQ (block (line, {{PanelControl::vcfFreq, 1}, {PanelControl::vcfRes, 2}, {PanelControl::noise, 3}}).size(),
               3u);
    line.startBlock();
    line.sendWholePatch();
    Recorder out;
    line.finishBlock (blockSeconds, out);
    EXPECT_TRUE (out.messages.empty()) << "3 changes used the burst; the dump waits for 24 bytes";
    std::vector<Bytes> later;
    int attack = 40;
    for (int b = 0; b < 10 && later.empty(); ++b)
        later = block (line, {{PanelControl::attack, ++attack}});
    ASSERT_EQ (later.size(), 1u);
    ASSERT_EQ (later[0].size(), JunoMessages::patchDumpSize);
    EXPECT_EQ (later[0][5 + 11], attack) << "the dump carries the moves made while it waited";
    EXPECT_TRUE (block (line).empty());
}
