#include "patch/LibraryModel.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string_view>
#include <unordered_map>

namespace
{
/** Cheap tests before the byte comparison: in a big library most names differ
    from the wanted one in their last byte or their first. */
bool stemMatches (const std::string& name, const std::string& stem)
{
    const size_t length = stem.size();
    return length == 0 || (name[length - 1] == stem[length - 1] && name[0] == stem[0] &&
                           std::memcmp (name.data(), stem.data(), length) == 0);
}

/** The n of a name spelled exactly `wanted (n)` (decimal, no leading zero)
    when 1 <= n <= limit, else 0. Larger n never matter to uniqueName. */
size_t suffixNumber (const std::string& name, const std::string& wanted, size_t limit)
{
    const size_t stem = wanted.size();
    if (name.size() < stem + 4 || name.back() != ')' || name[stem] != ' ' || name[stem + 1] != '(')
        return 0;
    if (!stemMatches (name, wanted))
        return 0;
    const size_t firstDigit = stem + 2;
    const size_t end = name.size() - 1;
    if (name[firstDigit] == '0')
        return 0;
    size_t number = 0;
    for (size_t i = firstDigit; i < end; ++i)
    {
        const char c = name[i];
        if (c < '0' || c > '9')
            return 0;
        number = number * 10 + static_cast<size_t> (c - '0');
        if (number > limit)
            return 0;
    }
    return number;
}

/** Every suffix taken belongs to a different patch, so among `count` patches
    the first free suffix is at most count; larger ones need no room. */
class SuffixSearch
{
public:
    SuffixSearch (const std::string& wanted, size_t count) : stem (wanted), limit (count), taken (count / 64 + 1, 0)
    {
        taken[0] = 1; // n = 0 is never a suffix
    }

    void note (const std::string& name)
    {
        if (const size_t n = suffixNumber (name, stem, limit))
            taken[n / 64] |= uint64_t{1} << (n % 64);
    }

    std::string firstFree() const
    {
        size_t word = 0;
        while (taken[word] == ~uint64_t{0})
            ++word;
        const size_t n = word * 64 + static_cast<size_t> (__builtin_ctzll (~taken[word]));
        return stem + " (" + std::to_string (n) + ")";
    }

private:
    const std::string& stem;
    const size_t limit;
    std::vector<uint64_t> taken; // bit n set: "stem (n)" is a patch name
};
/** Where a name lives during a merge: in the list, or among the patches the
    merge is adding; and the first suffix of the name not yet seen taken. */
struct Place
{
    bool adding = false;
    size_t index = 0;
    size_t nextSuffix = 1;
};

/** The names of a library during a merge, each with its first patch, and
    uniqueName's rule over them in constant time. Names are only ever added
    while a merge runs, so the first free suffix of a name never goes down:
    each name remembers where its last search stopped, and every step past a
    taken "name (n)" is made once. */
class NameIndex
{
public:
    explicit NameIndex (size_t expected) { places.reserve (expected); }

    /** Views into the names are kept: a patch noted must stay where it is
        until the index is cleared or dropped. The first patch noted under a
        name stays its place. */
    void note (const std::string& name, bool adding, size_t index) { places.try_emplace (name, Place{adding, index}); }

    /** Forgets every place; suffix searches start again from 1. */
    void clear() { places.clear(); }

    Place* find (const std::string& name)
    {
        const auto found = places.find (name);
        return found == places.end() ? nullptr : &found->second;
    }

    std::string uniqueName (const std::string& wanted)
    {
        Place* const taken = find (wanted);
        if (taken == nullptr)
            return wanted;
        std::string candidate;
        for (;; ++taken->nextSuffix)
        {
            candidate.assign (wanted).append (" (").append (std::to_string (taken->nextSuffix)).append (")");
            if (find (candidate) == nullptr)
                return candidate;
        }
    }

private:
    std::unordered_map<std::string_view, Place> places;
};

std::atomic<uint64_t> lastOrderMark{0};
} // namespace

LibraryModel::LibraryModel()
{
    patches.emplace_back();
}

bool LibraryModel::nameLess (const PatchModel& a, const PatchModel& b)
{
    // std::char_traits<char> compares as unsigned char, which is the byte order we need.
    return a.name.compare (b.name) < 0;
}

std::string LibraryModel::uniqueName (const std::string& wanted) const
{
    if (knownInOrder())
        return uniqueNameInSortedList (wanted);

    // The list may be in any order here, so one pass over every name collects
    // both whether the name is taken and which suffixes are.
    SuffixSearch suffixes (wanted, patches.size());
    bool taken = false;
    for (const PatchModel& patch : patches)
    {
        if (patch.name.size() == wanted.size())
            taken = taken || stemMatches (patch.name, wanted);
        else
            suffixes.note (patch.name);
    }
    return taken ? suffixes.firstFree() : wanted;
}

