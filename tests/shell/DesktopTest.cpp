// The window as a desktop program: the unsaved-changes question, files given
// to the program or dropped on it, the library reopened at start and Open
// Recent, and the window kept on its display.

#include "PatchTestData.h"
#include "ShellFixture.h"
#include "files/QorvFileIO.h"
#include "files/SyxFileIO.h"

/** A window whose library has unsaved changes in a file of its own. */
class DesktopTest : public ShellTest
{
protected:
    DesktopTest()
    {
        EXPECT_TRUE (QorvFileIO::save (folder.path ("Mine.106"), libraryOf ("Mine", {patchNamed ("Bass", 1)})));
        EXPECT_TRUE (QorvFileIO::save (folder.path ("Strings.106"), libraryOf ("Strings", {patchNamed ("Cello", 30)})));
        EXPECT_TRUE (window->fileCommands.loadLibrary (path ("Mine.106")));
        session().newPatch(); // an unsaved change
    }

    juce::File file (const std::string& name) const { return juce::File (folder.path (name)); }
    std::string path (const std::string& name) const { return folder.path (name); }

    /** The library file on disk, read back. */
    std::vector<std::string> namesOnDisk (const std::string& name)
    {
        LibraryModel reread;
        EXPECT_TRUE (QorvFileIO::load (folder.path (name), reread));
        return namesOf (reread);
    }

    TempFolder folder;
};

TEST_F (DesktopTest, EveryWayToLoseTheLibraryAsksFirstAndEachAnswerDoesWhatItSays)
{
    struct Way
    {
        const char* what;
        std::function<void()> start;
        std::function<bool()> happened;
        const char* discardLabel;
    };
    const std::vector<Way> ways = {
        {"Quit from the menu",
         [this] { window->menuItemSelected (MainWindow::quitId, 0); },
         [this] { return quitRequests == 1; },
         "Quit without Saving"},
        {"the close button",
         [this] { window->closeButtonPressed(); },
         [this] { return quitRequests == 1; },
         "Quit without Saving"},
        {"Ctrl+Q",
         [this] { window->keyPressed (juce::KeyPress ('q', juce::ModifierKeys::ctrlModifier, 0)); },
         [this] { return quitRequests == 1; },
         "Quit without Saving"},
        {"New Library",
         [this] { window->menuItemSelected (MainWindow::newLibraryId, 0); },
         [this] { return session().currentFile().empty(); },
         "New without Saving"},
        {"a dropped library",
         [this]
         {
             auto* target = dynamic_cast<juce::FileDragAndDropTarget*> (window->getContentComponent());
             ASSERT_NE (target, nullptr);
             target->filesDropped ({file ("Strings.106").getFullPathName()}, 10, 10);
         },
         [this] { return session().library().name == "Strings"; },
         "Open without Saving"},
        {"Open Recent",
         [this] { window->menuItemSelected (MainWindow::firstRecentId, 0); },
         [this] { return session().library().name == "Mine" && !session().isModified(); },
         "Open without Saving"},
    };

    for (const auto& way : ways)
    {
        SCOPED_TRACE (way.what);
        for (const int answer : {FileCommands::cancelAction, FileCommands::discardChanges, FileCommands::saveFirst})
        {
            // Each round starts from the modified library in Mine.106.
            ASSERT_TRUE (window->fileCommands.loadLibrary (path ("Mine.106")));
            ASSERT_TRUE (QorvFileIO::save (folder.path ("Mine.106"), libraryOf ("Mine", {patchNamed ("Bass", 1)})));
            session().newPatch();
            saveQuestions.clear();
            quitRequests = 0;

            way.start();
            ASSERT_EQ (saveQuestions.size(), 1u);
            EXPECT_EQ (saveQuestions[0].title, "Save changes to \"Mine\" before closing?");
            EXPECT_EQ (saveQuestions[0].message, way.discardLabel);
            EXPECT_FALSE (way.happened()); // nothing before the answer

            answerSaveQuestion (answer);
            EXPECT_EQ (way.happened(), answer != FileCommands::cancelAction) << "answer " << answer;
            const std::vector<std::string> savedNames{"Bass", "Init"};
            if (answer == FileCommands::saveFirst)
                EXPECT_EQ (namesOnDisk ("Mine.106"), savedNames);
            else
                EXPECT_EQ (namesOnDisk ("Mine.106"), std::vector<std::string>{"Bass"});
        }
    }
}

TEST_F (DesktopTest, ASaveThatFailsOrIsCancelledCancelsTheActionToo)
{
    // Cancelled: a library without a file asks where to save, and the dialog is cancelled.
    window->fileCommands.newLibrary();
    answerSaveQuestion (FileCommands::discardChanges);
    session().newPatch();
    window->quitWhenAllowed();
    answerSaveQuestion (FileCommands::saveFirst);
    ASSERT_EQ (dialogs.size(), 1u);
    EXPECT_EQ (dialogs[0].title, "Save Library as");
    answerDialog ({});
    EXPECT_EQ (quitRequests, 0);
    EXPECT_TRUE (session().isModified());

    // Failed: the chosen place cannot be written.
    window->quitWhenAllowed();
    answerSaveQuestion (FileCommands::saveFirst);
    answerDialog ({path ("no such folder/Lost.106")});
    ASSERT_EQ (warnings.size(), 1u);
    EXPECT_EQ (warnings[0].title, "Save failed");
    EXPECT_EQ (quitRequests, 0);
    EXPECT_TRUE (session().isModified());
    EXPECT_EQ (session().library().patches.size(), 2u);
}

