#pragma once

#include "app/DesktopFileDialog.h"
#include "patch/LibraryModel.h"
#include "session/EditSession.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <string>

/** The File menu's commands. Each command that asks for a file opens its
    dialog and hands the choice to a member that does the work; the work
    members are public so they can be driven without a dialog. Everything
    acts on the edit session; what a command did is said in STATUS. */
class FileCommands
{
public:
    using Dialog = FileDialogRequest;
    using DialogDone = std::function<void (const juce::Array<juce::File>&)>;
    using MergeAnswer = std::function<void (int choice)>;

    /** The merge question's answers, as the alert window returns them. */
    enum MergeChoice
    {
        cancelMerge = 0,
        autoRename = 1,
        overwrite = 2,
        discard = 3
    };

    using StatusHook = std::function<void (const juce::String& message)>;

    FileCommands (EditSession& sessionToActOn, StatusHook showStatusMessage);

    /** Closes an open file dialog without an answer, as the program does before it quits. */
    void closeDialogs() { desktopDialog.close(); }

    // The menu's commands
    void newLibrary();
    void chooseLibraryToLoad();
    /** Writes to the current file, or asks for one when there is none. */
    void saveLibrary();
    void chooseSaveLibraryAs();
    void chooseSysexToImport();
    void choosePresetsToImport();
    void chooseLibraryToMerge();
    void chooseActivePatchExport();
    void chooseExportFolder();

    // The work, once a dialog has handed over its choice (empty when cancelled)
    void loadLibrary (const juce::File& file);
    void saveLibraryAs (const juce::File& file);
    void importSysex (const juce::Array<juce::File>& files);
    void importPresets (const juce::Array<juce::File>& files);
    /** Merges at once when no name clashes, otherwise asks how to resolve them. */
    void mergeLibrary (const juce::File& file);
    void applyMerge (const LibraryModel& other, int choice);
    void exportActivePatch (const juce::File& file);
    void exportAllPatches (const juce::File& folder);

    /** A file name made from a patch or library name: legal, visible, never
        empty and never a path, so it stays in the folder it is placed in. */
    static juce::String legalFileName (const std::string& name, const juce::String& extension);

    // Where the commands meet the user; tests replace them.
    /** Shows a file dialog and calls back with the chosen files. Default: the desktop's own dialog, desktopDialog. */
    std::function<void (const Dialog&, DialogDone)> openDialog;
    /** Shows a warning box. Default: an asynchronous alert with one button. */
    std::function<void (const juce::String& title, const juce::String& message)> showWarning;
    /** Asks how to resolve merge clashes and calls back with a MergeChoice. Default: a modal alert window. */
    std::function<void (const juce::String& title, const juce::String& message, MergeAnswer)> askMergeChoice;

    // The hooks' defaults
    static void showWarningBox (const juce::String& title, const juce::String& message);
    static void showMergeQuestion (const juce::String& title, const juce::String& message, MergeAnswer answer);

private:
    /** Opens a dialog whose choice goes to work(), as long as these commands still exist. */
    void ask (const Dialog& dialog, std::function<void (FileCommands&, const juce::Array<juce::File>&)> work);
    void writeLibraryTo (const juce::File& file);
    void importPatches (const juce::Array<juce::File>& files, bool (*read) (const std::string&, PatchModel&));

    EditSession& session;
    StatusHook showStatus;
    DesktopFileDialog desktopDialog;

    JUCE_DECLARE_WEAK_REFERENCEABLE (FileCommands)
    JUCE_DECLARE_NON_COPYABLE (FileCommands)
};
