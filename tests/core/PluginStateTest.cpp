// The plugin's state in a project: every field round trips, and a damaged,
// truncated or later state is refused whole with its reason.

#include "files/PluginState.h"

#include <gtest/gtest.h>

namespace
{
PluginState everyField()
{
    PluginState state;
    for (size_t i = 0; i < state.active.data.size() - 2; ++i)
        state.active.data[i] = static_cast<uint8_t> (i * 5);
    state.active.name = "Strings \xC3\xA9\n";
    state.stored.data[5] = 99;
    state.stored.name = state.active.name;
    state.outputDevice = "Juno-106 MIDI 1";
    state.channel = 15;
    state.way = PluginState::Way::throughHost;
    state.sendWhenProjectOpens = true;
    state.sendAtEveryStart = true;
    state.libraryPath = "/home/me/caf\xE9.106";
    state.controlPort = false;
    return state;
}
} // namespace

TEST (PluginState, EveryFieldComesBackAsItWasKept)
{
    const auto kept = everyField();
    const auto bytes = kept.toBytes();
    std::string why;
    const auto back = PluginState::fromBytes (bytes.data(), bytes.size(), why);
    ASSERT_TRUE (back.has_value()) << why;
    EXPECT_TRUE (back->active.sameSound (kept.active));
    EXPECT_EQ (back->active.name, kept.active.name);
    EXPECT_TRUE (back->stored.sameSound (kept.stored));
    EXPECT_EQ (back->outputDevice, kept.outputDevice);
    EXPECT_EQ (back->channel, 15);
    EXPECT_EQ (back->way, PluginState::Way::throughHost);
    EXPECT_TRUE (back->sendWhenProjectOpens && back->sendAtEveryStart);
    EXPECT_EQ (back->libraryPath, kept.libraryPath);
    EXPECT_FALSE (back->controlPort);
    EXPECT_EQ (back->toBytes(), bytes) << "written again, the same bytes";
}

TEST (PluginState, AStateThatIsNotWholeOrNotThisVersionsIsRefusedWithItsReason)
{
    const auto good = everyField().toBytes();
    const auto changed = [&good] (size_t at, uint8_t value)
    {
        auto bytes = good;
        bytes[at] = value;
        return bytes;
    };
    auto truncated = good;
    truncated.resize (good.size() - 9);
    const struct
    {
        std::vector<uint8_t> bytes;
        const char* why;
    } refused[] = {
        {{}, "the saved state is not Qorv's"},
        {{'Q', 'O', 'R', 'V'}, "the saved state is not Qorv's"},
        {changed (0, 'X'), "the saved state is not Qorv's"},
        {changed (8, 2), "the saved state comes from a later version of Qorv"},
        {changed (8, 0), "the saved state is damaged"},
        {changed (20, good[20] ^ 1), "the saved state is damaged"}, // the CRC catches it
        {truncated, "the saved state is damaged"},
    };
    for (const auto& r : refused)
    {
        std::string why;
        EXPECT_FALSE (PluginState::fromBytes (r.bytes.data(), r.bytes.size(), why).has_value());
        EXPECT_EQ (why, r.why);
    }
}
