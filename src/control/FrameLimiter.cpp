#include "control/FrameLimiter.h"

bool FrameLimiter::changed (Clock::time_point now)
{
    if (!waiting && (!lastShown || now - *lastShown >= frame))
    {
        lastShown = now;
        return true;
    }
    waiting = true;
    return false;
}

std::optional<FrameLimiter::Clock::time_point> FrameLimiter::due() const
{
    if (!waiting)
        return std::nullopt;
    return *lastShown + frame;
}

bool FrameLimiter::tick (Clock::time_point now)
{
    if (!waiting || now < *lastShown + frame)
        return false;
    waiting = false;
    lastShown = now;
    return true;
}
