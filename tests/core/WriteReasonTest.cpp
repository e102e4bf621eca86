// A write that is refused or fails says why, in words a musician can act on,
// naming the patch when a patch is the cause; the bool writers agree.

#include "TempFolder.h"
#include "files/FileBytes.h"
#include "files/QorvFileIO.h"
#include "files/SyxFileIO.h"

#include <gtest/gtest.h>

namespace
{
PatchModel patchNamed (std::string name)
{
    PatchModel patch;
    patch.name = std::move (name);
    return patch;
}

LibraryModel libraryWith (std::string name, std::vector<PatchModel> patches)
{
    LibraryModel library;
    library.name = std::move (name);
    library.patches = std::move (patches);
    return library;
}
} // namespace

TEST (WriteReasonTest, RefusalsBeforeTouchingTheDiskNameTheCause)
{
    TempFolder folder;
    PatchModel bass = patchNamed ("Bass 1");
    bass.data[3] = 0x80;
    PatchModel bell = patchNamed ("Bell\n\xE2\x82"); // a line break and a cut character
    bell.data[17] = 0xFF;
    const std::string above127 = "\" holds a value above 127, which a SysEx file cannot carry.";
    for (const auto& [patch, reason] :
         {std::pair{bass, "Patch \"Bass 1" + above127}, std::pair{bell, "Patch \"Bell \xEF\xBF\xBD" + above127}})
    {
        EXPECT_EQ (SyxFileIO::checkWritable (patch).reason, reason);
        const WriteResult saved = SyxFileIO::saveWithReason (folder.path ("a.syx"), patch, 0);
        EXPECT_FALSE (saved.ok);
        EXPECT_EQ (saved.reason, reason);
        const WriteResult exported = SyxFileIO::saveIntoFolder (folder.root.string(), "b.syx", patch, 0);
        EXPECT_FALSE (exported.ok);
        EXPECT_EQ (exported.reason, reason);
        EXPECT_FALSE (SyxFileIO::save (folder.path ("a.syx"), patch, 0));
    }

    const std::string tooLong = " is longer than 4096 bytes.";
    const std::string cutName = std::string (39, 'B') + "\xE2\x80\xA6"; // 39 letters and "…"
    const std::pair<LibraryModel, std::string> libraries[] = {
        {libraryWith (std::string (4097, 'L'), {}), "The name of the library" + tooLong},
        {libraryWith ("Mine", {patchNamed ("Fine"), patchNamed (std::string (5000, 'B'))}),
         "The name of patch \"" + cutName + "\"" + tooLong},
    };
    for (const auto& [library, reason] : libraries)
    {
        EXPECT_EQ (QorvFileIO::checkWritable (library).reason, reason);
        const WriteResult saved = QorvFileIO::saveWithReason (folder.path ("a.106"), library);
        EXPECT_FALSE (saved.ok);
        EXPECT_EQ (saved.reason, reason);
        EXPECT_FALSE (QorvFileIO::save (folder.path ("a.106"), library));
    }
    EXPECT_TRUE (folder.entries().empty());

    EXPECT_TRUE (SyxFileIO::checkWritable (patchNamed ("Fine")).ok);
    EXPECT_TRUE (QorvFileIO::checkWritable (libraryWith (std::string (4096, 'L'), {patchNamed ("Fine")})).ok);
}

TEST (WriteReasonTest, FailuresOnTheDiskSayWhatWentWrong)
{
    TempFolder folder;
    const std::string plainFile = folder.path ("plain");
    writeBytes (plainFile, {1, 2, 3});
    std::filesystem::create_directory (folder.path ("a folder.106"));

    const std::pair<std::string, std::string> saves[] = {
        {"", "No file name was given."},
        {folder.path ("missing/library.106"), "The folder " + folder.path ("missing") + " does not exist."},
        {plainFile + "/library.106", "A part of the path is not a folder."},
        {folder.path ("a folder.106"), "A folder of that name is in the way."},
        {folder.path (std::string (300, 'n')), "The file name is too long."},
    };
    for (const auto& [path, reason] : saves)
    {
        const WriteResult saved = QorvFileIO::saveWithReason (path, LibraryModel());
        EXPECT_FALSE (saved.ok) << path;
        EXPECT_EQ (saved.reason, reason) << path;
        EXPECT_FALSE (QorvFileIO::save (path, LibraryModel())) << path;
    }

    const std::pair<std::string, std::string> exports[] = {
        {"", "No folder was given."},
        {folder.path ("missing"), "The folder " + folder.path ("missing") + " does not exist."},
        {plainFile, "A part of the path is not a folder."},
    };
    for (const auto& [exportFolder, reason] : exports)
    {
        const WriteResult exported = SyxFileIO::saveIntoFolder (exportFolder, "Init.syx", PatchModel(), 0);
        EXPECT_FALSE (exported.ok) << exportFolder;
        EXPECT_EQ (exported.reason, reason) << exportFolder;
    }
    EXPECT_EQ (readBytes (plainFile), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ (folder.entries().size(), 2u);
}
