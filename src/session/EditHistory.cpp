#include "session/EditHistory.h"

#include <utility>

void EditHistory::push (const PatchModel& state)
{
    states.push_back (state);
    if (states.size() > maxSteps)
        states.pop_front();
}

PatchModel EditHistory::pop()
{
    PatchModel newestState = std::move (states.back());
    states.pop_back();
    return newestState;
}
