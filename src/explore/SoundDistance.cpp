#include "explore/SoundDistance.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>

using SoundControls::Bytes;
using SoundControls::Positions;

namespace SoundDistance
{
namespace
{
    /** The table of all() turned into what a comparison needs: each fader's
        byte and weight, and the switch-type controls, which all live in the
        two switch bytes. */
    struct Layout
    {
        struct Fader
        {
            size_t byteIndex;
            int weight;
        };
        std::vector<Fader> faders;
        std::vector<PanelControl> switches;
        std::array<int, SoundControls::count> weights{}; // by the index of all(), switches included

        Layout()
        {
            const auto& controls = SoundControls::all();
            for (size_t i = 0; i < controls.size(); ++i)
            {
                const auto& control = controls[i];
                if (control.isFader)
                {
                    weights[i] = faderWeight (control.control);
                    faders.push_back ({static_cast<size_t> (PanelControls::byteIndex (control.control)), weights[i]});
                }
                else
                {
                    weights[i] = switchWeight;
                    switches.push_back (control.control);
                }
            }
        }
    };

    const Layout& layout()
    {
        static const Layout table;
        return table;
    }

    /** A patch as a comparison reads it: its bytes, and its switch-type controls' positions. */
    struct Sound
    {
        explicit Sound (const Bytes& bytes) : data (bytes)
        {
            const auto& switches = layout().switches;
            for (size_t i = 0; i < switches.size(); ++i)
                switchPositions[i] = static_cast<uint8_t> (PanelControls::position (switches[i], data));
        }

        int faderSum() const
        {
            int sum = 0;
            for (const auto& fader : layout().faders)
                sum += fader.weight * data[fader.byteIndex];
            return sum;
        }

        /** The switch-type controls' positions as one number, equal only for equal positions. */
        uint32_t switchKey() const
        {
            uint32_t key = 0;
            for (const auto position : switchPositions)
                key = key * 4 + position; // no switch-type control has more than four positions
            return key;
        }

        const Bytes& data;
        std::array<uint8_t, 8> switchPositions{};
    };

    int faderPart (const Bytes& a, const Bytes& b)
    {
        int sum = 0;
        for (const auto& fader : layout().faders)
            sum += fader.weight * std::abs (a[fader.byteIndex] - b[fader.byteIndex]);
        return sum;
    }

    int switchPart (const Sound& a, const Bytes& b)
    {
        // Most patches of a list share their switch bytes with many others.
        if (a.data[PatchBits::dcoFlagsIndex] == b[PatchBits::dcoFlagsIndex] &&
            a.data[PatchBits::switchesIndex] == b[PatchBits::switchesIndex])
            return 0;
        const auto& switches = layout().switches;
        int sum = 0;
        for (size_t i = 0; i < switches.size(); ++i)
            if (PanelControls::position (switches[i], b) != a.switchPositions[i])
                sum += switchWeight;
        return sum;
    }

