#pragma once

#include <chrono>
#include <csignal>
#include <string>
#include <sys/types.h>
#include <vector>

/** What a finished run of the program left: its exit status (-1 when it did
    not exit by itself in time, or was killed by a signal) and its two outputs. */
struct QorvResult
{
    int status = -1;
    std::string out;
    std::string err;
};

/** The real `qorv` binary (QORV_BINARY), or another program beside it,
    started as a user starts it, with standard output and error caught in
    files of their own, so nothing the program writes can block it. */
class QorvProcess
{
public:
    /** Where standard output goes. */
    enum class Output
    {
        caught, // a file, read by output()
        unread  // a pipe nobody reads: once it is full, every write waits
    };

    /** Starts `qorv ARGS...` (or `program ARGS...`) in `folder`, its working
        directory, with the environment changed by `environment` ("NAME=value"
        sets, "NAME=" with nothing after the '=' removes). */
    QorvProcess (const std::string& folder,
                 const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment = {},
                 const std::string& program = QORV_BINARY,
                 Output outputTo = Output::caught);
    /** Kills the program if it still runs. */
    ~QorvProcess();

    /** Waits until the output (or error) stream holds `text`; false on timeout or when the program ended first. */
    bool waitForOutput (const std::string& text, std::chrono::milliseconds timeout = std::chrono::seconds (30));
    bool waitForError (const std::string& text, std::chrono::milliseconds timeout = std::chrono::seconds (30));
    void signal (int signalNumber);
    /** Waits for the end (killing the program after the timeout) and returns what it left. */
    QorvResult finish (std::chrono::milliseconds timeout = std::chrono::seconds (60));

    std::string output() const;
    std::string errors() const;

    QorvProcess (const QorvProcess&) = delete;
    QorvProcess& operator= (const QorvProcess&) = delete;

private:
    bool waitFor (const std::string& path, const std::string& text, std::chrono::milliseconds timeout);
    bool hasEnded();

    std::string outPath, errPath;
    pid_t child = -1;
    int unreadEnd = -1; // the pipe's reading end, held open and never read
    int exitStatus = -1;
    bool ended = false;
};

/** Runs `qorv ARGS...` in `folder` to its end. */
QorvResult runQorv (const std::string& folder,
                    const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment = {});

/** Runs a shell command line; returns its exit status. */
int runShell (const std::string& command);
