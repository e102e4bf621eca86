// The window from one start to the next: work kept when the session ends
// under it, the active patch as it was, what start-up says, and files whose
// names are not text (Latin-1, a line break) opened, saved and remembered by
// their exact bytes.

#include "PatchTestData.h"
#include "ShellFixture.h"
#include "files/QorvFileIO.h"
#include "files/SyxFileIO.h"

#include <filesystem>
#include <sys/stat.h>

namespace
{
bool exists (const std::string& path)
{
    struct stat info;
    return ::lstat (path.c_str(), &info) == 0;
}
} // namespace

class StartUpTest : public ShellTest
{
protected:
    StartUpTest()
    {
        EXPECT_TRUE (QorvFileIO::save (path ("Strings.106"),
                                       libraryOf ("Strings", {patchNamed ("Cello", 30), patchNamed ("Viola", 31)})));
    }

    std::string path (const std::string& name) const { return folder.path (name); }
    std::string keptLibrary() const { return configHome.path ("org.qorv.Qorv/recovery.106"); }

    /** A start-up as the program makes it, on the settings the last one left. */
    void startAgain (const std::vector<std::string>& files = {})
    {
        closeWindow();
        openWindow ({}, {{"", "Out", 7}});
        auto record = window->fileCommands.showWarning;
        window->fileCommands.showWarning = [this, record] (const juce::String& title, const juce::String& message)
        {
            warnedWhileShowing.push_back (window->isShowing());
            record (title, message);
        };
        window->loadState();
        engine().openOutput (7);
        window->start (files);
    }

    std::string status() { return panel().patchBar.statusLabel.getText().toStdString(); }

    TempFolder folder;
    /** For each warning since startAgain, whether the window was on the screen to stand behind it. */
    std::vector<bool> warnedWhileShowing;
};

TEST_F (StartUpTest, ChangesKeptWhenTheSessionEndedAreOfferedAndRecoveredUnderTheirOwnFile)
{
    const auto original = readBytes (path ("Strings.106"));
    window->fileCommands.openFiles ({path ("Strings.106")});
    session().newPatch();
    const auto unsaved = session().library();

    window->endSessionNow();
    EXPECT_EQ (quitRequests, 1) << "nothing is asked";
    EXPECT_TRUE (saveQuestions.empty());
    EXPECT_EQ (readBytes (path ("Strings.106")), original) << "the library's own file is never written over";
    ASSERT_TRUE (exists (keptLibrary()));

    startAgain();
    ASSERT_EQ (recoverQuestions, std::vector<std::string>{"Recover unsaved changes to \"Strings\"?"});
    EXPECT_EQ (title(), "qorv - New Library") << "nothing opens before the answer";
    answerRecoverQuestion (FileCommands::recover);
    EXPECT_EQ (namesOf (session().library()), namesOf (unsaved));
    EXPECT_EQ (session().currentFile(), path ("Strings.106"));
    EXPECT_TRUE (session().isModified());
    EXPECT_EQ (title(), "qorv - Strings *");
    EXPECT_FALSE (exists (keptLibrary()));

    // Saved, it is exactly the library that was kept.
    window->fileCommands.saveLibrary();
    LibraryModel saved;
    ASSERT_TRUE (QorvFileIO::load (path ("Strings.106"), saved));
    EXPECT_EQ (namesOf (saved), namesOf (unsaved));
}

TEST_F (StartUpTest, KeptChangesAreGivenUpOnlyWhenAskedAndANewLibraryIsOfferedByThatName)
{
    session().newPatch(); // a New Library, never saved
    window->endSessionNow();
    ASSERT_TRUE (exists (keptLibrary()));

    // Closing the question answers nothing: the changes wait for the next start.
    startAgain();
    ASSERT_EQ (recoverQuestions, std::vector<std::string>{"Recover unsaved changes to \"New Library\"?"});
    answerRecoverQuestion (FileCommands::askAgainLater);
    EXPECT_TRUE (exists (keptLibrary()));
    EXPECT_EQ (session().library().patches.size(), 1u);

    recoverQuestions.clear();
    startAgain();
    ASSERT_EQ (recoverQuestions.size(), 1u);
    answerRecoverQuestion (FileCommands::discardRecovered);
    EXPECT_FALSE (exists (keptLibrary()));
    EXPECT_FALSE (session().isModified());

    // Without unsaved changes nothing is kept, and the next start asks nothing.
    window->endSessionNow();
    EXPECT_FALSE (exists (keptLibrary()));
    recoverQuestions.clear();
    startAgain();
    EXPECT_TRUE (recoverQuestions.empty());
}

