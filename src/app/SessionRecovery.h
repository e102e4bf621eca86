#pragma once

#include "files/WriteResult.h"
#include "session/EditSession.h"

#include <string>

/** The library kept aside when the session ends under the program (a logout,
    a shutdown, kill) while it has unsaved changes: written whole as
    recovery.106 in the settings' folder, never over the user's own file, with
    the path of the file it belongs to beside it (recovery.106.file), and
    offered back at the next start. */
class SessionRecovery
{
public:
    explicit SessionRecovery (std::string settingsFolder);

    /** Keeps the session's library when it has unsaved changes; does nothing otherwise. */
    WriteResult keep (const EditSession& session);

    /** Whether a kept library waits to be recovered. */
    bool isWaiting() const;

    /** The name the question gives it: its file's name without the
        extension, or "New Library" for one that had no file. */
    std::string libraryName() const;

    /** Opens the kept library in the session, marked modified under its own
        file, and removes it; false (with why) when it cannot be read, which
        leaves it where it is. */
    bool recoverInto (EditSession& session, std::string& whyNot);

    /** Removes the kept library: its changes are given up. */
    void discard();

    std::string libraryPath() const { return folder + "/recovery.106"; }
    std::string originPath() const { return folder + "/recovery.106.file"; }

private:
    /** The path of the file the kept library belongs to; empty for none. */
    std::string belongsTo() const;

    const std::string folder;
};
