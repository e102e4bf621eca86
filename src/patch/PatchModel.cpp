#include "patch/PatchModel.h"

using namespace PatchBits;

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