TEST_F (DesktopTest, NothingIsAskedWhenNothingIsUnsaved)
{
    session().librarySaved (folder.path ("Mine.106"));
    window->quitWhenAllowed();
    EXPECT_EQ (quitRequests, 1);
    EXPECT_TRUE (saveQuestions.empty());
}

TEST_F (DesktopTest, DroppedPatchFilesAreImportedAndOtherFilesRefused)
{
    ASSERT_TRUE (SyxFileIO::save (folder.path ("Warm Pad.syx"), patchNamed ("x", 5), 0));
    writeBytes (folder.path ("notes.txt"), {'h', 'i'});
    auto* target = dynamic_cast<juce::FileDragAndDropTarget*> (window->getContentComponent());
    ASSERT_NE (target, nullptr);
    EXPECT_TRUE (target->isInterestedInFileDrag ({file ("notes.txt").getFullPathName()}));

    target->filesDropped ({file ("Warm Pad.syx").getFullPathName(), file ("notes.txt").getFullPathName()}, 5, 5);
    EXPECT_EQ (namesOf (session().library()), (std::vector<std::string>{"Bass", "Init", "Warm Pad"}));
    EXPECT_EQ (panel().patchBar.statusLabel.getText(), "Not opened: notes.txt");
    EXPECT_TRUE (saveQuestions.empty()); // imports keep the library
}

TEST_F (DesktopTest, FilesGivenTogetherOpenTheLibraryThenImportIntoIt)
{
    ASSERT_TRUE (SyxFileIO::save (folder.path ("Lead.syx"), patchNamed ("x", 7), 0));
    session().librarySaved (folder.path ("Mine.106"));
    window->fileCommands.openFiles ({path ("Lead.syx"), path ("Strings.106"), path ("missing.106")});
    EXPECT_EQ (session().library().name, "Strings");
    EXPECT_EQ (namesOf (session().library()), (std::vector<std::string>{"Cello", "Lead"}));
    EXPECT_EQ (title(), "qorv - Strings *");
}

TEST_F (DesktopTest, TheLastLibraryIsReopenedAtStartUnlessItHasGone)
{
    session().librarySaved (folder.path ("Mine.106"));
    restart();
    window->reopenLastLibrary();
    EXPECT_EQ (session().currentFile(), folder.path ("Mine.106"));
    EXPECT_EQ (title(), "qorv - Mine");

    ASSERT_TRUE (file ("Mine.106").deleteFile());
    restart();
    window->reopenLastLibrary();
    window->showAtStart();
    EXPECT_TRUE (session().currentFile().empty());
    EXPECT_EQ (namesOf (session().library()), std::vector<std::string>{"Init"});
    EXPECT_EQ (panel().patchBar.statusLabel.getText(), "Not found: Mine");
}

TEST_F (DesktopTest, OpenRecentListsTenLibrariesNewestFirstGreysMissingOnesAndClears)
{
    for (int i = 0; i < 12; ++i)
    {
        const auto name = "Bank " + std::to_string (i) + ".106";
        ASSERT_TRUE (QorvFileIO::save (folder.path (name), libraryOf ("B", {patchNamed ("P", 1)})));
        window->fileCommands.saveLibraryAs (path (name));
    }
    ASSERT_TRUE (file ("Bank 10.106").deleteFile());
    restart(); // the list lives in the settings

    const auto recent = submenuOf (window->getMenuForIndex (0, "File"), "Open Recent");
    const auto entries = entriesOf (recent);
    ASSERT_EQ (entries.size(), 12u); // ten files, a separator, Clear Recent
    EXPECT_EQ (entries[0].id, MainWindow::firstRecentId);
    EXPECT_NE (entries[0].text.find ("Bank 11.106"), std::string::npos);
    EXPECT_NE (entries[9].text.find ("Bank 2.106"), std::string::npos);
    EXPECT_FALSE (entries[1].enabled); // Bank 10 has gone
    EXPECT_TRUE (entries[0].enabled);
    EXPECT_EQ (entries[11], menuItem (MainWindow::clearRecentId, "Clear Recent"));

    window->menuItemSelected (MainWindow::firstRecentId + 2, 0); // Bank 9
    EXPECT_EQ (session().currentFile(), folder.path ("Bank 9.106"));

    window->menuItemSelected (MainWindow::clearRecentId, 0);
    const auto cleared = entriesOf (submenuOf (window->getMenuForIndex (0, "File"), "Open Recent"));
    EXPECT_EQ (cleared,
               (std::vector<MenuEntry>{{MenuEntry::item, MainWindow::clearRecentId, "Clear Recent", false, false}}));
}

TEST_F (DesktopTest, QuittingClosesAnOpenDialogAndStopsHeldNotes)
{
    engine().openOutput (1);
    panel().performance.keyboard.isKeyDown = [] (int code) { return code == 'Z'; };
    panel().performance.keyboard.isCommandHeld = [] { return false; };
    panel().performance.keyboard.keyStateChanged (true);
    midi->clearSent();

    window->prepareToQuit();
    EXPECT_EQ (midi->sent, (std::vector<Bytes>{{0x80, 60, 60}}));

    window->activeWindowStatusChanged(); // the window is not active: nothing more to stop
    EXPECT_EQ (midi->sent.size(), 1u);
}
