#include "PatchTestData.h"
#include "ShellFixture.h"
#include "files/FileBytes.h"
#include "files/QorvFileIO.h"
#include "files/SyxFileIO.h"

#include <filesystem>
#include <sys/stat.h>

namespace
{
using Browser = juce::FileBrowserComponent;

juce::File fileAt (const TempFolder& folder, const std::string& name)
{
    return juce::File (folder.path (name));
}

std::string pathAt (const TempFolder& folder, const std::string& name)
{
    return folder.path (name);
}
} // namespace

/** The window with a known library on screen: two patches, the first active. */
class FileCommandsTest : public ShellTest
{
protected:
    FileCommandsTest()
    {
        engine().openOutput (1);
        session().openLibrary (libraryOf ("Mine", {patchNamed ("Init", 1), patchNamed ("Pad", 2)}),
                               folder.path ("mine.106"));
        EditSessionTestAccess::modified (session()) = true;
        EditSessionTestAccess::announce (session(), SessionChange::fileStateChanged);
        midi->clearSent();
    }

    FileCommands& commands() { return window->fileCommands; }

    /** How many rows the BANK list knows of since its last refresh: the rows it
        lets be selected. Changes the selection, so call it last. */
    int rowsShown()
    {
        auto& list = panel().bank.libraryList;
        int rows = 0;
        while (rows < 1000 && (list.showRow (rows), list.selectedRow() == rows))
            ++rows;
        return rows;
    }

    void writeLibrary (const std::string& fileName, const LibraryModel& library)
    {
        ASSERT_TRUE (QorvFileIO::save (folder.path (fileName), library));
    }

    /** What every command that fails or is cancelled must leave as it was. */
    struct Snapshot
    {
        std::vector<std::string> names;
        std::vector<std::array<uint8_t, PatchBits::numBytes>> sounds;
        std::string libraryName, currentFile, title, activeName;
        std::array<uint8_t, PatchBits::numBytes> activeSound;
        bool modified;
        size_t undoSteps;

        bool operator== (const Snapshot& o) const
        {
            return names == o.names && sounds == o.sounds && libraryName == o.libraryName &&
                   currentFile == o.currentFile && title == o.title && activeName == o.activeName &&
                   activeSound == o.activeSound && modified == o.modified && undoSteps == o.undoSteps;
        }
    };

    Snapshot snapshot()
    {
        auto& p = panel();
        Snapshot s{namesOf (p.session().library()),
                   {},
                   p.session().library().name,
                   p.session().currentFile(),
                   title(),
                   p.session().activePatch().name,
                   p.session().activePatch().data,
                   p.session().isModified(),
                   p.session().history().size()};
        for (const auto& each : p.session().library().patches)
            s.sounds.push_back (each.data);
        return s;
    }

    TempFolder folder;
};

