#pragma once

#include "ArtFonts.h"

#include <juce_graphics/juce_graphics.h>

// The small images the controls draw over the panel. Everything but the lamps
// is opaque (an RGB image); the lamps are round on a transparent square.
namespace qorv::art
{
enum class ButtonColour
{
    Grey,
    Orange,
    Blue
};

juce::Image makeFaderHandle();                                                     // 24 x 16
juce::Image makeSwitchHandle();                                                    // 16 x 16
juce::Image makeLeverHandle();                                                     // 12 x 12
juce::Image makeButton (int width, int height, ButtonColour colour, bool pressed); // 28 x 20, 20 x 16
juce::Image makeLamp (bool lit);                                                   // 12 x 12
juce::Image makeLibraryButton (bool up);                                           // 16 x 16
juce::Image makeLibrarySlider();                                                   // 14 x 300
juce::Image makeListView();                                                        // 154 x 206
juce::Image makeKeyboardStrip();                                                   // 432 x 56

// The application icon at any square size, drawn on a 256-unit grid.
juce::Image makeIcon (const ArtFonts& fonts, int size);
} // namespace qorv::art
