#pragma once

#include "patch/PatchModel.h"

/** How the panel names the bytes of a patch (STATUS, parameter changes). */
namespace PatchParameters
{
extern const char* const paramNames[PatchBits::numBytes];
} // namespace PatchParameters
