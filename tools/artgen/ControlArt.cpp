#include "ControlArt.h"

#include "PanelArt.h"

namespace qorv::art
{
namespace
{
    const juce::Colour edge (16, 16, 16);

    juce::Image opaque (int width, int height)
    {
        return juce::Image (juce::Image::RGB, width, height, true);
    }

    void verticalGradient (juce::Graphics& g, juce::Rectangle<float> r, juce::Colour top, juce::Colour bottom)
    {
        g.setGradientFill (juce::ColourGradient (top, 0.0f, r.getY(), bottom, 0.0f, r.getBottom(), false));
        g.fillRect (r);
    }

    // A black cap with a white index line, as on the fader and the levers.
    void drawCap (juce::Graphics& g, juce::Rectangle<float> r, float lineHeight)
    {
        g.fillAll (edge);
        const auto body = r.reduced (1.0f);
        verticalGradient (g, body, juce::Colour (78, 78, 80), juce::Colour (26, 26, 28));
        g.setColour (juce::Colour (120, 120, 122));
        g.fillRect (body.withHeight (1.0f));
        g.setColour (juce::Colour (240, 240, 234));
        g.fillRect (body.reduced (1.0f, 0.0f).withSizeKeepingCentre (body.getWidth() - 2.0f, lineHeight));
    }

