#include "patch/PatchModel.h"

using namespace PatchBits;

int PatchBits::correctValues (std::array<uint8_t, numBytes>& data)
{
    int corrected = 0;
    for (int i = 0; i < numBytes; ++i)
    {
        auto& byte = data[static_cast<size_t> (i)];
        const uint8_t value = correctedValue (i, byte);
        corrected += value != byte;
        byte = value;
    }
    return corrected;
}

PatchModel::PatchModel()
{
    init();
}

void PatchModel::init()
{
    data.fill (0);
    data[5] = 127; // VCF Freq
    notify();
    data[10] = 127; // VCA Level
    notify();
    data[dcoFlagsIndex] = withRangeBits (data[dcoFlagsIndex], range8);
    notify();
    data[dcoFlagsIndex] = withBit (data[dcoFlagsIndex], pulseBit, true);
    notify();
    data[dcoFlagsIndex] = withChorus (data[dcoFlagsIndex], Chorus::off);
    notify();
    data[switchesIndex] = withBit (data[switchesIndex], pwmManBit, true);
    notify();
    data[switchesIndex] = withHpfPosition (data[switchesIndex], 0);
    notify();
}

int PatchModel::correctValues()
{
    const int corrected = PatchBits::correctValues (data);
    if (corrected > 0)
        notify();
    return corrected;
}
