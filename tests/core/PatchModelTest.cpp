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
