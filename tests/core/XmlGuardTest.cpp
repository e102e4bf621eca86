// The settings' XML reader: what a general parser would act on (a document
// type, entities of its own, processing instructions inside elements) is
// refused before any parser sees it; what the settings hold is read whole.

#include "files/XmlGuard.h"

#include <gtest/gtest.h>

namespace
{
/** The document as one line: elements as tag{attributes}[children], text as "text". */
std::string outline (const XmlGuard::Node& node)
{
    if (node.tag.empty())
        return "\"" + node.text + "\"";
    std::string line = node.tag + "{";
    for (const auto& [name, value] : node.attributes)
        line += name + "=" + value + ";";
    line += "}[";
    for (const auto& child : node.children)
        line += outline (child) + ",";
    return line + "]";
}

std::string outlineOf (const std::string& text)
{
    const auto root = XmlGuard::parse (text);
    return root ? outline (*root) : "refused";
}

std::string nested (int depth)
{
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<a>";
    for (int i = 0; i < depth; ++i)
        text += "</a>";
    return text;
}
} // namespace

TEST (XmlGuardTest, HostileDocumentsAreRefused)
{
    // Entities that expand into one another: a few hundred bytes that grow without end.
    const std::string laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n <!ENTITY lol \"lol\">\n"
                               " <!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">\n"
                               " <!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">\n"
                               " <!ENTITY lol4 \"&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;\">\n"
                               "]>\n<PROPERTIES><VALUE name=\"a\" val=\"&lol4;\"/></PROPERTIES>\n";
    const std::string cases[] = {
        laughs,
        "<!DOCTYPE PROPERTIES SYSTEM \"/dev/zero\"><PROPERTIES><VALUE name=\"a\" val=\"&x;\"/></PROPERTIES>",
        "<PROPERTIES><![CDATA[<VALUE/>]]></PROPERTIES>",
        "<PROPERTIES><VALUE name=\"a\" val=\"&unknown;\"/></PROPERTIES>",
        "<PROPERTIES>&AMP;</PROPERTIES>",    // entity names are case-sensitive
        "<PROPERTIES>a<?pi?>b</PROPERTIES>", // sends JUCE's reader round in circles
        "<PROPERTIES><VALUE val=\"a<b\"/></PROPERTIES>",
        "<PROPERTIES><VALUE val=\"1\" val=\"2\"/></PROPERTIES>",
        "<PROPERTIES><VALUE val=1/></PROPERTIES>",
        "<PROPERTIES></properties>",
        "<PROPERTIES>",
        "<PROPERTIES/><second/>",
        "<PROPERTIES/><!-- unterminated",
        "<PROPERTIES>&#0;</PROPERTIES>",
        "<PROPERTIES>&#x110000;</PROPERTIES>",
        "<PROPERTIES>&#xD800;</PROPERTIES>",
        "<PROPERTIES>&#12345678;</PROPERTIES>",
        "<PROPERTIES>&#;</PROPERTIES>",
        "<PROPERTIES>\x01</PROPERTIES>",
        "<PROPERTIES>\xE3\x80\x80x</PROPERTIES>", // a space only some locales call one
        "<PROPERTIES>caf\xE9</PROPERTIES>",       // not UTF-8
        std::string ("<PROPERTIES>\0</PROPERTIES>", 26),
        "< PROPERTIES/>",
        "",
        nested (XmlGuard::maxDepth + 1),
        nested (100000),
    };
    for (const auto& text : cases)
        EXPECT_EQ (outlineOf (text), "refused") << text.substr (0, 80);
}

TEST (XmlGuardTest, SettingsAreReadAsAParserReadsThem)
{
    struct Case
    {
        std::string text;
        std::string outline;
    };
    const Case cases[] = {
        // As JUCE writes them: a header, wrapped attributes, every non-ASCII character a number.
        {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n<PROPERTIES>\r\n"
         "  <VALUE name=\"MIDI_IN\" val=\"Juno &amp; &lt;co&gt; &quot;1&quot; caf&#233; &#9;\"/>\r\n"
         "  <VALUE name=\"RECENT_LIBRARIES\">\r\n    <RECENT>\r\n      <FILE path=\"/a.106\"/>\r\n"
         "    </RECENT>\r\n  </VALUE>\r\n</PROPERTIES>\r\n",
         "PROPERTIES{}[VALUE{name=MIDI_IN;val=Juno & <co> \"1\" caf\xC3\xA9 \t;}[],"
         "VALUE{name=RECENT_LIBRARIES;}[RECENT{}[FILE{path=/a.106;}[],],],]"},
        // Text: white space alone is dropped, comments do not end it, a line break is "\n".
        {"<!-- before --><a> <!-- c --> </a>", "a{}[]"},
        {"<a> x<!-- c -->y\r\nz\r &amp;&#x41;&apos; <b/>&#32;</a><?after?>", "a{}[\" xy\nz\n &A' \",b{}[],]"},
        {"<a x = 'single \"quoted\"'\ty=\"2\"/>", "a{x=single \"quoted\";y=2;}[]"},
        {nested (XmlGuard::maxDepth), outlineOf (nested (XmlGuard::maxDepth))},
    };
    for (const auto& c : cases)
        EXPECT_EQ (outlineOf (c.text), c.outline) << c.text;
    EXPECT_NE (outlineOf (nested (XmlGuard::maxDepth)), "refused");
}

TEST (XmlGuardTest, AValueIsSafeToParseWhenItCannotStartADocumentOrIsOneThisReaderTakes)
{
    const std::pair<std::string, bool> cases[] = {
        {"", true},
        {"/home/me/caf\xC3\xA9 <1>.106", true}, // a path: no parser reads past its first character
        {"Juno-106 MIDI 1", true},
        {"a < b", true},
        {"<RECENT><FILE path=\"/a.106\"/></RECENT>", true},
        {"<!DOCTYPE a [<!ENTITY b \"&c;&c;\">]><a>&b;</a>", false},
        {"  <!DOCTYPE a SYSTEM \"/dev/zero\"><a>&b;</a>", false},
        {"\xE3\x80\x80<a>&b;</a>", false},
        {"\xBC!DOCTYPE a SYSTEM \"/dev/zero\"><a>&b;</a>", false}, // a stray byte JUCE reads as '<'
        {"caf\xE9", false},
        {"<Juno>", false},
        {nested (100000), false},
    };
    for (const auto& [text, safe] : cases)
        EXPECT_EQ (XmlGuard::isSafeToParse (text), safe) << text.substr (0, 60);
}