TEST_F (FileCommandsTest, EachFileItemOpensItsDialog)
{
    const auto documents = pathOf (juce::File::getSpecialLocation (juce::File::userDocumentsDirectory));
    EditSessionTestAccess::currentFile (session()).clear();
    EditSessionTestAccess::active (session()).name = "Brass 1";

    struct Case
    {
        int id;
        std::string title;
        std::string initialPath;
        std::string pattern;
        int flags;
    };
    const Case cases[] = {
        {11, "Load Library", {}, "*.106", Browser::openMode | Browser::canSelectFiles},
        {12, "Save Library as", documents + "/Mine.106", "*.106", Browser::saveMode | Browser::canSelectFiles},
        {13, "Save Library as", documents + "/Mine.106", "*.106", Browser::saveMode | Browser::canSelectFiles},
        {20,
         "Import Sysex",
         {},
         "*.syx",
         Browser::openMode | Browser::canSelectFiles | Browser::canSelectMultipleItems},
        {21, "Import JEP", {}, "*.jep", Browser::openMode | Browser::canSelectFiles | Browser::canSelectMultipleItems},
        {22, "Merge from Library", {}, "*.106", Browser::openMode | Browser::canSelectFiles},
        {30, "Export Sysex", documents + "/Brass 1.syx", "*.syx", Browser::saveMode | Browser::canSelectFiles},
        {31, "Export All Patches as .syx", documents, "", Browser::openMode | Browser::canSelectDirectories},
    };
    for (const auto& c : cases)
    {
        dialogs.clear();
        window->menuItemSelected (c.id, 0);
        ASSERT_EQ (dialogs.size(), 1u) << c.id;
        EXPECT_EQ (dialogs[0].title.toStdString(), c.title) << c.id;
        EXPECT_EQ (dialogs[0].initialPath, c.initialPath) << c.id;
        EXPECT_EQ (dialogs[0].pattern.toStdString(), c.pattern) << c.id;
        EXPECT_EQ (dialogs[0].flags, c.flags) << c.id;
    }

    // With a current file, Save as proposes it, and Save writes to it without asking.
    EditSessionTestAccess::currentFile (session()) = folder.path ("mine.106");
    dialogs.clear();
    window->menuItemSelected (13, 0);
    ASSERT_EQ (dialogs.size(), 1u);
    EXPECT_EQ (dialogs[0].initialPath, pathAt (folder, "mine.106"));
    dialogs.clear();
    window->menuItemSelected (12, 0);
    EXPECT_TRUE (dialogs.empty());
    EXPECT_TRUE (fileAt (folder, "mine.106").existsAsFile());
}

TEST_F (FileCommandsTest, CancelledDialogsChangeNothing)
{
    EditSessionTestAccess::currentFile (session()).clear();
    const auto before = snapshot();
    for (const int id : {11, 12, 13, 20, 21, 22, 30, 31})
    {
        dialogs.clear();
        window->menuItemSelected (id, 0);
        ASSERT_EQ (dialogs.size(), 1u) << id;
        answerDialog ({}); // what a cancelled dialog hands back
        EXPECT_EQ (snapshot(), before) << id;
    }
    EXPECT_TRUE (warnings.empty());
    EXPECT_TRUE (questions.empty());
    EXPECT_TRUE (midi->sent.empty());
    EXPECT_TRUE (folder.entries().empty());
}

TEST_F (FileCommandsTest, NewLibraryAsksAboutUnsavedChangesThenReplacesEverything)
{
    session().beginFaderGesture();
    window->menuItemSelected (10, 0);
    ASSERT_EQ (saveQuestions.size(), 1u);
    EXPECT_EQ (saveQuestions[0].title, "Save changes to \"mine\" before closing?");
    EXPECT_EQ (saveQuestions[0].message, "New without Saving");
    EXPECT_EQ (session().library().name, "Mine"); // nothing happens before the answer
    answerSaveQuestion (FileCommands::discardChanges);

    auto& p = panel();
    EXPECT_EQ (namesOf (p.session().library()), std::vector<std::string>{"Init"});
    EXPECT_TRUE (p.session().library().patches[0].sameSound (PatchModel()));
    EXPECT_EQ (p.session().library().name, "New Library");
    EXPECT_EQ (p.bank.libraryList.selectedRow(), 0);
    EXPECT_EQ (p.patchBar.statusLabel.getText(), "New Library");
    EXPECT_EQ (title(), "qorv - New Library");
    EXPECT_TRUE (p.session().currentFile().empty());
    EXPECT_FALSE (p.session().isModified());
    EXPECT_TRUE (p.session().activePatch().sameSound (PatchModel()));
    EXPECT_EQ (p.patchBar.activePatchLabel.getText(), "Init");
    EXPECT_FALSE (p.session().history().canUndo());
    EXPECT_FALSE (p.bank.eraseBtn.isEnabledState());
    EXPECT_EQ (sentDumps(), std::vector<Bytes>{dumpOf (PatchModel())});
}

