// The BANK list scrolling through 10,000 rows, each with a preview's
// waveform and play mark, beside the same list without them: the time of
// one frame (the list moved on by a row and painted whole at X-Large).

#include "TempFolder.h"
#include "previews/LibraryPreviews.h"
#include "ui/LibraryListBox.h"

#include <benchmark/benchmark.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <filesystem>

namespace
{
constexpr int rowCount = 10000;

/** 10,000 patches, each with a short preview of its own, made once. */
struct BigBank
{
    BigBank()
    {
        library.patches.resize (rowCount);
        for (int i = 0; i < rowCount; ++i)
        {
            auto& patch = library.patches[static_cast<size_t> (i)];
            patch.name = "Patch " + std::to_string (i);
            patch.data.fill (0);
            patch.data[0] = static_cast<uint8_t> (i & 0x7F);
            patch.data[1] = static_cast<uint8_t> ((i >> 7) & 0x7F);
        }
        const std::string libraryPath = folder.path ("Big.106");
        PreviewFolder store (PreviewFolder::folderFor (libraryPath));
        std::vector<float> audio (2400);
        for (size_t i = 0; i < audio.size(); ++i)
            audio[i] = static_cast<float> (std::sin (static_cast<double> (i) * 0.05) *
                                           (1.0 - static_cast<double> (i) / audio.size()));
        for (const auto& patch : library.patches)
        {
            PreviewInfo info;
            info.bytes = patch.data;
            store.store (info, audio);
        }
        store.saveIndex();
        previews.follow (libraryPath);
    }

    TempFolder folder;
    LibraryModel library;
    LibraryPreviews previews;
};

BigBank& bank()
{
    static BigBank made;
    return made;
}

void bankScrolling (benchmark::State& state)
{
    juce::ScopedJuceInitialiser_GUI juce;
    auto& big = bank();
    LibraryListBox list (big.library);
    list.setBounds (0, 0, 172, 248);
    if (state.range (0) != 0)
        list.previews = &big.previews;
    constexpr float xLarge = 1.75f;
    juce::Image image (juce::Image::ARGB, juce::roundToInt (172 * xLarge), juce::roundToInt (248 * xLarge), true);
    int row = 0;
    for (auto _ : state)
    {
        row = (row + 1) % (rowCount - 20);
        list.listBox.getViewport()->setViewPosition (0, row * list.listBox.getRowHeight());
        juce::Graphics g (image);
        g.addTransform (juce::AffineTransform::scale (xLarge));
        list.paintEntireComponent (g, false);
    }
    state.SetLabel (state.range (0) != 0 ? "rows with waveforms and play marks" : "the same rows without previews");
}
BENCHMARK (bankScrolling)->Arg (0)->Arg (1)->Unit (benchmark::kMicrosecond);
} // namespace
