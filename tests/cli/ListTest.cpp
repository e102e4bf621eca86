// qorv list on real files: names as the window's import gives them, the
// panel's parameters, JSON for scripts, and files that cannot be read.

#include "Base64Text.h"
#include "CliTestFiles.h"
#include "QorvProcess.h"
#include "files/FileBytes.h"
#include "files/QorvFileIO.h"

#include <gtest/gtest.h>
#include <juce_core/juce_core.h>

#include <filesystem>
#include <sys/stat.h>

namespace
{
std::string preset (const std::array<uint8_t, 18>& data)
{
    return "<?xml version=\"1.0\"?>\n<preset>\n  <sysexData>\n    <data>" +
           base64Text (Bytes (data.begin(), data.end())) + "</data>\n  </sysexData>\n</preset>\n";
}

void writeText (const std::string& path, const std::string& content)
{
    writeBytes (path, Bytes (content.begin(), content.end()));
}

void writeLibrary (const std::string& path, const std::vector<PatchModel>& patches)
{
    LibraryModel library;
    library.patches = patches;
    ASSERT_TRUE (QorvFileIO::save (path, library));
}

PatchModel named (const std::string& name, const std::array<uint8_t, 18>& data)
{
    PatchModel patch;
    patch.name = name;
    patch.data = data;
    return patch;
}

class ListTest : public testing::Test
{
protected:
    std::string path (const std::string& name) const { return folder.path (name); }

