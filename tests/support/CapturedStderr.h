#pragma once

#include <cstdio>
#include <string>

/** Catches everything written to the process's standard error (the file
    descriptor itself, so C libraries' output too) from its creation until
    finish(). */
class CapturedStderr
{
public:
    CapturedStderr();
    ~CapturedStderr();
    CapturedStderr (const CapturedStderr&) = delete;
    CapturedStderr& operator= (const CapturedStderr&) = delete;

    /** Gives standard error back and returns what was written meanwhile. */
    std::string finish();

private:
    std::FILE* capture = nullptr;
    int savedStderr = -1;
};
