#pragma once

#include "app/BackgroundWork.h"
#include "app/DesktopFileDialog.h"
#include "patch/LibraryModel.h"
#include "session/EditSession.h"
#include "session/SessionRecovery.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <string>
#include <vector>

/** The File menu's commands. Each command that asks for a file opens its
    dialog and hands the choice to a member that does the work; the work
    members are public so they can be driven without a dialog. Everything
    acts on the edit session; what a command did is said in STATUS, and a
    file that could not be read or written is named in a warning with why.
    Paths are bytes, as Linux keeps them: a Latin-1 name is opened, saved and
    remembered exactly, and only shown as text. */
class FileCommands
{
public:
    using Dialog = FileDialogRequest;
    using Paths = std::vector<std::string>;
    using DialogDone = std::function<void (const Paths&)>;
    using MergeAnswer = std::function<void (int choice)>;

    /** The merge question's answers, as the alert window returns them. */
    enum MergeChoice
    {
        cancelMerge = 0,
        autoRename = 1,
        overwrite = 2,
        discard = 3
    };

    /** The unsaved-changes question's answers. */
    enum SaveChoice
    {
        cancelAction = 0,
        saveFirst = 1,
        discardChanges = 2
    };
    using SaveAnswer = std::function<void (int choice)>;

    /** The recovery question's answers. Closing the question (Escape, the
        window's close button) answers neither: the changes wait for the next start. */
    enum RecoverChoice
    {
        askAgainLater = 0,
        recover = 1,
        discardRecovered = 2
    };
    using RecoverAnswer = std::function<void (int choice)>;

    /** What would replace or close the library. */
    enum class LibraryAction
    {
        quit,
        newLibrary,
        open
    };

    using StatusHook = std::function<void (const juce::String& message)>;

    FileCommands (EditSession& sessionToActOn, StatusHook showStatusMessage);

    /** Closes an open file dialog without an answer and stops file work, as the program does before it quits. */
    void closeDialogs()
    {
        desktopDialog.close();
        bulkWork.stopAndForget();
    }
    /** Whether long file work (a folder import, Export All) is still running. */
    bool isBusy() const { return bulkWork.isRunning(); }
    /** The long file work's runner, with its progress window. */
    BackgroundWork& backgroundWork() { return bulkWork; }

    /** Runs `proceed` once the library may be closed or replaced: at once when
        it has no unsaved changes, else after the user chose to save it (and the
        save succeeded) or to discard the changes. Cancel, Escape, or a save
        that failed or was cancelled run nothing, so nothing is lost. */
    void whenLibraryMayGo (LibraryAction action, std::function<void()> proceed);

    // The menu's commands
    void newLibrary();
    void chooseLibraryToLoad();
    /** Opens a library file in place of this one, asking first about unsaved changes. */
    void openLibraryFile (const std::string& path);
    /** Files handed to the program (its command line, a drop): a .106 is
        opened as the library, .syx and .jep files are imported; anything
        else is refused with a word in STATUS. Those that cannot be read are
        named with why in one warning. */
    void openFiles (const Paths& paths);
    /** At start-up, when the last session ended with unsaved changes kept
        aside: asks whether to recover them, and recovers them or gives them
        up; `then` learns whether the library was recovered. */
    void offerRecovery (SessionRecovery& recovery, std::function<void (bool recovered)> then);
    /** Writes to the current file, or asks for one when there is none; `done`
        learns whether the library was written. */
    void saveLibrary (std::function<void (bool saved)> done = {});
    void chooseSaveLibraryAs (std::function<void (bool saved)> done = {});
    void chooseSysexToImport();
    void choosePresetsToImport();
    void chooseLibraryToMerge();
    void chooseFolderToImport();
    void chooseActivePatchExport();
    void chooseExportFolder();
    void chooseBankExport();

