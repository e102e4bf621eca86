#pragma once

#include <cstddef>
#include <string>
#include <string_view>

/** UTF-8 for names that come from files and synthesizers, where any byte
    sequence may turn up: decoding never reads past the end and never fails. */
namespace Utf8Text
{
constexpr char32_t replacementCharacter = 0xFFFD;

/** The code points of `bytes`. Each stray byte, cut or overlong sequence,
    surrogate or value beyond U+10FFFF becomes one U+FFFD (one for every
    maximal invalid part, as Unicode recommends); NUL bytes are kept. */
std::u32string decode (std::string_view bytes);

/** UTF-8 for code points; surrogates and values beyond U+10FFFF become U+FFFD. */
std::string encode (std::u32string_view codePoints);

/** True when `bytes` is well-formed UTF-8. */
bool isValid (std::string_view bytes);

/** A name as it can stand in a message: valid UTF-8, control characters shown
    as spaces, and longer names cut to `maxLength` code points ending in "…". */
std::string forMessage (std::string_view name, size_t maxLength = 40);

/** Any bytes (a Linux path, a name) as text a settings file keeps exactly:
    printable UTF-8 stays as it is; '%', control characters and every byte
    that is not part of a UTF-8 character become %XX. */
std::string escapeBytes (std::string_view bytes);

/** The bytes escapeBytes made the text from; false when a '%' is not
    followed by two hexadecimal digits. */
bool unescapeBytes (std::string_view text, std::string& bytes);

/** A path or name as it can be shown on one line: valid UTF-8, each invalid
    part a U+FFFD, and control characters written out as \n, \t, \r or \xHH,
    so a line break in a file name never breaks a menu, a title or a question. */
std::string forDisplay (std::string_view bytes);

/** Text of at most `maxLength` code points: a longer one keeps its start and
    (the larger part) its end, with "…" for its middle, so a long path still
    shows its file. */
std::string elideMiddle (std::string_view text, size_t maxLength);
} // namespace Utf8Text
