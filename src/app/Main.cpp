#include "app/AppState.h"
#include "app/MainWindow.h"

#include "QorvVersion.h"

#include <juce_gui_basics/juce_gui_basics.h>

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
        // Last, so the devices opened from the settings are not second-guessed.
        mainWindow->installDeviceChangeHandler();
    }

    void shutdown() override
    {
        mainWindow->prepareToQuit();
        mainWindow->saveState();
        mainWindow.reset();
    }

    void getCommandInfo (juce::CommandID, juce::ApplicationCommandInfo&) override {}
    void getAllCommands (juce::Array<juce::CommandID>&) override {}
    bool perform (const juce::ApplicationCommandTarget::InvocationInfo&) override { return false; }

private:
    std::unique_ptr<MainWindow> mainWindow;
    AppState appState;
};

START_JUCE_APPLICATION (QorvApplication)
