#pragma once

#include "session/RestoreGuide.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/** Where a restore stands, kept between runs: the library file, the first
    memory, the library rows written in their order, each one's state and the
    one to go on from. A fingerprint of the planned patches keeps a library
    changed since from being taken for the same one. Each field has a text
    form for the settings file. */
struct RestoreProgress
{
    /** The settings' text of each field. */
    struct Text
    {
        std::string libraryFile;
        std::string firstMemory; // "A11"
        std::string rows;        // "1-16,20", counting from 1
        std::string states;      // a letter per row: '-' not written, 'c' checked, 's' skipped, 'd' differing
        std::string next;        // the memory to go on from, "A15"
        std::string fingerprint; // eight hex digits
    };

    std::string libraryFile;
    int firstMemory = 0;
    std::vector<int> rows; // from 0
    std::vector<RestoreGuide::MemoryState> states;
    size_t next = 0;
    uint32_t fingerprint = 0;

    /** The guide's progress through the library at `file`. */
    static RestoreProgress of (const RestoreGuide& guide, const std::string& file);
    /** Of the names and bytes the targets carry, in order. */
    static uint32_t fingerprintOf (const std::vector<RestoreGuide::Target>& targets);

    Text toText() const;
    /** Nothing when any field is missing, malformed or at odds with another. */
    static std::optional<RestoreProgress> fromText (const Text& text);

    /** "1-16,20" for rows 0 to 15 and 19. */
    static std::string rowsText (const std::vector<int>& rows);
    /** Rows counting from 1 ("7", "1-16", "1-8,12") as rows from 0, rising,
        none past `rowCount` and no more than `maxRows` of them; nothing when
        the text is not of that form. */
    static std::optional<std::vector<int>>
    parseRows (std::string_view text, size_t rowCount, size_t maxRows = static_cast<size_t> (-1));

    /** The rows' patches planned as before give the same fingerprint. */
    bool fits (const std::vector<PatchModel>& libraryPatches) const;
};
