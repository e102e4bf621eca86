#include "midi/protocol/SysexAssembler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

Bytes operator+ (Bytes a, const Bytes& b)
{
    a.insert (a.end(), b.begin(), b.end());
    return a;
}

Bytes slice (const Bytes& bytes, size_t from, size_t to)
{
    return Bytes (bytes.begin() + static_cast<long> (from), bytes.begin() + static_cast<long> (to));
}

Bytes dataBytes (size_t count, uint8_t first = 0)
{
    Bytes bytes (count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t> ((first + i) & 0x7F);
    return bytes;
}

// A patch dump with distinct data bytes, so a shifted or dropped byte shows.
const Bytes dump = Bytes{0xF0, 0x41, 0x30, 0x00, 0x0A} + dataBytes (18, 1) + Bytes{0xF7};
const Bytes otherDump = Bytes{0xF0, 0x41, 0x30, 0x00, 0x0B} + dataBytes (18, 40) + Bytes{0xF7};

/** A dump with one byte put in after its patch number. */
Bytes dumpWith (uint8_t inserted)
{
    return slice (dump, 0, 8) + Bytes{inserted} + slice (dump, 8, dump.size());
}

std::vector<Bytes> assemble (const std::vector<Bytes>& chunks)
{
    std::vector<Bytes> messages;
    SysexAssembler assembler ([&] (const uint8_t* message, size_t length)
                              { messages.emplace_back (message, message + length); });
    for (const auto& chunk : chunks)
        assembler.processRawBytes (chunk.data(), chunk.size());
    return messages;
}

struct Case
{
    std::string name;
    std::vector<Bytes> chunks;
    std::vector<Bytes> expected;
};

const std::vector<Case> cases = {
    {"whole dump", {dump}, {dump}},
    {"dump split over two chunks", {slice (dump, 0, 10), slice (dump, 10, 24)}, {dump}},
    {"dump one byte per chunk",
     []
     {
         std::vector<Bytes> bytes;
         for (auto b : dump)
             bytes.push_back ({b});
         return bytes;
     }(),
     {dump}},
    {"two dumps in one chunk", {dump + otherDump}, {dump, otherDump}},
    {"300-byte message dropped, next dump kept",
     {Bytes{0xF0, 0x41, 0x30, 0x00} + dataBytes (300) + Bytes{0xF7} + dump},
     {dump}},
    {"257 bytes is the largest message",
     {Bytes{0xF0} + dataBytes (255) + Bytes{0xF7}},
     {Bytes{0xF0} + dataBytes (255) + Bytes{0xF7}}},
    {"258 bytes is dropped", {Bytes{0xF0} + dataBytes (256) + Bytes{0xF7}}, {}},
    {"unfinished message restarted by F0", {Bytes{0xF0, 0x41, 0x30, 0x00} + dataBytes (10), dump}, {dump}},
    {"note on, lone F7 and stray data give nothing", {{0x90, 0x3C, 0x40}, {0xF7}, dataBytes (30)}, {}},
    {"running status outside a message ignored", {Bytes{0x90, 0x3C, 0x40, 0x3E, 0x40} + dump}, {dump}},
    {"clock inside a dump skipped", {dumpWith (0xF8)}, {dump}},
    {"every real-time byte inside a dump skipped",
     {slice (dump, 0, 3) + Bytes{0xF8, 0xF9, 0xFA} + slice (dump, 3, 12) + Bytes{0xFB, 0xFC, 0xFD, 0xFE, 0xFF} +
      slice (dump, 12, 24)},
     {dump}},
    {"real-time bytes between chunks skipped", {slice (dump, 0, 10), {0xF8}, slice (dump, 10, 24)}, {dump}},
    {"note on inside a dump discards it", {dumpWith (0x90), otherDump}, {otherDump}},
    {"controller status inside a dump discards it", {dumpWith (0xB3)}, {}},
    {"pitch bend status inside a dump discards it", {dumpWith (0xEF)}, {}},
    {"system common byte inside a dump discards it", {dumpWith (0xF2), otherDump}, {otherDump}},
    {"data after a discarded message ignored", {slice (dump, 0, 8) + Bytes{0x80} + slice (dump, 8, 24)}, {}},
};

TEST (SysexAssembler, AssemblesMessagesFromRawBytes)
{
    for (const auto& c : cases)
        EXPECT_EQ (assemble (c.chunks), c.expected) << c.name;
}

TEST (SysexAssembler, DiscardedOpenMessageIsNotCompletedByLaterBytes)
{
    std::vector<Bytes> messages;
    SysexAssembler assembler ([&] (const uint8_t* message, size_t length)
                              { messages.emplace_back (message, message + length); });
    const auto head = slice (dump, 0, 12);
    const auto tail = slice (dump, 12, 24);
    assembler.processRawBytes (head.data(), head.size());
    EXPECT_TRUE (assembler.isCollecting());
    assembler.discardOpenMessage();
    assembler.processRawBytes (tail.data(), tail.size());
    assembler.processRawBytes (otherDump.data(), otherDump.size());
    EXPECT_EQ (messages, std::vector<Bytes>{otherDump});
    EXPECT_FALSE (assembler.isCollecting());
}
} // namespace
