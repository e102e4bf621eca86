// The distance between sounds, the nearest patches of a list and the groups
// of duplicates, checked against the plain quadratic way of finding them.

#include "explore/SoundDistance.h"
#include "FactoryPatches.h"
#include "explore/SeededRandom.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace PatchBits;
using SoundControls::Bytes;

namespace
{
Bytes withControl (Bytes data, PanelControl control, int position)
{
    return SoundControls::withPosition (data, control, position);
}

std::vector<PatchModel> factory()
{
    std::vector<PatchModel> patches;
    for (const auto& row : loadFactoryPatches())
        patches.push_back (row.patch);
    return patches;
}

/** The factory sounds with near copies of some of them mixed in: exact ones
    under other names and ones a few fader steps or a switch away. */
std::vector<PatchModel> libraryWithCopies()
{
    auto patches = factory();
    SeededRandom random (7);
    const size_t originals = patches.size();
    for (int i = 0; i < 200; ++i)
    {
        PatchModel copy = patches[random.below (originals)];
        copy.name += " copy " + std::to_string (i);
        const auto& controls = SoundControls::all();
        const int changes = static_cast<int> (random.below (3));
        for (int c = 0; c < changes; ++c)
        {
            const auto& control = controls[random.below (controls.size())];
            const int position = PanelControls::position (control.control, copy.data);
            const int moved = control.isFader
                                  ? std::clamp (position + static_cast<int> (random.below (7)) - 3, 0, 127)
                                  : static_cast<int> (random.below (static_cast<uint64_t> (control.positions)));
            copy.data = withControl (copy.data, control.control, moved);
        }
        patches.insert (patches.begin() + static_cast<std::ptrdiff_t> (random.below (patches.size() + 1)), copy);
    }
    return patches;
}

/** The greedy grouping by comparing every patch with every kept one. */
std::vector<SoundDistance::Group> duplicatesByComparingAll (const std::vector<PatchModel>& patches, int within)
{
    std::vector<SoundDistance::Group> groups;
    for (size_t row = 0; row < patches.size(); ++row)
    {
        SoundDistance::Group* best = nullptr;
        int bestDistance = within + 1;
        for (auto& group : groups)
        {
            const int d = SoundDistance::between (patches[group.first].data, patches[row].data);
            if (d < bestDistance)
            {
                best = &group;
                bestDistance = d;
            }
        }
        if (best == nullptr)
            groups.push_back ({row, {}});
        else
            best->others.push_back ({row, bestDistance});
    }
    groups.erase (std::remove_if (groups.begin(), groups.end(), [] (const auto& g) { return g.others.empty(); }),
                  groups.end());
    return groups;
}

void expectSameGroups (const std::vector<SoundDistance::Group>& actual,
                       const std::vector<SoundDistance::Group>& expected)
{
    ASSERT_EQ (actual.size(), expected.size());
    for (size_t g = 0; g < actual.size(); ++g)
    {
        EXPECT_EQ (actual[g].first, expected[g].first);
        ASSERT_EQ (actual[g].others.size(), expected[g].others.size()) << "group of row " << expected[g].first;
        for (size_t i = 0; i < actual[g].others.size(); ++i)
        {
            EXPECT_EQ (actual[g].others[i].row, expected[g].others[i].row);
            EXPECT_EQ (actual[g].others[i].distance, expected[g].others[i].distance);
        }
    }
}
} // namespace

TEST (SoundDistance, WeighsEachControlByHowMuchItIsHeard)
{
    const Bytes base = factory()[10].data;
    // A fader moved by `steps` (down when it is high), a switch-type control to its next position.
    const auto moved = [&base] (PanelControl control, int steps)
    {
        const int at = PanelControls::position (control, base);
        const int positions = PanelControls::positionCount (control);
        const int to = positions == 128 ? (at > 63 ? at - steps : at + steps) : (at + 1) % positions;
        return withControl (base, control, to);
    };
    struct Case
    {
        PanelControl control;
        int expected; // for 10 steps of a fader
    };
    const Case cases[] = {
        {PanelControl::vcfFreq, 40},
        {PanelControl::vcfRes, 40},
        {PanelControl::vcfEnv, 40},
        {PanelControl::vcaLevel, 40},
        {PanelControl::attack, 40},
        {PanelControl::release, 40},
        {PanelControl::dcoPwm, 20},
        {PanelControl::subLevel, 20},
        {PanelControl::lfoRate, 20},
        {PanelControl::lfoDelay, 10},
        {PanelControl::noise, 10},
        {PanelControl::range, 64},
        {PanelControl::chorus, 64},
        {PanelControl::hpf, 64},
        {PanelControl::vcaMode, 64},
        {PanelControl::saw, 64},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (PanelControls::name (c.control));
        const Bytes changed = moved (c.control, 10);
        EXPECT_EQ (SoundDistance::between (base, changed), c.expected);
        EXPECT_EQ (SoundDistance::between (changed, base), c.expected);
        EXPECT_EQ (SoundDistance::between (SoundControls::positions (base), SoundControls::positions (changed)),
                   c.expected);
    }

    // Differences add up.
    Bytes both = moved (PanelControl::vcfFreq, 3);
    both = withControl (both, PanelControl::square, 1 - PanelControls::position (PanelControl::square, base));
    EXPECT_EQ (SoundDistance::between (base, both), 12 + SoundDistance::switchWeight);
}

