#pragma once

#include "explore/SoundControls.h"
#include "patch/PatchModel.h"

#include <cstddef>
#include <vector>

/** How far apart two sounds are, by their parameters: the absolute
    difference of each fader weighted by how much it is heard, and a fixed
    amount for each switch-type control that differs. Names play no part, so
    the same sound under two names is 0 apart. Every question of likeness
    (Find Similar, Select Duplicates, qorv similar and duplicates) asks here. */
namespace SoundDistance
{
/** What one differing switch-type control adds: as much as VCF Freq moved by 16. */
constexpr int switchWeight = 64;

/** The weight of one step of a fader: 4 for those heard most (VCF Freq,
    VCF Res, VCF ENV, VCA Level, Attack, Decay, Sustain, Release), 1 for
    LFO Delay and Noise, 2 for the rest; 0 for a switch-type control. */
int faderWeight (PanelControl control);

int between (const SoundControls::Bytes& a, const SoundControls::Bytes& b);
int between (const SoundControls::Positions& a, const SoundControls::Positions& b);

/** A patch of a list and its distance from another. */
struct Near
{
    size_t row = 0;
    int distance = 0;
};

/** The `count` patches nearest to patches[row], nearest first (equal
    distances in list order), the patch itself left out. One pass over the list. */
std::vector<Near> nearest (const std::vector<PatchModel>& patches, size_t row, size_t count);

/** Patches that sound the same or nearly: `first` and the later patches of
    the list that are within the distance of it. */
struct Group
{
    size_t first = 0;
    std::vector<Near> others;
};

/** Goes through the list in order: a patch within `within` of a patch kept
    before it joins the nearest such one's group (the earliest on a tie);
    otherwise it is kept. So the kept patches are more than `within` apart
    from each other, and every group's others are what a user would erase.
    Groups in the order of their first patch, each with its others in list
    order; only groups with others. */
std::vector<Group> duplicates (const std::vector<PatchModel>& patches, int within);
} // namespace SoundDistance
