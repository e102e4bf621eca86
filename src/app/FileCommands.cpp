#include "app/FileCommands.h"

#include "app/FileWork.h"

#include "files/QorvFileIO.h"
#include "files/SafeFileName.h"
#include "files/SyxFileIO.h"
#include "ui/PanelText.h"

#include <iterator>
#include <utility>

using namespace FileWork;

namespace
{
using Browser = juce::FileBrowserComponent;

constexpr int openOneFile = Browser::openMode | Browser::canSelectFiles;
constexpr int openSeveralFiles = Browser::openMode | Browser::canSelectFiles | Browser::canSelectMultipleItems;
constexpr int openFolder = Browser::openMode | Browser::canSelectDirectories;
constexpr int saveOneFile = Browser::saveMode | Browser::canSelectFiles;

const char* const readFailedMessage = "Could not read library file.";

juce::File firstOf (const juce::Array<juce::File>& files)
{
    return files.isEmpty() ? juce::File() : files.getFirst();
}

juce::File documentsFolder()
{
    return juce::File::getSpecialLocation (juce::File::userDocumentsDirectory);
}

} // namespace

FileCommands::FileCommands (EditSession& sessionToActOn, StatusHook showStatusMessage)
    : showWarning (showWarningBox), askMergeChoice (showMergeQuestion), askToSave (showSaveQuestion),
      session (sessionToActOn), showStatus (std::move (showStatusMessage))
{
    openDialog = [this] (const Dialog& dialog, DialogDone done) { desktopDialog.open (dialog, std::move (done)); };
}

//==============================================================================
// Unsaved changes

juce::String FileCommands::saveQuestion() const
{
    const auto& file = session.currentFile();
    const juce::String library = file.empty() ? juce::String (EditSession::newLibraryName)
                                              : juce::File (toDisplayString (file)).getFileNameWithoutExtension();
    return "Save changes to \"" + library + "\" before closing?";
}

void FileCommands::whenLibraryMayGo (LibraryAction action, std::function<void()> proceed)
{
    if (!session.isModified())
    {
        proceed();
        return;
    }

    const char* discardLabel = action == LibraryAction::quit         ? "Quit without Saving"
                               : action == LibraryAction::newLibrary ? "New without Saving"
                                                                     : "Open without Saving";
    askToSave (saveQuestion(),
               discardLabel,
               [weakThis = juce::WeakReference<FileCommands> (this), proceed] (int choice)
               {
                   auto* self = weakThis.get();
                   if (self == nullptr)
                       return;
                   if (choice == discardChanges)
                       proceed();
                   else if (choice == saveFirst)
                       self->saveLibrary (
                           [proceed] (bool saved)
                           {
                               if (saved)
                                   proceed();
                           });
               });
}

//==============================================================================
// The menu's commands

void FileCommands::newLibrary()
{
    whenLibraryMayGo (LibraryAction::newLibrary,
                      [this]
                      {
                          session.newLibrary();
                          showStatus (EditSession::newLibraryName);
                      });
}

void FileCommands::chooseLibraryToLoad()
{
    ask ({"Load Library", {}, "*.106", openOneFile},
         [] (FileCommands& self, const juce::Array<juce::File>& files)
         {
             if (!files.isEmpty())
                 self.openLibraryFile (files.getFirst());
         });
}

void FileCommands::openLibraryFile (const juce::File& file)
{
    whenLibraryMayGo (LibraryAction::open,
                      [weakThis = juce::WeakReference<FileCommands> (this), file]
                      {
                          if (auto* self = weakThis.get())
                              self->loadLibrary (file);
                      });
}

void FileCommands::openFiles (const juce::Array<juce::File>& files)
{
    juce::Array<juce::File> sysex, presets, refused;
    juce::File library;
    for (const auto& file : files)
    {
        const auto extension = file.getFileExtension().toLowerCase();
        if (extension == ".106" && library == juce::File())
            library = file;
        else if (extension == ".syx")
            sysex.add (file);
        else if (extension == ".jep")
            presets.add (file);
        else
            refused.add (file);
    }

    if (!refused.isEmpty())
        showStatus ("Not opened: " + refused.getFirst().getFileName());

    // The patches go into the library that is open once the library file is.
    const auto importTheRest = [sysex, presets] (FileCommands& self)
    {
        self.importSysex (sysex);
        self.importPresets (presets);
    };
    if (library == juce::File())
    {
        importTheRest (*this);
        return;
    }
    whenLibraryMayGo (LibraryAction::open,
                      [weakThis = juce::WeakReference<FileCommands> (this), library, importTheRest]
                      {
                          if (auto* self = weakThis.get())
                          {
                              self->loadLibrary (library);
                              importTheRest (*self);
                          }
                      });
}

