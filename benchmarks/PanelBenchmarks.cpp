// How the panel feels: the cost of one fader drag event and of a whole-panel
// paint at the largest magnification. Run under an X server, e.g.
//   xvfb-run -a build/benchmarks/qorv_ui_benchmarks

#include "MemoryMidiPlatform.h"
#include "UiTestSupport.h"
#include "ui/MainComponent.h"

#include <benchmark/benchmark.h>
#include <juce_gui_basics/juce_gui_basics.h>

namespace
{
constexpr float xLarge = 1.75f;

struct Panel
{
    Panel()
    {
        auto platform = std::make_unique<MemoryMidiPlatform>();
        midi = platform.get();
        panel = std::make_unique<MainComponent> (std::move (platform));
        panel->midiEngine.openOutput (1);
    }

    /** Renders the part of the panel inside area (logical pixels) at a magnification. */
    void render (juce::Image& target, float scale, juce::Rectangle<int> area)
    {
        juce::Graphics g (target);
        g.addTransform (juce::AffineTransform::scale (scale));
        g.reduceClipRegion (area);
        panel->paintEntireComponent (g, false);
    }

    juce::ScopedJuceInitialiser_GUI juce;
    MemoryMidiPlatform* midi = nullptr;
    std::unique_ptr<MainComponent> panel;
};

juce::Image panelImage (float scale)
{
    return juce::Image (juce::Image::ARGB,
                        juce::roundToInt (MainComponent::panelWidth * scale),
                        juce::roundToInt (MainComponent::panelHeight * scale),
                        true);
}

void faderDragEvent (benchmark::State& state)
{
    Panel p;
    auto& fader = p.panel->voice.vcfFreqSlider;
    auto image = panelImage (xLarge);
    const auto faderArea = fader.getBounds();
    p.render (image, xLarge, p.panel->getLocalBounds()); // the background is composed once per magnification

    float y = 8.0f;
    for (auto _ : state)
    {
        y = y >= 88.0f ? 8.0f : y + 1.0f;
        UiTest::drag (fader, 12.0f, y);
        p.render (image, xLarge, faderArea);
        if (p.midi->sent.size() > 10000)
            p.midi->clearSent();
    }
    state.SetLabel ("handler, dump to the engine, fader area repainted at X-Large");
}
BENCHMARK (faderDragEvent)->Unit (benchmark::kMicrosecond);

void wholePanelPaint (benchmark::State& state)
{
    Panel p;
    auto image = panelImage (xLarge);
    p.render (image, xLarge, p.panel->getLocalBounds());
    for (auto _ : state)
        p.render (image, xLarge, p.panel->getLocalBounds());
    state.SetLabel ("whole panel at X-Large");
}
BENCHMARK (wholePanelPaint)->Unit (benchmark::kMillisecond);
} // namespace