TEST_F (StartUpTest, ASessionEndedWhileTheQuestionWaitsLeavesTheLastSessionsWorkAsItWas)
{
    window->fileCommands.openFiles ({path ("Strings.106")});
    session().activateRow (1);
    session().setLevel (5, 99);
    session().newPatch();
    window->endSessionNow();
    const auto settingsBefore = settingsFile().loadFileAsString();
    const auto keptBefore = readBytes (keptLibrary());

    // A logout while the question waits: nothing was opened, so nothing of it is written.
    startAgain();
    ASSERT_EQ (recoverQuestions.size(), 1u);
    window->endSessionNow();
    EXPECT_EQ (readBytes (keptLibrary()), keptBefore);
    const auto settingsAfter = settingsFile().loadFileAsString();
    for (const char* key : {"LAST_LIBRARY", "ACTIVE_PATCH", "STORED_PATCH"})
    {
        const auto valueIn = [key] (const juce::String& text)
        {
            return text.fromFirstOccurrenceOf ("name=\"" + juce::String (key) + "\"", false, false)
                .upToFirstOccurrenceOf ("/>", false, false);
        };
        EXPECT_EQ (valueIn (settingsAfter), valueIn (settingsBefore)) << key;
    }

    // Discarded at the next start, the library the last session had open opens, with its patch as it was.
    recoverQuestions.clear();
    startAgain();
    ASSERT_EQ (recoverQuestions.size(), 1u);
    answerRecoverQuestion (FileCommands::discardRecovered);
    EXPECT_EQ (session().currentFile(), path ("Strings.106"));
    EXPECT_EQ (session().activePatch().name, "Viola");
    EXPECT_EQ (session().activePatch().data[5], 99);
}

TEST_F (StartUpTest, ChangesThatCouldNotBeKeptAreSaidOnceAtTheNextStart)
{
    // Every place a library could be kept is taken by something else.
    SessionRecovery places (configHome.path ("org.qorv.Qorv"));
    for (int slot = 1; slot <= SessionRecovery::maxSlots; ++slot)
        std::filesystem::create_directories (places.libraryPathOf (slot));
    session().newPatch();
    window->endSessionNow();

    warnings.clear();
    startAgain();
    ASSERT_EQ (warnings.size(), 1u);
    EXPECT_EQ (warnings[0].title, "Unsaved changes lost");
    EXPECT_NE (warnings[0].message.find ("kept libraries waiting"), std::string::npos) << warnings[0].message;
    EXPECT_TRUE (recoverQuestions.empty());
    warnings.clear();
    startAgain();
    EXPECT_TRUE (warnings.empty()) << "said once";
}

TEST_F (StartUpTest, TheActivePatchAndItsStoredVersionComeBackUnlessALibraryIsGiven)
{
    window->fileCommands.openFiles ({path ("Strings.106")});
    session().activateRow (1);  // Viola
    session().setLevel (5, 99); // an edit not stored with SAVE
    ASSERT_TRUE (session().differsFromStored());

    window->saveState();
    startAgain();
    EXPECT_EQ (session().currentFile(), path ("Strings.106"));
    EXPECT_EQ (session().activePatch().name, "Viola");
    EXPECT_EQ (session().activePatch().data[5], 99);
    EXPECT_EQ (session().storedPatch().data[5], patchNamed ("Viola", 31).data[5]);
    EXPECT_TRUE (panel().patchBar.changedInd.isLit());
    ASSERT_FALSE (sentDumps().empty());
    EXPECT_EQ (sentDumps().back(), dumpOf (session().activePatch())) << "and it sounds";

    // A library asked for by name opens as Load Library opens it: its first patch active.
    window->saveState();
    startAgain ({path ("Strings.106")});
    EXPECT_EQ (session().activePatch().name, "Cello");
    EXPECT_FALSE (session().differsFromStored());
}

TEST_F (StartUpTest, EveryStartUpNoticeIsShownForTwoSecondsInTurn)
{
    writeBytes (path ("notes.txt"), {'h', 'i'});
    closeWindow();
    ASSERT_TRUE (settingsFile().getParentDirectory().createDirectory());
    writeBytes (settingsFile().getFullPathName().toStdString(), {'x'}); // set aside: "Settings reset"
    openWindow();
    window->loadState();
    window->start ({path ("notes.txt"), path ("Strings.106")});

    std::vector<std::string> shown{status()};
    const auto started = juce::Time::getMillisecondCounter();
    while (shown.size() < 3 && pumpMessagesUntil ([&] { return status() != shown.back(); }, 4000))
        shown.push_back (status());
    const auto took = juce::Time::getMillisecondCounter() - started;
    EXPECT_EQ (shown, (std::vector<std::string>{"Settings reset", "Not opened: notes.txt", "Strings"}));
    // JUCE's timer thread counts a new timer's period from its own last wake-up, up to 100 ms
    // earlier (more on a busy machine), so a timer may fire that much before its time.
    constexpr unsigned timerEarliness = 250;
    EXPECT_GE (took, 2u * (PatchBar::statusRevertMs - timerEarliness)) << "each for two seconds";
    EXPECT_FALSE (pumpMessagesUntil ([&] { return status() != "Strings"; }, 2500)) << "the last one stays";
}

