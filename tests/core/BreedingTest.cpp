// Breeding: the random stream, mutation within each amount's bounds, locks,
// crossover by whole sections, reproducibility, names, and the generations
// the breed window steps through.

#include "explore/Breeding.h"
#include "FactoryPatches.h"
#include "PatchTestData.h"
#include "explore/BreedingRun.h"
#include "explore/SeededRandom.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

using SoundControls::Bytes;
using SoundControls::Section;

namespace
{
std::vector<Bytes> factorySounds()
{
    std::vector<Bytes> sounds;
    for (const auto& row : loadFactoryPatches())
        sounds.push_back (row.patch.data);
    return sounds;
}

/** A sound whose every fader is `level`. */
Bytes allFadersAt (Bytes data, int level)
{
    for (const auto& control : SoundControls::all())
        if (control.isFader)
            data = SoundControls::withPosition (data, control.control, level);
    return data;
}
} // namespace

TEST (SeededRandom, IsXoshiro256StarStarSeededBySplitmix64)
{
    // The reference generators' first outputs, so a seed means the same everywhere.
    SeededRandom zero (0);
    EXPECT_EQ (zero.next(), 0x99ec5f36cb75f2b4ull);
    EXPECT_EQ (zero.next(), 0xbf6e1f784956452aull);
    EXPECT_EQ (zero.next(), 0x1a5f849d4933e6e0ull);
    SeededRandom other (12345);
    EXPECT_EQ (other.next(), 0xbe6a36374160d49bull);

    SeededRandom draws (99);
    std::array<int, 7> seen{};
    for (int i = 0; i < 7000; ++i)
        ++seen[draws.below (7)];
    for (const int count : seen)
        EXPECT_NEAR (count, 1000, 150);
}

TEST (Breeding, MutationStaysWithinEachAmountsBounds)
{
    struct Case
    {
        Breeding::Amount amount;
        int maxStep;
        double switchChance;
    };
    const auto sounds = factorySounds();
    for (const Case c : {Case{Breeding::Amount::subtle, 8, 0.05}, Case{Breeding::Amount::moderate, 24, 0.15}})
    {
        SCOPED_TRACE (Breeding::amountName (c.amount));
        Breeding::Options options;
        options.amount = c.amount;
        int largestStep = 0;
        int switchChanges = 0;
        int switchControls = 0;
        for (uint64_t seed = 1; seed <= 400; ++seed)
        {
            const Bytes& parent = sounds[seed % sounds.size()];
            for (const auto& child : Breeding::children ({parent}, options, seed, 12))
                for (const auto& control : SoundControls::all())
                {
                    const int before = PanelControls::position (control.control, parent);
                    const int after = PanelControls::position (control.control, child);
                    if (control.isFader)
                    {
                        largestStep = std::max (largestStep, std::abs (after - before));
                    }
                    else
                    {
                        ++switchControls;
                        switchChanges += before != after;
                    }
                }
        }
        EXPECT_EQ (largestStep, c.maxStep); // reached, never passed
        const double rate = static_cast<double> (switchChanges) / switchControls;
        EXPECT_LE (rate, c.switchChance * 1.1); // 38,400 draws: well within
        EXPECT_GE (rate, c.switchChance * 0.9);
    }

    // Wild reaches every value of a fader and every position of a switch-type control.
    Breeding::Options wild;
    wild.amount = Breeding::Amount::wild;
    std::set<int> freqs, hpfs;
    for (const auto& child : Breeding::children ({sounds[0]}, wild, 5, 3000))
    {
        freqs.insert (PanelControls::position (PanelControl::vcfFreq, child));
        hpfs.insert (PanelControls::position (PanelControl::hpf, child));
    }
    EXPECT_EQ (freqs.size(), 128u);
    EXPECT_EQ (hpfs.size(), 4u);
}

