#include "FileTypeIcons.h"

#include "PanelArt.h"

#include <cmath>

namespace qorv::art
{
namespace
{
    const juce::Colour outline (30, 32, 31);
    const juce::Colour paper (240, 236, 222);
    const juce::Colour fold (200, 196, 182);

    const juce::Rectangle<float> page (40.0f, 12.0f, 176.0f, 232.0f);
    constexpr float foldSize = 44.0f;
    const juce::Rectangle<float> picture (58.0f, 62.0f, 140.0f, 104.0f);
    const juce::Rectangle<float> band (page.getX(), 180.0f, page.getWidth(), 46.0f);

    void drawPage (juce::Graphics& g)
    {
        const float foldX = page.getRight() - foldSize;
        const float foldY = page.getY() + foldSize;
        juce::Path sheet;
        sheet.startNewSubPath (page.getX(), page.getY());
        sheet.lineTo (foldX, page.getY());
        sheet.lineTo (page.getRight(), foldY);
        sheet.lineTo (page.getRight(), page.getBottom());
        sheet.lineTo (page.getX(), page.getBottom());
        sheet.closeSubPath();
        g.setColour (paper);
        g.fillPath (sheet);

        juce::Path corner;
        corner.addTriangle (foldX, page.getY(), foldX, foldY, page.getRight(), foldY);
        g.setColour (fold);
        g.fillPath (corner);

        g.setColour (colours::redBar);
        g.fillRect (band);

        g.setColour (outline);
        g.strokePath (sheet, juce::PathStrokeType (6.0f, juce::PathStrokeType::curved));
        g.strokePath (corner, juce::PathStrokeType (4.0f, juce::PathStrokeType::curved));
    }

    juce::Path outlineOf (const juce::Font& font, const juce::String& text)
    {
        juce::GlyphArrangement glyphs;
        glyphs.addLineOfText (font, text, 0.0f, 0.0f);
        juce::Path path;
        glyphs.createPath (path);
        return path;
    }

    // Every label at one letter height, centred on its capitals rather than
    // its outline, so a descending J does not shrink or lift one of the set.
    void drawLabel (juce::Graphics& g, const ArtFonts& fonts, const juce::String& text)
    {
        const auto font = fonts.bold (38.0f);
        const float capHeight = outlineOf (font, "E").getBounds().getHeight();
        auto letters = outlineOf (font, text);
        letters.applyTransform (juce::AffineTransform::translation (
            band.getCentreX() - letters.getBounds().getCentreX(), band.getCentreY() + capHeight / 2.0f));
        g.setColour (colours::lettering);
        g.fillPath (letters);
    }

    // A framed piece of panel that the picture sits on.
    juce::Rectangle<float> drawPanelPiece (juce::Graphics& g)
    {
        g.setColour (outline);
        g.fillRoundedRectangle (picture, 10.0f);
        g.setColour (colours::panel);
        g.fillRoundedRectangle (picture.reduced (5.0f), 6.0f);
        return picture.reduced (5.0f);
    }

    // The BANK list: names in a dark window, one of them selected.
    void drawLibrary (juce::Graphics& g)
    {
        const auto window = drawPanelPiece (g).reduced (10.0f);
        g.setColour (colours::window);
        g.fillRect (window);
        const float widths[] = {70.0f, 92.0f, 56.0f, 80.0f};
        for (int i = 0; i < 4; ++i)
        {
            const juce::Rectangle<float> row (
                window.getX(), window.getY() + 3.0f + 17.0f * (float)i, window.getWidth(), 17.0f);
            if (i == 1)
            {
                g.setColour (colours::blueBar);
                g.fillRect (row);
            }
            g.setColour (colours::lettering);
            g.fillRect (row.reduced (8.0f, 5.0f).withWidth (widths[i]));
        }
    }

    // A MIDI socket: five pins on a half circle and the key notch.
    void drawSysEx (juce::Graphics& g)
    {
        const auto centre = drawPanelPiece (g).getCentre();
        g.setColour (juce::Colour (14, 14, 14));
        g.fillEllipse (juce::Rectangle<float> (84.0f, 84.0f).withCentre (centre));
        g.setColour (juce::Colour (60, 60, 62));
        g.fillEllipse (juce::Rectangle<float> (70.0f, 70.0f).withCentre (centre));
        g.setColour (juce::Colour (14, 14, 14));
        g.fillRect (juce::Rectangle<float> (12.0f, 12.0f).withCentre (centre.translated (0.0f, -33.0f)));
        g.setColour (juce::Colour (240, 240, 234));
        // Every 45 degrees along the lower half of a circle, as on the plug.
        const auto pinCircle = centre.translated (0.0f, -3.0f);
        for (int i = 0; i < 5; ++i)
        {
            const float angle = juce::MathConstants<float>::pi * (0.25f * (float)i);
            const juce::Point<float> pin (pinCircle.x + 22.0f * std::cos (angle),
                                          pinCircle.y + 22.0f * std::sin (angle));
            g.fillEllipse (juce::Rectangle<float> (11.0f, 11.0f).withCentre (pin));
        }
    }

    // One patch: three faders at different settings, as on the application icon.
    void drawPreset (juce::Graphics& g)
    {
        const auto area = drawPanelPiece (g);
        const float capTops[] = {26.0f, 54.0f, 38.0f};
        for (int i = 0; i < 3; ++i)
        {
            const float centreX = area.getCentreX() + 40.0f * (float)(i - 1);
            g.setColour (juce::Colour (14, 14, 14));
            g.fillRoundedRectangle (centreX - 4.0f, area.getY() + 12.0f, 8.0f, area.getHeight() - 24.0f, 3.0f);
            const juce::Rectangle<float> cap (centreX - 15.0f, area.getY() + capTops[i], 30.0f, 18.0f);
            g.setColour (juce::Colour (12, 12, 12));
            g.fillRoundedRectangle (cap, 3.0f);
            g.setColour (juce::Colour (60, 60, 62));
            g.fillRoundedRectangle (cap.reduced (2.5f), 2.0f);
            g.setColour (juce::Colour (240, 240, 234));
            g.fillRect (cap.withSizeKeepingCentre (22.0f, 4.0f));
        }
    }
} // namespace

juce::Image makeFileTypeIcon (const ArtFonts& fonts, FileType type, int size)
{
    juce::Image image (juce::Image::ARGB, size, size, true);
    juce::Graphics g (image);
    g.addTransform (juce::AffineTransform::scale ((float)size / 256.0f));
    drawPage (g);
    switch (type)
    {
        case FileType::Library:
            drawLibrary (g);
            drawLabel (g, fonts, "106");
            break;
        case FileType::SysEx:
            drawSysEx (g);
            drawLabel (g, fonts, "SYX");
            break;
        case FileType::Preset:
            drawPreset (g);
            drawLabel (g, fonts, "JEP");
            break;
    }
    return image;
}
} // namespace qorv::art
