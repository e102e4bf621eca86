// qorv convert on real files: into a library, a single dump, a bank and a
// folder, round trips, additions to a library, and what is never written.

#include "Base64Text.h"
#include "CliTestFiles.h"
#include "QorvProcess.h"
#include "files/QorvFileIO.h"
#include "files/SafeFileName.h"
#include "files/SyxFileIO.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <unistd.h>

namespace
{
namespace fs = std::filesystem;

PatchModel named (const std::string& name, const std::array<uint8_t, 18>& data)
{
    PatchModel patch;
    patch.name = name;
    patch.data = data;
    return patch;
}

void writeLibrary (const std::string& path, const std::vector<PatchModel>& patches, const std::string& name = "Mine")
{
    LibraryModel library;
    library.name = name;
    library.patches = patches;
    ASSERT_TRUE (QorvFileIO::save (path, library));
}

LibraryModel readLibrary (const std::string& path)
{
    LibraryModel library;
    EXPECT_TRUE (QorvFileIO::load (path, library)) << path;
    return library;
}

std::vector<std::string> namesOf (const LibraryModel& library)
{
    std::vector<std::string> names;
    for (const auto& patch : library.patches)
        names.push_back (patch.name);
    return names;
}

class ConvertTest : public testing::Test
{
protected:
    std::string path (const std::string& name) const { return folder.path (name); }

    /** The factory patches as 128 single-dump files named after their slots. */
    std::vector<std::string> writeFactoryFiles()
    {
        std::vector<std::string> files;
        for (const auto& row : factory)
        {
            files.push_back (row.slot + ".syx");
            writeBytes (path (files.back()), dump (0x30, 0, 0, row.patch.data));
        }
        return files;
    }

    /** The factory patches under their own names (some twice), in slot order, in a library file. */
    void writeFactoryLibrary (const std::string& name) { writeLibrary (path (name), factoryPatches(), "Factory"); }

    std::vector<PatchModel> factoryPatches() const
    {
        std::vector<PatchModel> patches;
        for (const auto& row : factory)
            patches.push_back (row.patch);
        return patches;
    }

    /** The factory patches as a library holds them: in name order, a name
        already there made unique ("Clav (1)"). */
    LibraryModel factoryAsLibrary() const
    {
        LibraryModel library;
        library.patches.clear();
        library.addPatches (factoryPatches());
        return library;
    }

