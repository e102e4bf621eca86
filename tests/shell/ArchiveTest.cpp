// Real archives in the window: SysEx banks in and out, whole folders of
// patch files, and long file work that never freezes the window.

#include "FactoryPatches.h"
#include "PatchTestData.h"
#include "ShellFixture.h"
#include "files/QorvFileIO.h"
#include "files/SyxBank.h"
#include "files/SyxFileIO.h"

namespace
{

std::vector<PatchModel> factoryPatches()
{
    std::vector<PatchModel> patches;
    for (const auto& row : loadFactoryPatches())
        patches.push_back (row.patch);
    return patches;
}
} // namespace

class ArchiveTest : public ShellTest
{
protected:
    ArchiveTest()
    {
        LibraryModel empty;
        empty.patches.clear();
        session().openLibrary (empty, folder.path ("mine.106"));
    }

    FileCommands& commands() { return window->fileCommands; }
    juce::File file (const std::string& name) const { return juce::File (folder.path (name)); }
    std::string path (const std::string& name) const { return folder.path (name); }

    void waitForFileWork()
    {
        ASSERT_TRUE (pumpMessagesUntil ([this] { return !commands().isBusy(); }, 60000));
    }

    std::string status() { return panel().patchBar.statusLabel.getText().toStdString(); }

    TempFolder folder;
};

TEST_F (ArchiveTest, ALibraryExportedAsABankComesBackWithTheSameSoundsInTheSameOrder)
{
    const auto factory = factoryPatches();
    LibraryModel library;
    library.patches = factory;
    session().openLibrary (library, "");
    engine().setMidiChannel (5);

    window->menuItemSelected (MainWindow::exportBankId, 0);
    ASSERT_EQ (dialogs.size(), 1u);
    EXPECT_EQ (dialogs[0].title, "Export SysEx Bank");
    answerDialog ({path ("Factory.syx")});
    const auto image = readBytes (folder.path ("Factory.syx"));
    ASSERT_EQ (image.size(), 128u * 24u);
    EXPECT_EQ (image[3], 5) << "the dumps carry the menu's channel";
    EXPECT_EQ (image[24 + 4], 1) << "and consecutive patch numbers";

    // A bank that cannot be written says why, as every other writer does.
    window->menuItemSelected (MainWindow::exportBankId, 0);
    answerDialog ({path ("gone/Factory.syx")});
    ASSERT_EQ (warnings.size(), 1u);
    EXPECT_EQ (warnings[0].title, "Export failed");
    EXPECT_EQ (warnings[0].message,
               "Could not write this file:\n" + path ("gone/Factory.syx") + "\nThe folder " + path ("gone") +
                   " does not exist.");

    session().newLibrary();
    commands().importSysex ({path ("Factory.syx")});
    const auto& imported = session().library().patches;
    ASSERT_EQ (imported.size(), 129u); // the new library's Init and the bank
    for (size_t i = 0; i < factory.size(); ++i)
    {
        const std::string name = "Factory " + JunoMessages::patchNameFromNumber (static_cast<uint8_t> (i));
        const auto found =
            std::find_if (imported.begin(), imported.end(), [&] (const PatchModel& p) { return p.name == name; });
        ASSERT_NE (found, imported.end()) << name;
        EXPECT_TRUE (found->sameSound (factory[i])) << name;
    }
}

TEST_F (ArchiveTest, AFolderTreeIsImportedWithClashesRenamedAndUnreadableFilesNamed)
{
    const auto tree = file ("tree");
    ASSERT_TRUE (tree.getChildFile ("pads/warm").createDirectory());
    ASSERT_TRUE (
        SyxFileIO::save (tree.getChildFile ("Lead.syx").getFullPathName().toStdString(), patchNamed ("x", 1), 0));
    ASSERT_TRUE (SyxBank::save (tree.getChildFile ("pads/Bank.SYX").getFullPathName().toStdString(),
                                {patchNamed ("a", 2), patchNamed ("b", 3)},
                                0));
    LibraryModel clashing;
    clashing.patches = {patchNamed ("Lead", 4), patchNamed ("Other", 5)};
    ASSERT_TRUE (QorvFileIO::save (tree.getChildFile ("pads/warm/old.106").getFullPathName().toStdString(), clashing));
    writeBytes (tree.getChildFile ("pads/warm/broken.syx").getFullPathName().toStdString(), {0x01, 0x02});
    writeBytes (tree.getChildFile ("notes.txt").getFullPathName().toStdString(), {'x'}); // not a patch file: not read
    ASSERT_EQ (::symlink ("..", tree.getChildFile ("pads/loop").getFullPathName().toRawUTF8()), 0); // a loop of links

    window->menuItemSelected (MainWindow::importFolderId, 0);
    ASSERT_EQ (dialogs.size(), 1u);
    EXPECT_EQ (dialogs[0].flags,
               juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectDirectories);
    answerDialog ({pathOf (tree)});
    waitForFileWork();

    EXPECT_EQ (namesOf (session().library()),
               (std::vector<std::string>{"Bank A11", "Bank A12", "Lead", "Lead (1)", "Other"}));
    EXPECT_EQ (status(), "Imported 5 patches from 3 files, 1 unreadable");
    ASSERT_EQ (warnings.size(), 1u);
    EXPECT_EQ (warnings[0].message,
               "This file could not be read:\n" + pathOf (tree.getChildFile ("pads/warm/broken.syx")) +
                   ": holds no Juno-106 patch or manual dump");
    EXPECT_EQ (title(), "qorv - mine *");
}

TEST_F (ArchiveTest, ACancelledFolderImportKeepsWhatItHadReadAndSaysHowMuch)
{
    const auto tree = file ("big");
    ASSERT_TRUE (tree.createDirectory());
    LibraryModel hundred;
    for (int i = 0; i < 100; ++i)
        hundred.patches.push_back (patchNamed ("P" + std::to_string (i), static_cast<uint8_t> (i)));
    std::vector<uint8_t> image;
    ASSERT_TRUE (QorvFileIO::toBytes (hundred, image));
    const int files = 3000;
    for (int i = 0; i < files; ++i)
        writeBytes (tree.getChildFile ("lib" + std::to_string (i) + ".106").getFullPathName().toStdString(), image);

    commands().backgroundWork().windowDelayMs = 0;
    commands().importFolder (pathOf (tree));
    auto& work = commands().backgroundWork();
    ASSERT_TRUE (
        pumpMessagesUntil ([&work] { return work.progressWindow() != nullptr && work.fractionDone() > 0.01; }));
    work.progressWindow()->exitModalState (1); // Cancel
    waitForFileWork();

    const size_t kept = session().library().patches.size();
    EXPECT_GT (kept, 0u);
    EXPECT_LT (kept, static_cast<size_t> (files) * 100u);
    EXPECT_EQ (status().rfind ("Stopped: imported " + std::to_string (kept) + " patches from ", 0), 0u) << status();
}

TEST_F (ArchiveTest, QuittingStopsFileWorkWithoutTouchingTheLibrary)
{
    const auto tree = file ("many");
    ASSERT_TRUE (tree.createDirectory());
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE (SyxFileIO::save (
            tree.getChildFile (std::to_string (i) + ".syx").getFullPathName().toStdString(), patchNamed ("x", 1), 0));
    commands().importFolder (pathOf (tree));
    window->prepareToQuit();
    EXPECT_FALSE (commands().isBusy());
    ASSERT_TRUE (runPostedMessages());
    EXPECT_TRUE (session().library().patches.empty());
}
