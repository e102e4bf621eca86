#include "app/AppState.h"
#include "app/MainWindow.h"
#include "app/TerminationSignals.h"
#include "cli/QorvCli.h"
#include "files/FilePath.h"

#include "QorvVersion.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <X11/Xlib.h>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace
{
/** The files named on the command line, as their bytes: JUCE's own copy of
    the arguments is text, which a Latin-1 name does not survive. */
std::vector<std::string> filesGiven;

/** What is kept when the display goes away. */
std::function<void()> keepWorkWhenDisplayLost;

/** The X server went away (it was stopped, or the session's display with
    it): Xlib ends the program once this returns, so the work is kept here,
    as a signal ending the session keeps it, and the program ends as such a
    signal ends it. Nothing in here may talk to the display. */
int displayLost (Display*)
{
    if (keepWorkWhenDisplayLost)
        keepWorkWhenDisplayLost();
    std::_Exit (0);
}
} // namespace

/** Starts and stops the one window; the settings holder lives as long as the
    application, so the settings file is read before the window exists. */
class QorvApplication : public juce::JUCEApplication
{
public:
    QorvApplication() = default;
    ~QorvApplication() override = default;

    const juce::String getApplicationName() override { return "Qorv"; }
    const juce::String getApplicationVersion() override { return QorvVersion::text; }

    void initialise (const juce::String&) override
    {
        mainWindow = std::make_unique<MainWindow> (getApplicationName(), appState);
        // The window carries its own menu bar: there is no global one to install here.
        mainWindow->loadState();
        // From here on, a logout or kill keeps the unsaved work for the next start.
        endOfSession = std::make_unique<TerminationSignals> (
            [this]
            {
                if (mainWindow != nullptr)
                    mainWindow->endSessionNow();
                else
                    quit();
            });
        // JUCE's own handler, installed with the window, would end the program with nothing kept.
        keepWorkWhenDisplayLost = [this]
        {
            if (mainWindow == nullptr)
                return;
            mainWindow->keepWorkNow();
            mainWindow->mainComponent->midiEngine.close(); // the notes it started stop
        };
        XSetIOErrorHandler (displayLost);
        mainWindow->start (filesGiven);
        // Last, so the devices opened from the settings are not second-guessed.
        mainWindow->installDeviceChangeHandler();
    }

    /** The desktop session asks to end: the library's unsaved changes are asked about first. */
    void systemRequestedQuit() override
    {
        if (mainWindow != nullptr)
            mainWindow->quitWhenAllowed();
        else
            quit();
    }

    void shutdown() override
    {
        mainWindow->prepareToQuit();
        mainWindow->saveState();
        mainWindow.reset();
        endOfSession.reset();
    }

    void getCommandInfo (juce::CommandID, juce::ApplicationCommandInfo&) override {}
    void getAllCommands (juce::Array<juce::CommandID>&) override {}
    bool perform (const juce::ApplicationCommandTarget::InvocationInfo&) override { return false; }

private:
    std::unique_ptr<MainWindow> mainWindow;
    AppState appState;
    std::unique_ptr<TerminationSignals> endOfSession;
};

namespace
{
juce::JUCEApplicationBase* createApplication()
{
    return new QorvApplication();
}

/** Whether an X display can be opened: without one the window cannot exist. */
bool canOpenDisplay()
{
    Display* display = XOpenDisplay (nullptr);
    if (display == nullptr)
        return false;
    XCloseDisplay (display);
    return true;
}
} // namespace

int main (int argc, char* argv[])
{
    // A command runs without the window: no display is opened, no GUI started.
    if (argc > 1 && QorvCli::handles (argv[1]))
        return QorvCli::run (argc, argv);

    if (!canOpenDisplay())
    {
        const char* name = std::getenv ("DISPLAY");
        std::fprintf (stderr,
                      "qorv: cannot open the X display%s%s: the window needs a graphical desktop\n",
                      name != nullptr && *name != '\0' ? " " : "",
                      name != nullptr ? name : "");
        return 1;
    }
    const std::string workingFolder = FilePath::workingFolder();
    for (int i = 1; i < argc; ++i)
        filesGiven.push_back (FilePath::absolute (argv[i], workingFolder));
    juce::JUCEApplicationBase::createInstance = &createApplication;
    return juce::JUCEApplicationBase::main (argc, const_cast<const char**> (argv));
}
