#include "patch/LibraryModel.h"

#include <algorithm>
#include <cstring>

namespace
{
/** The n of a name spelled exactly `wanted (n)` (decimal, no leading zero)
    when 1 <= n <= limit, else 0. Larger n never matter to uniqueName. */
size_t suffixNumber (const std::string& name, const std::string& wanted, size_t limit)
{
    const size_t stem = wanted.size();
    if (name.size() < stem + 4 || name.back() != ')' || name[stem] != ' ' || name[stem + 1] != '(')
        return 0;
    if (std::memcmp (name.data(), wanted.data(), stem) != 0)
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
    // One pass collects both whether the name is taken and which suffixes are.
    // Every suffix taken belongs to a different patch, so the first free one is
    // at most the number of patches.
    const size_t limit = patches.size();
    std::vector<bool> suffixTaken (limit + 1, false);
    bool taken = false;
    for (const PatchModel& patch : patches)
    {
        if (patch.name.size() == wanted.size())
            taken = taken || patch.name == wanted;
        else if (const size_t n = suffixNumber (patch.name, wanted, limit))
            suffixTaken[n] = true;
    }
    if (!taken)
        return wanted;

    size_t n = 1;
    while (suffixTaken[n])
        ++n;
    return wanted + " (" + std::to_string (n) + ")";
}

void LibraryModel::addPatch (PatchModel patch)
{
    patch.name = uniqueName (patch.name);
    if (std::is_sorted (patches.begin(), patches.end(), nameLess))
    {
        const auto position = std::upper_bound (patches.begin(), patches.end(), patch, nameLess);
        patches.insert (position, std::move (patch));
    }
    else
    {
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
