#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

/** File names made from patch and library names, the same way wherever the
    program proposes or writes one. */
namespace SafeFileName
{
/** Longest name made, in code points, the extension included. */
constexpr size_t maxLength = 128;

/** `name` as a legal, visible file name ending in `extension` (".syx", ".106"
    or empty; it is the caller's, not checked): control characters and any of
    "#@,;:<>*^|?\/ removed, longer names cut to 128 code points (keeping a
    short last dot-part and the extension), leading dots removed, and
    "Untitled" when nothing visible is left. Bytes that are not UTF-8 each
    become U+FFFD; a NUL byte ends the name. Never empty, never "." or "..",
    never holds '/' or a control character, always valid UTF-8. */
std::string make (std::string_view name, std::string_view extension);
} // namespace SafeFileName

/** Hands out the file names of one export of many patches, each made safe by
    SafeFileName::make and never given twice: a name already given (compared
    without regard to ASCII letter case, as the FAT file systems of USB sticks
    compare them) gets " (2)", " (3)" ... before the extension. */
class ExportFileNames
{
public:
    explicit ExportFileNames (std::string extension);

    /** The file name for the next patch of the export. */
    std::string next (std::string_view patchName);

private:
    bool isTaken (const std::string& fileName) const;

    const std::string extension;
    // Both keyed by file name with ASCII letters in lower case.
    std::unordered_set<std::string> given;
    std::unordered_map<std::string, int> nextCopyNumber; // so many equal names take no quadratic time
};
