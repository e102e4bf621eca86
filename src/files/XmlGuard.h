#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

/** A strict reader for the small XML texts the program keeps (its settings),
    run before a general XML parser sees them. General parsers act on a
    document type declaration: they expand entities into one another (a few
    hundred bytes that grow without end) and read the files a declaration
    names (/dev/zero, for ever). This reader takes well-formed elements,
    attributes, text, comments and, outside the root element, processing
    instructions; the five predefined entities and numeric character
    references; nesting at most maxDepth deep. Anything else, `<!DOCTYPE` and
    every other `<!` that is not a comment among it, is refused. It reads
    without recursion in one pass, so every input ends at once; and what it
    takes, JUCE's XmlDocument reads as the very same tree. */
namespace XmlGuard
{
/** The settings nest four elements deep; a parser that recurses never sees much more. */
constexpr int maxDepth = 16;

/** An element, or (with an empty tag) a run of text, as XmlDocument builds it:
    text that is only white space is left out, and a line break in text is
    always "\n". */
struct Node
{
    std::string tag;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<Node> children;
    std::string text; // a text node's characters, references resolved (UTF-8)
};

/** The root element of a whole document (an optional UTF-8 byte order mark,
    then comments, processing instructions and white space around one
    element), or nothing when the text is not one this reader takes. */
std::optional<Node> parse (std::string_view text);

/** Whether a general XML parser may be given the text as a document (JUCE's
    PropertiesFile parses every stored value as one when it saves, and
    getXmlValue does): true when the text is UTF-8 and cannot begin a
    document, because it holds no '<' or starts with a printable ASCII
    character other than '<', or when parse takes it. */
bool isSafeToParse (std::string_view text);
} // namespace XmlGuard
