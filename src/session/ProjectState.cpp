#include "session/ProjectState.h"

#include <utility>

ProjectState::ProjectState (std::vector<uint8_t> initialBytes) : saved (std::move (initialBytes)) {}

ProjectState::Restore ProjectState::restore (const uint8_t* bytes, size_t size)
{
    Restore restore;
    restore.whyNot = "the saved state is damaged";
    if (bytes != nullptr && size > 0)
        restore.state = PluginState::fromBytes (bytes, size, restore.whyNot);

    // Parsed outside the lock: a save on another thread never waits for it.
    std::vector<uint8_t> copy (bytes, bytes + (bytes != nullptr ? size : 0));
    const std::lock_guard<std::mutex> guard (lock);
    saved = std::move (copy);
    restoredAs.reset();
    waiting = restore;
    return restore;
}

std::optional<ProjectState::Restore> ProjectState::takeRestore()
{
    const std::lock_guard<std::mutex> guard (lock);
    auto taken = std::move (waiting);
    waiting.reset();
    if (taken)
        applying = true;
    return taken;
}

bool ProjectState::isRestoreWaiting() const
{
    const std::lock_guard<std::mutex> guard (lock);
    return waiting.has_value() || applying;
}

void ProjectState::restoreApplied (std::vector<uint8_t> ownBytes)
{
    const std::lock_guard<std::mutex> guard (lock);
    applying = false;
    if (waiting)
        return; // a newer project came meanwhile: its bytes stand
    restoredAs = std::move (ownBytes);
}

void ProjectState::changed (std::vector<uint8_t> ownBytes)
{
    const std::lock_guard<std::mutex> guard (lock);
    if (waiting || applying)
        return; // the restore decides what the state is
    if (restoredAs && *restoredAs == ownBytes)
        return; // nothing changed since the restore: the project's bytes still say it
    restoredAs.reset();
    saved = std::move (ownBytes);
}

std::vector<uint8_t> ProjectState::bytes() const
{
    const std::lock_guard<std::mutex> guard (lock);
    return saved;
}
