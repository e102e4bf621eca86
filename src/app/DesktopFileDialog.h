#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

/** What a file dialog is asked to show. */
struct FileDialogRequest
{
    juce::String title;
    std::string initialPath; // a file or folder to start at, as bytes; empty: the dialog's own default
    juce::String pattern;
    int flags = 0; // juce::FileBrowserComponent flags
};

/** The desktop's own file dialog (zenity), run as a child process this object
    owns. Every chosen path arrives whole and byte for byte, whatever
    characters it holds (a Latin-1 name is not UTF-8), and closing the
    dialog's owner closes the dialog. Without zenity it falls back to JUCE's
    own file browser. One dialog at a time. */
class DesktopFileDialog : private juce::Timer
{
public:
    /** The chosen paths, as bytes. */
    using Done = std::function<void (const std::vector<std::string>&)>;

    DesktopFileDialog() = default;
    ~DesktopFileDialog() override;

    /** Opens the dialog (closing one still open) and calls back once with the
        chosen files, or with none when it was cancelled. */
    void open (const FileDialogRequest& request, Done done);
    /** Closes an open dialog without calling back. */
    void close();
    bool isOpen() const { return child > 0 || (fallback != nullptr && whenDone != nullptr); }

    /** zenity's arguments for a request; multiple choices come separated by "/". */
    static std::vector<std::string> zenityArguments (const FileDialogRequest& request, juce::uint64 parentWindow);
    /** The paths in zenity's output. Paths are absolute and canonical, so two
        slashes in a row only ever stand between two of them. */
    static std::vector<std::string> splitChosenPaths (std::string output, bool multiple);

private:
    void timerCallback() override;
    void readAvailable();
    void finish (int exitStatus);
    void openFallback (const FileDialogRequest& request);

    pid_t child = -1;
    int outputFd = -1;
    std::string output;
    bool multiple = false;
    Done whenDone;
    std::unique_ptr<juce::FileChooser> fallback;

    JUCE_DECLARE_NON_COPYABLE (DesktopFileDialog)
};