    // The work, once a dialog has handed over its choice (empty when cancelled)
    /** Replaces the library with the file's, without asking; false (with a
        "Load failed" warning saying why) when it could not be read. */
    bool loadLibrary (const std::string& path);
    void saveLibraryAs (const std::string& path);
    void importSysex (const Paths& paths);
    void importPresets (const Paths& paths);
    /** Merges at once when no name clashes, otherwise asks how to resolve them. */
    void mergeLibrary (const std::string& path);
    void applyMerge (const LibraryModel& other, int choice);
    void exportActivePatch (const std::string& path);
    /** Writes every patch as a .syx file into the folder, off the message thread. */
    void exportAllPatches (const std::string& folder);
    /** Every .syx, .jep and .106 under the folder, read off the message thread,
        then added to the library (a .106's patches as Auto-rename merges them). */
    void importFolder (const std::string& folder);
    /** Every patch in library order as one multi-dump .syx on the menu's channel. */
    void exportBank (const std::string& path);

    /** A file name made from a patch or library name: legal, visible, never
        empty and never a path, so it stays in the folder it is placed in. */
    static std::string legalFileName (const std::string& name, const std::string& extension);

    // Where the commands meet the user; tests replace them.
    /** Shows a file dialog and calls back with the chosen files. Default: the desktop's own dialog, desktopDialog. */
    std::function<void (const Dialog&, DialogDone)> openDialog;
    /** Shows a warning box. Default: an asynchronous alert with one button. */
    std::function<void (const juce::String& title, const juce::String& message)> showWarning;
    /** Asks how to resolve merge clashes and calls back with a MergeChoice. Default: a modal alert window. */
    std::function<void (const juce::String& title, const juce::String& message, MergeAnswer)> askMergeChoice;
    /** Asks whether to save unsaved changes and calls back with a SaveChoice;
        Escape answers cancelAction. Default: a modal alert window. */
    std::function<void (const juce::String& question, const juce::String& discardLabel, SaveAnswer)> askToSave;
    /** Asks whether to recover the unsaved changes the last session kept aside
        and calls back with a RecoverChoice. Default: a modal alert window. */
    std::function<void (const juce::String& question, RecoverAnswer)> askToRecover;
    /** Told of every library file loaded or saved (the recent libraries). */
    std::function<void (const std::string& path)> libraryFileUsed;
    /** The MIDI menu's channel, for the dumps of a SysEx bank. */
    std::function<int()> menuChannel;

    // The hooks' defaults
    static void showWarningBox (const juce::String& title, const juce::String& message);
    static void showMergeQuestion (const juce::String& title, const juce::String& message, MergeAnswer answer);
    static void showSaveQuestion (const juce::String& question, const juce::String& discardLabel, SaveAnswer answer);
    static void showRecoverQuestion (const juce::String& question, RecoverAnswer answer);

    /** "Save changes to "<library>" before closing?" */
    juce::String saveQuestion() const;

private:
    /** Opens a dialog whose choice goes to work(), as long as these commands still exist. */
    void ask (const Dialog& dialog, std::function<void (FileCommands&, const Paths&)> work);
    bool writeLibraryTo (const std::string& path);
    /** Opens the library file in place of this one; false, with why, when it cannot be read. */
    bool openLibraryNow (const std::string& path, std::string& whyNot);
    /** Reads every file with its reader and adds what was found; returns the
        files that could not be read, each with why ("path: reason"). */
    juce::StringArray addPatchesFrom (const Paths& paths);
    /** One warning naming every file that could not be opened. */
    void warnUnopened (const juce::String& title, const juce::StringArray& failures);
    /** "3 values corrected" in STATUS, when values a patch cannot hold came in. */
    void reportCorrections (int corrected);

    EditSession& session;
    StatusHook showStatus;
    DesktopFileDialog desktopDialog;
    BackgroundWork bulkWork;

    JUCE_DECLARE_WEAK_REFERENCEABLE (FileCommands)
    JUCE_DECLARE_NON_COPYABLE (FileCommands)
};
