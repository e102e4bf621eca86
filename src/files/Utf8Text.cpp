#include "files/Utf8Text.h"

namespace
{
/** The first byte's payload, the number of continuation bytes and the range
    the first of them must fall in (narrower after E0, ED, F0 and F4, which
    is what rules out overlong forms, surrogates and values past U+10FFFF). */
struct Lead
{
    char32_t payload;
    int continuations;
    unsigned char low;
    unsigned char high;
};

bool readLead (unsigned char byte, Lead& lead)
{
    if (byte >= 0xC2 && byte <= 0xDF)
        lead = {static_cast<char32_t> (byte & 0x1F), 1, 0x80, 0xBF};
    else if (byte >= 0xE0 && byte <= 0xEF)
        lead = {static_cast<char32_t> (byte & 0x0F),
                2,
                static_cast<unsigned char> (byte == 0xE0 ? 0xA0 : 0x80),
                static_cast<unsigned char> (byte == 0xED ? 0x9F : 0xBF)};
    else if (byte >= 0xF0 && byte <= 0xF4)
        lead = {static_cast<char32_t> (byte & 0x07),
                3,
                static_cast<unsigned char> (byte == 0xF0 ? 0x90 : 0x80),
                static_cast<unsigned char> (byte == 0xF4 ? 0x8F : 0xBF)};
    else
        return false;
    return true;
}

/** Decodes the code point starting at `at` and moves past it; false (moving
    past the maximal invalid part only) when the bytes there are not UTF-8. */
bool decodeOne (std::string_view bytes, size_t& at, char32_t& codePoint)
{
    const auto first = static_cast<unsigned char> (bytes[at++]);
    if (first < 0x80)
    {
        codePoint = first;
        return true;
    }
    Lead lead{};
    if (!readLead (first, lead))
        return false;
    codePoint = lead.payload;
    unsigned char low = lead.low;
    unsigned char high = lead.high;
    for (int i = 0; i < lead.continuations; ++i)
    {
        if (at >= bytes.size())
            return false;
        const auto next = static_cast<unsigned char> (bytes[at]);
        if (next < low || next > high)
            return false; // the offending byte starts the next character
        codePoint = (codePoint << 6) | (next & 0x3Fu);
        ++at;
        low = 0x80;
        high = 0xBF;
    }
    return true;
}
} // namespace

namespace Utf8Text
{
std::u32string decode (std::string_view bytes)
{
    std::u32string codePoints;
    codePoints.reserve (bytes.size());
    for (size_t at = 0; at < bytes.size();)
    {
        char32_t codePoint = 0;
        codePoints.push_back (decodeOne (bytes, at, codePoint) ? codePoint : replacementCharacter);
    }
    return codePoints;
}

std::string encode (std::u32string_view codePoints)
{
    std::string bytes;
    bytes.reserve (codePoints.size());
    for (char32_t c : codePoints)
    {
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = replacementCharacter;
        if (c < 0x80)
        {
            bytes += static_cast<char> (c);
        }
        else if (c < 0x800)
        {
            bytes += static_cast<char> (0xC0 | (c >> 6));
            bytes += static_cast<char> (0x80 | (c & 0x3F));
        }
        else if (c < 0x10000)
        {
            bytes += static_cast<char> (0xE0 | (c >> 12));
            bytes += static_cast<char> (0x80 | ((c >> 6) & 0x3F));
            bytes += static_cast<char> (0x80 | (c & 0x3F));
        }
        else
        {
            bytes += static_cast<char> (0xF0 | (c >> 18));
            bytes += static_cast<char> (0x80 | ((c >> 12) & 0x3F));
            bytes += static_cast<char> (0x80 | ((c >> 6) & 0x3F));
            bytes += static_cast<char> (0x80 | (c & 0x3F));
        }
    }
    return bytes;
}

bool isValid (std::string_view bytes)
{
    for (size_t at = 0; at < bytes.size();)
    {
        char32_t ignored = 0;
        if (!decodeOne (bytes, at, ignored))
            return false;
    }
    return true;
}

std::string forMessage (std::string_view name, size_t maxLength)
{
    std::u32string codePoints = decode (name);
    for (char32_t& c : codePoints)
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
            c = U' ';
    if (codePoints.size() > maxLength)
    {
        codePoints.resize (maxLength > 0 ? maxLength - 1 : 0);
        codePoints += U'\u2026';
    }
    return encode (codePoints);
}

namespace
{
    bool isControl (char32_t c)
    {
        return c < 0x20 || (c >= 0x7F && c <= 0x9F);
    }

    const char hexDigits[] = "0123456789ABCDEF";

    void appendEscaped (std::string& text, unsigned char byte, const char* prefix)
    {
        text += prefix;
        text += hexDigits[byte >> 4];
        text += hexDigits[byte & 0x0F];
    }

    int hexValue (char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }
} // namespace

std::string escapeBytes (std::string_view bytes)
{
    std::string text;
    text.reserve (bytes.size());
    for (size_t at = 0; at < bytes.size();)
    {
        const size_t start = at;
        char32_t codePoint = 0;
        const bool valid = decodeOne (bytes, at, codePoint);
        if (valid && !isControl (codePoint) && codePoint != '%')
        {
            text.append (bytes.substr (start, at - start));
            continue;
        }
        for (size_t i = start; i < at; ++i)
            appendEscaped (text, static_cast<unsigned char> (bytes[i]), "%");
    }
    return text;
}

bool unescapeBytes (std::string_view text, std::string& bytes)
{
    std::string result;
    result.reserve (text.size());
    for (size_t at = 0; at < text.size(); ++at)
    {
        if (text[at] != '%')
        {
            result += text[at];
            continue;
        }
        if (at + 2 >= text.size())
            return false;
        const int high = hexValue (text[at + 1]);
        const int low = hexValue (text[at + 2]);
        if (high < 0 || low < 0)
            return false;
        result += static_cast<char> ((high << 4) | low);
        at += 2;
    }
    bytes = std::move (result);
    return true;
}

std::string forDisplay (std::string_view bytes)
{
    std::string shown;
    shown.reserve (bytes.size());
    for (const char32_t c : decode (bytes))
    {
        if (c == '\n')
            shown += "\\n";
        else if (c == '\t')
            shown += "\\t";
        else if (c == '\r')
            shown += "\\r";
        else if (isControl (c))
            appendEscaped (shown, static_cast<unsigned char> (c), "\\x");
        else
            shown += encode (std::u32string (1, c));
    }
    return shown;
}

std::string elideMiddle (std::string_view text, size_t maxLength)
{
    const std::u32string codePoints = decode (text);
    if (codePoints.size() <= maxLength || maxLength < 2)
        return encode (codePoints);
    // The end is given the larger part: for a path, it holds the file's name.
    const size_t kept = maxLength - 1;
    const size_t tail = kept * 2 / 3;
    return encode (codePoints.substr (0, kept - tail)) + "\u2026" +
           encode (codePoints.substr (codePoints.size() - tail));
}
} // namespace Utf8Text