TEST_F (FileCommandsTest, LoadingALibraryShowsItAndMakesItsFirstPatchActive)
{
    writeLibrary ("Strings.106", libraryOf ("Strings", {patchNamed ("Cello", 30), patchNamed ("Viola", 31)}));
    session().beginFaderGesture();

    window->menuItemSelected (11, 0);
    answerDialog ({pathAt (folder, "Strings.106")});
    ASSERT_EQ (saveQuestions.size(), 1u); // the file is chosen first, then the changes are asked about
    EXPECT_EQ (saveQuestions[0].message, "Open without Saving");
    answerSaveQuestion (FileCommands::discardChanges);

    auto& p = panel();
    EXPECT_EQ (p.session().library().name, "Strings");
    EXPECT_EQ (namesOf (p.session().library()), (std::vector<std::string>{"Cello", "Viola"}));
    EXPECT_EQ (p.bank.libraryList.selectedRow(), 0);
    EXPECT_EQ (p.session().activePatch().name, "Cello");
    EXPECT_EQ (p.session().activePatch().data[0], 30);
    EXPECT_FALSE (p.session().history().canUndo());
    EXPECT_EQ (p.patchBar.statusLabel.getText(), "Strings");
    EXPECT_EQ (p.session().currentFile(), folder.path ("Strings.106"));
    EXPECT_EQ (title(), "qorv - Strings");
    EXPECT_FALSE (p.bank.eraseBtn.isEnabledState());
    EXPECT_EQ (sentDumps(), std::vector<Bytes>{dumpOf (p.session().activePatch())});
    EXPECT_TRUE (warnings.empty());
    EXPECT_EQ (rowsShown(), 2);
}

TEST_F (FileCommandsTest, LoadingAnEmptyLibraryKeepsTheActivePatch)
{
    writeLibrary ("Empty.106", libraryOf ("Empty", {}));
    session().beginFaderGesture();
    const auto active = panel().session().activePatch();

    commands().loadLibrary (pathAt (folder, "Empty.106"));

    auto& p = panel();
    EXPECT_TRUE (p.session().library().patches.empty());
    EXPECT_EQ (rowsShown(), 0);
    EXPECT_EQ (title(), "qorv - Empty");
    EXPECT_EQ (p.session().activePatch().name, active.name);
    EXPECT_TRUE (p.session().activePatch().sameSound (active));
    EXPECT_EQ (p.session().history().size(), 1u);
    EXPECT_TRUE (midi->sent.empty());
}

TEST_F (FileCommandsTest, ALibraryThatCannotBeReadIsNamedWithWhyAndChangesNothing)
{
    const auto before = snapshot();
    ASSERT_TRUE (fileAt (folder, "notes.106").replaceWithText ("shopping list"));
    writeLibrary ("Good.106", libraryOf ("Good", {patchNamed ("Lead", 3), patchNamed ("Pad", 4)}));
    const auto good = readBytes (folder.path ("Good.106"));
    writeBytes (folder.path ("cut.106"), Bytes (good.begin(), good.end() - 5));
    auto damaged = good;
    damaged[damaged.size() - 20] ^= 0x01; // inside the last record
    writeBytes (folder.path ("damaged.106"), damaged);
    ASSERT_TRUE (fileAt (folder, "folder.106").createDirectory());
    ASSERT_EQ (::mkfifo (folder.path ("pipe.106").c_str(), 0644), 0);
    writeBytes (folder.path ("huge.106"), good);
    std::filesystem::resize_file (folder.path ("huge.106"), FileBytes::maxFileSize + 1);

    const std::pair<const char*, std::string> cases[] = {
        {"gone.106", "No such file or directory"},
        {"folder.106", "is a folder, not a file"},
        {"pipe.106", "is not a regular file"},
        {"huge.106", "is larger than 256 MB, more than any patch file"},
        {"notes.106", "is not a Qorv library (.106)"},
        {"cut.106", "is a damaged Qorv library: patch 2 of 2 is cut short"},
        {"damaged.106", "is a damaged Qorv library: patch 2 of 2 fails its check"},
    };
    for (const auto& [name, why] : cases)
    {
        const std::string expected = "Could not read library file.\n" + folder.path (name) + ": " + why;
        warnings.clear();
        commands().loadLibrary (pathAt (folder, name));
        ASSERT_EQ (warnings.size(), 1u) << name;
        EXPECT_EQ (warnings[0].title, "Load failed");
        EXPECT_EQ (warnings[0].message, expected);
        EXPECT_EQ (snapshot(), before) << name;

        warnings.clear();
        commands().mergeLibrary (pathAt (folder, name));
        ASSERT_EQ (warnings.size(), 1u) << name;
        EXPECT_EQ (warnings[0].title, "Merge failed");
        EXPECT_EQ (warnings[0].message, expected);
        EXPECT_EQ (snapshot(), before) << name;
    }
}