void FileCommands::saveLibrary (std::function<void (bool)> done)
{
    if (session.currentFile().empty())
    {
        chooseSaveLibraryAs (std::move (done));
        return;
    }
    const bool saved = writeLibraryTo (juce::File (toDisplayString (session.currentFile())));
    if (done)
        done (saved);
}

void FileCommands::chooseSaveLibraryAs (std::function<void (bool)> done)
{
    const juce::File proposal = session.currentFile().empty()
                                    ? documentsFolder().getChildFile (legalFileName (session.library().name, ".106"))
                                    : juce::File (toDisplayString (session.currentFile()));
    ask ({"Save Library as", proposal, "*.106", saveOneFile},
         [done] (FileCommands& self, const juce::Array<juce::File>& files)
         {
             const juce::File file = firstOf (files);
             const bool saved = file != juce::File() && self.writeLibraryTo (file);
             if (done)
                 done (saved);
         });
}

void FileCommands::chooseSysexToImport()
{
    ask ({"Import Sysex", {}, "*.syx", openSeveralFiles},
         [] (FileCommands& self, const juce::Array<juce::File>& files) { self.importSysex (files); });
}

void FileCommands::choosePresetsToImport()
{
    ask ({"Import JEP", {}, "*.jep", openSeveralFiles},
         [] (FileCommands& self, const juce::Array<juce::File>& files) { self.importPresets (files); });
}

void FileCommands::chooseLibraryToMerge()
{
    ask ({"Merge from Library", {}, "*.106", openOneFile},
         [] (FileCommands& self, const juce::Array<juce::File>& files) { self.mergeLibrary (firstOf (files)); });
}

void FileCommands::chooseActivePatchExport()
{
    const juce::File proposal = documentsFolder().getChildFile (legalFileName (session.activePatch().name, ".syx"));
    ask ({"Export Sysex", proposal, "*.syx", saveOneFile},
         [] (FileCommands& self, const juce::Array<juce::File>& files) { self.exportActivePatch (firstOf (files)); });
}

void FileCommands::chooseFolderToImport()
{
    ask ({"Import Folder", documentsFolder(), {}, openFolder},
         [] (FileCommands& self, const juce::Array<juce::File>& files) { self.importFolder (firstOf (files)); });
}

void FileCommands::chooseBankExport()
{
    const juce::File proposal = documentsFolder().getChildFile (legalFileName (session.library().name, ".syx"));
    ask ({"Export SysEx Bank", proposal, "*.syx", saveOneFile},
         [] (FileCommands& self, const juce::Array<juce::File>& files) { self.exportBank (firstOf (files)); });
}

void FileCommands::chooseExportFolder()
{
    ask ({"Export All Patches as .syx", documentsFolder(), {}, openFolder},
         [] (FileCommands& self, const juce::Array<juce::File>& files) { self.exportAllPatches (firstOf (files)); });
}

//==============================================================================
// The work

bool FileCommands::loadLibrary (const juce::File& file)
{
    if (!file.existsAsFile())
        return false;

    LibraryModel loaded;
    if (!QorvFileIO::load (pathOf (file), loaded))
    {
        showWarning ("Load failed", readFailedMessage);
        return false;
    }

    const int corrected = session.openLibrary (std::move (loaded), pathOf (file));
    showStatus (file.getFileNameWithoutExtension());
    reportCorrections (corrected);
    if (libraryFileUsed)
        libraryFileUsed (file);
    return true;
}

void FileCommands::saveLibraryAs (const juce::File& file)
{
    if (file == juce::File())
        return;
    writeLibraryTo (file);
}

bool FileCommands::writeLibraryTo (const juce::File& file)
{
    // A failed write keeps the old current file and the unsaved mark: the
    // library on disk is not the one on screen.
    const auto result = QorvFileIO::saveWithReason (pathOf (file), session.library());
    if (!result)
    {
        showWarning ("Save failed",
                     "Could not write the library file:\n" + file.getFullPathName() + "\n" +
                         toDisplayString (result.reason));
        return false;
    }
    session.librarySaved (pathOf (file));
    if (libraryFileUsed)
        libraryFileUsed (file);
    return true;
}

void FileCommands::importSysex (const juce::Array<juce::File>& files)
{
    importPatches (files, &readSysexFile);
}

void FileCommands::importPresets (const juce::Array<juce::File>& files)
{
    importPatches (files, &readPresetFile);
}

