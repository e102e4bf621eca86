#include "patch/PatchModel.h"

#include <gtest/gtest.h>

using namespace PatchBits;

TEST (PatchModelTest, NewPatchIsTheInitSound)
{
    const PatchModel patch;
    const std::array<uint8_t, 18> init{0, 0, 0, 0, 0, 127, 0, 0, 0, 0, 127, 0, 0, 0, 0, 0, 0x2A, 0x19};
    EXPECT_EQ (patch.data, init);
    EXPECT_EQ (patch.name, "Init");
}

TEST (PatchModelTest, InitKeepsNameAndNotifiesSevenTimes)
{
    PatchModel patch;
    patch.name = "Pad";
    patch.data.fill (0x55);
    int calls = 0;
    patch.onChange = [&calls] { ++calls; };
    patch.init();
    EXPECT_EQ (calls, 7);
    EXPECT_EQ (patch.name, "Pad");
    EXPECT_TRUE (patch.sameSound (PatchModel()));
}

TEST (PatchModelTest, SameSoundComparesBytesOnly)
{
    PatchModel a, b;
    b.name = "Other";
    EXPECT_TRUE (a.sameSound (b));
    b.data[3] = 1;
    EXPECT_FALSE (a.sameSound (b));
}

TEST (PatchModelTest, BitFieldsReadEveryValue)
{
    const int footageOfRangeBits[8] = {16, 16, 8, 0, 4, 0, 0, 0};
    for (uint8_t bits = 0; bits < 8; ++bits)
        EXPECT_EQ (rangeFootage (static_cast<uint8_t> (0xF8 | bits)), footageOfRangeBits[bits]) << int (bits);

    const Chorus chorusOfBits[4] = {Chorus::two, Chorus::off, Chorus::one, Chorus::off}; // bits 6..5
    for (uint8_t bits = 0; bits < 4; ++bits)
        EXPECT_EQ (chorus (static_cast<uint8_t> (bits << 5)), chorusOfBits[bits]) << int (bits);

    for (int position = 0; position < 4; ++position)
    {
        const uint8_t switches = withHpfPosition (0xE7, position);
        EXPECT_EQ (hpfPosition (switches), position);
        EXPECT_EQ (switches & 0xE7, 0xE7) << "other bits kept";
    }
    EXPECT_EQ (hpfPosition (0x00), 3);
    EXPECT_EQ (hpfPosition (0x18), 0);
}

TEST (PatchModelTest, CorrectionTable)
{
    struct Case
    {
        int index;
        uint8_t value;
        uint8_t corrected;
    };
    const Case cases[] = {
        {0, 0x00, 0x00},
        {0, 0x7F, 0x7F},
        {0, 0x80, 0x7F},
        {7, 0xC3, 0x7F},
        {15, 0xFF, 0x7F},
        {dcoFlagsIndex, 0x7F, 0x7F}, // range, pulse, saw and chorus are every bit below 0x80
        {dcoFlagsIndex, 0x80, 0x00},
        {dcoFlagsIndex, 0xAA, 0x2A},
        {dcoFlagsIndex, 0xFF, 0x7F},
        {switchesIndex, 0x1F, 0x1F},
        {switchesIndex, 0x20, 0x00},
        {switchesIndex, 0x59, 0x19},
        {switchesIndex, 0xFF, 0x1F},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ (correctedValue (c.index, c.value), c.corrected) << c.index << " " << int (c.value);

        PatchModel patch;
        patch.data[static_cast<size_t> (c.index)] = c.value;
        PatchModel expected = patch;
        expected.data[static_cast<size_t> (c.index)] = c.corrected;
        EXPECT_EQ (patch.correctValues(), c.value != c.corrected ? 1 : 0);
        EXPECT_EQ (patch.data, expected.data);
        EXPECT_EQ (patch.correctValues(), 0) << "corrected bytes stay";
    }
}

TEST (PatchModelTest, CorrectionCountsBytesAndNotifiesOnce)
{
    PatchModel patch;
    patch.data.fill (0xFF);
    int calls = 0;
    patch.onChange = [&calls] { ++calls; };
    EXPECT_EQ (patch.correctValues(), 18);
    EXPECT_EQ (calls, 1);
    EXPECT_EQ (patch.correctValues(), 0);
    EXPECT_EQ (calls, 1) << "nothing changed, nothing told";

    PatchModel init;
    init.onChange = [&calls] { ++calls; };
    EXPECT_EQ (init.correctValues(), 0) << "the Init sound holds only defined values";
    EXPECT_EQ (calls, 1);
}

TEST (PatchModelTest, ChangeHookTravelsWithCopiesAndMoves)
{
    int calls = 0;
    PatchModel patch;
    EXPECT_FALSE (patch.onChange);
    EXPECT_THROW (patch.onChange(), std::bad_function_call);
    patch.onChange = [&calls] { ++calls; };

    PatchModel copy = patch;
    copy.onChange();
    PatchModel moved = std::move (copy);
    moved.onChange();
    patch.onChange();
    EXPECT_EQ (calls, 3);

    moved.onChange = nullptr;
    EXPECT_FALSE (moved.onChange);
    moved.onChange = std::function<void()>();
    EXPECT_FALSE (moved.onChange) << "an empty function is no hook";
    EXPECT_TRUE (patch.onChange) << "the copy was deep";
}
