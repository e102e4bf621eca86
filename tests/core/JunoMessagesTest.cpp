#include "midi/protocol/JunoMessages.h"
#include "FactoryPatches.h"

#include <gtest/gtest.h>

#include <vector>

using namespace JunoMessages;
using Bytes = std::vector<uint8_t>;
using Kind = Recognised::Kind;

namespace
{
const Bytes initBytes{0, 0, 0, 0, 0, 127, 0, 0, 0, 0, 127, 0, 0, 0, 0, 0, 0x2A, 0x19};

Bytes dumpMessage (uint8_t command, uint8_t channel, uint8_t number, const Bytes& patch)
{
    Bytes message (5 + patch.size() + 1);
    message[0] = 0xF0;
    message[1] = 0x41;
    message[2] = command;
    message[3] = channel;
    message[4] = number;
    std::copy (patch.begin(), patch.end(), message.begin() + 5);
    message.back() = 0xF7;
    return message;
}

Recognised recogniseBytes (const Bytes& message, int channel)
{
    return recognise (message.data(), message.size(), channel);
}
} // namespace

TEST (JunoMessagesTest, InitPatchDumpIsByteExact)
{
    const PatchDump expected{0xF0, 0x41, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x7F, 0x00,
                             0x00, 0x00, 0x00, 0x7F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2A, 0x19, 0xF7};
    EXPECT_EQ (buildPatchDump (PatchModel(), 0, 0), expected);

    const PatchDump onChannel5 = buildPatchDump (PatchModel(), 5, 0);
    EXPECT_EQ (onChannel5[3], 0x05);
}

TEST (JunoMessagesTest, DumpCopiesSevenBitBytesWithPatchNumber)
{
    PatchModel patch;
    for (size_t i = 0; i < patch.data.size(); ++i)
        patch.data[i] = static_cast<uint8_t> (i * 7);
    patch.data[PatchBits::switchesIndex] = 0x1B; // every defined bit but one
    const PatchDump dump = buildPatchDump (patch, 15, 127);
    EXPECT_EQ (dump[3], 15);
    EXPECT_EQ (dump[4], 127);
    EXPECT_TRUE (std::equal (patch.data.begin(), patch.data.end(), dump.begin() + 5));
    EXPECT_EQ (dump[23], 0xF7);
}

TEST (JunoMessagesTest, NothingAbove7FLeavesInsideADump)
{
    PatchModel patch;
    patch.data.fill (0xFF);
    const PatchModel before = patch;
    const PatchDump dump = buildPatchDump (patch, 0xFF, 0xFF);
    EXPECT_EQ (dump.front(), 0xF0);
    EXPECT_EQ (dump.back(), 0xF7);
    for (size_t i = 1; i + 1 < dump.size(); ++i)
        EXPECT_LE (dump[i], 0x7F) << "byte " << i;
    EXPECT_EQ (dump[3], 0x0F) << "channel in its 4 bits";
    EXPECT_EQ (dump[4], 0x7F) << "patch number in its 7 bits";
    EXPECT_EQ (dump[5 + PatchBits::dcoFlagsIndex], PatchBits::dcoFlagsDefinedBits);
    EXPECT_EQ (dump[5 + PatchBits::switchesIndex], PatchBits::switchesDefinedBits);
    EXPECT_EQ (patch.data, before.data) << "the patch passed in is not changed";
}

TEST (JunoMessagesTest, ChannelMessagesMaskChannelAndData)
{
    struct Case
    {
        const char* what;
        ChannelMessage built;
        ChannelMessage expected;
    };
    const Case cases[] = {
        {"note on", buildNoteOn (0, 60, 60), {0x90, 60, 60}},
        {"note on masks note", buildNoteOn (3, 200, 60), {0x93, 72, 60}},
        {"note off", buildNoteOff (15, 60, 200), {0x8F, 60, 72}},
        {"bend centre", buildPitchBend (0, 64), {0xE0, 0x00, 0x40}},
        {"bend channel 17 is 1", buildPitchBend (17, 127), {0xE1, 0x00, 0x7F}},
        {"bend lowest", buildPitchBend (2, 0), {0xE2, 0x00, 0x00}},
        {"control change", buildControlChange (0, 1, 127), {0xB0, 0x01, 0x7F}},
        {"control change masks", buildControlChange (16, 129, 255), {0xB0, 0x01, 0x7F}},
    };
    for (const Case& c : cases)
        EXPECT_EQ (c.built, c.expected) << c.what;
}

TEST (JunoMessagesTest, PatchNumbersNameA11ToB88)
{
    const std::pair<uint8_t, const char*> cases[] = {
        {0, "A11"},
        {7, "A18"},
        {8, "A21"},
        {63, "A88"},
        {64, "B11"},
        {100, "B55"},
        {127, "B88"},
        // bit 7 is not part of the number; it only picks bank B like any value of 64 or more
        {128, "B11"},
        {255, "B88"}};
    for (const auto& [number, name] : cases)
        EXPECT_EQ (patchNameFromNumber (number), name) << int (number);
}

