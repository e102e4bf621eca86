#include "files/SafeFileName.h"
#include "files/Utf8Text.h"

#include <algorithm>

namespace
{
constexpr std::u32string_view removedCharacters = U"\"#@,;:<>*^|?\\/";
constexpr std::u32string_view untitled = U"Untitled";

bool isControl (char32_t c)
{
    return c < 0x20 || c == 0x7F;
}

/** White space as the C locale's iswspace sees it, the locale the program runs in. */
bool isWhiteSpace (char32_t c)
{
    return c == U' ' || (c >= 0x09 && c <= 0x0D);
}

/** Cuts to the length limit; a dot among the last 11 code points starts a
    part that is kept, so "long name.syx" stays a .syx file. */
std::u32string limitLength (std::u32string text)
{
    const auto length = static_cast<long> (text.size());
    const auto limit = static_cast<long> (SafeFileName::maxLength);
    if (length <= limit)
        return text;
    const size_t lastDot = text.rfind (U'.');
    if (lastDot != std::u32string::npos && static_cast<long> (lastDot) > std::max (0L, length - 12))
    {
        const auto keptPart = text.substr (lastDot);
        text.resize (static_cast<size_t> (limit - (length - static_cast<long> (lastDot))));
        return text + keptPart;
    }
    text.resize (SafeFileName::maxLength);
    return text;
}

/** The name's code points up to a NUL, without the control characters. */
std::u32string visibleCodePoints (std::string_view name)
{
    std::u32string codePoints;
    for (const char32_t c : Utf8Text::decode (name.substr (0, name.find ('\0'))))
        if (!isControl (c))
            codePoints += c;
    return codePoints;
}

std::u32string safeBase (std::string_view name, const std::u32string& extension)
{
    std::u32string text = visibleCodePoints (name) + extension;
    text.erase (std::remove_if (text.begin(),
                                text.end(),
                                [] (char32_t c) { return removedCharacters.find (c) != std::u32string_view::npos; }),
                text.end());
    text = limitLength (std::move (text));
    text.resize (text.size() - std::min (text.size(), extension.size()));

    // No hidden files, and never "." or "..".
    text.erase (0, text.find_first_not_of (U'.'));
    if (std::all_of (text.begin(), text.end(), isWhiteSpace))
        text = untitled;
    return text;
}

std::string lowerCaseAscii (std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char> (c - 'A' + 'a');
    return text;
}
} // namespace

namespace SafeFileName
{
std::string make (std::string_view name, std::string_view extension)
{
    const std::u32string extensionCodePoints = Utf8Text::decode (extension);
    return Utf8Text::encode (safeBase (name, extensionCodePoints)) + std::string (extension);
}
} // namespace SafeFileName

ExportFileNames::ExportFileNames (std::string fileExtension) : extension (std::move (fileExtension)) {}

std::string ExportFileNames::next (std::string_view patchName)
{
    const std::u32string extensionCodePoints = Utf8Text::decode (extension);
    const std::u32string base = safeBase (patchName, extensionCodePoints);
    const std::string plainName = Utf8Text::encode (base) + extension;
    std::string fileName = plainName;
    int& copy = nextCopyNumber.try_emplace (lowerCaseAscii (plainName), 2).first->second;
    for (; isTaken (fileName); ++copy)
    {
        // The number goes before the extension, and the base gives way so the
        // name stays within the length limit.
        const std::u32string number = Utf8Text::decode (" (" + std::to_string (copy) + ")");
        const size_t room =
            SafeFileName::maxLength - std::min (SafeFileName::maxLength, number.size() + extensionCodePoints.size());
        fileName = Utf8Text::encode (base.substr (0, room) + number) + extension;
    }
    given.insert (lowerCaseAscii (fileName));
    return fileName;
}

bool ExportFileNames::isTaken (const std::string& fileName) const
{
    return given.count (lowerCaseAscii (fileName)) > 0;
}
