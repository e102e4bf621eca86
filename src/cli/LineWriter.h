#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>

namespace QorvCli
{
/** Lines for a file descriptor (standard output), written by a thread of
    its own, so that whoever writes a line never waits for a reader: a
    command that translates while it reports goes on translating when
    nothing reads what it reports. Lines beyond what may wait are dropped and
    counted. */
class LineWriter
{
public:
    /** How many lines may wait for a slow reader. */
    static constexpr size_t defaultCapacity = 4096;

    explicit LineWriter (int fileDescriptor, size_t capacity = defaultCapacity);
    /** As finish (closingTime) when it was not called. */
    ~LineWriter();

    /** Adds a line end and hands the line to the writing thread; never waits. */
    void write (std::string line);

    /** What became of the lines. */
    struct Outcome
    {
        size_t unwritten = 0; // dropped for a slow reader, or left when it would not take them in time
        int error = 0;        // errno of a write that failed (a closed pipe), 0 for none
    };
    /** Waits at most `limit` for the lines still waiting to be written, then
        lets the writing thread go, even one a reader keeps waiting. Later lines
        are dropped. */
    Outcome finish (std::chrono::milliseconds limit);
    static constexpr std::chrono::milliseconds closingTime{1000};

    LineWriter (const LineWriter&) = delete;
    LineWriter& operator= (const LineWriter&) = delete;

private:
    struct Shared;
    // Shared with the thread, which may outlive this object while a write it began never returns.
    std::shared_ptr<Shared> shared;
    std::thread thread;
    bool finished = false;
    Outcome outcome;
};
} // namespace QorvCli