    juce::Colour baseColour (ButtonColour colour)
    {
        switch (colour)
        {
            case ButtonColour::Orange:
                return {234, 126, 42};
            case ButtonColour::Blue:
                return {72, 126, 188};
            case ButtonColour::Grey:
                break;
        }
        return {170, 172, 168};
    }
} // namespace

juce::Image makeFaderHandle()
{
    auto image = opaque (24, 16);
    juce::Graphics g (image);
    drawCap (g, image.getBounds().toFloat(), 2.0f);
    // Shallow grooves either side of the line give the cap its grip.
    g.setColour (juce::Colour (18, 18, 20));
    g.fillRect (2, 4, 20, 1);
    g.fillRect (2, 11, 20, 1);
    return image;
}

juce::Image makeSwitchHandle()
{
    auto image = opaque (16, 16);
    juce::Graphics g (image);
    g.fillAll (edge);
    const auto body = image.getBounds().toFloat().reduced (1.0f);
    verticalGradient (g, body, juce::Colour (214, 216, 212), juce::Colour (138, 140, 136));
    g.setColour (juce::Colours::white.withAlpha (0.8f));
    g.fillRect (body.withHeight (1.0f));
    g.setColour (juce::Colour (70, 72, 70));
    for (int y : {5, 8, 11})
        g.fillRect (3, y, 10, 1);
    return image;
}

juce::Image makeLeverHandle()
{
    // The lever stretches this across twice its width and shows only the
    // left half, so the cap is kept the same from side to side.
    auto image = opaque (12, 12);
    juce::Graphics g (image);
    g.fillAll (edge);
    const auto body = image.getBounds().toFloat().reduced (0.0f, 1.0f);
    verticalGradient (g, body, juce::Colour (84, 84, 86), juce::Colour (26, 26, 28));
    g.setColour (juce::Colour (124, 124, 126));
    g.fillRect (body.withHeight (1.0f));
    g.setColour (juce::Colour (240, 240, 234));
    g.fillRect (0, 5, 12, 2);
    return image;
}

juce::Image makeButton (int width, int height, ButtonColour colour, bool pressed)
{
    auto image = opaque (width, height);
    juce::Graphics g (image);
    const auto base = baseColour (colour);
    g.fillAll (edge);
    const auto body = image.getBounds().toFloat().reduced (1.0f);
    if (pressed)
    {
        // Pushed in: darker, lit from below, the top edge in shadow.
        verticalGradient (g, body, base.darker (0.75f), base.darker (0.35f));
        g.setColour (base.darker (1.2f));
        g.fillRect (body.withHeight (1.0f));
        g.fillRect (body.withWidth (1.0f));
    }
    else
    {
        verticalGradient (g, body, base.brighter (0.2f), base.darker (0.15f));
        g.setColour (base.brighter (0.6f));
        g.fillRect (body.withHeight (1.0f));
        g.setColour (base.darker (0.6f));
        g.fillRect (body.withTrimmedTop (body.getHeight() - 1.0f));
    }
    return image;
}

juce::Image makeLamp (bool lit)
{
    juce::Image image (juce::Image::ARGB, 12, 12, true);
    juce::Graphics g (image);
    const auto square = image.getBounds().toFloat();
    const auto lens = square.reduced (2.0f);
    if (lit)
    {
        juce::ColourGradient glow (juce::Colour (255, 60, 40).withAlpha (0.9f),
                                   6.0f,
                                   6.0f,
                                   juce::Colour (255, 40, 20).withAlpha (0.0f),
                                   12.0f,
                                   6.0f,
                                   true);
        g.setGradientFill (glow);
        g.fillEllipse (square);
        g.setGradientFill (juce::ColourGradient (
            juce::Colour (255, 214, 190), 5.0f, 5.0f, juce::Colour (236, 32, 18), 10.0f, 6.0f, true));
        g.fillEllipse (lens);
    }
    else
    {
        g.setColour (juce::Colour (24, 10, 10));
        g.fillEllipse (square.reduced (1.0f));
        g.setGradientFill (
            juce::ColourGradient (juce::Colour (120, 26, 22), 5.0f, 5.0f, juce::Colour (58, 6, 6), 10.0f, 6.0f, true));
        g.fillEllipse (lens);
    }
    g.setColour (juce::Colours::white.withAlpha (lit ? 0.75f : 0.3f));
    g.fillEllipse (3.5f, 3.5f, 2.0f, 2.0f);
    return image;
}

juce::Image makeLibraryButton (bool up)
{
    auto image = makeButton (16, 16, ButtonColour::Grey, false);
    juce::Graphics g (image);
    juce::Path arrow;
    arrow.addTriangle (4.0f, 10.0f, 12.0f, 10.0f, 8.0f, 5.0f);
    if (!up)
        arrow.applyTransform (juce::AffineTransform::verticalFlip (16.0f));
    g.setColour (juce::Colour (40, 40, 40));
    g.fillPath (arrow);
    return image;
}

juce::Image makeLibrarySlider()
{
    auto image = opaque (14, 300);
    juce::Graphics g (image);
    g.fillAll (edge);
    g.setColour (juce::Colour (51, 0, 2));
    g.fillRect (image.getBounds().reduced (1));
    return image;
}

juce::Image makeListView()
{
    auto image = opaque (154, 206);
    juce::Graphics g (image);
    g.fillAll (juce::Colour (34, 36, 35));
    g.setColour (juce::Colour (122, 126, 124));
    g.fillRect (image.getBounds().withTrimmedLeft (1).withTrimmedTop (1));
    g.setColour (colours::window);
    g.fillRect (image.getBounds().reduced (1));
    return image;
}

juce::Image makeKeyboardStrip()
{
    auto image = opaque (432, 56);
    juce::Graphics g (image);
    drawKeyboard (g, {0.0f, 0.0f});
    return image;
}

juce::Image makeIcon (const ArtFonts& fonts, int size)
{
    juce::Image image (juce::Image::ARGB, size, size, true);
    juce::Graphics g (image);
    g.addTransform (juce::AffineTransform::scale ((float)size / 256.0f));

    // A small panel: a red title bar with the name, three faders, keys.
    const juce::Rectangle<float> tile (8.0f, 8.0f, 240.0f, 240.0f);
    juce::Path shape;
    shape.addRoundedRectangle (tile, 40.0f);
    g.setColour (juce::Colour (30, 32, 31));
    g.fillPath (shape);
    g.reduceClipRegion (shape);
    g.setColour (colours::panel);
    g.fillRoundedRectangle (tile.reduced (6.0f), 34.0f);
    g.setColour (colours::redBar);
    g.fillRect (tile.withHeight (78.0f));

    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText (fonts.bold (80.0f), "qorv", 0.0f, 0.0f);
    juce::Path name;
    glyphs.createPath (name);
    name.applyTransform (
        name.getTransformToScaleToFit ({36.0f, 20.0f, 184.0f, 50.0f}, true, juce::Justification::centred));
    g.setColour (colours::lettering);
    g.fillPath (name);

    const float capTops[] = {104.0f, 134.0f, 116.0f};
    for (int i = 0; i < 3; ++i)
    {
        const float centreX = 72.0f + 56.0f * (float)i;
        g.setColour (juce::Colour (14, 14, 14));
        g.fillRoundedRectangle (centreX - 5.0f, 96.0f, 10.0f, 82.0f, 4.0f);
        const juce::Rectangle<float> cap (centreX - 20.0f, capTops[i], 40.0f, 24.0f);
        g.setColour (juce::Colour (12, 12, 12));
        g.fillRoundedRectangle (cap, 4.0f);
        g.setColour (juce::Colour (60, 60, 62));
        g.fillRoundedRectangle (cap.reduced (3.0f), 3.0f);
        g.setColour (juce::Colour (240, 240, 234));
        g.fillRect (cap.withSizeKeepingCentre (30.0f, 5.0f));
    }

    const juce::Rectangle<float> keys (24.0f, 190.0f, 208.0f, 60.0f);
    g.setColour (juce::Colour (10, 10, 10));
    g.fillRect (keys.expanded (2.0f, 0.0f).withTrimmedTop (-3.0f));
    const float white = keys.getWidth() / 7.0f;
    for (int i = 0; i < 7; ++i)
    {
        g.setColour (juce::Colour (240, 236, 222));
        g.fillRect (
            juce::Rectangle<float> (keys.getX() + white * (float)i, keys.getY(), white - 3.0f, keys.getHeight()));
    }
    g.setColour (juce::Colour (14, 14, 14));
    for (int i : {0, 1, 3, 4, 5})
        g.fillRect (keys.getX() + white * ((float)i + 0.68f), keys.getY(), white * 0.6f, 34.0f);
    return image;
}
} // namespace qorv::art
