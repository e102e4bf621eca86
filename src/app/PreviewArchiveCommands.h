#pragma once

#include "app/FileCommands.h"
#include "previews/LibraryPreviews.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <string>

/** File > Export > Library with Previews (.zip)... and its import, and the
    offer to copy the previews when Save Library as puts the library in
    another folder. Uses the File menu's dialogs, warnings and questions, so
    tests answer them the same way. */
class PreviewArchiveCommands
{
public:
    PreviewArchiveCommands (EditSession& session,
                            FileCommands& files,
                            LibraryPreviews& previews,
                            FileCommands::StatusHook status);

    void chooseExport();
    void chooseImport();
    /** After Save Library as: when the old file had previews of the library's
        sounds and the new one is elsewhere, asks whether to copy them. */
    void offerToCopyPreviews (const std::string& oldLibraryPath);

    // The work, once the dialogs have answered
    bool exportArchive (const std::string& zipPath);
    /** Unpacks the archive into `folder` ("<name>.106" and its previews folder)
        and opens the library there, once its unsaved changes may go. Nothing
        is written when the archive is refused or its library's name is taken there. */
    void importArchive (const std::string& zipPath, const std::string& folder);
    /** Copies the previews of the library's sounds from the old file's folder to the current file's. */
    bool copyPreviews (const std::string& oldLibraryPath);

    /** Asks whether to copy the previews and calls back with yes or no. Default: an alert window. */
    std::function<void (const juce::String& question, std::function<void (bool)>)> askToCopy;

private:
    EditSession& session;
    FileCommands& files;
    LibraryPreviews& previews;
    FileCommands::StatusHook showStatus;

    JUCE_DECLARE_WEAK_REFERENCEABLE (PreviewArchiveCommands)
};
