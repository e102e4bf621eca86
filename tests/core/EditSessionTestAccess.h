#pragma once

#include "session/EditSession.h"

#include <string>

/** Reaches into a session to set up a state that no single operation makes,
    or to run the news of a change made that way. Tests only. */
struct EditSessionTestAccess
{
    static PatchModel& active (EditSession& session) { return session.active; }
    static PatchModel& stored (EditSession& session) { return session.stored; }
    static EditHistory& history (EditSession& session) { return session.undoSteps; }
    static LibraryModel& library (EditSession& session) { return session.patches; }
    static std::string& currentFile (EditSession& session) { return session.file; }
    static bool& modified (EditSession& session) { return session.modified; }
    static void announce (EditSession& session, SessionChange change) { session.announce (change); }
};
