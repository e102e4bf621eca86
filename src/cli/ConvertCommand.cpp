// qorv convert: patch files of any kind into one library, SysEx file or folder.

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/LibraryTarget.h"
#include "cli/PatchFiles.h"
#include "files/FileBytes.h"
#include "files/SafeFileName.h"
#include "files/SyxBank.h"
#include "files/SyxFileIO.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <sys/stat.h>
#include <utility>

namespace QorvCli
{
namespace
{
    /** What the output's name asks for. */
    enum class OutputForm
    {
        library,   // .106: the patches are added to it
        oneSysex,  // .syx: exactly one patch
        sysexBank, // .syx with --bank: every patch, one dump after another
        folder     // a folder: one .syx file per patch
    };

    /** How many unwritten files of a folder are named before the rest are only counted. */
    constexpr size_t maxFailuresNamed = 10;

    bool isFolder (const std::string& path)
    {
        struct stat status;
        return ::stat (path.c_str(), &status) == 0 && S_ISDIR (status.st_mode);
    }

    OutputForm outputFormOf (const std::string& output, bool bank)
    {
        const bool folder = output.back() == '/' || (kindOf (output) == FileKind::other && isFolder (output));
        if (bank && (folder || kindOf (output) != FileKind::sysex))
            throw UsageError ("--bank writes one .syx file; name the output FILE.syx");
        if (folder)
            return OutputForm::folder;
        switch (kindOf (output))
        {
            case FileKind::library:
                return OutputForm::library;
            case FileKind::sysex:
                return bank ? OutputForm::sysexBank : OutputForm::oneSysex;
            default:
                throw UsageError ("cannot tell what to write from the name '" + output +
                                  "': end it in .106 or .syx, or name a folder");
        }
    }

    /** The first input that is the file `output` itself, or nullptr. */
    const std::string* findOutputAmong (const std::vector<std::string>& inputs, const std::string& output)
    {
        struct stat target, each;
        if (::stat (output.c_str(), &target) != 0)
            return nullptr;
        for (const auto& input : inputs)
            if (::stat (input.c_str(), &each) == 0 && each.st_dev == target.st_dev && each.st_ino == target.st_ino)
                return &input;
        return nullptr;
    }

    /** Says how many values the library corrects as the patches come in: for
    each file, or in one sum when many files have them. */
    class CorrectionReport
    {
    public:
        void add (const std::string& file, const std::vector<PatchModel>& patches)
        {
            size_t count = 0;
            for (const auto& patch : patches)
                count += static_cast<size_t> (valuesToCorrect (patch));
            if (count == 0)
                return;
            files.push_back ({file, count});
            total += count;
        }

        void tell (Console& console) const
        {
            const std::string what = " corrected that a patch cannot hold";
            if (files.size() > maxFilesNamed)
            {
                console.note (counted (total, "value", "values") + what + ", in " +
                              counted (files.size(), "file", "files"));
                return;
            }
            for (const auto& [file, count] : files)
                console.error (file, counted (count, "value", "values") + what);
        }

    private:
        static constexpr size_t maxFilesNamed = 10;
        std::vector<std::pair<std::string, size_t>> files;
        size_t total = 0;
    };

    /** Writes the converted patches in the chosen form and says what it wrote. */
    class Writer
    {
    public:
        Writer (Console& output, std::string outputPath, int dumpChannel)
            : console (output), path (std::move (outputPath)), channel (dumpChannel)
        {
        }

        bool library (LibraryTarget& target, size_t added)
        {
            if (!check (target.save()))
                return false;
            const std::string patches = counted (added, "patch", "patches");
            console.print (target.existed() ? "Added " + patches + " to " + displayText (path) + " (" +
                                                  std::to_string (target.library().patches.size()) + " in all)"
                                            : "Wrote " + patches + " to " + displayText (path));
            return true;
        }

        bool oneSysex (const std::vector<PatchModel>& patches)
        {
            if (patches.size() != 1)
            {
                console.error (path,
                               counted (patches.size(), "patch", "patches") +
                                   " cannot go into one .syx file, which holds one; use --bank for one file of "
                                   "them all, or name a folder for a file each");
                return false;
            }
            if (!check (SyxFileIO::saveWithReason (path, patches.front(), channel)))
                return false;
            console.print ("Wrote " + displayText (patches.front().name) + " to " + displayText (path));
            return true;
        }

        bool sysexBank (const std::vector<PatchModel>& patches)
        {
            // SyxBank::save's image, written with the reason for a failure kept.
            const std::vector<uint8_t> image = SyxBank::build (patches, channel);
            if (!check (FileBytes::replaceFile (path, image.data(), image.size())))
                return false;
            console.print ("Wrote " + counted (patches.size(), "patch", "patches") + " to " + displayText (path));
            return true;
        }