TEST_F (FileCommandsTest, SavingWritesTheLibraryAndClearsTheMark)
{
    EditSessionTestAccess::currentFile (session()).clear();
    commands().saveLibraryAs (pathAt (folder, "Saved")); // no extension is added
    auto& p = panel();
    EXPECT_EQ (p.session().currentFile(), folder.path ("Saved"));
    EXPECT_FALSE (p.session().isModified());
    EXPECT_EQ (title(), "qorv - Saved");

    LibraryModel reread;
    ASSERT_TRUE (QorvFileIO::load (folder.path ("Saved"), reread));
    EXPECT_EQ (reread.name, "Mine");
    EXPECT_EQ (namesOf (reread), namesOf (p.session().library()));

    // Save (12) writes to the current file.
    EditSessionTestAccess::library (session()).addPatch (patchNamed ("Bass", 9));
    EditSessionTestAccess::modified (session()) = true;
    window->menuItemSelected (12, 0);
    ASSERT_TRUE (QorvFileIO::load (folder.path ("Saved"), reread));
    EXPECT_EQ (namesOf (reread), (std::vector<std::string>{"Bass", "Init", "Pad"}));
    EXPECT_FALSE (p.session().isModified());
    EXPECT_TRUE (warnings.empty());
}

TEST_F (FileCommandsTest, AFailedSaveWarnsAndKeepsTheLibraryMarked)
{
    ASSERT_TRUE (fileAt (folder, "taken.106").createDirectory());
    const auto unwritable = {pathAt (folder, "no/such/folder/lib.106"), pathAt (folder, "taken.106")};
    for (const auto& target : unwritable)
    {
        warnings.clear();
        const auto before = snapshot();
        commands().saveLibraryAs (target);
        ASSERT_EQ (warnings.size(), 1u);
        EXPECT_EQ (warnings[0].title, "Save failed");
        EXPECT_NE (warnings[0].message.find (target), std::string::npos);
        EXPECT_EQ (snapshot(), before) << "the library stays marked and keeps its file";
    }

    // Save to a current file that can no longer be written.
    EditSessionTestAccess::currentFile (session()) = folder.path ("taken.106");
    EditSessionTestAccess::announce (session(), SessionChange::fileStateChanged);
    warnings.clear();
    window->menuItemSelected (12, 0);
    ASSERT_EQ (warnings.size(), 1u);
    EXPECT_EQ (warnings[0].title, "Save failed");
    EXPECT_TRUE (panel().session().isModified());
    EXPECT_EQ (title(), "qorv - taken *");
}

TEST_F (FileCommandsTest, ImportingThreeSysexFilesOfWhichOneIsBad)
{
    ASSERT_TRUE (SyxFileIO::save (folder.path ("Brass.syx"), patchNamed ("x", 40), 0));
    ASSERT_TRUE (fileAt (folder, "Broken.syx").replaceWithText ("not a patch dump"));
    ASSERT_TRUE (SyxFileIO::save (folder.path ("Init.syx"), patchNamed ("x", 41), 5));
    const auto before = snapshot();

    window->menuItemSelected (20, 0);
    answerDialog ({pathAt (folder, "Brass.syx"), pathAt (folder, "Broken.syx"), pathAt (folder, "Init.syx")});

    auto& p = panel();
    EXPECT_EQ (namesOf (p.session().library()), (std::vector<std::string>{"Brass", "Init", "Init (1)", "Pad"}));
    EXPECT_EQ (p.session().library().patches[0].data[0], 40);
    EXPECT_EQ (p.session().library().patches[2].data[0], 41);
    EXPECT_EQ (rowsShown(), 4);
    ASSERT_EQ (warnings.size(), 1u); // the others still came in
    EXPECT_EQ (warnings[0].title, "Import failed");
    EXPECT_EQ (warnings[0].message,
               "Could not open this file:\n" + folder.path ("Broken.syx") + ": holds no Juno-106 patch or manual dump");
    EXPECT_EQ (title(), before.title);
    EXPECT_EQ (p.session().isModified(), before.modified);
    EXPECT_EQ (p.session().activePatch().name, before.activeName);
    EXPECT_EQ (p.session().currentFile(), before.currentFile);
}

