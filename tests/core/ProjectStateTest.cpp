// What a host's save writes of a plugin instance: a restore's bytes at once
// and unchanged while the instance's state is still what it made of them.

#include "session/ProjectState.h"

#include <gtest/gtest.h>

namespace
{
std::vector<uint8_t> stateWith (uint8_t vcfFreq)
{
    PluginState state;
    state.active.data[5] = vcfFreq;
    state.stored = state.active;
    return state.toBytes();
}
} // namespace

TEST (ProjectState, ARestoresBytesAreSavedAtOnceAndUntilTheStateChanges)
{
    ProjectState project (stateWith (1));
    const auto restored = stateWith (50);
    const auto restore = project.restore (restored.data(), restored.size());
    ASSERT_TRUE (restore.state.has_value());
    EXPECT_EQ (project.bytes(), restored) << "before the message thread applied it";

    project.changed (stateWith (1)); // a change of the old state, still on its way: the restore decides
    EXPECT_EQ (project.bytes(), restored);

    ASSERT_TRUE (project.takeRestore().has_value());
    EXPECT_FALSE (project.takeRestore().has_value()) << "taken once";
    project.changed (stateWith (7)); // made while applying
    EXPECT_EQ (project.bytes(), restored);
    project.restoreApplied (stateWith (50));
    project.changed (stateWith (50));
    EXPECT_EQ (project.bytes(), restored);
    project.changed (stateWith (51));
    EXPECT_EQ (project.bytes(), stateWith (51));
}

TEST (ProjectState, ARefusedOrLaterStateIsWrittenBackAsItCameUntilTheUserChangesSomething)
{
    auto later = stateWith (50);
    later[8] = 2; // a later version
    const std::vector<uint8_t> notOurs{'h', 'e', 'l', 'l', 'o'};
    for (const auto& refused : {later, notOurs, std::vector<uint8_t>{}})
    {
        ProjectState project (stateWith (1));
        const auto restore = project.restore (refused.data(), refused.size());
        EXPECT_FALSE (restore.state.has_value());
        EXPECT_FALSE (restore.whyNot.empty());
        project.takeRestore();
        project.restoreApplied (stateWith (0)); // the Init patch it made of it
        project.changed (stateWith (0));
        EXPECT_EQ (project.bytes(), refused);
        project.changed (stateWith (9));
        EXPECT_EQ (project.bytes(), stateWith (9));
    }
}

TEST (ProjectState, ANewerProjectArrivingWhileAnEarlierOneIsAppliedWins)
{
    ProjectState project (stateWith (1));
    const auto first = stateWith (10), second = stateWith (20);
    project.restore (first.data(), first.size());
    project.takeRestore();
    project.restore (second.data(), second.size());
    project.restoreApplied (stateWith (10));
    project.changed (stateWith (10));
    EXPECT_EQ (project.bytes(), second);
    const auto waiting = project.takeRestore();
    ASSERT_TRUE (waiting && waiting->state);
    EXPECT_EQ (waiting->state->active.data[5], 20);
}
