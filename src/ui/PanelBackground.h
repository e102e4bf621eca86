#pragma once

#include <juce_graphics/juce_graphics.h>

/** The panel's background with its lettering, as one opaque image of device
    pixels. The lettering is stored five times larger than the panel, and
    shrinking it takes a tenth of a second and 35 MB, so the artwork generator
    composes it for each size of the View menu ahead of time and the program
    only decodes the size it shows. */
namespace PanelBackground
{
/** The panel's logical size, which the layers are drawn over. */
inline constexpr int panelWidth = 728;
inline constexpr int panelHeight = 480;

/** The View menu's magnifications, whose backgrounds are stored composed. */
inline constexpr float storedScales[] = {1.0f, 1.25f, 1.5f, 1.75f};

/** The device pixels of the panel drawn at a magnification. */
inline juce::Point<int> pixelSize (float scale)
{
    return {juce::roundToInt (panelWidth * scale), juce::roundToInt (panelHeight * scale)};
}

/** The stored composition for a size, e.g. "panel_1092x720.png". */
inline juce::String fileName (juce::Point<int> size)
{
    return "panel_" + juce::String (size.x) + "x" + juce::String (size.y) + ".png";
}

/** The background layer and the lettering drawn over a whole image of the
    given size: the one composition every stored background comes from, and
    the one the program falls back on for any other size. */
inline juce::Image compose (const juce::Image& background, const juce::Image& lettering, juce::Point<int> size)
{
    juce::Image composed (juce::Image::RGB, size.x, size.y, true);
    juce::Graphics g (composed);
    g.addTransform (juce::AffineTransform::scale (static_cast<float> (size.x) / panelWidth,
                                                  static_cast<float> (size.y) / panelHeight));
    const juce::Rectangle<float> panel (0.0f, 0.0f, panelWidth, panelHeight);
    g.drawImage (background, panel);
    g.drawImage (lettering, panel);
    return composed;
}

/** The background for a panel drawn at this many device pixels: decoded from
    the embedded composition for that size, or composed from the embedded
    layers when there is none (a desktop that magnifies every window). Null
    for an empty size or damaged data. */
juce::Image forSize (juce::Point<int> size);
} // namespace PanelBackground
