// The plugin's audio callback, timed in a host of our own (JUCE's VST3
// hosting): a 64-sample block with all 24 parameters moving in every block, as
// 24 automation lanes drawn as ramps, beside a bare JUCE plugin's empty
// callback in the same run; and the plugin's start-up (the instance created,
// a project's state restored, its window opened).
//
//   xvfb-run -a build/benchmarks/qorv_plugin_benchmarks
//
// The program's start-up beside the plugin's, from outside (time to the
// window mapped and painted):
//
//   xvfb-run -a -s "-screen 0 1920x1200x24" build/benchmarks/qorv_startup_probe
//       build/benchmarks/qorv_plugin_window build/qorv

#include "Vst3HostState.h"
#include "files/PluginState.h"

#include <benchmark/benchmark.h>
#include <juce_audio_processors/juce_audio_processors.h>

namespace
{
constexpr int blockSize = 64;

class Playing : public juce::AudioPlayHead
{
public:
    juce::Optional<PositionInfo> getPosition() const override
    {
        PositionInfo info;
        info.setIsPlaying (true);
        return info;
    }
};

std::unique_ptr<juce::AudioPluginInstance> load (juce::AudioPluginFormatManager& formats, const char* bundle)
{
    juce::OwnedArray<juce::PluginDescription> found;
    formats.getFormat (0)->findAllTypesForFile (found, bundle);
    if (found.isEmpty())
        return nullptr;
    juce::String error;
    auto plugin = formats.createPluginInstance (*found[0], 48000.0, blockSize, error);
    if (plugin != nullptr)
        plugin->prepareToPlay (48000.0, blockSize);
    return plugin;
}

/** A project whose Qorv sends through the host. */
juce::MemoryBlock projectState()
{
    PluginState state;
    state.way = PluginState::Way::throughHost;
    return vst3HostState (state.toBytes());
}

struct Hosting
{
    Hosting() { formats.addFormat (new juce::VST3PluginFormat()); }
    juce::ScopedJuceInitialiser_GUI gui;
    juce::AudioPluginFormatManager formats;
    Playing playing;
};

// Made in main, so it ends before the statics JUCE makes as it runs: one of
// those, the list of what is deleted at shutdown, must outlive it.
Hosting* currentHosting = nullptr;

Hosting& hosting()
{
    return *currentHosting;
}

void timeCallback (benchmark::State& state, const char* bundle, bool automate)
{
    auto plugin = load (hosting().formats, bundle);
    if (plugin == nullptr)
    {
        state.SkipWithError ("the plugin did not load");
        return;
    }
    plugin->setPlayHead (&hosting().playing);
    if (automate)
    {
        const auto block = projectState();
        plugin->setStateInformation (block.getData(), static_cast<int> (block.getSize()));
        juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
    }
    juce::AudioBuffer<float> audio (2, blockSize);
    juce::MidiBuffer midi;
    midi.ensureSize (4096);
    auto parameters = plugin->getParameters();
    long block = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        if (automate)
            for (int i = 0; i < parameters.size() && i < 24; ++i)
                parameters[i]->setValue (static_cast<float> ((block + i * 13) % 100) / 99.0f);
        midi.clear();
        ++block;
        state.ResumeTiming();
        plugin->processBlock (audio, midi);
    }
    state.SetLabel (automate ? "24 parameters moving every block" : "an empty callback");
}

void startUp (benchmark::State& state)
{
    for (auto _ : state)
    {
        auto plugin = load (hosting().formats, QORV_VST3_BUNDLE);
        const auto block = projectState();
        plugin->setStateInformation (block.getData(), static_cast<int> (block.getSize()));
        std::unique_ptr<juce::AudioProcessorEditor> editor (plugin->createEditorIfNeeded());
        juce::DocumentWindow window ("Qorv", juce::Colours::black, 0);
        window.setContentNonOwned (editor.get(), true);
        window.setVisible (true);
        juce::MessageManager::getInstance()->runDispatchLoopUntil (1);
        window.clearContentComponent();
        editor.reset();
        state.PauseTiming();
        plugin.reset();
        state.ResumeTiming();
    }
    state.SetLabel ("instance created, state restored, window opened");
}
} // namespace

BENCHMARK_CAPTURE (timeCallback, Qorv, QORV_VST3_BUNDLE, true)->Unit (benchmark::kMicrosecond);
BENCHMARK_CAPTURE (timeCallback, BareJucePlugin, QORV_BARE_VST3_BUNDLE, false)->Unit (benchmark::kMicrosecond);
BENCHMARK (startUp)->Unit (benchmark::kMillisecond)->Iterations (10);

int main (int argc, char** argv)
{
    // Windows are made as in a program JUCE knows to be one: X errors ignored, Xlib set up for threads.
    juce::JUCEApplicationBase::createInstance = []() -> juce::JUCEApplicationBase* { return nullptr; };
    benchmark::Initialize (&argc, argv);
    Hosting shared;
    currentHosting = &shared;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