TEST_F (FileCommandsTest, ImportingPresets)
{
    const std::string preset = "<preset>\n  <sysexData>\n    <data>AAAAAAB/AAAAAH8AAAAAACoZ</data>\n"
                               "  </sysexData>\n</preset>\n";
    ASSERT_TRUE (fileAt (folder, "Warm Pad.jep").replaceWithText (preset));
    ASSERT_TRUE (fileAt (folder, "Empty.jep").replaceWithText ("<preset/>"));

    window->menuItemSelected (21, 0);
    answerDialog ({pathAt (folder, "Empty.jep"), pathAt (folder, "Warm Pad.jep")});

    EXPECT_EQ (namesOf (panel().session().library()), (std::vector<std::string>{"Init", "Pad", "Warm Pad"}));
    const auto& imported = panel().session().library().patches[2];
    EXPECT_EQ (imported.data[5], 127);
    EXPECT_EQ (imported.data[16], 0x2A);
    ASSERT_EQ (warnings.size(), 1u);
    EXPECT_EQ (warnings[0].message,
               "Could not open this file:\n" + folder.path ("Empty.jep") + ": holds no Juno Editor preset data");
}

struct MergeCase
{
    int choice;
    std::vector<std::string> names;
    uint8_t initSound; // the sound of the library's "Init" afterwards
};

void PrintTo (const MergeCase& c, std::ostream* out)
{
    *out << "answer " << c.choice;
}

class MergeChoiceTest : public FileCommandsTest, public ::testing::WithParamInterface<MergeCase>
{
};

TEST_P (MergeChoiceTest, EveryAnswerResolvesTheClashesItsOwnWay)
{
    // "Init" clashes; "Lead" does not; the second "Init" clashes with the first
    // one once that one is in.
    writeLibrary ("Other.106", libraryOf ("Other", {patchNamed ("Init", 50), patchNamed ("Lead", 51)}));
    const auto before = snapshot();

    window->menuItemSelected (22, 0);
    answerDialog ({pathAt (folder, "Other.106")});
    ASSERT_EQ (questions.size(), 1u);
    EXPECT_EQ (questions[0].title, "Merge from Other (2 patches)");
    EXPECT_EQ (questions[0].message, "1 name conflicts found. How to handle duplicates?");
    EXPECT_EQ (snapshot(), before) << "nothing changes before the answer";

    answerQuestion (GetParam().choice);
    auto& p = panel();
    EXPECT_EQ (namesOf (p.session().library()), GetParam().names);
    EXPECT_EQ (p.session().library().patches[0].data[0], GetParam().initSound);
    EXPECT_EQ (rowsShown(), static_cast<int> (GetParam().names.size()));
    EXPECT_EQ (title(), before.title);
    EXPECT_EQ (p.session().isModified(), before.modified);
    EXPECT_EQ (p.session().activePatch().name, before.activeName);
    EXPECT_TRUE (p.session().activePatch().data == before.activeSound);
}

INSTANTIATE_TEST_SUITE_P (Answers,
                          MergeChoiceTest,
                          ::testing::Values (MergeCase{0, {"Init", "Pad"}, 1},
                                             MergeCase{1, {"Init", "Init (1)", "Lead", "Pad"}, 1},
                                             MergeCase{2, {"Init", "Lead", "Pad"}, 50},
                                             MergeCase{3, {"Init", "Lead", "Pad"}, 1}));