    TempFolder folder;
    const std::vector<FactoryPatch> factory = loadFactoryPatches();
};

TEST_F (ListTest, ABankIsNumberedAndNamedAfterItsFileAndPatchNumbers)
{
    writeBytes (path ("Factory.syx"), factoryBank (factory));

    const auto result = runQorv (folder.root, {"list", "Factory.syx"});
    ASSERT_EQ (result.status, 0) << result.err;
    std::vector<std::string> expected;
    for (size_t i = 0; i < factory.size(); ++i)
    {
        std::string index = std::to_string (i + 1);
        expected.push_back ("  " + std::string (3 - index.size(), ' ') + index + "  Factory " + factory[i].slot);
    }
    EXPECT_EQ (result.out, text (expected));
    EXPECT_EQ (result.err, "");
}

TEST_F (ListTest, EachKindOfFileIsNamedAsTheImportNamesIt)
{
    const auto& brass = factory[0].patch.data;
    const auto& strings = factory[5].patch.data;
    writeBytes (path ("Strings.syx"), dump (0x30, 0, 17, strings));
    writeBytes (path ("a.b.syx"), dump (0x30, 0, 0, brass));
    writeBytes (path (".syx"), dump (0x30, 0, 0, brass));
    writeText (path ("Pad.JEP"), preset (strings));
    writeLibrary (path ("Lib.106"), {named ("Zeta", brass), named ("Alpha", strings)});
    // Manual dumps on two channels, with a clock byte inside one and another
    // maker's message between them, as a SysEx recorder keeps them.
    Bytes manuals = dump (0x31, 0, 0, brass);
    manuals.insert (manuals.begin() + 10, 0xF8);
    append (manuals, {0xF0, 0x43, 0x10, 0x01, 0xF7});
    append (manuals, dump (0x31, 2, 0, strings));
    writeBytes (path ("Manuals.syx"), manuals);

    const auto result =
        runQorv (folder.root, {"list", "Strings.syx", "a.b.syx", ".syx", "Pad.JEP", "Lib.106", "Manuals.syx"});
    ASSERT_EQ (result.status, 0) << result.err;
    EXPECT_EQ (result.out,
               text ({"Strings.syx:",
                      "  1  Strings",
                      "",
                      "a.b.syx:",
                      "  1  a.b",
                      "",
                      ".syx:",
                      "  1  .syx",
                      "",
                      "Pad.JEP:",
                      "  1  Pad",
                      "",
                      "Lib.106:", // as stored: a library's order is the file's
                      "  1  Zeta",
                      "  2  Alpha",
                      "",
                      "Manuals.syx:",
                      "  1  Manuals 1",
                      "  2  Manuals 2"}));
}

TEST_F (ListTest, ParamsNameEveryControlAsThePanelDoesAndMarkValuesAPatchCannotHold)
{
    // The owner's manual's example: A11 Brass Set 1 as a manual dump.
    writeBytes (path ("Brass.syx"), dump (0x31, 0, 0, factory[0].patch.data));
    // Every switch the other way, and a level no fader reaches.
    std::array<uint8_t, 18> odd{};
    odd[5] = 200;
    odd[16] = 0x04;        // 4', no waveform, chorus II
    odd[17] = 0x02 | 0x04; // PWM LFO, ENV inverted, VCA gate, HPF 3
    writeLibrary (path ("Odd.106"), {named ("Odd", odd)});

    const auto result = runQorv (folder.root, {"list", "--params", "Brass.syx", "Odd.106"});
    ASSERT_EQ (result.status, 0) << result.err;
    EXPECT_EQ (result.out,
               text ({"Brass.syx:",
                      "  1  Brass",
                      "     LFO Rate 20, LFO Delay 49",
                      "     Range 16', DCO LFO 0, DCO PWM 102, PWM Man, Square 0, Saw 1, Sub Level 0, Noise 0",
                      "     HPF 1",
                      "     VCF Freq 35, VCF Res 13, ENV Normal, VCF ENV 58, VCF LFO 0, VCF KYBD 86",
                      "     VCA ENV, VCA Level 108",
                      "     Attack 3, Decay 49, Sustain 45, Release 32",
                      "     Chorus I",
                      "",
                      "Odd.106:",
                      "  1  Odd  (1 value a patch cannot hold)",
                      "     LFO Rate 0, LFO Delay 0",
                      "     Range 4', DCO LFO 0, DCO PWM 0, PWM LFO, Square 0, Saw 0, Sub Level 0, Noise 0",
                      "     HPF 3",
                      "     VCF Freq 200 (above 127), VCF Res 0, ENV Inverted, VCF ENV 0, VCF LFO 0, VCF KYBD 0",
                      "     VCA Gate, VCA Level 0",
                      "     Attack 0, Decay 0, Sustain 0, Release 0",
                      "     Chorus II"}));
}

TEST_F (ListTest, JsonIsOneArrayOfEveryPatchWithItsBytesAndParameters)
{
    writeBytes (path ("Factory.syx"), factoryBank (factory));
    // Names no JSON writer may pass through as they are.
    const std::string hostile = "Quote\" Back\\ Line\nEsc\x1b[2J Bad\xff";
    std::array<uint8_t, 18> loud = factory[1].patch.data;
    loud[10] = 255;
    writeLibrary (path ("Hostile.106"), {named (hostile, loud)});

    const auto result = runQorv (folder.root, {"list", "--json", "--params", "Factory.syx", "Hostile.106"});
    ASSERT_EQ (result.status, 0) << result.err;
    juce::var parsed;
    ASSERT_TRUE (juce::JSON::parse (juce::String::fromUTF8 (result.out.c_str()), parsed).wasOk()) << result.out;
    ASSERT_TRUE (parsed.isArray());
    ASSERT_EQ (parsed.size(), 129);

    for (int i = 0; i < 129; ++i)
    {
        const auto& object = parsed[i];
        const bool last = i == 128;
        EXPECT_EQ (object["file"].toString(), last ? "Hostile.106" : "Factory.syx");
        EXPECT_EQ (static_cast<int> (object["index"]), last ? 1 : i + 1);
        const auto& data = last ? loud : factory[static_cast<size_t> (i)].patch.data;
        ASSERT_EQ (object["data"].size(), 18);
        for (int b = 0; b < 18; ++b)
            EXPECT_EQ (static_cast<int> (object["data"][b]), data[static_cast<size_t> (b)]) << i << " byte " << b;
        ASSERT_TRUE (object["params"].isObject());
        EXPECT_EQ (object["params"].getDynamicObject()->getProperties().size(), 24);
    }
    EXPECT_EQ (parsed[0]["name"].toString(), "Factory A11");
    EXPECT_EQ (parsed[0]["params"]["VCF Freq"], juce::var (35));
    EXPECT_EQ (parsed[0]["params"]["Range"], juce::var ("16'"));
    EXPECT_EQ (parsed[0]["params"]["Chorus"], juce::var ("I"));
    EXPECT_EQ (parsed[0]["params"]["HPF"], juce::var (1));
    EXPECT_EQ (parsed[128]["params"]["VCA Level"], juce::var (255));
    // Bytes that are not UTF-8 become U+FFFD; everything else survives escaped.
    EXPECT_EQ (parsed[128]["name"].toString(),
               juce::String::fromUTF8 ("Quote\" Back\\ Line\nEsc\x1b[2J Bad\xef\xbf\xbd"));
}

TEST_F (ListTest, AnEmptyListIsAnEmptyJsonArray)
{
    writeLibrary (path ("Empty.106"), {});
    const auto result = runQorv (folder.root, {"list", "--json", "Empty.106"});
    ASSERT_EQ (result.status, 0) << result.err;
    EXPECT_EQ (result.out, "[]\n");
}

TEST_F (ListTest, NamesReachTheTerminalWithoutControlCharacters)
{
    // An escape sequence, a carriage return, a C1 control (U+009B) and a byte that is not UTF-8.
    writeLibrary (path ("Hostile.106"),
                  {named ("A\x1b[2J\rB\xc2\x9b"
                          "C\xff",
                          factory[0].patch.data)});
    const auto result = runQorv (folder.root, {"list", "Hostile.106"});
    ASSERT_EQ (result.status, 0) << result.err;
    EXPECT_EQ (result.out, "  1  A [2J B C\xef\xbf\xbd\n");
}

TEST_F (ListTest, EachUnreadableFileIsNamedWithWhyAndTheOthersAreStillListed)
{
    const Bytes brass = dump (0x30, 0, 0, factory[0].patch.data);
    writeBytes (path ("Good.syx"), brass);
    writeBytes (path ("Empty.syx"), {});
    writeBytes (path ("Cut.syx"), Bytes (brass.begin(), brass.begin() + 20));
    writeText (path ("Text.syx"), "a letter, not a dump\n");
    writeText (path ("Garbage.106"), "!qorv\\ but nothing after");
    writeLibrary (path ("Damaged.106"), {named ("Brass", factory[0].patch.data)});
    Bytes damaged = readBytes (path ("Damaged.106"));
    damaged[damaged.size() / 2] ^= 0x01; // a section's CRC no longer matches
    writeBytes (path ("Damaged.106"), damaged);
    writeText (path ("Empty.jep"), "<preset/>");
    std::filesystem::create_directory (path ("Folder.syx"));
    ASSERT_EQ (::mkfifo (path ("Pipe.syx").c_str(), 0644), 0); // nothing writes it: reading would hang
    writeBytes (path ("Huge.syx"), brass);
    std::filesystem::resize_file (path ("Huge.syx"), FileBytes::maxFileSize + 1);
    writeText (path ("Notes.txt"), "");

    const std::vector<std::pair<std::string, std::string>> refused = {
        {"Empty.syx", "holds no Juno-106 patch or manual dump"},
        {"Cut.syx", "holds no Juno-106 patch or manual dump"},
        {"Text.syx", "holds no Juno-106 patch or manual dump"},
        {"Garbage.106", "is not a Qorv library (.106)"},
        {"Damaged.106", "is a damaged Qorv library: patch 1 of 1 fails its check"},
        {"Empty.jep", "holds no Juno Editor preset data"},
        {"Folder.syx", "is a folder, not a file"},
        {"Pipe.syx", "is not a regular file"},
        {"Huge.syx", "is larger than 256 MB"},
        {"Missing.jep", "No such file or directory"},
        {"Notes.txt", "not a .106, .syx or .jep file"},
    };
    std::vector<std::string> arguments{"list", "Good.syx"};
    for (const auto& [file, reason] : refused)
        arguments.push_back (file);

    const auto result = runQorv (folder.root, arguments);
    EXPECT_EQ (result.status, 1);
    EXPECT_EQ (result.out, "Good.syx:\n  1  Good\n");
    for (const auto& [file, reason] : refused)
        EXPECT_NE (result.err.find ("qorv: " + file + ": " + reason), std::string::npos) << file << "\n" << result.err;
}
} // namespace
