#pragma once

#include <juce_graphics/juce_graphics.h>

#include <map>

namespace qorv::art
{
// Decoded images by file name ("bg_2.png" ...).
using ImageSet = std::map<juce::String, juce::Image>;

// The panel as the program shows it at a magnification: the background
// composed for its size, then every control's image in
// its bounds in a typical state, with sample text in the displays.
juce::Image composePanel (const ImageSet& images, const juce::Font& displayFont, float scale);
} // namespace qorv::art
