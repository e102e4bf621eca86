#include "files/SyxFileIO.h"
#include "FactoryPatches.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

namespace
{
using Bytes = std::vector<uint8_t>;

const Bytes initFile{0xF0, 0x41, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x7F, 0x00,
                     0x00, 0x00, 0x00, 0x7F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2A, 0x19, 0xF7};

PatchModel oddPatch()
{
    PatchModel patch;
    patch.name = "Odd";
    patch.data.fill (0x33);
    return patch;
}

Bytes changed (Bytes bytes, size_t at, uint8_t value)
{
    bytes[at] = value;
    return bytes;
}
} // namespace

TEST (SyxFileIOTest, InitPatchFileIsByteExactAndLoadsBack)
{
    TempFolder folder;
    const std::string path = folder.path ("init.syx");
    ASSERT_TRUE (SyxFileIO::save (path, PatchModel(), 0));
    EXPECT_EQ (readBytes (path), initFile);

    PatchModel patch = oddPatch();
    ASSERT_TRUE (SyxFileIO::load (path, patch));
    EXPECT_TRUE (patch.sameSound (PatchModel()));
    EXPECT_EQ (patch.name, "Odd");
}

TEST (SyxFileIOTest, PatchesWithBytesAbove127AreNeverWritten)
{
    TempFolder folder;
    const std::string path = folder.path ("patch.syx");
    ASSERT_TRUE (SyxFileIO::save (path, PatchModel(), 0));
    const Bytes before = readBytes (path);
    for (size_t i = 0; i < 18; ++i)
    {
        PatchModel patch;
        patch.data[i] = 0x80;
        EXPECT_FALSE (SyxFileIO::save (path, patch, 0)) << i;
        EXPECT_FALSE (SyxFileIO::save (folder.path ("new.syx"), patch, 0)) << i;
    }
    EXPECT_EQ (readBytes (path), before);
    EXPECT_EQ (folder.entries().size(), 1u);
}

TEST (SyxFileIOTest, SaveWritesTheChannelUnmasked)
{
    EXPECT_EQ (SyxFileIO::build (PatchModel(), 0x0F)[3], 0x0F);
    EXPECT_EQ (SyxFileIO::build (PatchModel(), 0x20)[3], 0x20);
}

TEST (SyxFileIOTest, ParseTable)
{
    Bytes longer = initFile;
    longer.push_back (0xF0);
    Bytes endMovedBack = changed (initFile, 23, 0x00);
    endMovedBack.push_back (0xF7);
    struct Case
    {
        const char* what;
        Bytes file;
        bool loads;
    };
    std::vector<Case> cases{
        {"valid", initFile, true},
        {"23 bytes", Bytes (initFile.begin(), initFile.end() - 1), false},
        {"empty", {}, false},
        {"25 bytes", longer, true},
        {"byte 23 not F7 though byte 24 is", endMovedBack, false},
        {"manual dump command", changed (initFile, 2, 0x31), true},
        {"channel 0F", changed (initFile, 3, 0x0F), true},
        {"patch number 7F", changed (initFile, 4, 0x7F), true},
        {"byte 0 not F0", changed (initFile, 0, 0xF1), false},
        {"byte 1 not Roland", changed (initFile, 1, 0x40), false},
    };
    for (size_t at = 5; at <= 22; ++at)
    {
        cases.push_back ({"0x80 in a patch byte", changed (initFile, at, 0x80), false});
        cases.push_back ({"0x7F in a patch byte", changed (initFile, at, 0x7F), true});
    }
    for (const Case& c : cases)
    {
        PatchModel patch = oddPatch();
        EXPECT_EQ (SyxFileIO::parse (c.file.data(), c.file.size(), patch), c.loads) << c.what;
        if (c.loads)
            EXPECT_TRUE (std::equal (patch.data.begin(), patch.data.end(), c.file.begin() + 5)) << c.what;
        else
            EXPECT_TRUE (patch.sameSound (oddPatch())) << c.what << ": left as it was";
        EXPECT_EQ (patch.name, "Odd");
    }
}

TEST (SyxFileIOTest, LoadReadsOnlyTheFirstDump)
{
    TempFolder folder;
    const std::string path = folder.path ("two.syx");
    Bytes twoDumps = initFile;
    const Bytes second = changed (initFile, 5, 0x11);
    twoDumps.insert (twoDumps.end(), second.begin(), second.end());
    writeBytes (path, twoDumps);
    PatchModel patch = oddPatch();
    ASSERT_TRUE (SyxFileIO::load (path, patch));
    EXPECT_TRUE (patch.sameSound (PatchModel()));

    EXPECT_FALSE (SyxFileIO::load (folder.path ("missing.syx"), patch));
    EXPECT_FALSE (SyxFileIO::load (folder.root.string(), patch));
    EXPECT_TRUE (patch.sameSound (PatchModel()));
}

TEST (SyxFileIOTest, EveryFactoryPatchRoundTrips)
{
    TempFolder folder;
    for (const FactoryPatch& factory : loadFactoryPatches())
    {
        const std::string path = folder.path (factory.slot + ".syx");
        ASSERT_TRUE (SyxFileIO::save (path, factory.patch, 0));
        PatchModel loaded;
        ASSERT_TRUE (SyxFileIO::load (path, loaded)) << factory.slot;
        EXPECT_EQ (loaded.data, factory.patch.data) << factory.slot;
    }
}
