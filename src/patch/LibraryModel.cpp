#include "patch/LibraryModel.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

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
    // Other code may have edited the list directly; only a list still in order
    // can take the binary searches, anything else is sorted whole as before.
    if (std::is_sorted (patches.begin(), patches.end(), nameLess))
    {
        patch.name = uniqueNameInSortedList (patch.name);
        const auto position = std::upper_bound (patches.begin(), patches.end(), patch, nameLess);
        patches.insert (position, std::move (patch));
    }
    else
    {
        patch.name = uniqueName (patch.name);
        patches.push_back (std::move (patch));
        sortPatches();
    }
    if (onChange)
        onChange();
}

void LibraryModel::sortPatches()
{
    std::sort (patches.begin(), patches.end(), nameLess);
}
