#pragma once

#include <csignal>
#include <sys/resource.h>

/** Lowers the largest file this process may write, so a write fails half way
    the way a full disk makes it fail. */
class FileSizeLimit
{
public:
    explicit FileSizeLimit (rlim_t bytes)
    {
        previousHandler = std::signal (SIGXFSZ, SIG_IGN);
        ::getrlimit (RLIMIT_FSIZE, &previous);
        rlimit lowered = previous;
        lowered.rlim_cur = bytes;
        ::setrlimit (RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        ::setrlimit (RLIMIT_FSIZE, &previous);
        std::signal (SIGXFSZ, previousHandler);
    }
    FileSizeLimit (const FileSizeLimit&) = delete;
    FileSizeLimit& operator= (const FileSizeLimit&) = delete;

private:
    rlimit previous{};
    void (*previousHandler) (int);
};
