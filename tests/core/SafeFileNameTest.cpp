#include "files/SafeFileName.h"
#include "files/Utf8Text.h"

#include <gtest/gtest.h>

#include <set>

namespace
{
std::string repeated (const std::string& text, size_t times)
{
    std::string result;
    for (size_t i = 0; i < times; ++i)
        result += text;
    return result;
}

const std::string eAcute = "\xC3\xA9";        // é, 2 bytes
const std::string clef = "\xF0\x9D\x84\x9E";  // 𝄞, 4 bytes
const std::string replaced = "\xEF\xBF\xBD";  // U+FFFD
const std::string wideSpace = "\xE3\x80\x80"; // U+3000, not white space to the C locale
const std::string nextLine = "\xC2\x85";      // U+0085, a control character above ASCII
} // namespace

TEST (SafeFileNameTest, NamesAreMadeSafeAsExportAllMakesThem)
{
    struct Case
    {
        std::string name;
        std::string extension;
        std::string expected;
    };
    const Case cases[] = {
        {"Brass 1", ".syx", "Brass 1.syx"},
        {"My Library", ".106", "My Library.106"},
        {"Tab\there\nand\x01\x1F\x7F", ".syx", "Tabhereand.syx"},
        {"a\"b#c@d,e;f:g<h>i*j^k|l?m\\n/o", ".syx", "abcdefghijklmno.syx"},
        {"!$%&'()+-=[]{}`~", ".syx", "!$%&'()+-=[]{}`~.syx"},
        {"C1 " + nextLine + " stays", ".syx", "C1 " + nextLine + " stays.syx"},
        // Nothing visible left.
        {"", ".syx", "Untitled.syx"},
        {"  ", ".syx", "Untitled.syx"},
        {".", ".syx", "Untitled.syx"},
        {"..", ".syx", "Untitled.syx"},
        {"\t.\n", ".syx", "Untitled.syx"},
        {".", "", "Untitled"},
        {wideSpace, ".syx", wideSpace + ".syx"},
        // Paths and hidden files.
        {"~", ".syx", "~.syx"},
        {"../../x", ".syx", "x.syx"},
        {"a/b", ".syx", "ab.syx"},
        {".hidden", ".syx", "hidden.syx"},
        {" .", ".syx", " ..syx"},
        // The 128 limit counts code points, the extension included.
        {repeated ("a", 200), ".syx", repeated ("a", 124) + ".syx"},
        {repeated ("x", 100) + ".y" + repeated ("z", 50),
         ".syx",
         repeated ("x", 100) + ".y" + repeated ("z", 22) + ".syx"},
        {repeated ("a", 150) + ".txt", "", repeated ("a", 124) + ".txt"},
        {repeated ("a", 150) + ".longextension", "", repeated ("a", 128)},
        {repeated (eAcute, 124), ".syx", repeated (eAcute, 124) + ".syx"},
        {repeated (eAcute, 123) + "ab", ".syx", repeated (eAcute, 123) + "a.syx"},
        {repeated (clef, 130), ".syx", repeated (clef, 124) + ".syx"},
        {repeated ("a", 123) + "/" + eAcute, ".syx", repeated ("a", 123) + eAcute + ".syx"},
        // Bytes that are not UTF-8: each invalid part becomes one U+FFFD.
        {"Bass\xE2\x82", ".syx", "Bass" + replaced + ".syx"},
        {"\xFF", ".syx", replaced + ".syx"},
        {"\xC0\xAF", ".syx", replaced + replaced + ".syx"}, // an overlong '/' stays harmless
        {"\xED\xA0\x80", ".syx", replaced + replaced + replaced + ".syx"},
        {repeated (eAcute, 124) + "\xC3", ".syx", repeated (eAcute, 124) + ".syx"},
        // A NUL ends the name.
        {std::string ("ab\0cd", 5), ".syx", "ab.syx"},
    };
    for (const Case& c : cases)
        EXPECT_EQ (SafeFileName::make (c.name, c.extension), c.expected) << c.name;
}

TEST (SafeFileNameTest, ExportGivesCollidingNamesDistinctFiles)
{
    ExportFileNames names (".syx");
    const std::pair<std::string, std::string> export13[] = {
        {"Bass", "Bass.syx"},
        {"Bass", "Bass (2).syx"},
        {"BASS", "BASS (3).syx"}, // USB sticks do not tell letter case apart
        {"Bass?", "Bass (4).syx"},
        {"Bass/", "Bass (5).syx"},
        {"bass", "bass (6).syx"},
        {"", "Untitled.syx"},
        {"  ", "Untitled (2).syx"},
        {".", "Untitled (3).syx"},
        {"..", "Untitled (4).syx"},
        {"Untitled", "Untitled (5).syx"},
        {"Bass (2)", "Bass (2) (2).syx"},
        {"\x01"
         "Bass",
         "Bass (7).syx"},
    };
    std::set<std::string> given;
    for (const auto& [patchName, fileName] : export13)
    {
        EXPECT_EQ (names.next (patchName), fileName) << patchName;
        given.insert (fileName);
    }
    EXPECT_EQ (given.size(), 13u);

    // The number takes the place of the end of a long name, within the limit.
    ExportFileNames longNames (".syx");
    const std::string longName = repeated (eAcute, 200);
    EXPECT_EQ (longNames.next (longName), repeated (eAcute, 124) + ".syx");
    EXPECT_EQ (longNames.next (longName), repeated (eAcute, 120) + " (2).syx");
    EXPECT_EQ (Utf8Text::decode (longNames.next (longName)).size(), 128u);
}

TEST (SafeFileNameTest, ManyEqualNamesStayDistinct)
{
    ExportFileNames names (".syx");
    std::set<std::string> given;
    for (int i = 0; i < 3000; ++i)
        given.insert (names.next (i % 3 == 0 ? "Init" : "Init (2)"));
    EXPECT_EQ (given.size(), 3000u);
}

TEST (SafeFileNameTest, Utf8Decoding)
{
    EXPECT_EQ (Utf8Text::decode ("a" + eAcute + clef), (std::u32string{U'a', 0xE9, 0x1D11E}));
    EXPECT_EQ (Utf8Text::decode ("\xF4\x90\x80\x80"), std::u32string (4, Utf8Text::replacementCharacter));
    EXPECT_EQ (Utf8Text::decode ("\xE2\x82x"), (std::u32string{Utf8Text::replacementCharacter, U'x'}));
    EXPECT_EQ (Utf8Text::encode (Utf8Text::decode ("a" + eAcute + clef)), "a" + eAcute + clef);
    EXPECT_TRUE (Utf8Text::isValid ("a" + eAcute + clef));
    for (const std::string invalid : {"\xFF", "\xC3", "\xC0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\x80"})
        EXPECT_FALSE (Utf8Text::isValid (invalid)) << invalid;
}