void FileCommands::importPatches (const juce::Array<juce::File>& files,
                                  bool (*read) (const juce::File&, std::vector<PatchModel>&))
{
    std::vector<PatchModel> imported;
    for (const auto& file : files)
    {
        std::vector<PatchModel> found;
        if (!read (file, found))
            continue; // an unreadable file is skipped; the others still come in
        std::move (found.begin(), found.end(), std::back_inserter (imported));
    }
    reportCorrections (session.importPatches (std::move (imported)));
}

void FileCommands::reportCorrections (int corrected)
{
    if (corrected > 0)
        showStatus (juce::String (corrected) + (corrected == 1 ? " value corrected" : " values corrected"));
}

void FileCommands::mergeLibrary (const juce::File& file)
{
    if (!file.existsAsFile())
        return;

    LibraryModel other;
    if (!QorvFileIO::load (pathOf (file), other))
    {
        showWarning ("Merge failed", readFailedMessage);
        return;
    }
    if (other.patches.empty())
        return;

    const size_t clashes = session.countClashes (other);
    if (clashes == 0)
    {
        reportCorrections (session.merge (other, EditSession::MergeChoice::autoRename));
        return;
    }

    const juce::String title = "Merge from " + toDisplayString (other.name) + " (" +
                               juce::String (static_cast<int> (other.patches.size())) + " patches)";
    const juce::String message =
        juce::String (static_cast<int> (clashes)) + " name conflicts found. How to handle duplicates?";
    askMergeChoice (title,
                    message,
                    [weakThis = juce::WeakReference<FileCommands> (this), other] (int choice)
                    {
                        if (auto* self = weakThis.get())
                            self->applyMerge (other, choice);
                    });
}

void FileCommands::applyMerge (const LibraryModel& other, int choice)
{
    // Cancel adds nothing at all, not even the patches without a clash.
    if (choice == autoRename)
        reportCorrections (session.merge (other, EditSession::MergeChoice::autoRename));
    else if (choice == overwrite)
        reportCorrections (session.merge (other, EditSession::MergeChoice::overwrite));
    else if (choice == discard)
        reportCorrections (session.merge (other, EditSession::MergeChoice::discard));
}

void FileCommands::exportActivePatch (const juce::File& file)
{
    if (file == juce::File())
        return;
    const auto result = SyxFileIO::saveWithReason (pathOf (file), session.activePatch(), 0);
    if (!result)
        showWarning ("Export failed", unwrittenFilesMessage ({unwritten (file, result)}));
}

juce::String FileCommands::legalFileName (const std::string& name, const juce::String& extension)
{
    return toDisplayString (SafeFileName::make (name, extension.toStdString()));
}

//==============================================================================
// Where the commands meet the user

void FileCommands::ask (const Dialog& dialog, std::function<void (FileCommands&, const juce::Array<juce::File>&)> work)
{
    openDialog (dialog,
                [weakThis = juce::WeakReference<FileCommands> (this), work] (const juce::Array<juce::File>& files)
                {
                    if (auto* self = weakThis.get())
                        work (*self, files);
                });
}

void FileCommands::showWarningBox (const juce::String& title, const juce::String& message)
{
    juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon, title, message);
}

void FileCommands::showSaveQuestion (const juce::String& question, const juce::String& discardLabel, SaveAnswer answer)
{
    auto window = std::make_shared<juce::AlertWindow> (
        question, "If you don't save, your changes will be lost.", juce::MessageBoxIconType::WarningIcon);
    window->addButton (discardLabel, discardChanges);
    window->addButton ("Cancel", cancelAction, juce::KeyPress (juce::KeyPress::escapeKey));
    window->addButton ("Save", saveFirst, juce::KeyPress (juce::KeyPress::returnKey));
    window->setEscapeKeyCancels (true);
    // The callback owns the window; it is released once the answer is handled.
    window->enterModalState (
        true, juce::ModalCallbackFunction::create ([window, answer] (int choice) { answer (choice); }), false);
}

void FileCommands::showMergeQuestion (const juce::String& title, const juce::String& message, MergeAnswer answer)
{
    auto window = std::make_shared<juce::AlertWindow> (title, message, juce::MessageBoxIconType::QuestionIcon);
    window->addButton ("Auto-rename", autoRename);
    window->addButton ("Overwrite", overwrite);
    window->addButton ("Discard", discard);
    window->addButton ("Cancel", cancelMerge);
    // The callback owns the window; it is released once the answer is handled.
    window->enterModalState (
        true, juce::ModalCallbackFunction::create ([window, answer] (int choice) { answer (choice); }), false);
}
