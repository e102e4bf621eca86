#pragma once

#include "cli/Console.h"
#include "files/WriteResult.h"
#include "session/EditSession.h"

#include <string>

namespace QorvCli
{
/** The library that patches go into, held by an EditSession as the window
    holds it, so that naming, the unique-name rule, corrections and the
    rule for received patches are the window's own. Nothing is played: the
    session's sound goes nowhere. */
class LibraryTarget final : private PatchOutput
{
public:
    LibraryTarget() = default;

    /** Starts from the library file at `path` when one is there (it must be a
        readable library: anything else would be lost on saving), or from an
        empty library named as the window names a new one. Returns false, with
        why in words, when the file is there but cannot be added to. */
    bool open (const std::string& path, std::string& whyNot);
    /** Opens as `open` does and says on the console why the file cannot be
        added to, or how many of its values were corrected. */
    bool openTelling (const std::string& path, Console& console);
    /** Starts from an empty library with no file, for patches on their way elsewhere. */
    void startEmpty();

    EditSession& session() { return editSession; }
    const LibraryModel& library() const { return editSession.library(); }
    /** Whether the file was there before. */
    bool existed() const { return fileExisted; }

    /** Writes the library to its file atomically: the old file stays whole until the new one is complete. */
    WriteResult save();

    LibraryTarget (const LibraryTarget&) = delete;
    LibraryTarget& operator= (const LibraryTarget&) = delete;

private:
    void sendPatch (const PatchModel&) override {}
    void sendParameter (int, uint8_t) override {}

    EditSession editSession{*this};
    std::string file;
    bool fileExisted = false;
    int corrected = 0;
};
} // namespace QorvCli
