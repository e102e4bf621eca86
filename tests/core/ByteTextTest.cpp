// Paths and names are bytes: kept exactly in text a settings file holds, and
// shown on one line whatever they hold.

#include "files/FilePath.h"
#include "files/Utf8Text.h"

#include <gtest/gtest.h>

TEST (ByteTextTest, EscapedBytesComeBackExactly)
{
    std::string everyByte;
    for (int b = 1; b < 256; ++b)
        everyByte += static_cast<char> (b);
    const std::string cases[] = {"/home/me/My Bank.106",
                                 "/home/me/caf\xE9.106",
                                 "/a/two\nlines",
                                 "100%.106",
                                 "%41",
                                 "/caf\xC3\xA9 \xE2\x99\xAB.106",
                                 everyByte,
                                 ""};
    for (const auto& bytes : cases)
    {
        const std::string text = Utf8Text::escapeBytes (bytes);
        EXPECT_TRUE (Utf8Text::isValid (text)) << text;
        for (const char c : text)
            EXPECT_GE (static_cast<unsigned char> (c), 0x20) << text;
        std::string back;
        ASSERT_TRUE (Utf8Text::unescapeBytes (text, back)) << text;
        EXPECT_EQ (back, bytes);
    }
    // Printable UTF-8 stays readable; only what must be escaped is.
    EXPECT_EQ (Utf8Text::escapeBytes ("/caf\xC3\xA9 100%\n\xE9"), "/caf\xC3\xA9 100%25%0A%E9");
    std::string ignored;
    for (const char* broken : {"%", "%4", "%G1", "a%zz"})
        EXPECT_FALSE (Utf8Text::unescapeBytes (broken, ignored)) << broken;
}

TEST (ByteTextTest, NamesAreShownOnOneLineAndLongOnesLoseTheirMiddle)
{
    EXPECT_EQ (Utf8Text::forDisplay ("caf\xE9.106"), "caf\xEF\xBF\xBD.106");
    EXPECT_EQ (Utf8Text::forDisplay ("two\nlines\t\r\x1B\x7F.106"), "two\\nlines\\t\\r\\x1B\\x7F.106");
    EXPECT_EQ (Utf8Text::forDisplay ("caf\xC3\xA9"), "caf\xC3\xA9");

    EXPECT_EQ (Utf8Text::elideMiddle ("/home/me/archive/2024/Strings.106", 20), "/home/m\xE2\x80\xA6/Strings.106");
    EXPECT_EQ (Utf8Text::elideMiddle ("short.106", 20), "short.106");
    EXPECT_EQ (Utf8Text::decode (Utf8Text::elideMiddle (std::string (30, 'x') + "\xC3\xA9\xC3\xA9", 9)).size(), 9u);
}

TEST (ByteTextTest, PathsArePartedByTheirBytes)
{
    EXPECT_EQ (FilePath::fileName ("/home/me/caf\xE9.106"), "caf\xE9.106");
    EXPECT_EQ (FilePath::stem ("/home/me/caf\xE9.106"), "caf\xE9");
    EXPECT_EQ (FilePath::stem ("/a/.hidden"), ".hidden");
    EXPECT_EQ (FilePath::extension ("/a/B.SYX"), ".syx");
    EXPECT_EQ (FilePath::extension ("/a.b/c"), "");
    EXPECT_EQ (FilePath::folderOf ("/a/b.106"), "/a");
    EXPECT_EQ (FilePath::folderOf ("/b.106"), "/");
    EXPECT_EQ (FilePath::folderOf ("b.106"), ".");
    EXPECT_EQ (FilePath::absolute ("caf\xE9.106", "/home/me"), "/home/me/caf\xE9.106");
    EXPECT_EQ (FilePath::absolute ("/x.106", "/home/me"), "/x.106");
    EXPECT_EQ (FilePath::absolute ("x.106", ""), "x.106") << "a working folder that is gone makes no path under /";
}
