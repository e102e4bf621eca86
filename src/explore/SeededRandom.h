#pragma once

#include <cstdint>

/** Random numbers that are the same on every machine for the same seed:
    xoshiro256** seeded through splitmix64, drawn with integer arithmetic
    only (no standard distribution, whose results differ between libraries). */
class SeededRandom
{
public:
    explicit SeededRandom (uint64_t seed);

    uint64_t next();
    /** 0 to bound - 1, every value equally likely; 0 for a bound of 0. */
    uint64_t below (uint64_t bound);
    /** True with a probability of perMille / 1000. */
    bool chance (int perMille);

    /** A seed for the stream of item `index` of a seeded whole, so each item
        is the same however many are drawn. */
    static uint64_t seedFor (uint64_t seed, uint64_t index);
    /** A seed nobody chose, from the system's entropy: 1 to 999,999,999. */
    static uint64_t freshSeed();

private:
    uint64_t state[4];
};
