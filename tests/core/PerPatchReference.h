#pragma once

// The library's additions and merges done one patch at a time, the way the
// window did them before the library learnt whole lists: each patch searches
// the whole list for its name, then goes through a per-patch uniqueName and
// an insertion that checks the order first. Quadratic, kept only to pin the
// library's own results against, in the tests and the benchmarks.

#include "patch/LibraryModel.h"

#include <algorithm>
#include <string>
#include <vector>

namespace perPatch
{
/** n of a name spelled exactly "<stem>n)" with n in 1..limit, else 0; the
    stem is the wanted name and " (". */
inline size_t suffixOf (const std::string& name, const std::string& stem, size_t limit)
{
    if (name.size() <= stem.size() + 1 || name.back() != ')' || name.compare (0, stem.size(), stem) != 0 ||
        name[stem.size()] == '0')
        return 0;
    size_t n = 0;
    for (size_t i = stem.size(); i + 1 < name.size(); ++i)
    {
        if (name[i] < '0' || name[i] > '9')
            return 0;
        n = n * 10 + static_cast<size_t> (name[i] - '0');
        if (n > limit)
            return 0;
    }
    return n;
}

/** The rule in one pass over a list in any order. */
inline std::string uniqueName (const std::vector<PatchModel>& patches, const std::string& wanted)
{
    const std::string stem = wanted + " (";
    bool taken = false;
    std::vector<bool> suffixTaken (patches.size() + 2);
    for (const PatchModel& patch : patches)
    {
        taken = taken || patch.name == wanted;
        suffixTaken[suffixOf (patch.name, stem, patches.size())] = true;
    }
    if (!taken)
        return wanted;
    size_t n = 1;
    while (suffixTaken[n])
        ++n;
    return wanted + " (" + std::to_string (n) + ")";
}

/** addPatch as it was: checks the order, then inserts in place or appends
    and sorts the whole list. */
inline void addPatch (std::vector<PatchModel>& patches, PatchModel patch)
{
    patch.name = uniqueName (patches, patch.name);
    if (std::is_sorted (patches.begin(), patches.end(), LibraryModel::nameLess))
    {
        patches.insert (std::upper_bound (patches.begin(), patches.end(), patch, LibraryModel::nameLess),
                        std::move (patch));
    }
    else
    {
        patches.push_back (std::move (patch));
        std::sort (patches.begin(), patches.end(), LibraryModel::nameLess);
    }
}

/** The merge walk: for each incoming patch, search the list for its name. */
inline void
merge (std::vector<PatchModel>& patches, const std::vector<PatchModel>& incoming, LibraryModel::ClashRule rule)
{
    for (const PatchModel& patch : incoming)
    {
        const auto same = std::find_if (
            patches.begin(), patches.end(), [&] (const PatchModel& held) { return held.name == patch.name; });
        if (same == patches.end() || rule == LibraryModel::ClashRule::autoRename)
            addPatch (patches, patch);
        else if (rule == LibraryModel::ClashRule::overwrite)
            same->data = patch.data;
    }
}
} // namespace perPatch