    TempFolder folder;
    const std::vector<FactoryPatch> factory = loadFactoryPatches();
};

TEST_F (ConvertTest, ManySingleDumpsBecomeOneLibraryAndNothingElseIsWritten)
{
    std::vector<std::string> arguments{"convert"};
    for (const auto& file : writeFactoryFiles())
        arguments.push_back (file);
    arguments.insert (arguments.end(), {"-o", "Factory.106"});
    const auto before = folder.entries();

    const auto result = runQorv (folder.root, arguments);
    ASSERT_EQ (result.status, 0) << result.err;
    EXPECT_EQ (result.out, "Wrote 128 patches to Factory.106\n");
    EXPECT_EQ (result.err, "");

    const LibraryModel library = readLibrary (path ("Factory.106"));
    EXPECT_EQ (library.name, "New Library"); // as the window names a library it starts
    ASSERT_EQ (library.patches.size(), 128u);
    for (size_t i = 0; i < factory.size(); ++i)
    {
        EXPECT_EQ (library.patches[i].name, factory[i].slot); // slot names sort in slot order
        EXPECT_EQ (library.patches[i].data, factory[i].patch.data) << factory[i].slot;
    }
    auto after = folder.entries();
    after.erase (std::find (after.begin(), after.end(), "Factory.106"));
    EXPECT_EQ (after.size(), before.size()); // no temporary file left, no input touched
    EXPECT_EQ (readBytes (path ("A11.syx")), dump (0x30, 0, 0, factory[0].patch.data));
}

TEST_F (ConvertTest, ALibraryThroughABankAndBackIsTheSameFile)
{
    writeBytes (path ("bank.syx"), factoryBank (factory));
    fs::create_directory (path ("one"));
    fs::create_directory (path ("two"));

    ASSERT_EQ (runQorv (folder.root, {"convert", "bank.syx", "-o", "one/lib.106"}).status, 0);
    ASSERT_EQ (runQorv (folder.root, {"convert", "one/lib.106", "--bank", "-o", "two/bank.syx"}).status, 0);
    ASSERT_EQ (runQorv (folder.root, {"convert", "two/bank.syx", "-o", "two/lib.106"}).status, 0);

    EXPECT_EQ (readBytes (path ("two/bank.syx")), readBytes (path ("bank.syx")));
    EXPECT_EQ (readBytes (path ("two/lib.106")), readBytes (path ("one/lib.106")));
    EXPECT_EQ (readLibrary (path ("one/lib.106")).patches.size(), 128u);
}

TEST_F (ConvertTest, ABankKeepsTheLibrarysOrderAndBytesOnTheChannelAsked)
{
    writeFactoryLibrary ("Factory.106");
    const auto result = runQorv (folder.root, {"convert", "Factory.106", "--bank", "--channel", "16", "-o", "All.syx"});
    ASSERT_EQ (result.status, 0) << result.err;

    // The patches go in the library's name order, whatever the file's order.
    const LibraryModel sorted = factoryAsLibrary();
    Bytes expected;
    for (size_t i = 0; i < sorted.patches.size(); ++i)
        append (expected, dump (0x30, 15, static_cast<uint8_t> (i), sorted.patches[i].data));
    EXPECT_EQ (readBytes (path ("All.syx")), expected);

    const auto back = runQorv (folder.root, {"convert", "All.syx", "-o", "Back.106"});
    ASSERT_EQ (back.status, 0) << back.err;
    const LibraryModel library = readLibrary (path ("Back.106"));
    ASSERT_EQ (library.patches.size(), 128u);
    for (size_t i = 0; i < 128; ++i)
        EXPECT_EQ (library.patches[i].data, sorted.patches[i].data);
}

TEST_F (ConvertTest, AFolderGetsAFileForEachPatchNamedAsExportAllNamesThem)
{
    writeFactoryLibrary ("Factory.106");
    // A link planted where one of the files goes is replaced, never followed.
    fs::create_directory (path ("out"));
    writeBytes (path ("victim"), {1, 2, 3});
    fs::create_symlink (path ("victim"), path ("out/Brass Set 1.syx"));

    const auto result = runQorv (folder.root, {"convert", "Factory.106", "--channel", "2", "-o", "out"});
    ASSERT_EQ (result.status, 0) << result.err;
    EXPECT_EQ (result.out, "Wrote 128 files into out\n");

    const LibraryModel sorted = factoryAsLibrary();
    ExportFileNames names (".syx");
    for (const auto& patch : sorted.patches)
    {
        const std::string file = path ("out/" + names.next (patch.name));
        ASSERT_TRUE (fs::is_regular_file (fs::symlink_status (file))) << file;
        EXPECT_EQ (readBytes (file), dump (0x30, 1, 0, patch.data)) << file;
    }
    EXPECT_EQ (std::distance (fs::directory_iterator (path ("out")), fs::directory_iterator()), 128);
    EXPECT_EQ (readBytes (path ("victim")), (Bytes{1, 2, 3}));
}

TEST_F (ConvertTest, AFolderNamedWithASlashIsMadeAndClashingNamesAreKeptApart)
{
    writeLibrary (path ("Case.106"),
                  {named ("Bass", factory[0].patch.data),
                   named ("bass", factory[1].patch.data),
                   named ("a:b", factory[2].patch.data)});
    const auto result = runQorv (folder.root, {"convert", "Case.106", "-o", "new/"});
    ASSERT_EQ (result.status, 0) << result.err;

    ExportFileNames names (".syx");
    for (const auto& patch : readLibrary (path ("Case.106")).patches)
        EXPECT_TRUE (fs::exists (path ("new/" + names.next (patch.name)))) << patch.name;
    EXPECT_EQ (std::distance (fs::directory_iterator (path ("new")), fs::directory_iterator()), 3);
}

TEST_F (ConvertTest, ASingleSyxTakesExactlyOnePatch)
{
    writeBytes (path ("Pair.syx"), factoryBank ({factory[0], factory[1]}));
    writeBytes (path ("One.syx"), dump (0x30, 0, 0, factory[7].patch.data));
    writeBytes (path ("Kept.syx"), {0xF0, 0xF7});

    const auto one = runQorv (folder.root, {"convert", "One.syx", "--channel", "5", "-o", "Out.syx"});
    ASSERT_EQ (one.status, 0) << one.err;
    EXPECT_EQ (one.out, "Wrote One to Out.syx\n");
    EXPECT_EQ (readBytes (path ("Out.syx")), dump (0x30, 4, 0, factory[7].patch.data));

    const auto two = runQorv (folder.root, {"convert", "Pair.syx", "-o", "Kept.syx"});
    EXPECT_EQ (two.status, 1);
    EXPECT_NE (two.err.find ("qorv: Kept.syx: 2 patches cannot go into one .syx file"), std::string::npos) << two.err;
    EXPECT_EQ (readBytes (path ("Kept.syx")), (Bytes{0xF0, 0xF7}));
    EXPECT_EQ (runQorv (folder.root, {"convert", "Pair.syx", "-o", "New.syx"}).status, 1);
    EXPECT_FALSE (fs::exists (path ("New.syx")));
}

TEST_F (ConvertTest, PatchesAreAddedToALibraryThatIsThereUnderNamesOfTheirOwn)
{
    writeLibrary (path ("Mine.106"), {named ("Brass", factory[0].patch.data), named ("Keep", factory[1].patch.data)});
    writeBytes (path ("Brass.syx"), dump (0x30, 0, 0, factory[2].patch.data));
    writeBytes (path ("Other.syx"), dump (0x30, 0, 0, factory[3].patch.data));

    const auto result = runQorv (folder.root, {"convert", "Brass.syx", "Other.syx", "-o", "Mine.106"});
    ASSERT_EQ (result.status, 0) << result.err;
    EXPECT_EQ (result.out, "Added 2 patches to Mine.106 (4 in all)\n");

    const LibraryModel library = readLibrary (path ("Mine.106"));
    EXPECT_EQ (library.name, "Mine");
    EXPECT_EQ (namesOf (library), (std::vector<std::string>{"Brass", "Brass (1)", "Keep", "Other"}));
    EXPECT_EQ (library.patches[0].data, factory[0].patch.data);
    EXPECT_EQ (library.patches[1].data, factory[2].patch.data);
}

TEST_F (ConvertTest, AFileThatIsNotALibraryIsNeverAddedToOrReplaced)
{
    writeBytes (path ("Brass.syx"), dump (0x30, 0, 0, factory[0].patch.data));
    const Bytes notes{'m', 'y', ' ', 'n', 'o', 't', 'e', 's'};
    writeBytes (path ("Notes.106"), notes);
    writeLibrary (path ("Mine.106"), {named ("Keep", factory[1].patch.data)});

    const auto result = runQorv (folder.root, {"convert", "Brass.syx", "-o", "Notes.106"});
    EXPECT_EQ (result.status, 1);
    EXPECT_NE (result.err.find ("qorv: Notes.106: exists but is not a Qorv library"), std::string::npos) << result.err;
    EXPECT_EQ (readBytes (path ("Notes.106")), notes);

    // Its own output as an input would double every patch: refused before anything happens.
    const Bytes mine = readBytes (path ("Mine.106"));
    const auto itself = runQorv (folder.root, {"convert", "Mine.106", "Brass.syx", "-o", "./Mine.106"});
    EXPECT_EQ (itself.status, 2);
    EXPECT_EQ (readBytes (path ("Mine.106")), mine);
}

TEST_F (ConvertTest, ValuesAPatchCannotHoldAreCorrectedOnTheWayInAndCounted)
{
    std::array<uint8_t, 18> wild = factory[0].patch.data;
    wild[5] = 200;   // above any fader
    wild[16] = 0xFF; // bits the flags byte does not define
    const std::string payload = base64Text (Bytes (wild.begin(), wild.end()));
    const std::string preset = "<preset><sysexData><data>" + payload + "</data></sysexData></preset>";
    writeBytes (path ("Wild.jep"), Bytes (preset.begin(), preset.end()));

    const auto result = runQorv (folder.root, {"convert", "Wild.jep", "-o", "Tame.106"});
    ASSERT_EQ (result.status, 0) << result.err;
    EXPECT_EQ (result.err, "qorv: Wild.jep: 2 values corrected that a patch cannot hold\n");
    const LibraryModel library = readLibrary (path ("Tame.106"));
    ASSERT_EQ (library.patches.size(), 1u);
    EXPECT_EQ (library.patches[0].name, "Wild");
    std::array<uint8_t, 18> tame = wild;
    tame[5] = 127;
    tame[16] = PatchBits::dcoFlagsDefinedBits;
    EXPECT_EQ (library.patches[0].data, tame);
}

TEST_F (ConvertTest, AnUnreadableInputIsNamedAndSkippedAndTheStatusSaysSo)
{
    writeBytes (path ("Good.syx"), dump (0x30, 0, 0, factory[0].patch.data));
    writeBytes (path ("Bad.syx"), {0x00, 0x01});

    const auto some = runQorv (folder.root, {"convert", "Good.syx", "Bad.syx", "-o", "Some.106"});
    EXPECT_EQ (some.status, 1);
    EXPECT_NE (some.err.find ("qorv: Bad.syx: holds no Juno-106 patch or manual dump; skipped"), std::string::npos)
        << some.err;
    EXPECT_EQ (namesOf (readLibrary (path ("Some.106"))), std::vector<std::string>{"Good"});

    const auto none = runQorv (folder.root, {"convert", "Bad.syx", "Missing.syx", "-o", "None.106"});
    EXPECT_EQ (none.status, 1);
    EXPECT_NE (none.err.find ("qorv: Missing.syx: No such file or directory; skipped"), std::string::npos);
    EXPECT_NE (none.err.find ("qorv: None.106: nothing written"), std::string::npos) << none.err;
    EXPECT_FALSE (fs::exists (path ("None.106")));
}

TEST_F (ConvertTest, AnOutputThatCannotBeWrittenIsNamedWithWhy)
{
    writeBytes (path ("Good.syx"), dump (0x30, 0, 0, factory[0].patch.data));
    for (const std::string output : {"Nowhere/Lib.106", "Nowhere/One.syx"})
    {
        const auto result = runQorv (folder.root, {"convert", "Good.syx", "-o", output});
        EXPECT_EQ (result.status, 1) << output;
        EXPECT_EQ (result.err.rfind ("qorv: " + output + ": ", 0), 0u) << result.err;
        EXPECT_EQ (result.out, "");
    }
    writeBytes (path ("Plain"), {});
    const auto onFile = runQorv (folder.root, {"convert", "Good.syx", "-o", "Plain/"});
    EXPECT_EQ (onFile.status, 1);
    EXPECT_EQ (onFile.err, "qorv: Plain/: is there already and is not a folder\n");

    fs::create_directory (path ("Taken.syx"));
    const auto onFolder = runQorv (folder.root, {"convert", "Good.syx", "-o", "Taken.syx"});
    EXPECT_EQ (onFolder.status, 1);
    EXPECT_EQ (onFolder.err.rfind ("qorv: Taken.syx: ", 0), 0u) << onFolder.err;
}

TEST_F (ConvertTest, AnOutputThroughALinkIsWrittenWhereItLeadsOrRefusedWithTheLinkLeftAlone)
{
    writeBytes (path ("Good.syx"), dump (0x30, 0, 0, factory[0].patch.data));
    fs::create_directory (path ("media"));
    fs::create_symlink ("media/stick/Backup.106", path ("Unplugged.106")); // the stick is not mounted
    fs::create_symlink ("media/New.106", path ("Fresh.106"));              // the folder is there, the file not yet

    const auto unplugged = runQorv (folder.root, {"convert", "Good.syx", "-o", "Unplugged.106"});
    EXPECT_EQ (unplugged.status, 1);
    EXPECT_EQ (unplugged.err, "qorv: Unplugged.106: The folder media/stick does not exist.\n");
    EXPECT_TRUE (fs::is_symlink (path ("Unplugged.106")));
    EXPECT_EQ (fs::read_symlink (path ("Unplugged.106")), "media/stick/Backup.106");

    const auto fresh = runQorv (folder.root, {"convert", "Good.syx", "-o", "Fresh.106"});
    EXPECT_EQ (fresh.status, 0) << fresh.err;
    EXPECT_TRUE (fs::is_symlink (path ("Fresh.106")));
    EXPECT_EQ (namesOf (readLibrary (path ("media/New.106"))), std::vector<std::string>{"Good"});

    // Links that lead round in a circle are refused too.
    fs::create_symlink ("Loop2.106", path ("Loop1.106"));
    fs::create_symlink ("Loop1.106", path ("Loop2.106"));
    const auto loop = runQorv (folder.root, {"convert", "Good.syx", "-o", "Loop1.106"});
    EXPECT_EQ (loop.status, 1);
    EXPECT_EQ (loop.err, "qorv: Loop1.106: Too many levels of symbolic links\n");
}

TEST_F (ConvertTest, AFolderThatAnotherUserMayWriteButNotListIsExportedInto)
{
    writeLibrary (path ("Lib.106"), {named ("Brass", factory[0].patch.data), named ("Bass", factory[1].patch.data)});
    fs::create_directory (path ("drop box"));
    const bool root = ::geteuid() == 0;
    fs::permissions (folder.root, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions (path ("drop box"),
                     fs::perms::owner_write | fs::perms::owner_exec | fs::perms::group_write | fs::perms::group_exec |
                         fs::perms::others_write | fs::perms::others_exec);

    // As root, the export runs as nobody, for whom the folder's permissions count.
    QorvProcess run (folder.root,
                     root ? std::vector<std::string>{"--reuid=65534",
                                                     "--regid=65534",
                                                     "--clear-groups",
                                                     QORV_BINARY,
                                                     "convert",
                                                     "Lib.106",
                                                     "-o",
                                                     "drop box/"}
                          : std::vector<std::string>{"convert", "Lib.106", "-o", "drop box/"},
                     {},
                     root ? "/usr/bin/setpriv" : QORV_BINARY);
    const auto result = run.finish();
    fs::permissions (path ("drop box"), fs::perms::owner_all);
    EXPECT_EQ (result.status, 0) << result.err;
    EXPECT_EQ (result.err, "");
    EXPECT_EQ (result.out, "Wrote 2 files into drop box/\n");
    EXPECT_TRUE (fs::is_regular_file (path ("drop box/Brass.syx")));
    EXPECT_TRUE (fs::is_regular_file (path ("drop box/Bass.syx")));
}
} // namespace
