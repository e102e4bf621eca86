#pragma once

#include "patch/PatchModel.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace QorvCli
{
/** The panel's controls for these bytes, one line for each section in the
    panel's order: "VCF Freq 64, VCF Res 0, ENV Normal, VCF ENV 58, ...".
    A level a patch cannot hold shows its number marked "(above 127)". */
std::vector<std::string> parameterLines (const std::array<uint8_t, PatchBits::numBytes>& data);

/** What a parameter change sets, as "VCF Freq = 32" (several, comma-separated,
    for the flags and switches bytes); empty for a number that names no byte. */
std::string parameterChange (int byteIndex, int value);

/** The parameters as one JSON object, name to value: a number where the
    panel shows one, the panel's text otherwise ("Range": "8'"). */
std::string parametersJson (const std::array<uint8_t, PatchBits::numBytes>& data);
} // namespace QorvCli
