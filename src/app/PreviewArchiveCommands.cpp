#include "app/PreviewArchiveCommands.h"

#include "app/FileWork.h"
#include "files/FileBytes.h"
#include "files/FilePath.h"
#include "files/QorvFileIO.h"
#include "previews/PreviewArchive.h"

#include <cerrno>
#include <cstring>
#include <set>
#include <sys/stat.h>

namespace
{
using Browser = juce::FileBrowserComponent;

juce::String shown (const std::string& path)
{
    return FileWork::shownPath (path);
}

bool exists (const std::string& path)
{
    struct stat info;
    return ::lstat (path.c_str(), &info) == 0;
}

/** Makes the folder unless it is there; false, with why, when it cannot. */
bool makeFolder (const std::string& path, std::string& whyNot)
{
    if (::mkdir (path.c_str(), 0777) == 0 || errno == EEXIST)
        return true;
    whyNot = std::string ("the folder cannot be made: ") + std::strerror (errno);
    return false;
}
} // namespace

PreviewArchiveCommands::PreviewArchiveCommands (EditSession& editSession,
                                                FileCommands& fileCommands,
                                                LibraryPreviews& libraryPreviews,
                                                FileCommands::StatusHook status)
    : session (editSession), files (fileCommands), previews (libraryPreviews), showStatus (std::move (status))
{
    askToCopy = [] (const juce::String& question, std::function<void (bool)> answer)
    {
        juce::AlertWindow::showAsync (juce::MessageBoxOptions()
                                          .withIconType (juce::MessageBoxIconType::QuestionIcon)
                                          .withTitle ("Save Library as")
                                          .withMessage (question)
                                          .withButton ("Copy")
                                          .withButton ("Not Now"),
                                      [answer] (int result) { answer (result == 1); });
    };
}

void PreviewArchiveCommands::chooseExport()
{
    const std::string proposal =
        FilePath::folderOf (session.currentFile()).empty() || session.currentFile().empty()
            ? FileCommands::legalFileName (session.library().name, ".zip")
            : std::string (FilePath::folderOf (session.currentFile())) + "/" +
                  FileCommands::legalFileName (std::string (FilePath::stem (session.currentFile())), ".zip");
    files.openDialog ({"Export Library with Previews", proposal, "*.zip", Browser::saveMode | Browser::canSelectFiles},
                      [weak = juce::WeakReference<PreviewArchiveCommands> (this)] (const FileCommands::Paths& paths)
                      {
                          if (weak != nullptr && !paths.empty())
                              weak->exportArchive (paths.front());
                      });
}

bool PreviewArchiveCommands::exportArchive (const std::string& zipPath)
{
    std::vector<uint8_t> image;
    QorvFileIO::toBytes (session.library(), image);
    const std::string name = session.currentFile().empty() ? FileCommands::legalFileName (session.library().name, "")
                                                           : std::string (FilePath::stem (session.currentFile()));
    // Read afresh: the files are what goes into the archive.
    previews.follow (session.currentFile());
    previews.refresh();
    std::vector<uint8_t> zip;
    std::string whyNot;
    const PreviewFolder empty ("");
    const PreviewFolder& folder = previews.folder() != nullptr ? *previews.folder() : empty;
    if (!PreviewArchive::pack (name, image, session.library().patches, folder, zip, whyNot))
    {
        files.showWarning ("Export failed", shown (zipPath) + ": " + juce::String::fromUTF8 (whyNot.c_str()));
        return false;
    }
    const auto written = FileBytes::replaceFile (zipPath, zip.data(), zip.size());
    if (!written)
    {
        files.showWarning ("Export failed", shown (zipPath) + ": " + juce::String::fromUTF8 (written.reason.c_str()));
        return false;
    }
    std::vector<PreviewArchive::Entry> entries;
    PreviewArchive::read (zip.data(), zip.size(), entries, whyNot);
    showStatus ("Exported with " + juce::String (entries.size() - 1) + " previews");
    return true;
}

void PreviewArchiveCommands::chooseImport()
{
    files.openDialog ({"Import Library with Previews", {}, "*.zip", Browser::openMode | Browser::canSelectFiles},
                      [weak = juce::WeakReference<PreviewArchiveCommands> (this)] (const FileCommands::Paths& zips)
                      {
                          if (weak == nullptr || zips.empty())
                              return;
                          const std::string zip = zips.front();
                          weak->files.openDialog ({"Where to put the library and its previews",
                                                   std::string (FilePath::folderOf (zip)),
                                                   {},
                                                   Browser::openMode | Browser::canSelectDirectories},
                                                  [weak, zip] (const FileCommands::Paths& folders)
                                                  {
                                                      if (weak != nullptr && !folders.empty())
                                                          weak->importArchive (zip, folders.front());
                                                  });
                      });
}