    int distance (const Sound& a, const Bytes& b)
    {
        return faderPart (a.data, b) + switchPart (a, b);
    }
} // namespace

int faderWeight (PanelControl control)
{
    switch (control)
    {
        case PanelControl::vcfFreq:
        case PanelControl::vcfRes:
        case PanelControl::vcfEnv:
        case PanelControl::vcaLevel:
        case PanelControl::attack:
        case PanelControl::decay:
        case PanelControl::sustain:
        case PanelControl::release:
            return 4;
        case PanelControl::lfoDelay:
        case PanelControl::noise:
            return 1;
        case PanelControl::lfoRate:
        case PanelControl::dcoLfo:
        case PanelControl::dcoPwm:
        case PanelControl::vcfLfo:
        case PanelControl::vcfKybd:
        case PanelControl::subLevel:
            return 2;
        default:
            return 0;
    }
}

int between (const Bytes& a, const Bytes& b)
{
    return distance (Sound (a), b);
}

int between (const Positions& a, const Positions& b)
{
    const auto& weights = layout().weights;
    const auto& controls = SoundControls::all();
    int sum = 0;
    for (size_t i = 0; i < controls.size(); ++i)
    {
        if (controls[i].isFader)
            sum += weights[i] * std::abs (a[i] - b[i]);
        else if (a[i] != b[i])
            sum += switchWeight;
    }
    return sum;
}

std::vector<Near> nearest (const std::vector<PatchModel>& patches, size_t row, size_t count)
{
    if (row >= patches.size() || count == 0)
        return {};
    const Sound wanted (patches[row].data);
    std::vector<Near> all;
    all.reserve (patches.size() - 1);
    for (size_t i = 0; i < patches.size(); ++i)
        if (i != row)
            all.push_back ({i, distance (wanted, patches[i].data)});

    const auto closer = [] (const Near& a, const Near& b)
    { return a.distance != b.distance ? a.distance < b.distance : a.row < b.row; };
    const size_t wantedCount = std::min (count, all.size());
    std::partial_sort (all.begin(), all.begin() + static_cast<std::ptrdiff_t> (wantedCount), all.end(), closer);
    all.resize (wantedCount);
    return all;
}

std::vector<Group> duplicates (const std::vector<PatchModel>& patches, int within)
{
    within = std::clamp (within, 0, 1 << 20); // beyond any two sounds' distance
    // Two sounds within the distance differ in at most within / switchWeight
    // switch-type controls, and their weighted fader sums lie no further apart
    // than what the distance leaves after those. So the list is sorted by
    // switch positions and then fader sum, and a patch is compared only with
    // the narrow runs of the switch settings near enough to its own.
    struct Entry
    {
        uint32_t key;
        int sum;
        size_t row;
    };
    std::vector<Entry> sorted;
    sorted.reserve (patches.size());
    for (size_t row = 0; row < patches.size(); ++row)
    {
        const Sound sound (patches[row].data);
        sorted.push_back ({sound.switchKey(), sound.faderSum(), row});
    }
    const auto entryLess = [] (const Entry& a, const Entry& b) {
        return a.key != b.key ? a.key < b.key : a.sum != b.sum ? a.sum < b.sum : a.row < b.row;
    };
    std::sort (sorted.begin(), sorted.end(), entryLess);

    // The runs of one switch setting each, and how far apart each two settings are.
    struct Run
    {
        uint32_t key;
        size_t begin;
        size_t end;
    };
    std::vector<Run> runs;
    std::vector<size_t> runOfRow (patches.size());
    for (size_t place = 0; place < sorted.size(); ++place)
    {
        if (runs.empty() || runs.back().key != sorted[place].key)
            runs.push_back ({sorted[place].key, place, place});
        runs.back().end = place + 1;
        runOfRow[sorted[place].row] = runs.size() - 1;
    }
    const auto switchDistance = [] (uint32_t a, uint32_t b)
    {
        int differing = 0;
        for (; a != 0 || b != 0; a /= 4, b /= 4)
            differing += (a % 4) != (b % 4);
        return differing * switchWeight;
    };
    struct NearRun
    {
        size_t run;
        int distance;
    };
    std::vector<std::vector<NearRun>> nearRuns (runs.size());
    std::vector<bool> nearRunsKnown (runs.size(), false);

    constexpr size_t none = static_cast<size_t> (-1);
    std::vector<size_t> groupOfRow (patches.size(), none); // kept rows only: their group
    std::vector<Group> groups;
    for (size_t row = 0; row < patches.size(); ++row)
    {
        const size_t ownRun = runOfRow[row];
        if (!nearRunsKnown[ownRun])
        {
            for (size_t other = 0; other < runs.size(); ++other)
                if (const int d = switchDistance (runs[ownRun].key, runs[other].key); d <= within)
                    nearRuns[ownRun].push_back ({other, d});
            nearRunsKnown[ownRun] = true;
        }
        const Sound sound (patches[row].data);
        const int sum = sound.faderSum();
        Near best{none, within + 1};
        for (const auto& near : nearRuns[ownRun])
        {
            const Run& run = runs[near.run];
            const int slack = within - near.distance;
            const auto first = sorted.begin() + static_cast<std::ptrdiff_t> (run.begin);
            const auto last = sorted.begin() + static_cast<std::ptrdiff_t> (run.end);
            for (auto it = std::lower_bound (first, last, Entry{run.key, sum - slack, 0}, entryLess);
                 it != last && it->sum <= sum + slack;
                 ++it)
            {
                // Only rows before this one have been kept or not yet.
                if (it->row >= row || groupOfRow[it->row] == none)
                    continue;
                const int d = distance (sound, patches[it->row].data);
                if (d <= within && (d < best.distance || (d == best.distance && it->row < best.row)))
                    best = {it->row, d};
            }
        }
        if (best.row == none)
        {
            groupOfRow[row] = groups.size();
            groups.push_back ({row, {}});
        }
        else
        {
            groups[groupOfRow[best.row]].others.push_back ({row, best.distance});
        }
    }
    groups.erase (std::remove_if (groups.begin(), groups.end(), [] (const Group& g) { return g.others.empty(); }),
                  groups.end());
    return groups;
}
} // namespace SoundDistance
