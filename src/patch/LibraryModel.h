#pragma once

#include "patch/PatchModel.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/** The bank of patches: a name and a list of patches kept in name order, with
    unique names enforced by addPatch.

    Other code may edit `patches` directly. The library remembers when it last
    left the list in order, by its length and a mark on its first patch, and
    trusts that until either changes: replacing the list, a change of length,
    or assigning over the first patch make it check the order afresh (one
    pass) before relying on it. An edit that keeps both goes unnoticed (a
    rename in place, a reordering, removing one patch and appending another):
    call patchesEdited() after one, or use the operations below. */
struct LibraryModel
{
    LibraryModel();

    /** Renames the patch with uniqueName, inserts it in name order, notifies.
        A list found out of order is sorted whole first (std::sort, so equal
        names of a loaded file land in an order of the library's choosing). */
    void addPatch (PatchModel patch);

    /** The name itself when no patch bears it, else the first free
        "name (n)" for n = 1, 2, ... Binary searches while the list is known
        to be in order, one pass over every name otherwise. */
    std::string uniqueName (const std::string& wanted) const;

    /** Ascending order of names compared as unsigned bytes; not stable. */
    void sortPatches();

    /** The order of sortPatches: bytewise unsigned, a prefix first. */
    static bool nameLess (const PatchModel& a, const PatchModel& b);

    //==========================================================================
    // Whole lists at once, in linear or n log n time

    /** How to treat an incoming patch whose name the library already holds. */
    enum class ClashRule
    {
        autoRename, // add it under uniqueName
        overwrite,  // give its bytes to the first patch of that name
        discard     // leave it out
    };

    /** What an addition or merge did, for the window's STATUS. */
    struct MergeSummary
    {
        size_t added = 0;       // patches now in the list, renamed ones included
        size_t renamed = 0;     // added under a name other than their own
        size_t overwritten = 0; // clashes whose bytes replaced a patch's bytes
        size_t discarded = 0;   // clashes left out
    };

    /** The same names, bytes and order as calling addPatch on each patch in
        turn (patches added earlier count for later clashes), with one
        notification at the end when anything was added. */
    MergeSummary addPatches (std::vector<PatchModel> incoming);

    /** A merge: each incoming patch in order is added when no patch of the
        list (those added earlier in the merge included) bears its name, and
        otherwise handled by the rule. Gives the same names, bytes and order as
        doing this one patch at a time with addPatch, uniqueName and a search
        for the first patch of the name. Notifies once when anything changed. */
    MergeSummary mergePatches (std::vector<PatchModel> incoming, ClashRule rule);

    /** True when a patch of the same name holds the same bytes. A binary
        search while the list is known to be in order, one pass otherwise. */
    bool holdsIdentical (const PatchModel& patch) const;

    //==========================================================================
    // Direct edits the library keeps track of

    /** Replaces the whole list, in the order given (a file's order is kept
        until the next addition sorts it), and notifies. */
    void replacePatches (std::vector<PatchModel> newPatches);

    /** Removes the patch at a row and notifies; a row out of range is
        ignored. What was known about the order stays known. */
    void erasePatch (size_t row);

    /** Tells the library that names or order in `patches` were changed in
        place; the next operation that needs the order checks it again. */
    void patchesEdited();

    std::string name{"New Library"};
    std::vector<PatchModel> patches;
    std::function<void()> onChange;

private:
    /** uniqueName by binary search, for when `patches` is known to be sorted. */
    std::string uniqueNameInSortedList (const std::string& wanted) const;

    /** True when the list is the one this library last left in order. */
    bool knownInOrder() const;
    /** knownInOrder, or else one pass of std::is_sorted, remembered when true. */
    bool checkOrder();
    void rememberOrder();

    void notify() const
    {
        if (onChange)
            onChange();
    }

    // The list last left in order: its length and the mark on its first patch.
    uint64_t orderMark = 0;
    size_t orderedSize = 0;
};
