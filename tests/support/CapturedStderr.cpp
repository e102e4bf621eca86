#include "CapturedStderr.h"

#include <iostream>
#include <unistd.h>

CapturedStderr::CapturedStderr() : capture (std::tmpfile())
{
    std::fflush (stderr);
    std::cerr.flush();
    savedStderr = dup (STDERR_FILENO);
    if (capture != nullptr)
        dup2 (fileno (capture), STDERR_FILENO);
}

CapturedStderr::~CapturedStderr()
{
    finish();
    if (capture != nullptr)
        std::fclose (capture);
}

std::string CapturedStderr::finish()
{
    if (savedStderr < 0)
        return {};
    std::fflush (stderr);
    std::cerr.flush();
    dup2 (savedStderr, STDERR_FILENO);
    close (savedStderr);
    savedStderr = -1;

    std::string text;
    if (capture == nullptr)
        return "(stderr could not be captured)";
    std::rewind (capture);
    char buffer[512];
    size_t count = 0;
    while ((count = std::fread (buffer, 1, sizeof (buffer), capture)) > 0)
        text.append (buffer, count);
    return text;
}
