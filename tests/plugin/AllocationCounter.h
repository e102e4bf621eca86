#pragma once

#include <cstddef>
#include <string>

/** Counts the heap allocations a plugin makes on this thread while a Counting
    lives: operator new and malloc are replaced for the whole process, and an
    allocation counts when the plugin's library is on the stack, whatever code
    of the host called into it. */
namespace AllocationCounter
{
class Counting
{
public:
    /** Counts allocations made with code of the library at `libraryPath` on the stack. */
    explicit Counting (const std::string& libraryPath);
    ~Counting();
    size_t allocations() const;

    Counting (const Counting&) = delete;
    Counting& operator= (const Counting&) = delete;
};
} // namespace AllocationCounter
