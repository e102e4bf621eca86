#include "app/FileCommands.h"

#include "app/FileWork.h"

#include "files/FilePath.h"
#include "files/QorvFileIO.h"
#include "files/SafeFileName.h"
#include "files/SyxFileIO.h"
#include "ui/PanelText.h"

#include <cerrno>
#include <iterator>
#include <sys/stat.h>
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

std::string firstOf (const FileCommands::Paths& paths)
{
    return paths.empty() ? std::string() : paths.front();
}

std::string documentsFolder()
{
    return juce::File::getSpecialLocation (juce::File::userDocumentsDirectory).getFullPathName().toStdString();
}

std::string inDocuments (const std::string& fileName)
{
    return documentsFolder() + "/" + fileName;
}

/** Leaves the keyboard focus to the question's Return button alone: a focused
    button takes Return for itself, and the first one would otherwise get the
    focus, so Return could give up the very work it stands for keeping. The
    others take a click (or Escape, for Cancel). */
void focusOnlyOn (juce::AlertWindow& window, const juce::String& returnButtonText)
{
    for (auto* child : window.getChildren())
        if (auto* button = dynamic_cast<juce::TextButton*> (child))
            button->setWantsKeyboardFocus (button->getButtonText() == returnButtonText);
}

/** "Could not read library file." and the file with why. */
juce::String readFailure (const std::string& path, const std::string& why)
{
    return juce::String (readFailedMessage) + "\n" + failure (path, why);
}
} // namespace

FileCommands::FileCommands (EditSession& sessionToActOn, StatusHook showStatusMessage)
    : showWarning (showWarningBox), askMergeChoice (showMergeQuestion), askToSave (showSaveQuestion),
      askToRecover (showRecoverQuestion), session (sessionToActOn), showStatus (std::move (showStatusMessage))
{
    openDialog = [this] (const Dialog& dialog, DialogDone done) { desktopDialog.open (dialog, std::move (done)); };
}

//==============================================================================
// Unsaved changes

