#include "QorvProcess.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{
std::string readText (const std::string& path)
{
    std::ifstream in (path, std::ios::binary);
    return {std::istreambuf_iterator<char> (in), std::istreambuf_iterator<char>()};
}
} // namespace

QorvProcess::QorvProcess (const std::string& folder,
                          const std::vector<std::string>& arguments,
                          const std::vector<std::string>& environment,
                          const std::string& program,
                          Output outputTo)
{
    // Outside the folder, so the program's own files there are all a test finds.
    static std::atomic<int> runs{0};
    const std::string stem = "/tmp/qorv-cli-test-" + std::to_string (::getpid()) + "-" + std::to_string (runs++);
    outPath = stem + ".out";
    errPath = stem + ".err";

    // Everything the child needs is made before the fork.
    std::vector<std::string> words{program};
    words.insert (words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back (word.data());
    argv.push_back (nullptr);

    std::vector<std::string> settings;
    for (char** entry = environ; *entry != nullptr; ++entry)
    {
        const std::string setting (*entry);
        const std::string name = setting.substr (0, setting.find ('='));
        const bool changed =
            std::any_of (environment.begin(),
                         environment.end(),
                         [&name] (const std::string& change) { return change.substr (0, change.find ('=')) == name; });
        if (!changed)
            settings.push_back (setting);
    }
    for (const auto& change : environment)
        if (change.back() != '=')
            settings.push_back (change);
    std::vector<char*> envp;
    for (auto& setting : settings)
        envp.push_back (setting.data());
    envp.push_back (nullptr);

    int out = -1;
    if (outputTo == Output::unread)
    {
        int ends[2];
        if (::pipe2 (ends, O_CLOEXEC) == 0)
        {
            unreadEnd = ends[0];
            out = ends[1];
        }
    }
    else
    {
        out = ::open (outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    }
    const int err = ::open (errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int in = ::open ("/dev/null", O_RDONLY | O_CLOEXEC);
    child = ::fork();
    if (child == 0)
    {
        if (out < 0 || err < 0 || in < 0 || ::dup2 (in, 0) < 0 || ::dup2 (out, 1) < 0 || ::dup2 (err, 2) < 0 ||
            ::chdir (folder.c_str()) != 0)
            ::_exit (127);
        ::execve (argv[0], argv.data(), envp.data());
        ::_exit (127);
    }
    for (const int fd : {out, err, in})
        if (fd >= 0)
            ::close (fd);
}

QorvProcess::~QorvProcess()
{
    if (child > 0 && !hasEnded())
    {
        ::kill (child, SIGKILL);
        ::waitpid (child, nullptr, 0);
    }
    if (unreadEnd >= 0)
        ::close (unreadEnd);
    ::unlink (outPath.c_str());
    ::unlink (errPath.c_str());
}

bool QorvProcess::hasEnded()
{
    if (ended || child <= 0)
        return true;
    int status = 0;
    if (::waitpid (child, &status, WNOHANG) != child)
        return false;
    ended = true;
    exitStatus = WIFEXITED (status) ? WEXITSTATUS (status) : -1;
    return true;
}

bool QorvProcess::waitFor (const std::string& path, const std::string& text, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;)
    {
        const bool endedBefore = hasEnded();
        if (readText (path).find (text) != std::string::npos)
            return true;
        if (endedBefore || std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for (std::chrono::milliseconds (20));
    }
}

bool QorvProcess::waitForOutput (const std::string& text, std::chrono::milliseconds timeout)
{
    return waitFor (outPath, text, timeout);
}

bool QorvProcess::waitForError (const std::string& text, std::chrono::milliseconds timeout)
{
    return waitFor (errPath, text, timeout);
}

void QorvProcess::signal (int signalNumber)
{
    if (!hasEnded())
        ::kill (child, signalNumber);
}

QorvResult QorvProcess::finish (std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!hasEnded() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for (std::chrono::milliseconds (10));
    if (!hasEnded())
    {
        ::kill (child, SIGKILL);
        ::waitpid (child, nullptr, 0);
        ended = true;
        exitStatus = -1;
    }
    return {exitStatus, output(), errors()};
}

std::string QorvProcess::output() const
{
    return readText (outPath);
}

std::string QorvProcess::errors() const
{
    return readText (errPath);
}

QorvResult runQorv (const std::string& folder,
                    const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment)
{
    QorvProcess process (folder, arguments, environment);
    return process.finish();
}

int runShell (const std::string& command)
{
    const int status = std::system (command.c_str());
    return WIFEXITED (status) ? WEXITSTATUS (status) : -1;
}
