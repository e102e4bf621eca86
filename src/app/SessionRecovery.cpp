#include "app/SessionRecovery.h"

#include "files/FileBytes.h"
#include "files/FilePath.h"
#include "files/QorvFileIO.h"

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

SessionRecovery::SessionRecovery (std::string settingsFolder) : folder (std::move (settingsFolder)) {}

WriteResult SessionRecovery::keep (const EditSession& session)
{
    if (!session.isModified())
        return WriteResult::success();
    std::error_code error;
    std::filesystem::create_directories (folder, error); // on a first run there is none yet
    if (error)
        return WriteResult::failure ("The settings folder cannot be made: " + error.message() + ".");
    // Whose library it is goes first: a kept library is never offered under another file's name.
    const std::string& origin = session.currentFile();
    if (const auto written =
            FileBytes::replaceFile (originPath(), reinterpret_cast<const uint8_t*> (origin.data()), origin.size());
        !written)
        return written;
    return QorvFileIO::saveWithReason (libraryPath(), session.library());
}

bool SessionRecovery::isWaiting() const
{
    struct stat info;
    return ::stat (libraryPath().c_str(), &info) == 0;
}

std::string SessionRecovery::belongsTo() const
{
    std::vector<uint8_t> bytes;
    if (!FileBytes::readAll (originPath(), FileBytes::maxFileSize, bytes))
        return {};
    return std::string (bytes.begin(), bytes.end());
}

std::string SessionRecovery::libraryName() const
{
    const std::string origin = belongsTo();
    return origin.empty() ? std::string (EditSession::newLibraryName) : std::string (FilePath::stem (origin));
}

bool SessionRecovery::recoverInto (EditSession& session, std::string& whyNot)
{
    LibraryModel kept;
    if (!QorvFileIO::load (libraryPath(), kept, whyNot))
        return false;
    session.recoverLibrary (std::move (kept), belongsTo());
    discard();
    return true;
}

void SessionRecovery::discard()
{
    std::remove (libraryPath().c_str());
    std::remove (originPath().c_str());
}
