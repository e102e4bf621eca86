#pragma once

#include "files/WriteResult.h"
#include "session/EditSession.h"

#include <string>

/** The libraries kept aside when sessions end under the program (a logout,
    a shutdown, kill, a display that went away) while they have unsaved
    changes, and offered back at the next start. Each session keeps its own,
    in the settings' folder and never over the user's file: recovery.106,
    or recovery-2.106, recovery-3.106 ... when an earlier one still waits
    (two windows ended by one logout). Beside each lies its origin
    (recovery.106.file): the path of the file it belongs to, and the size
    and checksum of the kept library. A pair that does not match (a write
    cut short between the two, a damaged or planted origin) is offered as a
    library of no file, never under another file's name. A kept library
    being offered by one running program is held, so another program
    starting meanwhile offers another one or none. */
class SessionRecovery
{
public:
    explicit SessionRecovery (std::string settingsFolder);
    ~SessionRecovery();

    /** Keeps the session's library when it has unsaved changes, in a place
        of its own; does nothing otherwise. A failure says why. */
    WriteResult keep (const EditSession& session);

    /** Looks for a kept library, the oldest first, that no other running
        program is offering, and holds it; true when there is one. */
    bool findWaiting();
    /** Whether a kept library is held, found by findWaiting. */
    bool isWaiting() const { return !held.empty(); }

    /** The name the question gives the held library: its file's name
        without the extension, or "New Library" for one of no file (or
        whose origin cannot be trusted). */
    std::string libraryName() const;

    /** Opens the held library in the session, marked modified under its own
        file, and removes it; false (with why) when it cannot be read, which
        leaves it where it is. */
    bool recoverInto (EditSession& session, std::string& whyNot);

    /** Removes the held library: its changes are given up. */
    void discard();
    /** Lets the held library go without an answer: it waits for the next start. */
    void release();

    /** The held library's file (empty when none is held). */
    const std::string& libraryPath() const { return held; }

    /** The kept library of place `slot` (1, 2 ...), and its origin. */
    std::string libraryPathOf (int slot) const;
    static std::string originPathOf (const std::string& libraryPath) { return libraryPath + ".file"; }

    /** The most kept libraries that wait at once. */
    static constexpr int maxSlots = 64;

    SessionRecovery (const SessionRecovery&) = delete;
    SessionRecovery& operator= (const SessionRecovery&) = delete;

private:
    const std::string folder;
    std::string held;       // the kept library this program offers; empty when none
    std::string heldOrigin; // the path it belongs to, when its origin matches it
    int holdFd = -1;        // holds it against other programs
};
