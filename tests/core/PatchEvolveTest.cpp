#include "patch/PatchEvolve.h"
#include "FactoryPatches.h"
#include "patch/PatchModel.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace
{
using Bytes = std::array<uint8_t, 18>;

/** What evolve must do, written from the rules with plain bit operations: the
    states after each notification, drawn from an engine with the same seed. */
struct Replay
{
    std::vector<Bytes> states;
    bool rangeFrom8To16 = false, rangeFrom8To4 = false, chorusDrawn = false, hpfDrawn = false;
};

double chance (std::mt19937& engine)
{
    const double a = engine();
    const double b = engine();
    return (a + b * 4294967296.0) / 18446744073709551616.0;
}

Replay replay (Bytes bytes, std::mt19937::result_type seed)
{
    std::mt19937 engine (seed);
    Replay result;
    for (int i = 0; i < 16; ++i)
    {
        const int value = bytes[i] + std::uniform_int_distribution<int> (-15, 15) (engine);
        bytes[i] = static_cast<uint8_t> (value < 0 ? 0 : value > 127 ? 127 : value);
        result.states.push_back (bytes);
    }
    uint8_t& flags = bytes[16];
    uint8_t& switches = bytes[17];
    const auto apply = [&] (auto change)
    {
        if (chance (engine) < 0.1)
        {
            change();
            result.states.push_back (bytes);
        }
    };
    apply (
        [&]
        {
            const int rangeBits = flags & 7;
            const int footage = 16 / (rangeBits == 0 ? 1 : rangeBits);
            int newBit = 2;
            if (footage == 8)
            {
                newBit = chance (engine) < 0.5 ? 1 : 4;
                (newBit == 1 ? result.rangeFrom8To16 : result.rangeFrom8To4) = true;
            }
            flags = static_cast<uint8_t> ((flags & ~7) | newBit);
        });
    apply ([&] { flags ^= 0x08; });
    apply ([&] { flags ^= 0x10; });
    apply (
        [&]
        {
            const int choice = std::uniform_int_distribution<int> (0, 2) (engine);
            const int bits = choice == 0 ? 0x20 : choice == 1 ? 0x40 : 0x00;
            flags = static_cast<uint8_t> ((flags & ~0x60) | bits);
            result.chorusDrawn = true;
        });
    apply ([&] { switches ^= 0x01; });
    apply ([&] { switches ^= 0x02; });
    apply ([&] { switches ^= 0x04; });
    apply (
        [&]
        {
            const int position = std::uniform_int_distribution<int> (0, 3) (engine);
            switches = static_cast<uint8_t> ((switches & ~0x18) | ((3 - position) << 3));
            result.hpfDrawn = true;
        });
    // Leave a fingerprint of how many values were drawn.
    result.states.push_back (Bytes{static_cast<uint8_t> (engine() & 0xFF)});
    return result;
}

std::vector<Bytes> evolveStates (PatchModel patch, std::mt19937::result_type seed)
{
    std::vector<Bytes> states;
    patch.onChange = [&] { states.push_back (patch.data); };
    std::mt19937 engine (seed);
    patch.evolve (engine);
    states.push_back (Bytes{static_cast<uint8_t> (engine() & 0xFF)});
    return states;
}

PatchModel patchWith (uint8_t fader, uint8_t flags, uint8_t switches)
{
    PatchModel patch;
    patch.data.fill (fader);
    patch.data[16] = flags;
    patch.data[17] = switches;
    return patch;
}
} // namespace

TEST (PatchEvolveTest, ChanceIsBuiltFromTwoOutputsLowFirst)
{
    for (const std::mt19937::result_type seed : {0u, 1u, 5489u, 0xFFFFFFFFu})
    {
        std::mt19937 engine (seed), mirror (seed);
        for (int i = 0; i < 100; ++i)
        {
            const double expected = chance (mirror);
            const double drawn = PatchEvolve::drawChance (engine);
            EXPECT_EQ (drawn, expected);
            EXPECT_GE (drawn, 0.0);
            EXPECT_LT (drawn, 1.0);
        }
        EXPECT_EQ (engine(), mirror()) << "exactly two outputs per chance";
    }
}