std::string LibraryModel::uniqueNameInSortedList (const std::string& wanted) const
{
    const auto byName = [] (const PatchModel& patch, const std::string& key) { return patch.name.compare (key) < 0; };
    const auto first = std::lower_bound (patches.begin(), patches.end(), wanted, byName);
    if (first == patches.end() || first->name != wanted)
        return wanted;

    // Every "wanted (n)" lies in one run: from "wanted (" up to "wanted )".
    const auto runStart = std::lower_bound (first, patches.end(), wanted + " (", byName);
    const auto runEnd = std::lower_bound (runStart, patches.end(), wanted + " )", byName);
    SuffixSearch suffixes (wanted, static_cast<size_t> (runEnd - runStart) + 1);
    for (auto patch = runStart; patch != runEnd; ++patch)
        suffixes.note (patch->name);
    return suffixes.firstFree();
}

void LibraryModel::addPatch (PatchModel patch)
{
    if (checkOrder())
    {
        patch.name = uniqueNameInSortedList (patch.name);
        const auto position = std::upper_bound (patches.begin(), patches.end(), patch, nameLess);
        patches.insert (position, std::move (patch));
    }
    else
    {
        patch.name = uniqueName (patch.name);
        patches.push_back (std::move (patch));
        std::sort (patches.begin(), patches.end(), nameLess);
    }
    rememberOrder();
    notify();
}

void LibraryModel::sortPatches()
{
    std::sort (patches.begin(), patches.end(), nameLess);
    rememberOrder();
}

LibraryModel::MergeSummary LibraryModel::addPatches (std::vector<PatchModel> incoming)
{
    return mergePatches (std::move (incoming), ClashRule::autoRename);
}

LibraryModel::MergeSummary LibraryModel::mergePatches (std::vector<PatchModel> incoming, ClashRule rule)
{
    MergeSummary summary;
    bool ordered = checkOrder();

    NameIndex names (patches.size() + incoming.size());
    const auto noteList = [&]
    {
        names.clear();
        for (size_t i = 0; i < patches.size(); ++i)
            names.note (patches[i].name, false, i);
    };
    noteList();

    // Reserved once, so the names noted in it never move.
    std::vector<PatchModel> adding;
    adding.reserve (incoming.size());

    for (PatchModel& patch : incoming)
    {
        if (const Place* const clash = names.find (patch.name))
        {
            if (rule == ClashRule::overwrite)
            {
                (clash->adding ? adding : patches)[clash->index].data = patch.data;
                ++summary.overwritten;
                continue;
            }
            if (rule == ClashRule::discard)
            {
                ++summary.discarded;
                continue;
            }
            patch.name = names.uniqueName (patch.name);
            ++summary.renamed;
        }
        ++summary.added;

        if (!ordered)
        {
            // addPatch on a list out of order appends and sorts the whole list;
            // the very same sort here gives the very same order, even among
            // equal names. The list is in order from then on.
            patches.push_back (std::move (patch));
            std::sort (patches.begin(), patches.end(), nameLess);
            ordered = true;
            noteList();
            continue;
        }
        adding.push_back (std::move (patch));
        names.note (adding.back().name, true, adding.size() - 1);
    }

    if (!adding.empty())
    {
        // Every added name is new, so each has one place among the list's
        // names, where addPatch would have inserted it.
        std::sort (adding.begin(), adding.end(), nameLess);
        std::vector<PatchModel> merged;
        merged.reserve (patches.size() + adding.size());
        std::merge (std::make_move_iterator (patches.begin()),
                    std::make_move_iterator (patches.end()),
                    std::make_move_iterator (adding.begin()),
                    std::make_move_iterator (adding.end()),
                    std::back_inserter (merged),
                    nameLess);
        patches = std::move (merged);
    }
    if (ordered)
        rememberOrder();
    if (summary.added > 0 || summary.overwritten > 0)
        notify();
    return summary;
}

bool LibraryModel::holdsIdentical (const PatchModel& patch) const
{
    const auto identical = [&patch] (const PatchModel& held)
    { return held.name == patch.name && held.data == patch.data; };
    if (!knownInOrder())
        return std::any_of (patches.begin(), patches.end(), identical);
    const auto [first, last] = std::equal_range (patches.begin(), patches.end(), patch, nameLess);
    return std::any_of (first, last, identical);
}

void LibraryModel::replacePatches (std::vector<PatchModel> newPatches)
{
    patches = std::move (newPatches);
    patchesEdited();
    notify();
}

void LibraryModel::erasePatch (size_t row)
{
    if (row >= patches.size())
        return;
    const bool wasInOrder = knownInOrder();
    patches.erase (patches.begin() + static_cast<std::ptrdiff_t> (row));
    if (wasInOrder)
        rememberOrder();
    notify();
}

void LibraryModel::patchesEdited()
{
    orderMark = 0;
}

bool LibraryModel::knownInOrder() const
{
    return patches.size() < 2 ||
           (orderMark != 0 && orderedSize == patches.size() && patches.front().orderMark.value == orderMark);
}

bool LibraryModel::checkOrder()
{
    if (knownInOrder())
        return true;
    if (!std::is_sorted (patches.begin(), patches.end(), nameLess))
        return false;
    rememberOrder();
    return true;
}

void LibraryModel::rememberOrder()
{
    orderMark = 0;
    if (patches.empty())
        return;
    orderMark = ++lastOrderMark;
    orderedSize = patches.size();
    patches.front().orderMark.value = orderMark;
}
