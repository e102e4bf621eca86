#pragma once

#include <random>

/** The random draws behind EVOLVE that are more than a plain distribution. */
namespace PatchEvolve
{
constexpr int maxStep = 15;
constexpr double mutationChance = 0.1;

/** A real number in [0, 1) from two consecutive 32-bit outputs a and then b,
    as (a + b * 2^32) / 2^64. Written out rather than left to
    std::generate_canonical so the draw order is ours, not the library's. */
double drawChance (std::mt19937& engine);
} // namespace PatchEvolve
