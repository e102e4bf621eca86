// The File menu's work on many files at once: a whole folder imported, every
// patch exported, the library written as one SysEx bank. The long ones run
// off the message thread; the library changes only when they are done.

#include "app/FileCommands.h"

#include "app/FileWork.h"
#include "files/FileBytes.h"
#include "files/SafeFileName.h"
#include "files/SyxBank.h"
#include "files/SyxFileIO.h"
#include "ui/PanelText.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <system_error>

using namespace FileWork;

namespace
{
juce::String counted (size_t count, const char* one, const char* many)
{
    return juce::String (static_cast<juce::int64> (count)) + " " + (count == 1 ? one : many);
}

/** The files under a folder that an import reads, in path order. Links to
    folders are not followed, so a loop of links cannot trap the walk. */
std::vector<std::filesystem::path> importableFilesUnder (const std::filesystem::path& folder,
                                                         const BackgroundWork::Progress& progress)
{
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator
             entry (folder, std::filesystem::directory_options::skip_permission_denied, error),
         end;
         !error && entry != end && !progress.shouldStop();
         entry.increment (error))
    {
        if (entry->is_regular_file (error) && readerFor (juce::File (entry->path().string())) != nullptr)
            files.push_back (entry->path());
    }
    std::sort (files.begin(), files.end());
    return files;
}
} // namespace

void FileCommands::importFolder (const juce::File& folder)
{
    if (!folder.isDirectory())
        return;

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
            const auto files = importableFilesUnder (folder.getFullPathName().toStdString(), progress);
            for (size_t i = 0; i < files.size() && !progress.shouldStop(); ++i)
            {
                const juce::File file (files[i].string());
                progress.report (static_cast<double> (i) / static_cast<double> (files.size()), file.getFileName());
                std::vector<PatchModel> patches;
                if (readerFor (file) (file, patches))
                {
                    std::move (patches.begin(), patches.end(), std::back_inserter (found->patches));
                    ++found->filesRead;
                }
                else
                {
                    found->unreadable.add (file.getFullPathName());
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
            {
                juce::String message (found->unreadable.size() == 1 ? "This file could not be read:"
                                                                    : "These files could not be read:");
                for (int i = 0; i < found->unreadable.size() && i < maxNamedFailures; ++i)
                    message << "\n" << found->unreadable[i];
                if (found->unreadable.size() > maxNamedFailures)
                    message << "\n(and " << (found->unreadable.size() - maxNamedFailures) << " more)";
                showWarning ("Import Folder", message);
            }
        });
}

void FileCommands::exportAllPatches (const juce::File& folder)
{
    if (!folder.isDirectory())
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
            const std::string folderPath = pathOf (folder);
            for (size_t i = 0; i < patches.size() && !progress.shouldStop(); ++i)
            {
                const std::string name = names.next (patches[i].name);
                progress.report (static_cast<double> (i) / static_cast<double> (patches.size()),
                                 toDisplayString (name));
                const auto result = SyxFileIO::saveIntoFolderUnflushed (folderPath, name, patches[i], 0);
                if (result)
                    ++outcome->written;
                else
                    outcome->failures.add (
                        unwritten (juce::File (folder.getFullPathName() + "/" + toDisplayString (name)), result));
            }
            // Every file on the disk at once: far faster than waiting for each.
            if (const auto flushed = FileBytes::flushFolder (folderPath); !flushed)
            {
                outcome->failures.add (unwritten (folder, flushed));
                outcome->written = 0;
            }
        },
        [this, outcome] (bool cancelled)
        {
            showStatus ((cancelled ? "Stopped: exported " : "Exported ") + counted (outcome->written, "file", "files"));
            if (!outcome->failures.isEmpty())
                showWarning ("Export failed", unwrittenFilesMessage (outcome->failures));
        });
}

void FileCommands::exportBank (const juce::File& file)
{
    if (file == juce::File())
        return;
    const int channel = menuChannel ? menuChannel() : 0;
    const auto& patches = session.library().patches;
    if (!SyxBank::save (pathOf (file), patches, channel))
    {
        showWarning ("Export failed", unwrittenFilesMessage ({file.getFullPathName()}));
        return;
    }
    showStatus ("Exported " + counted (patches.size(), "patch", "patches"));
}
