#pragma once

// Shared by the fuzz targets: a file in memory that the real load functions
// open by path, and a check that stops the run on a broken property.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

/** Aborts with a message so libFuzzer records the input that broke a rule. */
inline void require (bool holds, const char* rule)
{
    if (!holds)
    {
        std::fprintf (stderr, "property broken: %s\n", rule);
        std::abort();
    }
}

/** One anonymous in-memory file, rewritten for every input, so the fuzzers
    go through the same load(path) the program calls without touching disk. */
class MemoryFile
{
public:
    MemoryFile() : fd (::memfd_create ("qorv-fuzz", MFD_CLOEXEC)) { require (fd >= 0, "memfd_create works"); }
    ~MemoryFile() { ::close (fd); }
    MemoryFile (const MemoryFile&) = delete;
    MemoryFile& operator= (const MemoryFile&) = delete;

    /** Replaces the content and returns a path that opens it from the start. */
    std::string hold (const uint8_t* data, size_t size)
    {
        require (::ftruncate (fd, 0) == 0, "truncate works");
        size_t done = 0;
        while (done < size)
        {
            const ssize_t written = ::pwrite (fd, data + done, size - done, static_cast<off_t> (done));
            require (written > 0, "write works");
            done += static_cast<size_t> (written);
        }
        return "/proc/self/fd/" + std::to_string (fd);
    }

private:
    int fd;
};
