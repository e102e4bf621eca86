// The plugin's window as a host opens it, in a program of its own: loads
// Qorv.vst3, restores a project's state and shows the window. For the start-up
// probe (beside the program itself) and for screenshots.
//
//   build/benchmarks/qorv_plugin_window

#include "Vst3HostState.h"
#include "files/PluginState.h"

#include <juce_audio_processors/juce_audio_processors.h>

namespace
{
class PluginWindowApplication final : public juce::JUCEApplication
{
public:
    const juce::String getApplicationName() override { return "Qorv plugin window"; }
    const juce::String getApplicationVersion() override { return "1"; }

    void initialise (const juce::String&) override
    {
        formats.addFormat (new juce::VST3PluginFormat());
        juce::OwnedArray<juce::PluginDescription> found;
        formats.getFormat (0)->findAllTypesForFile (found, QORV_VST3_BUNDLE);
        juce::String error;
        if (found.isEmpty() || (plugin = formats.createPluginInstance (*found[0], 48000.0, 64, error)) == nullptr)
        {
            std::fprintf (stderr, "qorv_plugin_window: the plugin did not load %s\n", error.toRawUTF8());
            setApplicationReturnValue (1);
            quit();
            return;
        }
        PluginState state;
        state.active.name = "Brass Set";
        const auto block = vst3HostState (state.toBytes());
        plugin->setStateInformation (block.getData(), static_cast<int> (block.getSize()));

        window = std::make_unique<juce::DocumentWindow> (
            "Qorv (plugin)", juce::Colours::black, juce::DocumentWindow::closeButton);
        window->setUsingNativeTitleBar (true);
        window->setContentOwned (plugin->createEditorIfNeeded(), true);
        window->centreWithSize (window->getWidth(), window->getHeight());
        window->setVisible (true);
    }

    void shutdown() override
    {
        window.reset();
        plugin.reset();
    }

    void systemRequestedQuit() override { quit(); }

private:
    juce::AudioPluginFormatManager formats;
    std::unique_ptr<juce::AudioPluginInstance> plugin;
    std::unique_ptr<juce::DocumentWindow> window;
};
} // namespace

START_JUCE_APPLICATION (PluginWindowApplication)
