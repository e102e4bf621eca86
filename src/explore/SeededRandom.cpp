#include "explore/SeededRandom.h"

#include <random>

namespace
{
uint64_t splitmix64 (uint64_t& x)
{
    uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

uint64_t rotl (uint64_t x, int k)
{
    return (x << k) | (x >> (64 - k));
}
} // namespace

SeededRandom::SeededRandom (uint64_t seed)
{
    for (auto& word : state)
        word = splitmix64 (seed);
}

uint64_t SeededRandom::next()
{
    const uint64_t result = rotl (state[1] * 5, 7) * 9;
    const uint64_t t = state[1] << 17;
    state[2] ^= state[0];
    state[3] ^= state[1];
    state[1] ^= state[2];
    state[0] ^= state[3];
    state[2] ^= t;
    state[3] = rotl (state[3], 45);
    return result;
}

uint64_t SeededRandom::below (uint64_t bound)
{
    if (bound == 0)
        return 0;
    // Values under 2^64 mod bound would make the low results likelier: drawn again.
    const uint64_t threshold = (0 - bound) % bound;
    for (;;)
    {
        const uint64_t value = next();
        if (value >= threshold)
            return value % bound;
    }
}

bool SeededRandom::chance (int perMille)
{
    return static_cast<int64_t> (below (1000)) < perMille;
}

uint64_t SeededRandom::seedFor (uint64_t seed, uint64_t index)
{
    uint64_t mixed = seed ^ (index * 0xD1B54A32D192ED03ull);
    splitmix64 (mixed);
    return splitmix64 (mixed);
}

uint64_t SeededRandom::freshSeed()
{
    // Nine digits at most: short enough to read out and type again.
    std::random_device device ("/dev/urandom");
    const uint64_t drawn = (static_cast<uint64_t> (device()) << 32) ^ device();
    return 1 + drawn % 999999999u;
}