void PreviewArchiveCommands::importArchive (const std::string& zipPath, const std::string& folder)
{
    std::vector<uint8_t> zip;
    std::string whyNot;
    PreviewArchive::Unpacked unpacked;
    if (!FileBytes::readAll (zipPath, FileBytes::maxFileSize, zip))
        whyNot = FileBytes::whyNotReadable (zipPath);
    else
        PreviewArchive::unpack (zip.data(), zip.size(), unpacked, whyNot);
    if (!whyNot.empty())
    {
        files.showWarning ("Import failed", shown (zipPath) + ": " + juce::String::fromUTF8 (whyNot.c_str()));
        return;
    }
    const std::string libraryPath = folder + "/" + unpacked.name + ".106";
    if (exists (libraryPath))
    {
        files.showWarning ("Import failed",
                           shown (libraryPath) + " is there already: choose another folder, so nothing is replaced.");
        return;
    }
    files.whenLibraryMayGo (
        FileCommands::LibraryAction::open,
        [weak = juce::WeakReference<PreviewArchiveCommands> (this),
         unpacked = std::move (unpacked),
         folder,
         libraryPath,
         zipPath]
        {
            if (weak == nullptr)
                return;
            auto& self = *weak;
            // The previews first: a library that opens has all it came with.
            const std::string previewFolder = PreviewFolder::folderFor (libraryPath);
            std::string why;
            if (!unpacked.previews.empty() && makeFolder (previewFolder, why))
            {
                FileBytes::FolderWriter writer (previewFolder);
                for (const auto& entry : unpacked.previews)
                    if (const auto written = writer.write (entry.name, entry.bytes.data(), entry.bytes.size());
                        !written)
                        why = written.reason;
                const auto outcome = writer.finish();
                if (why.empty() && !outcome.unplaced.empty())
                    why = outcome.unplaced.front().second.reason;
            }
            if (why.empty())
                if (const auto written = FileBytes::writeIntoFolder (
                        folder, unpacked.name + ".106", unpacked.libraryImage.data(), unpacked.libraryImage.size());
                    !written)
                    why = written.reason;
            if (!why.empty())
            {
                self.files.showWarning ("Import failed",
                                        shown (libraryPath) + ": " + juce::String::fromUTF8 (why.c_str()));
                return;
            }
            if (self.files.loadLibrary (libraryPath))
                self.showStatus ("Imported with " + juce::String (unpacked.previews.size()) + " previews");
        });
}

void PreviewArchiveCommands::offerToCopyPreviews (const std::string& oldLibraryPath)
{
    const std::string now = session.currentFile();
    if (oldLibraryPath.empty() || now.empty() ||
        PreviewFolder::folderFor (oldLibraryPath) == PreviewFolder::folderFor (now))
        return;
    PreviewFolder old (PreviewFolder::folderFor (oldLibraryPath));
    old.refresh();
    std::set<std::string> sounds;
    for (const auto& patch : session.library().patches)
        sounds.insert (PreviewInfo::hexOf (patch.data));
    size_t count = 0;
    for (const auto& [name, info] : old.previews())
        count += sounds.count (PreviewInfo::hexOf (info.bytes));
    if (count == 0)
        return;
    askToCopy ("Copy the " + juce::String (count) + " previews of this library into " +
                   shown (PreviewFolder::folderFor (now)) + " too?",
               [weak = juce::WeakReference<PreviewArchiveCommands> (this), oldLibraryPath] (bool copy)
               {
                   if (weak != nullptr && copy)
                       weak->copyPreviews (oldLibraryPath);
               });
}

bool PreviewArchiveCommands::copyPreviews (const std::string& oldLibraryPath)
{
    PreviewFolder old (PreviewFolder::folderFor (oldLibraryPath));
    old.refresh();
    const std::string target = PreviewFolder::folderFor (session.currentFile());
    std::set<std::string> sounds;
    for (const auto& patch : session.library().patches)
        sounds.insert (PreviewInfo::hexOf (patch.data));
    std::string whyNot;
    if (!makeFolder (target, whyNot))
    {
        files.showWarning ("Copy failed", shown (target) + ": " + juce::String::fromUTF8 (whyNot.c_str()));
        return false;
    }
    FileBytes::FolderWriter writer (target);
    size_t copied = 0;
    for (const auto& [name, info] : old.previews())
    {
        if (sounds.count (PreviewInfo::hexOf (info.bytes)) == 0)
            continue;
        std::vector<uint8_t> bytes;
        if (!FileBytes::readAll (old.path() + "/" + name, FileBytes::maxFileSize, bytes))
            continue;
        if (writer.write (name, bytes.data(), bytes.size()))
            ++copied;
    }
    const auto outcome = writer.finish();
    previews.follow ("");
    previews.follow (session.currentFile());
    if (!outcome.unplaced.empty() || !outcome.flushed)
    {
        files.showWarning (
            "Copy failed",
            shown (target) + ": " +
                juce::String::fromUTF8 (
                    (!outcome.unplaced.empty() ? outcome.unplaced.front().second : outcome.flushed).reason.c_str()));
        return false;
    }
    showStatus ("Copied " + juce::String (outcome.placed) + " previews");
    return copied == outcome.placed;
}
