#pragma once

#include "files/PluginState.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

/** What a DAW's project holds of one plugin instance, for any thread: the
    bytes the host's next save writes, and a restore the message thread has
    yet to apply. A restore's bytes are what the next save writes, at once and
    unchanged (a state from a later Qorv, one with fields this one does not
    know, one refused as damaged) for as long as the instance's own state is
    still what it made of them; the first change writes the instance's own.
    Thread-safe. */
class ProjectState
{
public:
    /** A project's bytes as the instance takes them: the state, or why not. */
    struct Restore
    {
        std::optional<PluginState> state;
        std::string whyNot;
    };

    /** The instance's state before any project: its own bytes. */
    explicit ProjectState (std::vector<uint8_t> initialBytes);

    /** A host hands over a project's bytes (any thread): from now on a save
        writes them, and the restore waits for takeRestore. */
    Restore restore (const uint8_t* bytes, size_t size);

    /** The restore waiting, taken for the message thread to apply; while it
        applies, nothing it changes counts as a change. */
    std::optional<Restore> takeRestore();
    bool isRestoreWaiting() const;

    /** The restore taken was applied, and this is the state it made, in the
        instance's own bytes: while the state stays so, a save writes the
        project's bytes. */
    void restoreApplied (std::vector<uint8_t> ownBytes);

    /** The instance's state now, in its own bytes (the message thread, after
        any change): a save writes them, unless they are still what the
        restore made, or a restore is under way. */
    void changed (std::vector<uint8_t> ownBytes);

    /** What the host's save writes now. */
    std::vector<uint8_t> bytes() const;

    ProjectState (const ProjectState&) = delete;
    ProjectState& operator= (const ProjectState&) = delete;

private:
    mutable std::mutex lock;
    std::vector<uint8_t> saved; // what a save writes
    std::optional<std::vector<uint8_t>>
        restoredAs; // the state the restore made, while the project's bytes stand for it
    std::optional<Restore> waiting;
    bool applying = false;
};