TEST_F (StartUpTest, FilesThatCannotBeOpenedAreNamedWithWhyInOneWarning)
{
    ASSERT_TRUE (juce::File (path ("folder.syx")).createDirectory());
    ASSERT_EQ (::mkfifo (path ("pipe.syx").c_str(), 0644), 0);
    ASSERT_TRUE (SyxFileIO::save (path ("Lead.syx"), patchNamed ("x", 7), 0));

    window->fileCommands.openFiles (
        {path ("missing.106"), path ("missing.syx"), path ("folder.syx"), path ("pipe.syx"), path ("Lead.syx")});
    ASSERT_EQ (warnings.size(), 1u);
    EXPECT_EQ (warnings[0].title, "Open failed");
    EXPECT_EQ (warnings[0].message,
               "Could not open these files:\n" + path ("missing.106") + ": No such file or directory\n" +
                   path ("missing.syx") + ": No such file or directory\n" + path ("folder.syx") +
                   ": is a folder, not a file\n" + path ("pipe.syx") + ": is not a regular file");
    EXPECT_EQ (namesOf (session().library()), (std::vector<std::string>{"Init", "Lead"})) << "the others still come in";

    // The library open at the last quit, now a folder, is named with why too.
    session().librarySaved (path ("gone.106"));
    ASSERT_TRUE (juce::File (path ("gone.106")).createDirectory());
    window->saveState();
    warnings.clear();
    startAgain();
    ASSERT_EQ (warnings.size(), 1u);
    EXPECT_EQ (warnings[0].title, "Load failed");
    EXPECT_EQ (warnings[0].message, "Could not read library file.\n" + path ("gone.106") + ": is a folder, not a file");
    EXPECT_EQ (warnedWhileShowing, std::vector<bool>{true}) << "a warning shown first would end up behind the window";
}

TEST_F (StartUpTest, NamesThatAreNotTextAreOpenedSavedAndRememberedByTheirBytes)
{
    struct Case
    {
        std::string name;  // the file's name, as bytes
        std::string shown; // as the title shows it
    };
    const Case cases[] = {
        {"caf\xE9.106", "caf\xEF\xBF\xBD"},    // Latin-1: not UTF-8
        {"two\nlines.106", "two\\nlines"},     // a line break never breaks a line
        {"tab\there%41.106", "tab\\there%41"}, // nor a tab; a '%' stays a '%'
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.shown);
        const std::string file = path (c.name);
        ASSERT_TRUE (QorvFileIO::save (file, libraryOf ("Bytes", {patchNamed ("Bass", 1)})));

        // Opened as a file given to the program, and dropped on the window.
        window->fileCommands.openFiles ({file});
        EXPECT_EQ (session().currentFile(), file);
        EXPECT_EQ (title(), "qorv - " + c.shown);
        session().newLibrary();
        auto* target = dynamic_cast<juce::FileDragAndDropTarget*> (window->getContentComponent());
        target->filesDropped ({juce::String::fromUTF8 (file.data(), static_cast<int> (file.size()))}, 5, 5);
        EXPECT_EQ (session().currentFile(), file);

        // Saved to the very same file, and asked about by a name on one line.
        session().newPatch();
        EXPECT_EQ (window->fileCommands.saveQuestion().toStdString(),
                   "Save changes to \"" + c.shown + "\" before closing?");
        window->fileCommands.saveLibrary();
        EXPECT_EQ (folder.entries().size(), 2u) << "no file of another name was made";
        LibraryModel saved;
        ASSERT_TRUE (QorvFileIO::load (file, saved));
        EXPECT_EQ (saved.patches.size(), 2u);

        // Reopened at the next start, and from Open Recent.
        restart();
        window->start ({});
        EXPECT_EQ (session().currentFile(), file);
        session().newLibrary();
        const auto recent = entriesOf (submenuOf (window->getMenuForIndex (0, "File"), "Open Recent"));
        EXPECT_NE (recent[0].text.find (c.shown), std::string::npos) << recent[0].text;
        EXPECT_EQ (recent[0].text.find ('\n'), std::string::npos);
        EXPECT_TRUE (recent[0].enabled);
        window->menuItemSelected (MainWindow::firstRecentId, 0);
        EXPECT_EQ (session().currentFile(), file);

        EXPECT_TRUE (warnings.empty());
        ASSERT_EQ (std::remove (file.c_str()), 0);
    }
}

TEST_F (StartUpTest, AVeryLongPathIsShortenedInTheMiddleInOpenRecent)
{
    const std::string deep = path (std::string (120, 'd'));
    ASSERT_TRUE (juce::File (deep).createDirectory());
    ASSERT_TRUE (QorvFileIO::save (deep + "/My Strings.106", libraryOf ("S", {patchNamed ("Cello", 1)})));
    window->fileCommands.loadLibrary (deep + "/My Strings.106");

    const auto recent = entriesOf (submenuOf (window->getMenuForIndex (0, "File"), "Open Recent"));
    const auto shown = juce::String::fromUTF8 (recent[0].text.data(), static_cast<int> (recent[0].text.size()));
    EXPECT_LE (shown.length(), 60);
    EXPECT_TRUE (shown.endsWith ("My Strings.106")) << recent[0].text;
    EXPECT_TRUE (shown.contains (juce::String::fromUTF8 ("\xE2\x80\xA6"))) << recent[0].text;
}
