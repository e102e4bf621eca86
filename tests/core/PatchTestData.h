#pragma once

// Small patches and libraries the tests build, and the names to compare.

#include "patch/LibraryModel.h"

#include <cstdint>
#include <string>
#include <vector>

/** An Init sound under a name, told apart from others by its first byte (LFO rate). */
inline PatchModel patchNamed (const std::string& name, uint8_t firstByte)
{
    PatchModel patch;
    patch.name = name;
    patch.data[0] = firstByte;
    return patch;
}

inline LibraryModel libraryOf (const std::string& name, const std::vector<PatchModel>& patches)
{
    LibraryModel library;
    library.name = name;
    library.patches = patches;
    return library;
}

/** The library's names in its order. */
inline std::vector<std::string> namesOf (const LibraryModel& library)
{
    std::vector<std::string> names;
    for (const auto& patch : library.patches)
        names.push_back (patch.name);
    return names;
}
