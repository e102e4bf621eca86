#include "cli/PatchFiles.h"

#include "files/FileBytes.h"
#include "files/JepFileIO.h"
#include "files/QorvFileIO.h"
#include "files/SyxBank.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    struct stat status;
    if (::stat (path.c_str(), &status) != 0)
        return std::strerror (errno);
    if (S_ISDIR (status.st_mode))
        return "is a folder, not a file";
    if (!S_ISREG (status.st_mode))
        return "is not a regular file";
    if (static_cast<unsigned long long> (status.st_size) > FileBytes::maxFileSize)
        return "is larger than " + std::to_string (FileBytes::maxFileSize >> 20) + " MB, more than any patch file";
    // Opening without blocking: a file swapped for a pipe meanwhile must not hang the check.
    const int descriptor = ::open (path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return std::strerror (errno);
    ::close (descriptor);
    return {};
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
    bool read = false;
    switch (kind)
    {
        case FileKind::library:
        {
            LibraryModel library;
            read = QorvFileIO::load (path, library);
            if (read)
                patches = std::move (library.patches);
            whyNot = "not a Qorv library (.106), or a damaged one";
            break;
        }
        case FileKind::sysex:
            read = SyxBank::load (path, patches);
            whyNot = "holds no Juno-106 patch or manual dump";
            break;
        case FileKind::preset:
        {
            PatchModel patch;
            read = JepFileIO::load (path, patch);
            if (read)
            {
                patch.name = SyxBank::baseNameOf (path); // named after the file, as the window's import names it
                patches.assign (1, std::move (patch));
            }
            whyNot = "holds no Juno Editor preset data";
            break;
        }
        case FileKind::other:
            break;
    }
    if (read)
        whyNot.clear();
    else if (const std::string why = whyNotReadable (path); !why.empty())
        whyNot = why; // the file itself, not its content
    return read;
}

int valuesToCorrect (const PatchModel& patch)
{
    int count = 0;
    for (size_t i = 0; i < patch.data.size(); ++i)
        count += PatchBits::correctedValue (static_cast<int> (i), patch.data[i]) != patch.data[i] ? 1 : 0;
    return count;
}
} // namespace QorvCli
