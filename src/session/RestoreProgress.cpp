#include "session/RestoreProgress.h"

#include "session/SynthMemory.h"

#include <cstdio>
#include <cstdlib>
#include <limits>

namespace
{
using State = RestoreGuide::MemoryState;

constexpr char stateLetters[] = {'-', 'c', 's', 'd'}; // in the order of MemoryState

char letterOf (State state)
{
    return stateLetters[static_cast<int> (state)];
}

std::optional<State> stateOf (char letter)
{
    for (int i = 0; i < 4; ++i)
        if (stateLetters[i] == letter)
            return static_cast<State> (i);
    return std::nullopt;
}

/** A whole number of up to nine digits; nothing for anything else. */
std::optional<size_t> wholeNumber (std::string_view text)
{
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    size_t number = 0;
    for (const char c : text)
    {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + static_cast<size_t> (c - '0');
    }
    return number;
}

/** FNV-1a, 32 bits. */
void mix (uint32_t& hash, uint8_t byte)
{
    hash = (hash ^ byte) * 16777619u;
}
} // namespace

RestoreProgress RestoreProgress::of (const RestoreGuide& guide, const std::string& file)
{
    RestoreProgress progress;
    progress.libraryFile = file;
    std::vector<RestoreGuide::Target> targets;
    for (const auto& entry : guide.entries())
    {
        progress.rows.push_back (entry.target.row);
        progress.states.push_back (entry.state);
        targets.push_back (entry.target);
    }
    progress.firstMemory = targets.empty() ? 0 : targets.front().memory;
    progress.next = guide.currentIndex();
    progress.fingerprint = fingerprintOf (targets);
    return progress;
}

uint32_t RestoreProgress::fingerprintOf (const std::vector<RestoreGuide::Target>& targets)
{
    uint32_t hash = 2166136261u;
    for (const auto& target : targets)
    {
        for (const char c : target.patch.name)
            mix (hash, static_cast<uint8_t> (c));
        mix (hash, 0); // a name's end, so "ab"+"c" is not "a"+"bc"
        for (const uint8_t byte : target.patch.data)
            mix (hash, byte);
    }
    return hash;
}

RestoreProgress::Text RestoreProgress::toText() const
{
    Text text;
    text.libraryFile = libraryFile;
    text.firstMemory = SynthMemory::name (firstMemory);
    text.rows = rowsText (rows);
    for (const State state : states)
        text.states += letterOf (state);
    text.next = SynthMemory::name (firstMemory + static_cast<int> (next));
    char hex[16];
    std::snprintf (hex, sizeof (hex), "%08x", fingerprint);
    text.fingerprint = hex;
    return text;
}

std::optional<RestoreProgress> RestoreProgress::fromText (const Text& text)
{
    RestoreProgress progress;
    progress.libraryFile = text.libraryFile;
    const auto first = SynthMemory::parse (text.firstMemory);
    const auto next = SynthMemory::parse (text.next);
    // Whether the rows are still in the library is for fits() to say.
    const auto rows = parseRows (text.rows, std::numeric_limits<int>::max(), text.states.size());
    if (text.libraryFile.empty() || !first || !next || !rows || rows->empty() || text.fingerprint.size() != 8)
        return std::nullopt;
    progress.firstMemory = *first;
    progress.rows = *rows;
    if (progress.rows.size() != text.states.size() || *first + static_cast<int> (progress.rows.size()) > 128 ||
        *next < *first || *next >= *first + static_cast<int> (progress.rows.size()))
        return std::nullopt;
    progress.next = static_cast<size_t> (*next - *first);
    for (const char letter : text.states)
    {
        const auto state = stateOf (letter);
        if (!state)
            return std::nullopt;
        progress.states.push_back (*state);
    }
    char* end = nullptr;
    progress.fingerprint = static_cast<uint32_t> (std::strtoul (text.fingerprint.c_str(), &end, 16));
    if (end != text.fingerprint.c_str() + text.fingerprint.size())
        return std::nullopt;
    return progress;
}

std::string RestoreProgress::rowsText (const std::vector<int>& rows)
{
    std::string text;
    for (size_t i = 0; i < rows.size();)
    {
        size_t last = i;
        while (last + 1 < rows.size() && rows[last + 1] == rows[last] + 1)
            ++last;
        text += (text.empty() ? "" : ",") + std::to_string (rows[i] + 1);
        if (last > i)
            text += "-" + std::to_string (rows[last] + 1);
        i = last + 1;
    }
    return text;
}

std::optional<std::vector<int>> RestoreProgress::parseRows (std::string_view text, size_t rowCount, size_t maxRows)
{
    std::vector<int> rows;
    size_t previous = 0;
    while (!text.empty())
    {
        const size_t comma = text.find (',');
        const std::string_view part = text.substr (0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr (comma + 1);
        if (comma != std::string_view::npos && text.empty())
            return std::nullopt; // a trailing comma

        const size_t dash = part.find ('-');
        const auto first = wholeNumber (part.substr (0, dash));
        const auto last = dash == std::string_view::npos ? first : wholeNumber (part.substr (dash + 1));
        if (!first || !last || *first <= previous || *last < *first || *last > rowCount ||
            *last - *first >= maxRows - rows.size())
            return std::nullopt;
        for (size_t row = *first; row <= *last; ++row)
            rows.push_back (static_cast<int> (row - 1));
        previous = *last;
    }
    if (rows.empty())
        return std::nullopt;
    return rows;
}

bool RestoreProgress::fits (const std::vector<PatchModel>& libraryPatches) const
{
    for (const int row : rows)
        if (row < 0 || static_cast<size_t> (row) >= libraryPatches.size())
            return false;
    const auto targets = RestoreGuide::plan (libraryPatches, rows, firstMemory);
    return targets.size() == rows.size() && fingerprintOf (targets) == fingerprint;
}
