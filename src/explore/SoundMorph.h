#pragma once

#include "explore/SoundControls.h"

#include <array>
#include <cstdint>
#include <vector>

/** Blending two to four sounds set on the corners of a square pad. The point
    is held in whole millionths, so a blend is exact integer arithmetic and
    the same on every machine. */
namespace SoundMorph
{
constexpr int64_t unit = 1000000; // the pad's side

/** A point on the pad: x from the left (0) to the right (unit), y from the
    top (0) to the bottom (unit). */
struct Point
{
    int64_t x = 0;
    int64_t y = 0;
};

/** The point nearest to fractions of the side, each limited to 0-1. */
Point pointAt (double x, double y);

/** The corners' weights at a point, summing to unit * unit: bilinear over
    the square with A top left, B top right, C bottom left, D bottom right.
    With two corners the pad is a line from A to B (y plays no part); with
    three, C spans the whole bottom edge. */
std::vector<int64_t> weights (size_t corners, Point point);

/** The corner with the largest weight; the first of equals. */
size_t strongestCorner (const std::vector<int64_t>& weights);

/** The blend of 2 to 4 corner sounds: each fader the weighted mean of the
    corners' values, rounded (halves up); each switch-type control the
    strongest corner's; what no patch may hold corrected. Fewer than two
    corners give the first one. */
SoundControls::Bytes blend (const std::vector<SoundControls::Bytes>& corners, Point point);
} // namespace SoundMorph