        /** Every patch as its own file, named as Export All names them. */
        bool folder (const std::vector<PatchModel>& patches)
        {
            const std::string folderPath =
                path.size() > 1 && path.back() == '/' ? path.substr (0, path.size() - 1) : path;
            if (::mkdir (folderPath.c_str(), 0777) != 0 && errno != EEXIST)
            {
                console.error (path, std::string ("cannot make the folder: ") + std::strerror (errno));
                return false;
            }
            if (!isFolder (folderPath))
            {
                console.error (path, "is there already and is not a folder");
                return false;
            }
            // The names in order, as Export All gives them; each file is
            // written whole, all go to the disk at once, and only then does
            // each take its name, in place of any older file.
            ExportFileNames names (".syx");
            FileBytes::FolderWriter writer (folderPath);
            size_t failed = 0;
            const auto tell = [&] (const std::string& name, const WriteResult& result)
            {
                if (++failed <= maxFailuresNamed)
                    console.error (folderPath + "/" + name, result.reason);
            };
            for (const auto& patch : patches)
            {
                const std::string name = names.next (patch.name);
                if (const auto result = SyxFileIO::saveInto (writer, name, patch, channel); !result)
                    tell (name, result);
            }
            const auto finished = writer.finish();
            for (const auto& [name, why] : finished.unplaced)
                tell (name, why);
            if (failed > maxFailuresNamed)
                console.error (path, counted (failed - maxFailuresNamed, "more file", "more files") + " not written");
            const size_t written = finished.placed;
            if (written > 0 && !finished.flushed)
                console.error (path,
                               "the files are written, but the disk did not confirm it: " + finished.flushed.reason);
            console.print ("Wrote " + counted (written, "file", "files") + " into " + displayText (path));
            return written == patches.size() && finished.flushed.ok;
        }

    private:
        bool check (const WriteResult& result)
        {
            if (!result)
                console.error (path, result.reason);
            return result.ok;
        }

        Console& console;
        const std::string path;
        const int channel;
    };
} // namespace

int convertCommand (const std::vector<std::string>& words, Console& console)
{
    const Arguments arguments (words, {{"output", 'o', true}, {"bank"}, {"channel", 0, true}});
    const auto& inputs = arguments.operands();
    const auto output = arguments.value ("output");
    if (inputs.empty())
        throw UsageError ("name at least one INPUT file");
    if (!output && arguments.spellsAnOptionAfterEnd ({"-o", "--output"}))
        throw UsageError ("everything after \"--\" is a file name, -o too: name the OUTPUT with -o before \"--\"");
    if (!output || output->empty())
        throw UsageError ("name the OUTPUT with -o");
    const OutputForm form = outputFormOf (*output, arguments.has ("bank"));
    const int channel = parseChannel (arguments.value ("channel"));
    if (form == OutputForm::library)
        if (const auto* itself = findOutputAmong (inputs, *output))
            throw UsageError (*itself + " is the output library itself: its patches are in it already");

    // Into a .106 the patches are added to what the file holds; every other
    // output is made from the inputs alone.
    LibraryTarget target;
    if (form != OutputForm::library)
        target.startEmpty();
    else if (!target.openTelling (*output, console))
        return exitFailure;

    std::string whyNot;

    bool allRead = true;
    std::vector<PatchModel> incoming;
    CorrectionReport corrections;
    for (const auto& input : inputs)
    {
        std::vector<PatchModel> patches;
        if (!readPatchFile (input, patches, whyNot))
        {
            console.error (input, whyNot + "; skipped");
            allRead = false;
            continue;
        }
        corrections.add (input, patches);
        std::move (patches.begin(), patches.end(), std::back_inserter (incoming));
    }
    corrections.tell (console);
    if (incoming.empty())
    {
        console.error (
            *output, allRead ? "nothing written: the inputs hold no patch" : "nothing written: no INPUT could be read");
        return exitFailure;
    }

    const size_t added = incoming.size();
    target.session().importPatches (std::move (incoming));
    const auto& patches = target.library().patches;

    Writer writer (console, *output, channel);
    bool written = false;
    switch (form)
    {
        case OutputForm::library:
            written = writer.library (target, added);
            break;
        case OutputForm::oneSysex:
            written = writer.oneSysex (patches);
            break;
        case OutputForm::sysexBank:
            written = writer.sysexBank (patches);
            break;
        case OutputForm::folder:
            written = writer.folder (patches);
            break;
    }
    return console.finish() && written && allRead ? exitSuccess : exitFailure;
}
} // namespace QorvCli
