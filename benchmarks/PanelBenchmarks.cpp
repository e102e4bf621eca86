// How the panel feels: the cost of one fader drag event and of a whole-panel
// paint at the largest magnification; and, at each View size, the panel's
// background painted and prepared as it is now beside the ways it was done
// before. Run under an X server, e.g.
//   xvfb-run -a build/benchmarks/qorv_ui_benchmarks

#include "BinaryData.h"
#include "MemoryMidiPlatform.h"
#include "UiTestSupport.h"
#include "ui/BitmapControls.h"
#include "ui/MainComponent.h"
#include "ui/PanelBackground.h"

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
        model = std::make_unique<EditorModel> (std::move (platform));
        panel = std::make_unique<MainComponent> (*model);
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
    std::unique_ptr<EditorModel> model;
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

//==============================================================================
// The background alone, at the four View sizes (the argument is the size in percent).

float viewScale (const benchmark::State& state)
{
    return static_cast<float> (state.range (0)) / 100.0f;
}

void atEveryViewSize (benchmark::internal::Benchmark* b)
{
    for (float scale : PanelBackground::storedScales)
        b->Arg (juce::roundToInt (scale * 100.0f));
}

/** The two layers as the embedded files hold them. */
struct Layers
{
    juce::Image background = loadEmbeddedImage (BinaryData::bg_2_png, BinaryData::bg_2_pngSize);
    juce::Image lettering = loadEmbeddedImage (BinaryData::bg_hires_layer_png, BinaryData::bg_hires_layer_pngSize);
};

// The naive paint: both layers resampled through the magnification on every paint.
void backgroundPaintBothLayers (benchmark::State& state)
{
    const float scale = viewScale (state);
    const Layers layers;
    auto image = panelImage (scale);
    const juce::Rectangle<float> panel (0.0f, 0.0f, MainComponent::panelWidth, MainComponent::panelHeight);
    for (auto _ : state)
    {
        juce::Graphics g (image);
        g.addTransform (juce::AffineTransform::scale (scale));
        g.drawImage (layers.background, panel);
        g.drawImage (layers.lettering, panel);
    }
    state.SetLabel ("naive: background and lettering drawn through the transform");
}
BENCHMARK (backgroundPaintBothLayers)->Apply (atEveryViewSize)->Unit (benchmark::kMillisecond);

// The panel's own paint: a copy of the background composed for the size.
void backgroundPaintComposed (benchmark::State& state)
{
    const float scale = viewScale (state);
    Panel p;
    auto image = panelImage (scale);
    const auto paintBackground = [&]
    {
        juce::Graphics g (image);
        g.addTransform (juce::AffineTransform::scale (scale));
        p.panel->paint (g);
    };
    paintBackground(); // decodes the background for this size
    for (auto _ : state)
        paintBackground();
    state.SetLabel ("MainComponent::paint, the composed background copied");
}
BENCHMARK (backgroundPaintComposed)->Apply (atEveryViewSize)->Unit (benchmark::kMillisecond);

// What the panel used to do on its first paint at a size: decode both layers
// (the lettering is 3640 x 2400) and compose them.
void backgroundPrepareByComposing (benchmark::State& state)
{
    const auto size = PanelBackground::pixelSize (viewScale (state));
    for (auto _ : state)
    {
        const Layers layers;
        benchmark::DoNotOptimize (PanelBackground::compose (layers.background, layers.lettering, size));
    }
    state.SetLabel ("decode both layers and compose (before)");
}
BENCHMARK (backgroundPrepareByComposing)->Apply (atEveryViewSize)->Unit (benchmark::kMillisecond);

// What it does now: decode the composition stored for the size.
void backgroundPrepareStored (benchmark::State& state)
{
    const auto size = PanelBackground::pixelSize (viewScale (state));
    for (auto _ : state)
        benchmark::DoNotOptimize (PanelBackground::forSize (size));
    state.SetLabel ("decode the background stored for the size (now)");
}
BENCHMARK (backgroundPrepareStored)->Apply (atEveryViewSize)->Unit (benchmark::kMillisecond);
} // namespace