TEST (Breeding, LockedSectionsAreTheFirstParentsInEveryChild)
{
    const auto sounds = factorySounds();
    const std::vector<Bytes> parents{sounds[3], sounds[40], sounds[90]};
    Breeding::Options options;
    options.amount = Breeding::Amount::wild;
    options.wholeSections = false;
    options.lock (Section::lfo, true);
    options.lock (Section::env, true);
    options.lock (Section::chorus, true);
    bool othersChanged = false;
    for (uint64_t seed = 0; seed < 50; ++seed)
        for (const auto& child : Breeding::children (parents, options, seed, 12))
            for (const auto& control : SoundControls::all())
            {
                const int childPosition = PanelControls::position (control.control, child);
                const int parentPosition = PanelControls::position (control.control, parents[0]);
                if (options.isLocked (control.section))
                {
                    ASSERT_EQ (childPosition, parentPosition) << PanelControls::name (control.control);
                }
                else
                {
                    othersChanged = othersChanged || childPosition != parentPosition;
                }
            }
    EXPECT_TRUE (othersChanged);
}

TEST (Breeding, CrossoverKeepsSectionsWholeUnlessToldOtherwise)
{
    // Parents told apart by their faders, far enough that a subtle move cannot blur them.
    const Bytes base = PatchModel().data;
    const std::vector<Bytes> parents{allFadersAt (base, 10), allFadersAt (base, 64), allFadersAt (base, 117)};
    const auto parentOf = [] (int level) { return level < 37 ? 0 : level < 91 ? 1 : 2; };

    const auto sectionsMixed = [&] (bool wholeSections)
    {
        Breeding::Options options;
        options.wholeSections = wholeSections;
        int mixed = 0;
        std::set<int> parentsUsed;
        for (uint64_t seed = 0; seed < 100; ++seed)
            for (const auto& child : Breeding::children (parents, options, seed, 12))
            {
                std::array<std::set<int>, SoundControls::sectionCount> sources;
                for (const auto& control : SoundControls::all())
                    if (control.isFader)
                    {
                        const int source = parentOf (PanelControls::position (control.control, child));
                        sources[static_cast<size_t> (control.section)].insert (source);
                        parentsUsed.insert (source);
                    }
                for (const auto& used : sources)
                    mixed += used.size() > 1;
            }
        EXPECT_EQ (parentsUsed.size(), 3u);
        return mixed;
    };
    EXPECT_EQ (sectionsMixed (true), 0);
    EXPECT_GT (sectionsMixed (false), 0);
}

TEST (Breeding, TheSameSeedGivesTheSameChildren)
{
    const auto sounds = factorySounds();
    const std::vector<Bytes> parents{sounds[7], sounds[8]};
    Breeding::Options options;
    options.amount = Breeding::Amount::moderate;
    const auto twelve = Breeding::children (parents, options, 2024, 12);
    EXPECT_EQ (twelve, Breeding::children (parents, options, 2024, 12));
    // A child is the same however many are made.
    const auto four = Breeding::children (parents, options, 2024, 4);
    EXPECT_TRUE (std::equal (four.begin(), four.end(), twelve.begin()));
    EXPECT_NE (twelve, Breeding::children (parents, options, 2025, 12));
    std::set<Bytes> distinct (twelve.begin(), twelve.end());
    EXPECT_EQ (distinct.size(), 12u);

    // Locking a section leaves the others' variations as they were.
    Breeding::Options locked = options;
    locked.lock (Section::vcf, true);
    const auto lockedChildren = Breeding::children (parents, locked, 2024, 12);
    for (size_t i = 0; i < twelve.size(); ++i)
        EXPECT_EQ (PanelControls::position (PanelControl::attack, lockedChildren[i]),
                   PanelControls::position (PanelControl::attack, twelve[i]));
}