TEST_F (FileCommandsTest, MergeWalksTheLibraryAsItGrows)
{
    // The second "Lead" clashes only with the first, added earlier in the same walk.
    commands().applyMerge (libraryOf ("Other", {patchNamed ("Lead", 60), patchNamed ("Lead", 61)}),
                           FileCommands::overwrite);
    EXPECT_EQ (namesOf (panel().session().library()), (std::vector<std::string>{"Init", "Lead", "Pad"}));
    EXPECT_EQ (panel().session().library().patches[1].data[0], 61);

    commands().applyMerge (libraryOf ("Other", {patchNamed ("Lead", 62), patchNamed ("Lead", 63)}),
                           FileCommands::autoRename);
    EXPECT_EQ (namesOf (panel().session().library()),
               (std::vector<std::string>{"Init", "Lead", "Lead (1)", "Lead (2)", "Pad"}));
}

TEST_F (FileCommandsTest, MergeWithoutClashesOrPatchesAsksNothing)
{
    writeLibrary ("Fresh.106", libraryOf ("Fresh", {patchNamed ("Lead", 51), patchNamed ("Bass", 52)}));
    writeLibrary ("Empty.106", libraryOf ("Empty", {}));

    commands().mergeLibrary (pathAt (folder, "Empty.106"));
    commands().mergeLibrary (pathAt (folder, "Fresh.106"));
    EXPECT_TRUE (questions.empty());
    EXPECT_EQ (namesOf (panel().session().library()), (std::vector<std::string>{"Bass", "Init", "Lead", "Pad"}));
    EXPECT_TRUE (warnings.empty());
}

TEST_F (FileCommandsTest, MergeQuestionIsAModalAlertWithFourAnswers)
{
    commands().askMergeChoice = FileCommands::showMergeQuestion; // the real alert
    writeLibrary ("Other.106", libraryOf ("Other", {patchNamed ("Pad", 70)}));

    commands().mergeLibrary (pathAt (folder, "Other.106"));
    auto* alert = dynamic_cast<juce::AlertWindow*> (juce::Component::getCurrentlyModalComponent());
    ASSERT_NE (alert, nullptr);
    EXPECT_EQ (alert->getName(), "Merge from Other (1 patches)");
    ASSERT_EQ (alert->getNumButtons(), 4);
    std::vector<std::string> labels;
    for (auto* child : alert->getChildren())
        if (auto* button = dynamic_cast<juce::TextButton*> (child))
            labels.push_back (button->getButtonText().toStdString());
    EXPECT_EQ (labels, (std::vector<std::string>{"Auto-rename", "Overwrite", "Discard", "Cancel"}));

    alert->triggerButtonClick ("Overwrite");
    EXPECT_TRUE (pumpMessagesUntil ([] { return juce::Component::getCurrentlyModalComponent() == nullptr; }));
    ASSERT_TRUE (runPostedMessages());
    EXPECT_EQ (namesOf (panel().session().library()), (std::vector<std::string>{"Init", "Pad"}));
    EXPECT_EQ (panel().session().library().patches[1].data[0], 70)
        << "Overwrite gave the existing patch the incoming sound";
}

TEST_F (FileCommandsTest, ExportingTheActivePatch)
{
    EditSessionTestAccess::active (session()).data[3] = 99; // edited, not stored: the active patch is what goes out
    commands().exportActivePatch (pathAt (folder, "out.syx"));
    const auto d = SyxFileIO::build (panel().session().activePatch(), 0);
    EXPECT_EQ (readBytes (folder.path ("out.syx")), Bytes (d.begin(), d.end()));

    commands().exportActivePatch (pathAt (folder, "missing/out.syx"));
    ASSERT_EQ (warnings.size(), 1u);
    EXPECT_EQ (warnings[0].title, "Export failed");
    EXPECT_NE (warnings[0].message.find (folder.path ("missing/out.syx")), std::string::npos);

    // A refusal made before touching the disk says why, and names the patch.
    warnings.clear();
    EditSessionTestAccess::active (session()).name = "Brass 3";
    EditSessionTestAccess::active (session()).data[4] = 200;
    commands().exportActivePatch (pathAt (folder, "loud.syx"));
    ASSERT_EQ (warnings.size(), 1u);
    EXPECT_NE (warnings[0].message.find ("Patch \"Brass 3\" holds a value above 127"), std::string::npos)
        << warnings[0].message;
    EXPECT_FALSE (fileAt (folder, "loud.syx").exists());
}

