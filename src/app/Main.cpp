#include "app/AppState.h"
#include "app/MainWindow.h"

#include <juce_gui_basics/juce_gui_basics.h>

/** Starts and stops the one window; the settings holder lives as long as the application. */
class QorvApplication : public juce::JUCEApplication
{
public:
    QorvApplication() = default;
    ~QorvApplication() override = default;

    const juce::String getApplicationName() override { return "Qorv"; }
    const juce::String getApplicationVersion() override { return "3.4.2"; }

    void initialise (const juce::String&) override
    {
        mainWindow = std::make_unique<MainWindow> (getApplicationName(), appState);
    }

    void shutdown() override { mainWindow.reset(); }

    void getCommandInfo (juce::CommandID, juce::ApplicationCommandInfo&) override {}
    void getAllCommands (juce::Array<juce::CommandID>&) override {}
    bool perform (const juce::ApplicationCommandTarget::InvocationInfo&) override { return false; }

private:
    std::unique_ptr<MainWindow> mainWindow;
    AppState appState;
};

START_JUCE_APPLICATION (QorvApplication)