TEST (PatchEvolveTest, DrawsFollowTheFixedOrderForManySeeds)
{
    std::vector<PatchModel> starts{PatchModel(),
                                   patchWith (0, 0x00, 0x00),    // range bits 0 read as 16'
                                   patchWith (127, 0xFF, 0xFF),  // range bits 7 show no range, unnamed bits set
                                   patchWith (200, 0x83, 0xE0)}; // fader above 127, range bits 3
    for (const FactoryPatch& factory : loadFactoryPatches())
        if (starts.size() < 12)
            starts.push_back (factory.patch);

    Replay reach;
    for (std::mt19937::result_type seed = 0; seed < 400; ++seed)
        for (const PatchModel& start : starts)
        {
            const Replay expected = replay (start.data, seed);
            ASSERT_EQ (evolveStates (start, seed), expected.states) << "seed " << seed;
            reach.rangeFrom8To16 |= expected.rangeFrom8To16;
            reach.rangeFrom8To4 |= expected.rangeFrom8To4;
            reach.chorusDrawn |= expected.chorusDrawn;
            reach.hpfDrawn |= expected.hpfDrawn;
        }
    // The seeds must have exercised every extra draw, or the comparison proves little.
    EXPECT_TRUE (reach.rangeFrom8To16 && reach.rangeFrom8To4 && reach.chorusDrawn && reach.hpfDrawn);
}

TEST (PatchEvolveTest, FadersMoveAtMostFifteenAndStayInRange)
{
    int stayedAt127 = 0;
    const int runs = 3100;
    for (std::mt19937::result_type seed = 0; seed < runs; ++seed)
    {
        PatchModel patch;
        patch.data[0] = 120;
        patch.data[1] = 5;
        patch.data[2] = 127;
        patch.data[3] = 0;
        std::mt19937 engine (seed);
        patch.evolve (engine);
        EXPECT_TRUE (patch.data[0] >= 105 && patch.data[0] <= 127);
        EXPECT_LE (patch.data[1], 20);
        EXPECT_LE (patch.data[3], 15);
        stayedAt127 += patch.data[2] == 127;
    }
    // 16 of the 31 steps keep 127; with these fixed seeds the share is deterministic.
    EXPECT_NEAR (static_cast<double> (stayedAt127) / runs, 16.0 / 31.0, 0.03);
}

TEST (PatchEvolveTest, RangeMutationOutcomes)
{
    struct Case
    {
        uint8_t rangeBits;
        std::set<int> outcomes; // range bits after evolve, mutated or not
    };
    const Case cases[] = {{3, {3, 2}}, {1, {1, 2}}, {0, {0, 2}}, {4, {4, 2}}, {2, {2, 1, 4}}};
    for (const Case& c : cases)
    {
        std::set<int> seen;
        for (std::mt19937::result_type seed = 0; seed < 300; ++seed)
        {
            PatchModel patch = patchWith (64, static_cast<uint8_t> (0x80 | c.rangeBits), 0);
            std::mt19937 engine (seed);
            patch.evolve (engine);
            seen.insert (patch.data[16] & 7);
            EXPECT_EQ (patch.data[16] & 0x80, 0x80) << "bits above the range are kept";
        }
        EXPECT_EQ (seen, c.outcomes) << "range bits " << int (c.rangeBits);
    }
}

TEST (PatchEvolveTest, RandomizeKeepsNameAndNotifiesSixteenToTwentyFourTimes)
{
    PatchModel patch;
    patch.name = "Keep me";
    for (int call = 0; call < 200; ++call)
    {
        const PatchModel before = patch;
        int notifications = 0;
        patch.onChange = [&notifications] { ++notifications; };
        patch.randomize();
        EXPECT_GE (notifications, 16);
        EXPECT_LE (notifications, 24);
        EXPECT_EQ (patch.name, "Keep me");
        for (int i = 0; i < 16; ++i)
            EXPECT_LE (std::abs (patch.data[i] - before.data[i]), 15);
    }
}