TEST (Breeding, KeptSoundsAreNamedAfterTheirLineWithTheFirstFreeNumber)
{
    EXPECT_EQ (Breeding::lineName ("Brass Set 1"), "Brass Set 1");
    EXPECT_EQ (Breeding::lineName ("Brass Set 1 b12"), "Brass Set 1");
    EXPECT_EQ (Breeding::lineName ("Lab b"), "Lab b");
    EXPECT_EQ (Breeding::lineName ("b2"), "b2");

    LibraryModel library = libraryOf ("L", {patchNamed ("Brass Set 1", 1), patchNamed ("Brass Set 1 b1", 2)});
    EXPECT_EQ (Breeding::keptName (library, "Brass Set 1"), "Brass Set 1 b2");
    library.addPatch (patchNamed ("Brass Set 1 b2", 3));
    EXPECT_EQ (Breeding::keptName (library, "Brass Set 1"), "Brass Set 1 b3");
    EXPECT_EQ (Breeding::keptName (library, "Strings"), "Strings b1");

    EXPECT_EQ (Breeding::amountFromName ("MODERATE"), Breeding::Amount::moderate);
    EXPECT_FALSE (Breeding::amountFromName ("wilder"));
    EXPECT_EQ (SoundControls::sectionFromName ("chorus"), Section::chorus);
    EXPECT_FALSE (SoundControls::sectionFromName ("VCO"));
}

TEST (BreedingRun, GenerationsFromTickedCandidatesAreAllKept)
{
    const auto sounds = factorySounds();
    PatchModel brass;
    brass.name = "Brass Set 1 b3";
    brass.data = sounds[12];
    PatchModel strings;
    strings.name = "Strings";
    strings.data = sounds[30];

    BreedingRun run;
    EXPECT_FALSE (run.breed ({}, {}, 1));
    EXPECT_EQ (run.shown(), nullptr);
    ASSERT_TRUE (run.breed ({brass, strings}, {}, 77));
    ASSERT_NE (run.shown(), nullptr);
    EXPECT_EQ (run.shown()->line, "Brass Set 1");
    const auto first = run.shown()->candidates;
    EXPECT_EQ (first, Breeding::children ({sounds[12], sounds[30]}, {}, 77, 12));
    EXPECT_FALSE (run.nextGeneration ({}, 5)); // nothing ticked or chosen

    // A fourth tick is refused; Next Generation breeds from the ticked ones.
    EXPECT_TRUE (run.setTicked (2, true));
    EXPECT_TRUE (run.setTicked (9, true));
    EXPECT_TRUE (run.setTicked (4, true));
    EXPECT_FALSE (run.setTicked (5, true));
    EXPECT_FALSE (run.setTicked (4, false));
    EXPECT_FALSE (run.isTicked (4));
    const auto second = Breeding::children ({first[2], first[9]}, {}, 88, 12);
    ASSERT_TRUE (run.nextGeneration ({}, 88));
    EXPECT_EQ (run.shownNumber(), 2u);
    EXPECT_EQ (run.shown()->candidates, second);
    EXPECT_EQ (run.shown()->bredFrom, 1u);
    EXPECT_EQ (run.shown()->parentCandidates, (std::vector<size_t>{2, 9}));
    EXPECT_EQ (run.candidate (0).name, "Brass Set 1");
    EXPECT_FALSE (run.isTicked (2)); // ticks belong to their generation

    // With nothing ticked, the candidate last heard is the parent.
    run.choose (6);
    ASSERT_TRUE (run.nextGeneration ({}, 99));
    EXPECT_EQ (run.shown()->parents.size(), 1u);
    EXPECT_EQ (run.shown()->parents[0].data, second[6]);

    // Back and Forward step through every generation; breeding again adds one.
    run.back();
    run.back();
    EXPECT_EQ (run.shownNumber(), 1u);
    EXPECT_FALSE (run.canGoBack());
    EXPECT_TRUE (run.isTicked (2));
    ASSERT_TRUE (run.again ({}, 77));
    EXPECT_EQ (run.count(), 4u);
    EXPECT_EQ (run.shownNumber(), 4u);
    EXPECT_EQ (run.shown()->candidates, first);
    EXPECT_FALSE (run.canGoForward());
}
