// The File menu's work on many files at once: a whole folder imported, every
// patch exported, the library written as one SysEx bank. The long ones run
// off the message thread; the library changes only when they are done.

#include "app/FileCommands.h"

#include "app/FileWork.h"
#include "files/FileBytes.h"
#include "files/FilePath.h"
#include "files/SafeFileName.h"
#include "files/SyxBank.h"
#include "files/SyxFileIO.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <sys/stat.h>
#include <system_error>

using namespace FileWork;

namespace
{
juce::String counted (size_t count, const char* one, const char* many)
{
    return juce::String (static_cast<juce::int64> (count)) + " " + (count == 1 ? one : many);
}

bool isFolder (const std::string& path)
{
    struct stat info;
    return ::stat (path.c_str(), &info) == 0 && S_ISDIR (info.st_mode);
}

/** The files under a folder that an import reads, in path order. Links to
    folders are not followed, so a loop of links cannot trap the walk. */
std::vector<std::string> importableFilesUnder (const std::string& folder, const BackgroundWork::Progress& progress)
{
    std::vector<std::string> files;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator
             entry (folder, std::filesystem::directory_options::skip_permission_denied, error),
         end;
         !error && entry != end && !progress.shouldStop();
         entry.increment (error))
    {
        if (entry->is_regular_file (error) && readerFor (entry->path().string()) != nullptr)
            files.push_back (entry->path().string());
    }
    std::sort (files.begin(), files.end());
    return files;
}
} // namespace

void FileCommands::importFolder (const std::string& folder)
{
    if (folder.empty())
        return;
    if (!isFolder (folder))
    {
        showWarning ("Import Folder",
                     "Could not read this folder:\n" + failure (folder, FileBytes::whyNotReadable (folder)));
        return;
    }

    struct Found
    {
        std::vector<PatchModel> patches;
        size_t filesRead = 0;
        juce::StringArray unreadable;
    };
    const auto found = std::make_shared<Found>();

    bulkWork.start (
        "Import Folder",
        [folder, found] (BackgroundWork::Progress& progress)
        {
            const auto files = importableFilesUnder (folder, progress);
            for (size_t i = 0; i < files.size() && !progress.shouldStop(); ++i)
            {
                const std::string& file = files[i];
                progress.report (static_cast<double> (i) / static_cast<double> (files.size()),
                                 shownPath (std::string (FilePath::fileName (file))));
                std::vector<PatchModel> patches;
                if (std::string whyNot; readerFor (file) (file, patches, whyNot))
                {
                    std::move (patches.begin(), patches.end(), std::back_inserter (found->patches));
                    ++found->filesRead;
                }
                else
                {
                    found->unreadable.add (failure (file, whyNot));
                }
            }
        },
        [this, found] (bool cancelled)
        {
            // An import and an Auto-rename merge add patches by the same rule,
            // so everything found goes in at once.
            const size_t added = found->patches.size();
            const int corrected = session.importPatches (std::move (found->patches));
            juce::String summary = (cancelled ? "Stopped: imported " : "Imported ") +
                                   counted (added, "patch", "patches") + " from " +
                                   counted (found->filesRead, "file", "files");
            if (!found->unreadable.isEmpty())
                summary << ", " << found->unreadable.size() << " unreadable";
            if (corrected > 0)
                summary << ", " << counted (static_cast<size_t> (corrected), "value", "values") << " corrected";
            showStatus (summary);

            if (!found->unreadable.isEmpty())
                showWarning ("Import Folder",
                             failuresMessage (found->unreadable.size() == 1 ? "This file could not be read:"
                                                                            : "These files could not be read:",
                                              found->unreadable));
        });
}

void FileCommands::exportAllPatches (const std::string& folder)
{
    if (!isFolder (folder))
        return;

    struct Outcome
    {
        size_t written = 0;
        juce::StringArray failures;
    };
    const auto outcome = std::make_shared<Outcome>();

    // The patches as they are now: edits made while the files are written are not in them.
    bulkWork.start (
        "Export All Patches",
        [folder, outcome, patches = session.library().patches] (BackgroundWork::Progress& progress)
        {
            // Names made safe never leave the folder, never follow a link
            // planted in it, and are never given twice in one export.
            ExportFileNames names (".syx");
            FileBytes::FolderWriter writer (folder);
            for (size_t i = 0; i < patches.size() && !progress.shouldStop(); ++i)
            {
                const std::string name = names.next (patches[i].name);
                progress.report (static_cast<double> (i) / static_cast<double> (patches.size()), shownPath (name));
                if (const auto result = SyxFileIO::saveInto (writer, name, patches[i], 0); !result)
                    outcome->failures.add (unwritten (folder + "/" + name, result));
            }
            // Every file on the disk at once, then in its place: far faster than waiting for each.
            const auto finished = writer.finish();
            outcome->written = finished.placed;
            for (const auto& [name, why] : finished.unplaced)
                outcome->failures.add (unwritten (folder + "/" + name, why));
            if (finished.placed > 0 && !finished.flushed)
                outcome->failures.add (shownPath (folder) +
                                       "\nThe files are written, but the disk did not confirm it: " +
                                       juce::String::fromUTF8 (finished.flushed.reason.data(),
                                                               static_cast<int> (finished.flushed.reason.size())));
        },
        [this, outcome] (bool cancelled)
        {
            showStatus ((cancelled ? "Stopped: exported " : "Exported ") + counted (outcome->written, "file", "files"));
            if (!outcome->failures.isEmpty())
                showWarning ("Export failed", unwrittenFilesMessage (outcome->failures));
        });
}

void FileCommands::exportBank (const std::string& path)
{
    if (path.empty())
        return;
    const int channel = menuChannel ? menuChannel() : 0;
    const auto& patches = session.library().patches;
    const std::vector<uint8_t> image = SyxBank::build (patches, channel);
    if (const auto result = FileBytes::replaceFile (path, image.data(), image.size()); !result)
    {
        showWarning ("Export failed", unwrittenFilesMessage ({unwritten (path, result)}));
        return;
    }
    showStatus ("Exported " + counted (patches.size(), "patch", "patches"));
}