TEST (JunoMessagesTest, RecognitionTable)
{
    const Bytes init = initBytes;
    struct Case
    {
        const char* what;
        Bytes message;
        int channel;
        Kind kind;
    };
    Bytes patch23 = dumpMessage (0x30, 0, 0, init);
    patch23.pop_back(); // 23 bytes: every byte that is read is there
    Bytes patch22 = patch23;
    patch22.pop_back();
    Bytes longDump = dumpMessage (0x30, 0, 0, init);
    longDump.insert (longDump.end(), {1, 2, 3});
    const Case cases[] = {
        {"empty", {}, 0, Kind::none},
        {"three bytes", {0xF0, 0x41, 0x30}, 0, Kind::none},
        {"valid dump", dumpMessage (0x30, 0, 0, init), 0, Kind::patchDump},
        {"byte 0 wrong",
         [&]
         {
             auto m = dumpMessage (0x30, 0, 0, init);
             m[0] = 0xF1;
             return m;
         }(),
         0,
         Kind::none},
        {"not Roland",
         [&]
         {
             auto m = dumpMessage (0x30, 0, 0, init);
             m[1] = 0x42;
             return m;
         }(),
         0,
         Kind::none},
        {"other channel", dumpMessage (0x30, 0, 0, init), 5, Kind::none},
        {"channel 5", dumpMessage (0x30, 5, 0, init), 5, Kind::patchDump},
        {"channel byte not masked", dumpMessage (0x30, 0x10, 0, init), 0, Kind::none},
        {"23-byte dump", patch23, 0, Kind::patchDump},
        {"22-byte dump", patch22, 0, Kind::none},
        {"longer dump", longDump, 0, Kind::patchDump},
        {"manual dump", dumpMessage (0x31, 0, 0, init), 0, Kind::manualDump},
        {"short manual dump", {0xF0, 0x41, 0x31, 0x00, 0x00, 0xF7}, 0, Kind::none},
        {"param change", {0xF0, 0x41, 0x32, 0x00, 0x05, 0x40, 0xF7}, 0, Kind::paramChange},
        {"param change 6 bytes", {0xF0, 0x41, 0x32, 0x00, 0x05, 0xF7}, 0, Kind::none},
        {"param change other channel", {0xF0, 0x41, 0x32, 0x01, 0x05, 0x40, 0xF7}, 0, Kind::none},
        {"command 0x35", {0xF0, 0x41, 0x35, 0x00, 0x05, 0x40, 0xF7}, 0, Kind::none},
        {"four bytes only", {0xF0, 0x41, 0x32, 0x00}, 0, Kind::none},
    };
    for (const Case& c : cases)
        EXPECT_EQ (recogniseBytes (c.message, c.channel).kind, c.kind) << c.what;
}

TEST (JunoMessagesTest, RecognisedContentsFollowTheBytes)
{
    Bytes patch (18);
    for (size_t i = 0; i < patch.size(); ++i)
        patch[i] = static_cast<uint8_t> (0x70 + i); // above 127 too: stored as they arrive
    const Recognised dump = recogniseBytes (dumpMessage (0x30, 0, 0x3F, patch), 0);
    ASSERT_EQ (dump.kind, Kind::patchDump);
    EXPECT_EQ (dump.patch.name, "A88");
    EXPECT_TRUE (std::equal (patch.begin(), patch.end(), dump.patch.data.begin()));
    EXPECT_EQ (recogniseBytes (dumpMessage (0x30, 0, 0x40, patch), 0).patch.name, "B11");

    const Recognised manual = recogniseBytes (dumpMessage (0x31, 0, 0x3F, patch), 0);
    ASSERT_EQ (manual.kind, Kind::manualDump);
    EXPECT_EQ (manual.patch.name, "");
    EXPECT_TRUE (std::equal (patch.begin(), patch.end(), manual.patch.data.begin()));

    // The final F7 of a 23-byte dump is read as the switches byte.
    Bytes truncated = dumpMessage (0x30, 0, 0, patch);
    truncated.erase (truncated.end() - 2);
    EXPECT_EQ (recogniseBytes (truncated, 0).patch.data[17], 0xF7);

    const Recognised param = recogniseBytes ({0xF0, 0x41, 0x32, 0x00, 0x05, 0x40, 0xF7}, 0);
    EXPECT_EQ (param.paramNumber, 5);
    EXPECT_EQ (param.paramValue, 64);
    const Recognised highParam = recogniseBytes ({0xF0, 0x41, 0x32, 0x00, 0x7E, 0x7F, 0xF7}, 0);
    EXPECT_EQ (highParam.paramNumber, 0x7E);
    EXPECT_EQ (highParam.paramValue, 0x7F);
}

TEST (JunoMessagesTest, EveryFactoryPatchRoundTripsThroughADump)
{
    for (const FactoryPatch& factory : loadFactoryPatches())
    {
        // The slot is the patch number the instrument uses for it.
        const uint8_t number = static_cast<uint8_t> ((factory.slot[0] == 'B' ? 64 : 0) + (factory.slot[1] - '1') * 8 +
                                                     (factory.slot[2] - '1'));
        for (const int channel : {0, 9})
        {
            const PatchDump dump = buildPatchDump (factory.patch, channel, number);
            const Recognised back = recognise (dump.data(), dump.size(), channel);
            ASSERT_EQ (back.kind, Kind::patchDump) << factory.slot;
            EXPECT_EQ (back.patch.data, factory.patch.data) << factory.slot;
            EXPECT_EQ (back.patch.name, factory.slot);
        }
    }
}
