#pragma once

#include <chrono>
#include <csignal>
#include <functional>
#include <grp.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

/** The user tests drop to when they run as root, where permissions are not checked. */
constexpr uid_t nobodyUser = 65534;
constexpr gid_t nobodyGroup = 65534;

inline bool runningAsRoot()
{
    return ::geteuid() == 0;
}

/** What a forked child reported: its text, or that it never finished. */
struct ChildReport
{
    bool finished = false;
    std::string text;
};

/** Runs `work` in a forked child and returns the text it gives back. A child
    that does not finish within `timeout` (blocked on a pipe, say) is killed,
    so a fault that hangs fails the test rather than the test run. With
    `unprivileged`, a child of root first becomes nobody, so permission checks
    apply to it; a child of any other user is unprivileged already. */
inline ChildReport runInChild (const std::function<std::string()>& work,
                               bool unprivileged = false,
                               std::chrono::milliseconds timeout = std::chrono::seconds (10))
{
    int channel[2];
    if (::pipe (channel) != 0)
        return {false, "pipe failed"};
    const pid_t child = ::fork();
    if (child == 0)
    {
        ::close (channel[0]);
        std::string text;
        if (unprivileged && runningAsRoot() &&
            (::setgroups (0, nullptr) != 0 || ::setgid (nobodyGroup) != 0 || ::setuid (nobodyUser) != 0))
            text = "could not become nobody";
        else
            text = work();
        for (size_t done = 0; done < text.size();)
        {
            const ssize_t written = ::write (channel[1], text.data() + done, text.size() - done);
            if (written <= 0)
                break;
            done += static_cast<size_t> (written);
        }
        ::_exit (0);
    }
    ::close (channel[1]);
    if (child < 0)
    {
        ::close (channel[0]);
        return {false, "fork failed"};
    }

    ChildReport report;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;)
    {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds> (deadline - std::chrono::steady_clock::now());
        pollfd readable{channel[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll (&readable, 1, static_cast<int> (left.count())) <= 0)
            break; // timed out
        char buffer[4096];
        const ssize_t got = ::read (channel[0], buffer, sizeof (buffer));
        if (got <= 0)
        {
            report.finished = true; // the child closed its end: it is done
            break;
        }
        report.text.append (buffer, static_cast<size_t> (got));
    }
    ::close (channel[0]);
    if (!report.finished)
        ::kill (child, SIGKILL);
    int status = 0;
    ::waitpid (child, &status, 0);
    report.finished = report.finished && WIFEXITED (status) && WEXITSTATUS (status) == 0;
    return report;
}
