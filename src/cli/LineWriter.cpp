#include "cli/LineWriter.h"

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <unistd.h>

namespace QorvCli
{
struct LineWriter::Shared
{
    explicit Shared (int fileDescriptor, size_t maxWaiting) : fd (fileDescriptor), capacity (maxWaiting) {}

    const int fd;
    const size_t capacity;
    std::mutex lock;
    std::condition_variable work;    // a line came, or the end
    std::condition_variable drained; // nothing waits or is being written
    std::deque<std::string> lines;
    bool writing = false;
    bool ending = false;
    size_t dropped = 0;
    int error = 0;

    void run()
    {
        std::unique_lock<std::mutex> guard (lock);
        for (;;)
        {
            work.wait (guard, [this] { return !lines.empty() || ending; });
            if (lines.empty())
                return;
            std::string line = std::move (lines.front());
            lines.pop_front();
            writing = true;
            guard.unlock();
            const int failure = writeAll (line);
            guard.lock();
            writing = false;
            if (failure != 0)
            {
                // Nothing more can reach the reader: what waits is lost with it.
                error = failure;
                dropped += 1 + lines.size();
                lines.clear();
            }
            if (lines.empty())
                drained.notify_all();
        }
    }

    /** 0, or the errno of the failure. */
    int writeAll (const std::string& text) const
    {
        size_t done = 0;
        while (done < text.size())
        {
            const ssize_t count = ::write (fd, text.data() + done, text.size() - done);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                return count < 0 ? errno : EIO;
            done += static_cast<size_t> (count);
        }
        return 0;
    }
};

LineWriter::LineWriter (int fileDescriptor, size_t capacity)
    : shared (std::make_shared<Shared> (fileDescriptor, capacity)), thread ([state = shared] { state->run(); })
{
}

LineWriter::~LineWriter()
{
    finish (closingTime);
}

void LineWriter::write (std::string line)
{
    {
        const std::lock_guard<std::mutex> guard (shared->lock);
        if (shared->ending || shared->error != 0 || shared->lines.size() >= shared->capacity)
        {
            ++shared->dropped;
            return;
        }
        shared->lines.push_back (std::move (line) + "\n");
    }
    shared->work.notify_one();
}

LineWriter::Outcome LineWriter::finish (std::chrono::milliseconds limit)
{
    if (finished)
        return outcome;
    finished = true;
    std::unique_lock<std::mutex> guard (shared->lock);
    const bool allWritten = shared->drained.wait_for (
        guard, limit, [this] { return (shared->lines.empty() && !shared->writing) || shared->error != 0; });
    shared->ending = true;
    outcome = {shared->dropped + shared->lines.size() + (shared->writing ? 1 : 0), shared->error};
    shared->lines.clear();
    guard.unlock();
    shared->work.notify_one();
    if (allWritten)
        thread.join();
    else
        thread.detach(); // stuck in a write nobody takes: it ends with the process
    return outcome;
}
} // namespace QorvCli
