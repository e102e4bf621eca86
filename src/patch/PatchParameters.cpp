#include "patch/PatchParameters.h"

namespace PatchParameters
{
const char* const paramNames[PatchBits::numBytes] = {
    "LFO Rate",
    "LFO Delay",
    "DCO LFO",
    "DCO PWM",
    "Noise",
    "VCF Freq",
    "VCF Res",
    "VCF ENV",
    "VCF LFO",
    "VCF KYBD",
    "VCA Level",
    "Attack",
    "Decay",
    "Sustain",
    "Release",
    "Sub Level",
    "DCO Flags",
    "Switches",
};
} // namespace PatchParameters
