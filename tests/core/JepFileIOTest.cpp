#include "files/JepFileIO.h"
#include "Base64Text.h"
#include "TempFolder.h"
#include "files/FileBytes.h"

#include <gtest/gtest.h>

#include <random>

namespace
{
using Bytes = std::vector<uint8_t>;

const Bytes initBytes{0, 0, 0, 0, 0, 127, 0, 0, 0, 0, 127, 0, 0, 0, 0, 0, 0x2A, 0x19};
const std::string initBase64 = "AAAAAAB/AAAAAH8AAAAAACoZ"; // 18 bytes, no padding needed

std::string preset (const std::string& payload)
{
    return "<?xml version=\"1.0\"?>\n<preset name=\"Init\">\n  <sysexData>\n    <data>" + payload +
           "</data>\n  </sysexData>\n</preset>\n";
}

struct Outcome
{
    bool loaded;
    PatchModel patch;
};

Outcome parseText (const std::string& text)
{
    Outcome outcome{false, {}};
    outcome.patch.name = "Name";
    outcome.patch.data.fill (0x44);
    outcome.loaded = JepFileIO::parse (reinterpret_cast<const uint8_t*> (text.data()), text.size(), outcome.patch);
    return outcome;
}
} // namespace

TEST (JepFileIOTest, Base64DecodeTable)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"TWFu", "Man"},
        {"TWE=", "Ma"},
        {"TWE", "Ma"},
        {"TQ==", "M"},
        {"TQ", "M"},
        {"T", ""},
        {"====", ""},
        {"T*W\nF u", "Man"},
        {"=TWFu", "Man"},
        {"TW==Fu", "Man"}, // padding in the middle is skipped like any stray character
        {"\xC3\xA9TWFu\x80", "Man"},
    };
    for (const auto& [text, expected] : cases)
    {
        const Bytes decoded = JepFileIO::base64Decode (text);
        EXPECT_EQ (std::string (decoded.begin(), decoded.end()), expected) << text;
    }
}

TEST (JepFileIOTest, Base64DecodeInvertsTheEncoder)
{
    std::mt19937 random (3);
    for (size_t length = 0; length < 64; ++length)
    {
        Bytes bytes (length);
        for (auto& byte : bytes)
            byte = static_cast<uint8_t> (random());
        std::string text = base64Text (bytes);
        EXPECT_EQ (JepFileIO::base64Decode (text), bytes) << length;
        text.erase (std::remove (text.begin(), text.end(), '='), text.end());
        EXPECT_EQ (JepFileIO::base64Decode (text), bytes) << "unpadded " << length;
    }
}

TEST (JepFileIOTest, ParseTable)
{
    const std::string lines = "AAAAAAB/\r\n\tAAAAAH8A\n\v\fAAAAACoZ\n";
    struct Case
    {
        const char* what;
        std::string text;
        bool loads;
        Bytes expected;
    };
    const Case cases[] = {
        {"payload split over lines", preset (lines), true, initBytes},
        {"padded", preset (initBase64 + "=="), true, initBytes},
        {"stray characters", preset ("AAAA*AAB/AAAAAH8A.AAAAACoZ"), true, initBytes},
        {"17 bytes", preset ("AAAAAAB/AAAAAH8AAAAAACo="), false, {}},
        {"24 bytes, first 18 used",
         preset ("8EEwAAAAAAAAAH8AAAAAfwAAAAAAKhn3"),
         true,
         {0xF0, 0x41, 0x30, 0, 0, 0, 0, 0, 0, 0, 0x7F, 0, 0, 0, 0, 0x7F, 0, 0}},
        {"bytes above 127 stored",
         preset ("gIGCg4SFhoeIiYqLjI2Oj5CR"),
         true,
         {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F, 0x90, 0x91}},
        {"no marker", "<data>" + initBase64 + "</data>", false, {}},
        {"marker case differs", "SysexData<data>" + initBase64 + "</data>", false, {}},
        {"data only before the marker", "<data>" + initBase64 + "</data>sysexData", false, {}},
        {"opening tag only before the marker", "<data>" + initBase64 + "sysexData</data>", false, {}},
        {"no closing tag", "sysexData<data>" + initBase64, false, {}},
        {"close before open runs to the end", "sysexData</data><data>" + initBase64, true, initBytes},
        {"first data after the marker used",
         "<data>AAAA</data>sysexData<data>" + initBase64 + "</data><data>////</data>",
         true,
         initBytes},
        {"seven bytes", "sysexDa", false, {}},
        {"eight bytes, nothing found", "sysexDat", false, {}},
        {"NUL bytes around", std::string ("\0\0sysexData\0<data>", 18) + initBase64 + "</data>", true, initBytes},
    };
    for (const Case& c : cases)
    {
        const Outcome outcome = parseText (c.text);
        EXPECT_EQ (outcome.loaded, c.loads) << c.what;
        const Bytes stored (outcome.patch.data.begin(), outcome.patch.data.end());
        EXPECT_EQ (stored, c.loads ? c.expected : Bytes (18, 0x44)) << c.what;
        EXPECT_EQ (outcome.patch.name, "Name");
    }
}

TEST (JepFileIOTest, LoadReadsFilesAndRefusesHugeOnes)
{
    TempFolder folder;
    const std::string path = folder.path ("Init.jep");
    const std::string text = preset (initBase64);
    writeBytes (path, Bytes (text.begin(), text.end()));

    PatchModel patch;
    patch.data.fill (1);
    ASSERT_TRUE (JepFileIO::load (path, patch));
    EXPECT_EQ (Bytes (patch.data.begin(), patch.data.end()), initBytes);

    patch.data.fill (1);
    std::filesystem::resize_file (path, FileBytes::maxFileSize + 1); // the payload is still there
    EXPECT_FALSE (JepFileIO::load (path, patch));
    EXPECT_FALSE (JepFileIO::load (folder.path ("missing.jep"), patch));
    EXPECT_FALSE (JepFileIO::load (folder.root.string(), patch));
    EXPECT_EQ (patch.data[0], 1);
}
