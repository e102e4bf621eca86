#pragma once

#include <string>
#include <utility>

/** The outcome of a write: done, or the reason it was refused or failed, in
    words meant for the person who asked for it. */
struct WriteResult
{
    bool ok = true;
    /** Empty when ok; otherwise one or two plain sentences. */
    std::string reason;

    static WriteResult success() { return {}; }
    static WriteResult failure (std::string why) { return {false, std::move (why)}; }

    explicit operator bool() const { return ok; }
};
