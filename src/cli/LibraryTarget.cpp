#include "cli/LibraryTarget.h"

#include "cli/PatchFiles.h"
#include "files/QorvFileIO.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace QorvCli
{
bool LibraryTarget::open (const std::string& path, std::string& whyNot)
{
    file = path;
    LibraryModel loaded;
    struct stat status;
    fileExisted = ::stat (path.c_str(), &status) == 0;
    if (!fileExisted && errno != ENOENT)
    {
        whyNot = std::strerror (errno);
        return false;
    }
    if (fileExisted)
    {
        if (whyNot = whyNotReadable (path); !whyNot.empty())
            return false;
        if (!QorvFileIO::load (path, loaded))
        {
            whyNot = "exists but is not a Qorv library (.106) that patches can be added to; it is left as it is";
            return false;
        }
    }
    else
    {
        loaded.name = EditSession::newLibraryName;
        loaded.patches.clear();
    }
    corrected = editSession.openLibrary (std::move (loaded), path);
    return true;
}

bool LibraryTarget::openTelling (const std::string& path, Console& console)
{
    std::string whyNot;
    if (!open (path, whyNot))
    {
        console.error (path, whyNot);
        return false;
    }
    if (corrected > 0)
        console.error (
            path, counted (static_cast<size_t> (corrected), "value", "values") + " corrected that a patch cannot hold");
    return true;
}

void LibraryTarget::startEmpty()
{
    LibraryModel empty;
    empty.name = EditSession::newLibraryName;
    empty.patches.clear();
    editSession.openLibrary (std::move (empty), {});
}

WriteResult LibraryTarget::save()
{
    const WriteResult result = QorvFileIO::saveWithReason (file, editSession.library());
    if (result)
        editSession.librarySaved (file);
    return result;
}
} // namespace QorvCli
