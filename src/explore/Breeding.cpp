#include "explore/Breeding.h"

#include "explore/SeededRandom.h"

#include <algorithm>
#include <cctype>

namespace Breeding
{
namespace
{
    const char* const amountNames[] = {"Subtle", "Moderate", "Wild"};

    bool isBredSuffix (const std::string& name, size_t at)
    {
        // " b" and one or more digits, to the end
        if (at + 3 > name.size() || name[at] != ' ' || name[at + 1] != 'b')
            return false;
        return std::all_of (name.begin() + static_cast<std::ptrdiff_t> (at + 2),
                            name.end(),
                            [] (unsigned char c) { return std::isdigit (c) != 0; });
    }
} // namespace

Limits limitsOf (Amount amount)
{
    switch (amount)
    {
        case Amount::subtle:
            return {8, 50};
        case Amount::moderate:
            return {24, 150};
        case Amount::wild:
            return {127, 1000};
    }
    return {8, 50};
}

const char* amountName (Amount amount)
{
    return amountNames[static_cast<int> (amount)];
}

std::optional<Amount> amountFromName (const std::string& name)
{
    for (int i = 0; i < 3; ++i)
    {
        const std::string known = amountNames[i];
        if (known.size() == name.size() &&
            std::equal (known.begin(),
                        known.end(),
                        name.begin(),
                        [] (unsigned char a, unsigned char b) { return std::tolower (a) == std::tolower (b); }))
            return static_cast<Amount> (i);
    }
    return std::nullopt;
}

SoundControls::Bytes
child (const std::vector<SoundControls::Bytes>& parents, const Options& options, uint64_t seed, size_t index)
{
    if (parents.empty())
        return PatchModel().data;
    const uint64_t parentCount = std::min (parents.size(), maxParents);
    const auto& controls = SoundControls::all();
    SeededRandom random (SeededRandom::seedFor (seed, index));

    // The same draws whatever is locked or chosen, so locking a section
    // leaves the others' variations as they were.
    std::array<uint64_t, SoundControls::sectionCount> sectionParent{};
    for (auto& parent : sectionParent)
        parent = random.below (parentCount);

    SoundControls::Bytes result = parents.front();
    for (const auto& control : controls)
    {
        const uint64_t ownParent = random.below (parentCount);
        const uint64_t from =
            options.isLocked (control.section)
                ? 0
                : (options.wholeSections ? sectionParent[static_cast<size_t> (control.section)] : ownParent);
        result = SoundControls::withPosition (
            result, control.control, PanelControls::position (control.control, parents[from]));
    }

    const Limits limits = limitsOf (options.amount);
    const bool wild = options.amount == Amount::wild;
    for (const auto& control : controls)
    {
        const bool changes = random.chance (limits.changePerMille);
        const int position = PanelControls::position (control.control, result);
        int moved = position;
        if (control.isFader)
        {
            const auto step = static_cast<int> (random.below (static_cast<uint64_t> (2 * limits.maxStep + 1)));
            moved =
                wild ? static_cast<int> (random.below (128)) : std::clamp (position + step - limits.maxStep, 0, 127);
        }
        else if (wild)
        {
            moved = static_cast<int> (random.below (static_cast<uint64_t> (control.positions)));
        }
        else
        {
            // Another position than the one it has, each as likely.
            const auto other = static_cast<int> (random.below (static_cast<uint64_t> (control.positions - 1)));
            if (changes)
                moved = other >= position ? other + 1 : other;
        }
        if (!options.isLocked (control.section) && moved != position)
            result = SoundControls::withPosition (result, control.control, moved);
    }
    // Bits and levels no patch may hold, from a parent read as it was, stay out.
    PatchBits::correctValues (result);
    return result;
}

std::vector<SoundControls::Bytes>
children (const std::vector<SoundControls::Bytes>& parents, const Options& options, uint64_t seed, size_t count)
{
    std::vector<SoundControls::Bytes> made;
    made.reserve (count);
    for (size_t i = 0; i < count; ++i)
        made.push_back (child (parents, options, seed, i));
    return made;
}

std::string lineName (const std::string& firstParentName)
{
    const size_t space = firstParentName.rfind (' ');
    if (space != std::string::npos && space > 0 && isBredSuffix (firstParentName, space))
        return firstParentName.substr (0, space);
    return firstParentName;
}

std::string keptName (const LibraryModel& library, const std::string& line)
{
    // The first number no patch has, so names stay short and in order.
    for (int number = 1; number < 100000; ++number)
    {
        const std::string name = line + " b" + std::to_string (number);
        if (library.uniqueName (name) == name)
            return name;
    }
    return library.uniqueName (line + " b");
}
} // namespace Breeding