TEST (SoundDistance, TheSameSoundIsNothingApartWhateverItsNameOrUnreadBits)
{
    auto patches = factory();
    PatchModel copy = patches[3];
    copy.name = "Another Name";
    EXPECT_EQ (SoundDistance::between (patches[3].data, copy.data), 0);

    // Range bits that light no lamp sound as 16', as the panel reads them.
    Bytes plain = patches[3].data;
    plain[dcoFlagsIndex] = withRangeBits (plain[dcoFlagsIndex], range16);
    Bytes noRangeBits = plain;
    noRangeBits[dcoFlagsIndex] = withRangeBits (noRangeBits[dcoFlagsIndex], 0);
    EXPECT_EQ (SoundDistance::between (plain, noRangeBits), 0);
}

TEST (SoundDistance, NearestAreTheClosestOthersInOrder)
{
    const auto patches = libraryWithCopies();
    for (const size_t row : {size_t{0}, size_t{57}, patches.size() - 1})
    {
        const auto near = SoundDistance::nearest (patches, row, 10);
        ASSERT_EQ (near.size(), 10u);

        std::vector<SoundDistance::Near> all;
        for (size_t i = 0; i < patches.size(); ++i)
            if (i != row)
                all.push_back ({i, SoundDistance::between (patches[row].data, patches[i].data)});
        std::stable_sort (
            all.begin(), all.end(), [] (const auto& a, const auto& b) { return a.distance < b.distance; });
        for (size_t i = 0; i < near.size(); ++i)
        {
            EXPECT_EQ (near[i].row, all[i].row) << "place " << i << " for row " << row;
            EXPECT_EQ (near[i].distance, all[i].distance);
        }
    }
    EXPECT_EQ (SoundDistance::nearest (patches, 5, patches.size() + 10).size(), patches.size() - 1);
    EXPECT_TRUE (SoundDistance::nearest (patches, patches.size(), 10).empty());
    EXPECT_TRUE (SoundDistance::nearest ({patches[0]}, 0, 10).empty());
}

TEST (SoundDistance, DuplicatesGroupEachPatchWithTheNearestKeptOneBeforeIt)
{
    PatchModel a;
    a.name = "A";
    PatchModel sameAsA = a;
    sameAsA.name = "A again";
    PatchModel nearA = a;
    nearA.name = "A brighter";
    nearA.data = withControl (a.data, PanelControl::vcfFreq, 125); // 2 steps: 8 apart
    PatchModel other = a;
    other.name = "B";
    other.data = withControl (a.data, PanelControl::range, 0);
    const std::vector<PatchModel> patches{a, nearA, other, sameAsA};

    const auto exact = SoundDistance::duplicates (patches, 0);
    ASSERT_EQ (exact.size(), 1u);
    EXPECT_EQ (exact[0].first, 0u);
    ASSERT_EQ (exact[0].others.size(), 1u);
    EXPECT_EQ (exact[0].others[0].row, 3u);

    const auto near = SoundDistance::duplicates (patches, 8);
    ASSERT_EQ (near.size(), 1u);
    ASSERT_EQ (near[0].others.size(), 2u);
    EXPECT_EQ (near[0].others[0].row, 1u);
    EXPECT_EQ (near[0].others[0].distance, 8);
    EXPECT_EQ (near[0].others[1].row, 3u);

    // Past a switch's weight the range no longer keeps B apart.
    const auto wide = SoundDistance::duplicates (patches, SoundDistance::switchWeight);
    ASSERT_EQ (wide.size(), 1u);
    EXPECT_EQ (wide[0].others.size(), 3u);
}

TEST (SoundDistance, DuplicatesAgreeWithComparingEveryPairAtEveryThreshold)
{
    const auto patches = libraryWithCopies();
    for (const int within : {0, 4, 12, 63, 64, 200})
    {
        SCOPED_TRACE ("within " + std::to_string (within));
        const auto groups = SoundDistance::duplicates (patches, within);
        expectSameGroups (groups, duplicatesByComparingAll (patches, within));

        // What stays after erasing the others is more than the distance apart.
        std::vector<size_t> kept;
        std::vector<bool> duplicate (patches.size(), false);
        for (const auto& group : groups)
            for (const auto& other : group.others)
                duplicate[other.row] = true;
        for (size_t row = 0; row < patches.size(); ++row)
            if (!duplicate[row])
                kept.push_back (row);
        for (size_t i = 0; i < kept.size(); ++i)
            for (size_t j = i + 1; j < kept.size(); ++j)
                ASSERT_GT (SoundDistance::between (patches[kept[i]].data, patches[kept[j]].data), within);
    }
    EXPECT_FALSE (SoundDistance::duplicates (patches, 0).empty()); // the fixture holds exact copies
}
