#include "patch/PatchEvolve.h"
#include "patch/PatchModel.h"

#include <algorithm>
#include <cmath>

using namespace PatchBits;

double PatchEvolve::drawChance (std::mt19937& engine)
{
    const double low = static_cast<double> (engine());
    const double high = static_cast<double> (engine());
    const double chance = (low + high * 0x1p32) / 0x1p64;
    // a and b both near 2^32 - 1 round the sum up to 2^64; keep the result below 1.
    return chance < 1.0 ? chance : std::nextafter (1.0, 0.0);
}

void PatchModel::randomize()
{
    std::mt19937::result_type seed;
    {
        std::random_device device ("/dev/urandom");
        seed = device();
    }
    std::mt19937 engine (seed);
    evolve (engine);
}

void PatchModel::evolve (std::mt19937& engine)
{
    using PatchEvolve::drawChance;
    std::uniform_int_distribution<int> step (-PatchEvolve::maxStep, PatchEvolve::maxStep);
    for (int i = 0; i < numLevelBytes; ++i)
    {
        data[i] = static_cast<uint8_t> (std::clamp (data[i] + step (engine), 0, 127));
        notify();
    }

    // Each switch mutation draws its chance first; its own further draws follow
    // only when it applies, before the next mutation's chance.
    const auto applies = [&engine] { return drawChance (engine) < PatchEvolve::mutationChance; };
    uint8_t& flags = data[dcoFlagsIndex];
    uint8_t& switches = data[switchesIndex];

    if (applies())
    {
        if (rangeFootage (flags) == 8)
            flags = withRangeBits (flags, drawChance (engine) < 0.5 ? range16 : range4);
        else
            flags = withRangeBits (flags, range8);
        notify();
    }
    if (applies())
    {
        flags ^= pulseBit;
        notify();
    }
    if (applies())
    {
        flags ^= sawBit;
        notify();
    }
    if (applies())
    {
        static constexpr Chorus choices[] = {Chorus::off, Chorus::one, Chorus::two};
        flags = withChorus (flags, choices[std::uniform_int_distribution<int> (0, 2) (engine)]);
        notify();
    }
    if (applies())
    {
        switches ^= pwmManBit;
        notify();
    }
    if (applies())
    {
        switches ^= vcfInvertBit;
        notify();
    }
    if (applies())
    {
        switches ^= vcaGateBit;
        notify();
    }
    if (applies())
    {
        switches = withHpfPosition (switches, std::uniform_int_distribution<int> (0, 3) (engine));
        notify();
    }
}
