#include "files/XmlGuard.h"
#include "files/Utf8Text.h"

#include <algorithm>
#include <unordered_set>

namespace
{
using XmlGuard::Node;

/** White space between markup. A parser's idea of white space beyond these
    four depends on the locale, so nothing else may stand where it counts. */
bool isSpace (char32_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isNameStart (char32_t c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':';
}

bool isNameChar (char32_t c)
{
    return isNameStart (c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

/** Characters a parser may count as white space in some locales, and the
    C1 controls among which some do. Text holding them could be kept by one
    parser and dropped as empty by another. */
bool isLocaleDependentSpace (char32_t c)
{
    return (c >= 0x80 && c <= 0xA0) || c == 0x1680 || c == 0x180E || (c >= 0x2000 && c <= 0x200B) || c == 0x2028 ||
           c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

/** A character that may stand in an attribute value, literally or as a reference. */
bool isAttributeChar (char32_t c)
{
    return c == '\t' || c == '\n' || c == '\r' || (c >= 0x20 && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF));
}

/** A character that may stand in text, literally or as a reference. */
bool isTextChar (char32_t c)
{
    return isAttributeChar (c) && c != 0x7F && !isLocaleDependentSpace (c);
}

/** One pass over the document's code points; every step either moves on or fails. */
class Reader
{
public:
    explicit Reader (std::u32string codePoints) : text (std::move (codePoints)) {}

    std::optional<Node> document()
    {
        if (startsWith (U"\xFEFF"))
            ++at;
        if (!skipMisc())
            return std::nullopt;
        Node root;
        if (!element (root) || !skipMisc() || at != text.size())
            return std::nullopt;
        return root;
    }

private:
    bool startsWith (std::u32string_view prefix) const { return text.compare (at, prefix.size(), prefix) == 0; }

    char32_t peek (size_t ahead = 0) const { return at + ahead < text.size() ? text[at + ahead] : 0; }

    void skipSpace()
    {
        while (at < text.size() && isSpace (text[at]))
            ++at;
    }

    /** Moves past `closing`, searched for from `from`; false when it never comes. */
    bool skipPast (size_t from, std::u32string_view closing)
    {
        const size_t found = text.find (closing, from);
        if (found == std::u32string::npos)
            return false;
        at = found + closing.size();
        return true;
    }

    bool atComment() const { return startsWith (U"<!--"); }
    bool skipComment() { return skipPast (at + 4, U"-->"); }

    /** White space, comments and processing instructions, outside the root element. */
    bool skipMisc()
    {
        for (;;)
        {
            skipSpace();
            if (atComment())
            {
                if (!skipComment())
                    return false;
            }
            else if (startsWith (U"<?"))
            {
                if (!skipPast (at + 2, U"?>"))
                    return false;
            }
            else
            {
                return true;
            }
        }
    }

    bool name (std::string& out)
    {
        if (!isNameStart (peek()))
            return false;
        const size_t start = at;
        while (at < text.size() && isNameChar (text[at]))
            ++at;
        out = Utf8Text::encode (std::u32string_view (text).substr (start, at - start));
        return true;
    }

    /** A reference after its '&': one of the five entities or a character number. */
    bool reference (char32_t& resolved)
    {
        static const std::pair<std::u32string_view, char32_t> entities[] = {
            {U"lt;", '<'}, {U"gt;", '>'}, {U"amp;", '&'}, {U"quot;", '"'}, {U"apos;", '\''}};
        for (const auto& [entity, character] : entities)
            if (startsWith (entity))
            {
                at += entity.size();
                resolved = character;
                return true;
            }
        if (peek() != '#')
            return false;
        ++at;
        const bool hex = peek() == 'x' || peek() == 'X';
        at += hex ? 1 : 0;
        const size_t maxDigits = hex ? 6 : 7;
        uint32_t value = 0;
        size_t digits = 0;
        for (; digits <= maxDigits && peek() != ';'; ++digits, ++at)
        {
            const char32_t c = peek();
            int digit = -1;
            if (c >= '0' && c <= '9')
                digit = static_cast<int> (c - '0');
            else if (hex && c >= 'a' && c <= 'f')
                digit = static_cast<int> (c - 'a' + 10);
            else if (hex && c >= 'A' && c <= 'F')
                digit = static_cast<int> (c - 'A' + 10);
            if (digit < 0)
                return false;
            value = value * (hex ? 16u : 10u) + static_cast<uint32_t> (digit);
        }
        if (digits == 0 || digits > maxDigits || peek() != ';')
            return false;
        ++at;
        resolved = value;
        return true;
    }

    bool attributeValue (std::string& out)
    {
        const char32_t quote = peek();
        if (quote != '"' && quote != '\'')
            return false;
        ++at;
        std::u32string value;
        for (;;)
        {
            if (at >= text.size())
                return false;
            char32_t c = text[at++];
            if (c == quote)
                break;
            if (c == '<')
                return false;
            if (c == '&' && !reference (c))
                return false;
            if (!isAttributeChar (c))
                return false;
            value += c;
        }
        out = Utf8Text::encode (value);
        return true;
    }

    /** A start tag after its '<', up to and with its '>' or "/>". */
    bool startTag (Node& node, bool& empty)
    {
        if (!name (node.tag))
            return false;
        std::unordered_set<std::string> seen;
        for (;;)
        {
            skipSpace();
            if (startsWith (U"/>"))
            {
                at += 2;
                empty = true;
                return true;
            }
            if (peek() == '>')
            {
                ++at;
                empty = false;
                return true;
            }
            std::pair<std::string, std::string> attribute;
            if (!name (attribute.first) || !seen.insert (attribute.first).second)
                return false;
            skipSpace();
            if (peek() != '=')
                return false;
            ++at;
            skipSpace();
            if (!attributeValue (attribute.second))
                return false;
            node.attributes.push_back (std::move (attribute));
        }
    }

    /** The root element, its content read with a stack of open elements rather than by recursion. */
    bool element (Node& root)
    {
        if (peek() != '<')
            return false;
        ++at;
        bool empty = false;
        if (!startTag (root, empty))
            return false;
        std::vector<Node*> open;
        if (!empty)
            open.push_back (&root);

        std::u32string run; // text since the last tag; comments inside it do not end it
        bool runCounts = false;
        const auto endRun = [&]
        {
            if (runCounts)
            {
                Node textNode;
                textNode.text = Utf8Text::encode (run);
                open.back()->children.push_back (std::move (textNode));
            }
            run.clear();
            runCounts = false;
        };

        while (!open.empty())
        {
            if (at >= text.size())
                return false;
            const char32_t c = text[at];
            if (c == '<')
            {
                if (atComment())
                {
                    if (!skipComment())
                        return false;
                    continue;
                }
                endRun();
                if (peek (1) == '/')
                {
                    at += 2;
                    std::string closing;
                    if (!name (closing) || closing != open.back()->tag)
                        return false;
                    skipSpace();
                    if (peek() != '>')
                        return false;
                    ++at;
                    open.pop_back();
                    continue;
                }
                ++at;
                Node child;
                if (!startTag (child, empty))
                    return false;
                auto& children = open.back()->children;
                children.push_back (std::move (child));
                if (!empty)
                {
                    if (static_cast<int> (open.size()) >= XmlGuard::maxDepth)
                        return false;
                    open.push_back (&children.back());
                }
                continue;
            }

            ++at;
            char32_t character = c;
            if (c == '&')
            {
                if (!reference (character))
                    return false;
            }
            else if (c == '\r')
            {
                // A line break in text is one "\n", whichever way it was written.
                character = '\n';
                if (peek() == '\n')
                    continue;
            }
            if (!isTextChar (character))
                return false;
            run += character;
            runCounts = runCounts || !isSpace (character);
        }
        return true;
    }

    const std::u32string text;
    size_t at = 0;
};
} // namespace

namespace XmlGuard
{
std::optional<Node> parse (std::string_view text)
{
    if (!Utf8Text::isValid (text) || text.find ('\0') != std::string_view::npos)
        return std::nullopt;
    return Reader (Utf8Text::decode (text)).document();
}

bool isSafeToParse (std::string_view text)
{
    // A parser's UTF-8 decoder may read a stray byte as anything, '<' among it (JUCE's reads 0xBC so).
    if (!Utf8Text::isValid (text))
        return false;
    if (text.find ('<') == std::string_view::npos)
        return true;
    const auto first = static_cast<unsigned char> (text.front());
    if (first > ' ' && first < 0x7F && first != '<')
        return true;
    return parse (text).has_value();
}
} // namespace XmlGuard
