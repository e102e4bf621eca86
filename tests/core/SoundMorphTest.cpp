// Blends of two to four sounds on the morph pad: faders as rounded weighted
// means, switch-type controls always one corner's.

#include "explore/SoundMorph.h"
#include "FactoryPatches.h"

#include <gtest/gtest.h>

using SoundControls::Bytes;

namespace
{
/** A sound whose every fader is `level`, with switch-type controls of its own. */
Bytes sound (int level, int range, int chorus, int hpf, bool saw)
{
    Bytes data = PatchModel().data;
    for (const auto& control : SoundControls::all())
        if (control.isFader)
            data = SoundControls::withPosition (data, control.control, level);
    data = SoundControls::withPosition (data, PanelControl::range, range);
    data = SoundControls::withPosition (data, PanelControl::chorus, chorus);
    data = SoundControls::withPosition (data, PanelControl::hpf, hpf);
    return SoundControls::withPosition (data, PanelControl::saw, saw ? 1 : 0);
}

int fader (const Bytes& data)
{
    return data[static_cast<size_t> (PanelControls::byteIndex (PanelControl::vcfFreq))];
}
} // namespace

TEST (SoundMorph, BlendsFadersAsRoundedWeightedMeans)
{
    const Bytes a = sound (0, 0, 0, 0, false);
    const Bytes b = sound (100, 1, 1, 1, true);
    const Bytes c = sound (7, 2, 2, 2, false);
    const Bytes d = sound (127, 0, 2, 3, true);
    struct Case
    {
        std::vector<Bytes> corners;
        double x, y;
        int expected;
    };
    const Case cases[] = {
        {{a, b}, 0.0, 0.0, 0},
        {{a, b}, 1.0, 0.0, 100},
        {{a, b}, 0.25, 0.0, 25},
        {{a, b}, 0.5, 0.9, 50}, // two corners: a line, y plays no part
        {{a, c}, 0.5, 0.0, 4},  // 3.5 rounds up
        {{a, b, c, d}, 0.0, 0.0, 0},
        {{a, b, c, d}, 1.0, 0.0, 100},
        {{a, b, c, d}, 0.0, 1.0, 7},
        {{a, b, c, d}, 1.0, 1.0, 127},
        {{a, b, c, d}, 0.5, 0.5, 59},  // (0 + 100 + 7 + 127) / 4 = 58.5
        {{a, b, c, d}, 0.5, 0.0, 50},  // the top edge: A and B alone
        {{a, b, c, d}, 1.0, 0.5, 114}, // the right edge: B and D, 113.5
        {{a, b, c}, 0.3, 1.0, 7},      // three corners: C spans the bottom edge
        {{a, b, c}, 1.0, 1.0, 7},
        {{a, b, c}, 0.5, 0.5, 29}, // A 1/4, B 1/4, C 1/2: 25 + 3.5
    };
    for (const auto& blendCase : cases)
    {
        SCOPED_TRACE ("corners " + std::to_string (blendCase.corners.size()) + " at " + std::to_string (blendCase.x) +
                      "," + std::to_string (blendCase.y));
        const Bytes blended = SoundMorph::blend (blendCase.corners, SoundMorph::pointAt (blendCase.x, blendCase.y));
        EXPECT_EQ (fader (blended), blendCase.expected);
        // Every fader is blended alike.
        for (const auto& control : SoundControls::all())
        {
            if (control.isFader)
            {
                EXPECT_EQ (PanelControls::position (control.control, blended), fader (blended));
            }
        }
    }
}

TEST (SoundMorph, SwitchTypeControlsAreAlwaysTheStrongestCornersOwn)
{
    std::vector<Bytes> corners;
    for (const auto& row : loadFactoryPatches())
        if (corners.size() < 4 &&
            (corners.empty() || row.patch.data[16] != corners.back()[16] || row.patch.data[17] != corners.back()[17]))
            corners.push_back (row.patch.data);
    ASSERT_EQ (corners.size(), 4u);

    for (size_t count = 2; count <= 4; ++count)
    {
        const std::vector<Bytes> used (corners.begin(), corners.begin() + static_cast<std::ptrdiff_t> (count));
        for (int ix = 0; ix <= 20; ++ix)
            for (int iy = 0; iy <= 20; ++iy)
            {
                const auto point = SoundMorph::pointAt (ix / 20.0, iy / 20.0);
                const Bytes blended = SoundMorph::blend (used, point);
                const auto strongest = SoundMorph::strongestCorner (SoundMorph::weights (count, point));
                const auto& expected = used[strongest];
                for (const auto& control : SoundControls::all())
                {
                    if (!control.isFader)
                    {
                        ASSERT_EQ (PanelControls::position (control.control, blended),
                                   PanelControls::position (control.control, expected))
                            << PanelControls::name (control.control) << " with " << count << " corners at " << ix << ","
                            << iy;
                    }
                }
                EXPECT_EQ (blended[16], expected[16]);
                EXPECT_EQ (blended[17], expected[17]);
            }
    }
}

TEST (SoundMorph, WeightsAreWholeAndPointsOutsideThePadAreItsEdge)
{
    for (size_t count = 2; count <= 4; ++count)
    {
        const auto w = SoundMorph::weights (count, SoundMorph::pointAt (0.37, 0.81));
        int64_t sum = 0;
        for (const auto weight : w)
            sum += weight;
        EXPECT_EQ (w.size(), count);
        EXPECT_EQ (sum, SoundMorph::unit * SoundMorph::unit);
    }
    const auto p = SoundMorph::pointAt (-3.0, 7.5);
    EXPECT_EQ (p.x, 0);
    EXPECT_EQ (p.y, SoundMorph::unit);
    EXPECT_EQ (SoundMorph::pointAt (std::nan (""), 0.5).x, 0);
    // The centre is a tie of four: the first corner's switches.
    EXPECT_EQ (SoundMorph::strongestCorner (SoundMorph::weights (4, SoundMorph::pointAt (0.5, 0.5))), 0u);
}