juce::String FileCommands::saveQuestion() const
{
    const auto& file = session.currentFile();
    const juce::String library =
        file.empty() ? juce::String (EditSession::newLibraryName) : shownPath (std::string (FilePath::stem (file)));
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

void FileCommands::offerRecovery (SessionRecovery& recovery, std::function<void (bool)> then)
{
    const juce::String question = "Recover unsaved changes to \"" + shownPath (recovery.libraryName()) + "\"?";
    askToRecover (question,
                  [weakThis = juce::WeakReference<FileCommands> (this), &recovery, then] (int choice)
                  {
                      auto* self = weakThis.get();
                      if (self == nullptr)
                          return;
                      bool recovered = false;
                      if (choice == recover)
                      {
                          std::string whyNot;
                          recovered = recovery.recoverInto (self->session, whyNot);
                          if (!recovered)
                              self->showWarning ("Recovery failed", readFailure (recovery.libraryPath(), whyNot));
                      }
                      else if (choice == discardRecovered)
                      {
                          recovery.discard();
                      }
                      else
                      {
                          recovery.release(); // asked again at the next start
                      }
                      if (then)
                          then (recovered);
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
         [] (FileCommands& self, const Paths& paths)
         {
             if (!paths.empty())
                 self.openLibraryFile (paths.front());
         });
}

void FileCommands::openLibraryFile (const std::string& path)
{
    whenLibraryMayGo (LibraryAction::open,
                      [weakThis = juce::WeakReference<FileCommands> (this), path]
                      {
                          if (auto* self = weakThis.get())
                              self->loadLibrary (path);
                      });
}

void FileCommands::openFiles (const Paths& paths)
{
    Paths patchFiles, refused;
    std::string library;
    for (const auto& path : paths)
    {
        const auto extension = FilePath::extension (path);
        if (extension == ".106" && library.empty())
            library = path;
        else if (extension == ".syx" || extension == ".jep")
            patchFiles.push_back (path);
        else
            refused.push_back (path);
    }

    if (!refused.empty())
        showStatus ("Not opened: " + shownPath (std::string (FilePath::fileName (refused.front()))) +
                    (refused.size() > 1 ? " and " + juce::String (static_cast<int> (refused.size() - 1)) + " more"
                                        : juce::String()));

    // The patches go into the library that is open once the library file is;
    // every file that could not be read is named in one warning at the end.
    const auto openAll = [library, patchFiles] (FileCommands& self)
    {
        juce::StringArray failures;
        if (!library.empty())
            if (std::string whyNot; !self.openLibraryNow (library, whyNot))
                failures.add (failure (library, whyNot));
        failures.addArray (self.addPatchesFrom (patchFiles));
        self.warnUnopened ("Open failed", failures);
    };
    if (library.empty())
    {
        openAll (*this);
        return;
    }
    whenLibraryMayGo (LibraryAction::open,
                      [weakThis = juce::WeakReference<FileCommands> (this), openAll]
                      {
                          if (auto* self = weakThis.get())
                              openAll (*self);
                      });
}

void FileCommands::saveLibrary (std::function<void (bool)> done)
{
    if (session.currentFile().empty())
    {
        chooseSaveLibraryAs (std::move (done));
        return;
    }
    const bool saved = writeLibraryTo (session.currentFile());
    if (done)
        done (saved);
}

void FileCommands::chooseSaveLibraryAs (std::function<void (bool)> done)
{
    const std::string proposal = session.currentFile().empty()
                                     ? inDocuments (legalFileName (session.library().name, ".106"))
                                     : session.currentFile();
    ask ({"Save Library as", proposal, "*.106", saveOneFile},
         [done] (FileCommands& self, const Paths& paths)
         {
             const std::string path = firstOf (paths);
             const bool saved = !path.empty() && self.writeLibraryTo (path);
             if (done)
                 done (saved);
         });
}

void FileCommands::chooseSysexToImport()
{
    ask ({"Import Sysex", {}, "*.syx", openSeveralFiles},
         [] (FileCommands& self, const Paths& paths) { self.importSysex (paths); });
}

void FileCommands::choosePresetsToImport()
{
    ask ({"Import JEP", {}, "*.jep", openSeveralFiles},
         [] (FileCommands& self, const Paths& paths) { self.importPresets (paths); });
}

void FileCommands::chooseLibraryToMerge()
{
    ask ({"Merge from Library", {}, "*.106", openOneFile},
         [] (FileCommands& self, const Paths& paths) { self.mergeLibrary (firstOf (paths)); });
}

void FileCommands::chooseActivePatchExport()
{
    const std::string proposal = inDocuments (legalFileName (session.activePatch().name, ".syx"));
    ask ({"Export Sysex", proposal, "*.syx", saveOneFile},
         [] (FileCommands& self, const Paths& paths) { self.exportActivePatch (firstOf (paths)); });
}

void FileCommands::chooseFolderToImport()
{
    ask ({"Import Folder", documentsFolder(), {}, openFolder},
         [] (FileCommands& self, const Paths& paths) { self.importFolder (firstOf (paths)); });
}

void FileCommands::chooseBankExport()
{
    const std::string proposal = inDocuments (legalFileName (session.library().name, ".syx"));
    ask ({"Export SysEx Bank", proposal, "*.syx", saveOneFile},
         [] (FileCommands& self, const Paths& paths) { self.exportBank (firstOf (paths)); });
}

void FileCommands::chooseExportFolder()
{
    ask ({"Export All Patches as .syx", documentsFolder(), {}, openFolder},
         [] (FileCommands& self, const Paths& paths) { self.exportAllPatches (firstOf (paths)); });
}

//==============================================================================
// The work

bool FileCommands::loadLibrary (const std::string& path)
{
    if (path.empty())
        return false;
    std::string whyNot;
    if (!openLibraryNow (path, whyNot))
    {
        showWarning ("Load failed", readFailure (path, whyNot));
        return false;
    }
    return true;
}

bool FileCommands::openLibraryNow (const std::string& path, std::string& whyNot)
{
    LibraryModel loaded;
    if (!QorvFileIO::load (path, loaded, whyNot))
        return false;

    const int corrected = session.openLibrary (std::move (loaded), path);
    showStatus (shownPath (std::string (FilePath::stem (path))));
    reportCorrections (corrected);
    if (libraryFileUsed)
        libraryFileUsed (path);
    return true;
}

void FileCommands::saveLibraryAs (const std::string& path)
{
    if (path.empty())
        return;
    writeLibraryTo (path);
}

bool FileCommands::writeLibraryTo (const std::string& path)
{
    // A failed write keeps the old current file and the unsaved mark: the
    // library on disk is not the one on screen.
    const auto result = QorvFileIO::saveWithReason (path, session.library());
    if (!result)
    {
        showWarning ("Save failed", "Could not write the library file:\n" + unwritten (path, result));
        return false;
    }
    session.librarySaved (path);
    if (libraryFileUsed)
        libraryFileUsed (path);
    return true;
}

void FileCommands::importSysex (const Paths& paths)
{
    warnUnopened ("Import failed", addPatchesFrom (paths));
}

void FileCommands::importPresets (const Paths& paths)
{
    warnUnopened ("Import failed", addPatchesFrom (paths));
}

juce::StringArray FileCommands::addPatchesFrom (const Paths& paths)
{
    std::vector<PatchModel> imported;
    juce::StringArray failures;
    for (const auto& path : paths)
    {
        std::vector<PatchModel> found;
        std::string whyNot = "is not a .106, .syx or .jep file";
        const Reader read = readerFor (path);
        if (read == nullptr || !read (path, found, whyNot))
        {
            failures.add (failure (path, whyNot)); // the others still come in
            continue;
        }
        std::move (found.begin(), found.end(), std::back_inserter (imported));
    }
    reportCorrections (session.importPatches (std::move (imported)));
    return failures;
}

void FileCommands::warnUnopened (const juce::String& title, const juce::StringArray& failures)
{
    if (failures.isEmpty())
        return;
    showWarning (
        title,
        failuresMessage (failures.size() == 1 ? "Could not open this file:" : "Could not open these files:", failures));
}

void FileCommands::reportCorrections (int corrected)
{
    if (corrected > 0)
        showStatus (juce::String (corrected) + (corrected == 1 ? " value corrected" : " values corrected"));
}

void FileCommands::mergeLibrary (const std::string& path)
{
    if (path.empty())
        return;

    LibraryModel other;
    if (std::string whyNot; !QorvFileIO::load (path, other, whyNot))
    {
        showWarning ("Merge failed", readFailure (path, whyNot));
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

void FileCommands::exportActivePatch (const std::string& path)
{
    if (path.empty())
        return;
    const auto result = SyxFileIO::saveWithReason (path, session.activePatch(), 0);
    if (!result)
        showWarning ("Export failed", unwrittenFilesMessage ({unwritten (path, result)}));
}

std::string FileCommands::legalFileName (const std::string& name, const std::string& extension)
{
    return SafeFileName::make (name, extension);
}

//==============================================================================
// Where the commands meet the user

void FileCommands::ask (const Dialog& dialog, std::function<void (FileCommands&, const Paths&)> work)
{
    openDialog (dialog,
                [weakThis = juce::WeakReference<FileCommands> (this), work] (const Paths& paths)
                {
                    if (auto* self = weakThis.get())
                        work (*self, paths);
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
    focusOnlyOn (*window, "Save");
    // The callback owns the window; it is released once the answer is handled.
    window->enterModalState (
        true, juce::ModalCallbackFunction::create ([window, answer] (int choice) { answer (choice); }), false);
}

void FileCommands::showRecoverQuestion (const juce::String& question, RecoverAnswer answer)
{
    auto window = std::make_shared<juce::AlertWindow> (
        question,
        "Qorv was closed before they were saved. If you discard them, they are lost.",
        juce::MessageBoxIconType::QuestionIcon);
    window->addButton ("Discard", discardRecovered);
    window->addButton ("Recover", recover, juce::KeyPress (juce::KeyPress::returnKey));
    focusOnlyOn (*window, "Recover");
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
