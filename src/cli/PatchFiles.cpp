#include "cli/PatchFiles.h"

#include "cli/Console.h"
#include "files/FileBytes.h"
#include "files/JepFileIO.h"
#include "files/QorvFileIO.h"
#include "files/SyxBank.h"

#include <algorithm>
#include <cctype>
#include <sys/stat.h>

namespace QorvCli
{
namespace
{
    std::string lowerCaseExtension (const std::string& path)
    {
        const size_t slash = path.find_last_of ('/');
        const size_t dot = path.find_last_of ('.');
        if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
            return {};
        std::string extension = path.substr (dot);
        std::transform (extension.begin(),
                        extension.end(),
                        extension.begin(),
                        [] (unsigned char c) { return static_cast<char> (std::tolower (c)); });
        return extension;
    }
} // namespace

FileKind kindOf (const std::string& path)
{
    const std::string extension = lowerCaseExtension (path);
    if (extension == ".106")
        return FileKind::library;
    if (extension == ".syx")
        return FileKind::sysex;
    if (extension == ".jep")
        return FileKind::preset;
    return FileKind::other;
}

std::string whyNotReadable (const std::string& path)
{
    return FileBytes::whyNotReadable (path);
}

bool readPatchFile (const std::string& path, std::vector<PatchModel>& patches, std::string& whyNot)
{
    const FileKind kind = kindOf (path);
    if (kind == FileKind::other)
    {
        whyNot = "not a .106, .syx or .jep file";
        return false;
    }
    // The readers refuse what is not a regular file, or too large, before
    // reading; why a file was refused is only looked into afterwards.
    switch (kind)
    {
        case FileKind::library:
        {
            LibraryModel library;
            if (!QorvFileIO::load (path, library, whyNot))
                return false;
            patches = std::move (library.patches);
            return true;
        }
        case FileKind::sysex:
            return SyxBank::load (path, patches, whyNot);
        case FileKind::preset:
        {
            PatchModel patch;
            if (!JepFileIO::load (path, patch, whyNot))
                return false;
            patch.name = SyxBank::baseNameOf (path); // named after the file, as the window's import names it
            patches.assign (1, std::move (patch));
            return true;
        }
        case FileKind::other:
            break;
    }
    return false;
}

bool readNamedPatch (const std::string& word, PatchModel& patch, std::string& whyNot)
{
    const auto isFile = [] (const std::string& path)
    {
        struct stat status;
        return ::stat (path.c_str(), &status) == 0 && !S_ISDIR (status.st_mode);
    };
    std::string path = word;
    std::optional<std::string> name;
    if (!isFile (word))
    {
        // The first FILE:NAME split whose FILE is there; else the first whose
        // FILE is named as a patch file, so a missing one is named.
        std::optional<size_t> split;
        for (size_t colon = word.find (':'); colon != std::string::npos; colon = word.find (':', colon + 1))
        {
            const std::string prefix = word.substr (0, colon);
            if (isFile (prefix))
            {
                split = colon;
                break;
            }
            if (!split && kindOf (prefix) != FileKind::other)
                split = colon;
        }
        if (split)
        {
            path = word.substr (0, *split);
            name = word.substr (*split + 1);
        }
    }

    std::vector<PatchModel> patches;
    if (!readPatchFile (path, patches, whyNot))
    {
        if (name)
            whyNot = path + ": " + whyNot;
        return false;
    }
    if (!name && patches.size() != 1)
    {
        whyNot = "holds " + counted (patches.size(), "patch", "patches") + ": name one as " + path + ":NAME";
        return false;
    }
    const PatchModel* chosen = choosePatch (patches, name, path + ":", whyNot);
    if (chosen == nullptr)
        return false;
    patch = *chosen;
    return true;
}

int valuesToCorrect (const PatchModel& patch)
{
    int count = 0;
    for (size_t i = 0; i < patch.data.size(); ++i)
        count += PatchBits::correctedValue (static_cast<int> (i), patch.data[i]) != patch.data[i] ? 1 : 0;
    return count;
}

const PatchModel* choosePatch (const std::vector<PatchModel>& patches,
                               const std::optional<std::string>& wanted,
                               const std::string& option,
                               std::string& whyNot)
{
    if (!wanted)
    {
        if (patches.size() == 1)
            return &patches.front();
        whyNot = "holds " + counted (patches.size(), "patch", "patches") + ": choose one with " + option +
                 "NAME or INDEX (qorv list shows them)";
        return nullptr;
    }
    const auto named = std::find_if (
        patches.begin(), patches.end(), [&wanted] (const PatchModel& patch) { return patch.name == *wanted; });
    if (named != patches.end())
        return &*named;
    const bool digitsOnly = !wanted->empty() && wanted->size() <= 9 &&
                            std::all_of (wanted->begin(), wanted->end(), [] (char c) { return c >= '0' && c <= '9'; });
    const size_t index = digitsOnly ? std::stoul (*wanted) : 0;
    if (index >= 1 && index <= patches.size())
        return &patches[index - 1];
    whyNot = "has no patch named or numbered '" + *wanted + "' (qorv list shows them)";
    return nullptr;
}
} // namespace QorvCli
