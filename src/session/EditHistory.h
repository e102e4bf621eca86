#pragma once

#include "patch/PatchModel.h"

#include <cstddef>
#include <deque>

/** The states UNDO can step back to, newest last, at most maxSteps of them:
    when a new step would pass the limit the oldest is forgotten. */
class EditHistory
{
public:
    static constexpr size_t maxSteps = 50;

    void push (const PatchModel& state);
    /** The newest state, removed from the history. Only when canUndo(). */
    PatchModel pop();
    void clear() { states.clear(); }

    bool canUndo() const { return !states.empty(); }
    size_t size() const { return states.size(); }
    const PatchModel& oldest() const { return states.front(); }
    const PatchModel& newest() const { return states.back(); }

private:
    std::deque<PatchModel> states;
};
