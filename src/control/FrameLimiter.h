#pragma once

#include <chrono>
#include <optional>

/** Lets a view follow a fast stream of changes (a controller sweeping at a
    thousand moves a second) no more often than a screen can show them: the
    first change is shown at once, later ones at most once a frame, and the
    latest one is always shown in the end. Plain logic over a clock passed in;
    the view's timer calls tick() when due() says. */
class FrameLimiter
{
public:
    using Clock = std::chrono::steady_clock;

    explicit FrameLimiter (Clock::duration frameLength) : frame (frameLength) {}

    /** A change came: true when it is to be shown now, false when it waits for due(). */
    bool changed (Clock::time_point now);
    /** When a waiting change is to be shown; nothing when none waits. */
    std::optional<Clock::time_point> due() const;
    /** The timer fired: true when the waiting change is to be shown now. */
    bool tick (Clock::time_point now);

private:
    const Clock::duration frame;
    std::optional<Clock::time_point> lastShown;
    bool waiting = false;
};
