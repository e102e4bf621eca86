#include "app/DesktopFileDialog.h"

#include "files/FilePath.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
using Browser = juce::FileBrowserComponent;

constexpr int pollMs = 50;
const std::string pathSeparator = "/";

bool has (int flags, int flag)
{
    return (flags & flag) != 0;
}

juce::uint64 activeWindowId()
{
    if (auto* top = juce::TopLevelWindow::getActiveTopLevelWindow())
        return static_cast<juce::uint64> (reinterpret_cast<juce::pointer_sized_uint> (top->getWindowHandle()));
    return 0;
}

bool isFolder (const std::string& path)
{
    struct stat info;
    return !path.empty() && ::stat (path.c_str(), &info) == 0 && S_ISDIR (info.st_mode);
}

/** The folder the dialog starts in: the proposal itself or its folder, else the home folder. */
std::string startFolder (const std::string& initial)
{
    if (isFolder (initial))
        return initial;
    if (!initial.empty() && isFolder (std::string (FilePath::folderOf (initial))))
        return std::string (FilePath::folderOf (initial));
    return juce::File::getSpecialLocation (juce::File::userHomeDirectory).getFullPathName().toStdString();
}
} // namespace

DesktopFileDialog::~DesktopFileDialog()
{
    close();
}

std::vector<std::string> DesktopFileDialog::zenityArguments (const FileDialogRequest& request,
                                                             juce::uint64 parentWindow)
{
    std::vector<std::string> args{"zenity", "--file-selection", "--modal"};
    if (request.title.isNotEmpty())
        args.push_back ("--title=" + request.title.toStdString());
    if (parentWindow != 0)
        args.push_back ("--attach=" + std::to_string (parentWindow));
    if (has (request.flags, Browser::canSelectMultipleItems))
    {
        args.push_back ("--multiple");
        args.push_back ("--separator=" + pathSeparator);
    }
    if (has (request.flags, Browser::saveMode))
        args.push_back ("--save");
    if (has (request.flags, Browser::canSelectDirectories) && !has (request.flags, Browser::canSelectFiles))
        args.push_back ("--directory");
    if (request.pattern.isNotEmpty() && request.pattern != "*" && request.pattern != "*.*")
        args.push_back ("--file-filter=" + request.pattern.toStdString());
    // Relative to the folder the dialog starts in.
    if (!isFolder (request.initialPath) && !FilePath::fileName (request.initialPath).empty())
        args.push_back ("--filename=" + std::string (FilePath::fileName (request.initialPath)));
    return args;
}

std::vector<std::string> DesktopFileDialog::splitChosenPaths (std::string text, bool multipleChoices)
{
    // zenity ends its answer with one newline; a name may itself end in one.
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    // zenity says "(null)" when OK is pressed with nothing chosen: its paths are always absolute.
    if (text.empty() || text.front() != '/')
        return {};
    if (!multipleChoices)
        return {text};

    std::vector<std::string> paths;
    const std::string between = pathSeparator + "/"; // the separator, then the next path's leading slash
    size_t start = 0;
    for (size_t at = text.find (between); at != std::string::npos; at = text.find (between, start))
    {
        paths.push_back (text.substr (start, at - start));
        start = at + pathSeparator.size();
    }
    paths.push_back (text.substr (start));
    return paths;
}

void DesktopFileDialog::open (const FileDialogRequest& request, Done done)
{
    close();
    whenDone = std::move (done);
    multiple = has (request.flags, Browser::canSelectMultipleItems);

    const auto args = zenityArguments (request, activeWindowId());
    std::vector<char*> argv;
    for (const auto& arg : args)
        argv.push_back (const_cast<char*> (arg.c_str()));
    argv.push_back (nullptr);

    int pipeFds[2];
    if (::pipe2 (pipeFds, O_CLOEXEC) != 0)
    {
        openFallback (request);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init (&actions);
    posix_spawn_file_actions_adddup2 (&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addchdir_np (&actions, startFolder (request.initialPath).c_str());

    pid_t pid = -1;
    const int spawned = ::posix_spawnp (&pid, "zenity", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy (&actions);
    ::close (pipeFds[1]);
    if (spawned != 0)
    {
        ::close (pipeFds[0]);
        openFallback (request);
        return;
    }

    child = pid;
    outputFd = pipeFds[0];
    ::fcntl (outputFd, F_SETFL, ::fcntl (outputFd, F_GETFL) | O_NONBLOCK);
    output.clear();
    startTimer (pollMs);
}

void DesktopFileDialog::readAvailable()
{
    char buffer[4096];
    for (;;)
    {
        const ssize_t got = ::read (outputFd, buffer, sizeof (buffer));
        if (got > 0)
            output.append (buffer, static_cast<size_t> (got));
        else if (got < 0 && errno == EINTR)
            continue;
        else
            return; // the end, or nothing more for now
    }
}

void DesktopFileDialog::timerCallback()
{
    // Read while it runs, so a long answer never fills the pipe and stalls the dialog.
    readAvailable();
    int status = 0;
    if (::waitpid (child, &status, WNOHANG) == child)
    {
        readAvailable();
        finish (WIFEXITED (status) ? WEXITSTATUS (status) : -1);
    }
}

void DesktopFileDialog::finish (int exitStatus)
{
    stopTimer();
    ::close (outputFd);
    outputFd = -1;
    child = -1;

    std::vector<std::string> chosen;
    if (exitStatus == 0)
        chosen = splitChosenPaths (output, multiple);
    output.clear();

    // Taken out first: the answer may open the next dialog.
    const Done done = std::move (whenDone);
    whenDone = nullptr;
    if (done)
        done (chosen);
}

void DesktopFileDialog::close()
{
    stopTimer();
    if (child > 0)
    {
        // Asked politely first; a dialog that does not go within a moment is ended.
        ::kill (child, SIGTERM);
        int status = 0;
        bool ended = false;
        for (int wait = 0; wait < 40 && !ended; ++wait)
        {
            ended = ::waitpid (child, &status, WNOHANG) == child;
            if (!ended)
                ::usleep (5000);
        }
        if (!ended)
        {
            ::kill (child, SIGKILL);
            while (::waitpid (child, &status, 0) < 0 && errno == EINTR)
            {
            }
        }
        child = -1;
    }
    if (outputFd >= 0)
    {
        ::close (outputFd);
        outputFd = -1;
    }
    fallback.reset();
    whenDone = nullptr;
    output.clear();
}

void DesktopFileDialog::openFallback (const FileDialogRequest& request)
{
    const auto initial =
        juce::String::fromUTF8 (request.initialPath.data(), static_cast<int> (request.initialPath.size()));
    fallback = std::make_unique<juce::FileChooser> (
        request.title, initial.isEmpty() ? juce::File() : juce::File (initial), request.pattern, false);
    fallback->launchAsync (request.flags,
                           [this] (const juce::FileChooser& finished)
                           {
                               std::vector<std::string> chosen;
                               for (const auto& file : finished.getResults())
                                   chosen.push_back (file.getFullPathName().toStdString());
                               const Done done = std::move (whenDone);
                               whenDone = nullptr;
                               if (done)
                                   done (chosen);
                           });
}