TEST_F (FileCommandsTest, ExportAllKeepsHostileNamesInsideTheFolder)
{
    EditSessionTestAccess::library (session()).patches = {patchNamed ("../../escape", 1),
                                                          patchNamed ("a/b", 2),
                                                          patchNamed ("~root", 3),
                                                          patchNamed ("", 4),
                                                          patchNamed ("..", 5),
                                                          patchNamed ("Tab\there", 6),
                                                          patchNamed ("Good", 7),
                                                          patchNamed ("Good", 8)};
    const auto out = fileAt (folder, "deep/out");
    ASSERT_TRUE (out.createDirectory());

    window->menuItemSelected (31, 0);
    answerDialog ({pathOf (out)});
    ASSERT_TRUE (
        pumpMessagesUntil ([this] { return !commands().isBusy(); })); // the files are written off the message thread

    std::vector<std::string> written;
    for (const auto& f : out.findChildFiles (juce::File::findFilesAndDirectories, false))
    {
        written.push_back (f.getFileName().toStdString());
        EXPECT_EQ (f.getSize(), 24) << f.getFileName();
    }
    std::sort (written.begin(), written.end());
    // "" and ".." both become "Untitled", and the second of two equal names gets " (2)": nothing is lost.
    EXPECT_EQ (written,
               (std::vector<std::string>{"Good (2).syx",
                                         "Good.syx",
                                         "Tabhere.syx",
                                         "Untitled (2).syx",
                                         "Untitled.syx",
                                         "ab.syx",
                                         "escape.syx",
                                         "~root.syx"}));
    EXPECT_EQ (folder.entries(), std::vector<std::string>{"deep"});
    EXPECT_EQ (fileAt (folder, "deep").getNumberOfChildFiles (juce::File::findFilesAndDirectories), 1);

    for (const auto& [name, firstByte] :
         std::vector<std::pair<const char*, uint8_t>>{{"Good.syx", 7}, {"Good (2).syx", 8}})
    {
        PatchModel reread;
        ASSERT_TRUE (SyxFileIO::load (out.getChildFile (name).getFullPathName().toStdString(), reread));
        EXPECT_EQ (reread.data[0], firstByte) << name;
    }
    EXPECT_EQ (panel().patchBar.statusLabel.getText(), "Exported 8 files");
    EXPECT_TRUE (warnings.empty());
}

TEST_F (FileCommandsTest, ExportAllReportsTheFilesItCouldNotWrite)
{
    const auto out = fileAt (folder, "out");
    ASSERT_TRUE (out.getChildFile ("Pad.syx").createDirectory()); // stands in the way of one file

    commands().exportAllPatches (pathOf (out));
    ASSERT_TRUE (pumpMessagesUntil ([this] { return !commands().isBusy(); }));
    EXPECT_EQ (out.getChildFile ("Init.syx").getSize(), 24);
    ASSERT_EQ (warnings.size(), 1u);
    EXPECT_EQ (warnings[0].title, "Export failed");
    EXPECT_NE (warnings[0].message.find (out.getChildFile ("Pad.syx").getFullPathName().toStdString()),
               std::string::npos);
    EXPECT_EQ (warnings[0].message.find ("Init.syx"), std::string::npos);

    // Not a folder: nothing is written and nothing said.
    warnings.clear();
    commands().exportAllPatches (pathOf (out.getChildFile ("Init.syx")));
    EXPECT_TRUE (warnings.empty());
}
