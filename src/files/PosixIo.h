#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

/** The few system calls the file layer repeats, with interrupted calls
    retried and descriptors that close themselves. */
namespace PosixIo
{
/** Closes its descriptor when it goes out of scope. */
class FileDescriptor
{
public:
    explicit FileDescriptor (int descriptor = -1) : fd (descriptor) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor (const FileDescriptor&) = delete;
    FileDescriptor& operator= (const FileDescriptor&) = delete;

    bool isOpen() const { return fd >= 0; }
    int get() const { return fd; }

    /** Closes the one held (if any) and holds `descriptor` instead. */
    void reset (int descriptor = -1);
    /** Closes now and reports whether the close itself succeeded. */
    bool close();
    /** Hands the descriptor over to the caller, who closes it from now on. */
    int release();

private:
    int fd;
};

/** Appends up to `limit` bytes read from the current position; false on a read error. */
bool readUpTo (int fd, size_t limit, std::vector<uint8_t>& out);

/** Writes every byte at `offset`; false (errno set) when the system refuses some. */
bool writeAllAt (int fd, const uint8_t* data, size_t size, off_t offset);

/** What a failed call is about, so the same error can be said in the right words. */
enum class Subject
{
    folder, // making, naming or renaming entries in it
    file    // opening or writing the file itself
};

/** A plain sentence for an error the system reported: the common ones in a
    musician's words, the others in the system's own (strerror). */
std::string reasonFor (int error, Subject subject);
} // namespace PosixIo
