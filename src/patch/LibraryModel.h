#pragma once

#include "patch/PatchModel.h"

#include <functional>
#include <string>
#include <vector>

/** The bank of patches: a name and a list of patches kept in name order, with
    unique names enforced by addPatch. Other code may edit `patches` directly;
    addPatch copes with a list left unsorted that way. */
struct LibraryModel
{
    LibraryModel();

    /** Renames the patch with uniqueName, inserts it in name order, notifies. */
    void addPatch (PatchModel patch);

    /** The name itself when no patch bears it, else the first free
        "name (n)" for n = 1, 2, ... */
    std::string uniqueName (const std::string& wanted) const;

    /** Ascending order of names compared as unsigned bytes; not stable. */
    void sortPatches();

    /** The order of sortPatches: bytewise unsigned, a prefix first. */
    static bool nameLess (const PatchModel& a, const PatchModel& b);

    std::string name{"New Library"};
    std::vector<PatchModel> patches;
    std::function<void()> onChange;

private:
    /** uniqueName by binary search, for when `patches` is known to be sorted. */
    std::string uniqueNameInSortedList (const std::string& wanted) const;
};
