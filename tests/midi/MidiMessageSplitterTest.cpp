#include "midi/protocol/MidiMessageSplitter.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

std::vector<Bytes> split (const Bytes& bytes)
{
    std::vector<Bytes> messages;
    MidiMessageSplitter splitter ([&messages] (const uint8_t* message, size_t length)
                                  { messages.emplace_back (message, message + length); });
    // One byte at a time: a message may arrive in any number of pieces.
    for (const uint8_t byte : bytes)
        splitter.processRawBytes (&byte, 1);
    return messages;
}

TEST (MidiMessageSplitterTest, EveryKindOfMessageComesOutWholeWithItsStatus)
{
    const std::vector<std::pair<Bytes, std::vector<Bytes>>> cases = {
        // Channel messages: two data bytes, or one for program change and channel pressure.
        {{0x90, 0x3C, 0x64, 0xC0, 0x05, 0xD1, 0x40, 0xE0, 0x00, 0x40},
         {{0x90, 0x3C, 0x64}, {0xC0, 0x05}, {0xD1, 0x40}, {0xE0, 0x00, 0x40}}},
        // Running status, restored on every message.
        {{0x90, 0x3C, 0x64, 0x3E, 0x00, 0xC2, 0x01, 0x02},
         {{0x90, 0x3C, 0x64}, {0x90, 0x3E, 0x00}, {0xC2, 0x01}, {0xC2, 0x02}}},
        // System common messages, which end running status.
        {{0x90, 0x3C, 0x64, 0xF2, 0x01, 0x02, 0xF1, 0x10, 0xF3, 0x04, 0xF6, 0x3D, 0x40},
         {{0x90, 0x3C, 0x64}, {0xF2, 0x01, 0x02}, {0xF1, 0x10}, {0xF3, 0x04}, {0xF6}}},
        // Real-time bytes come out at once, even inside another message.
        {{0x90, 0xF8, 0x3C, 0xFE, 0x64, 0xF0, 0x41, 0xFA, 0x30, 0xF7},
         {{0xF8}, {0xFE}, {0x90, 0x3C, 0x64}, {0xFA}, {0xF0, 0x41, 0x30, 0xF7}}},
        // A status byte ends an open SysEx message unseen; stray data and F7 are dropped.
        {{0x3C, 0x64, 0xF7, 0xF0, 0x41, 0x30, 0x90, 0x3C, 0x64, 0xF7}, {{0x90, 0x3C, 0x64}}},
    };
    for (const auto& [bytes, messages] : cases)
        EXPECT_EQ (split (bytes), messages);
}

TEST (MidiMessageSplitterTest, AnOverlongSysexIsDroppedAndWhatFollowsStillComesOut)
{
    Bytes bytes{0xF0};
    bytes.resize (MidiMessageSplitter::maxSysexSize + 10, 0x11);
    bytes.insert (bytes.end(), {0xF7, 0xF0, 0x41, 0x32, 0x00, 0x05, 0x20, 0xF7});
    EXPECT_EQ (split (bytes), (std::vector<Bytes>{{0xF0, 0x41, 0x32, 0x00, 0x05, 0x20, 0xF7}}));

    Bytes longest{0xF0};
    longest.resize (MidiMessageSplitter::maxSysexSize - 1, 0x11);
    longest.push_back (0xF7);
    EXPECT_EQ (split (longest), std::vector<Bytes>{longest});
}

TEST (MidiMessageSplitterTest, DiscardingForgetsTheOpenMessageAndTheRunningStatus)
{
    std::vector<Bytes> messages;
    MidiMessageSplitter splitter ([&messages] (const uint8_t* message, size_t length)
                                  { messages.emplace_back (message, message + length); });
    const Bytes before{0x90, 0x3C, 0x64, 0x3E};
    splitter.processRawBytes (before.data(), before.size());
    splitter.discardOpenMessage();
    const Bytes after{0x40, 0x3F, 0x40, 0x80, 0x3C, 0x00};
    splitter.processRawBytes (after.data(), after.size());
    EXPECT_EQ (messages, (std::vector<Bytes>{{0x90, 0x3C, 0x64}, {0x80, 0x3C, 0x00}}));
}
} // namespace
