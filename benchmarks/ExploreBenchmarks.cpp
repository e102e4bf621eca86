// Exploring sounds at archive scale: Find Similar (one query, linear in the
// library) and Select Duplicates on 10,000 and 100,000 patches, and breeding
// one generation of twelve candidates. The libraries are as archives are:
// a quarter distinct sounds, the rest copies of them, exact or a few fader
// steps or a switch away, in name order.

#include "explore/Breeding.h"
#include "explore/SeededRandom.h"
#include "explore/SoundDistance.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace
{
std::vector<PatchModel> archive (size_t size)
{
    SeededRandom random (2024);
    std::vector<PatchModel> patches;
    patches.reserve (size);
    const auto& controls = SoundControls::all();
    for (size_t i = 0; i < size; ++i)
    {
        PatchModel patch;
        char name[32];
        std::snprintf (name, sizeof name, "Patch %06zu", i);
        patch.name = name;
        if (i < size / 4 || patches.empty())
        {
            for (const auto& control : controls)
                patch.data = SoundControls::withPosition (
                    patch.data,
                    control.control,
                    static_cast<int> (random.below (static_cast<uint64_t> (control.positions))));
        }
        else
        {
            patch.data = patches[random.below (size / 4)].data;
            for (uint64_t change = random.below (3); change > 0; --change)
            {
                const auto& control = controls[random.below (controls.size())];
                const int at = PanelControls::position (control.control, patch.data);
                const int moved = control.isFader
                                      ? std::clamp (at + static_cast<int> (random.below (5)) - 2, 0, 127)
                                      : static_cast<int> (random.below (static_cast<uint64_t> (control.positions)));
                patch.data = SoundControls::withPosition (patch.data, control.control, moved);
            }
        }
        patches.push_back (std::move (patch));
    }
    return patches;
}

const std::vector<PatchModel>& archiveOf (size_t size)
{
    static std::map<size_t, std::vector<PatchModel>> made;
    auto& patches = made[size];
    if (patches.empty())
        patches = archive (size);
    return patches;
}

void findSimilar (benchmark::State& state)
{
    const auto& patches = archiveOf (static_cast<size_t> (state.range (0)));
    size_t row = 0;
    for (auto _ : state)
    {
        benchmark::DoNotOptimize (SoundDistance::nearest (patches, row, 40));
        row = (row + 7919) % patches.size();
    }
}

void selectDuplicates (benchmark::State& state)
{
    const auto& patches = archiveOf (static_cast<size_t> (state.range (0)));
    const int within = static_cast<int> (state.range (1));
    size_t found = 0;
    for (auto _ : state)
    {
        const auto groups = SoundDistance::duplicates (patches, within);
        found = 0;
        for (const auto& group : groups)
            found += group.others.size();
        benchmark::DoNotOptimize (found);
    }
    state.counters["duplicates"] = static_cast<double> (found);
}

void breedGeneration (benchmark::State& state)
{
    const auto& patches = archiveOf (10000);
    const std::vector<SoundControls::Bytes> parents{patches[1].data, patches[2].data, patches[3].data};
    Breeding::Options options;
    options.amount = Breeding::Amount::moderate;
    uint64_t seed = 1;
    for (auto _ : state)
        benchmark::DoNotOptimize (Breeding::children (parents, options, seed++, 12));
}
} // namespace

BENCHMARK (findSimilar)->Name ("Find Similar, 40 nearest")->Arg (10000)->Arg (100000)->Unit (benchmark::kMillisecond);
BENCHMARK (selectDuplicates)
    ->Name ("Select Duplicates (patches, within)")
    ->Args ({10000, 4})
    ->Args ({100000, 0})
    ->Args ({100000, 4})
    ->Args ({100000, 64})
    ->Unit (benchmark::kMillisecond);
BENCHMARK (breedGeneration)->Name ("breed a generation of 12")->Unit (benchmark::kMicrosecond);
