#include "PanelPreview.h"

#include "PanelArt.h"
#include "PanelLayout.h"
#include "ui/PanelBackground.h"

namespace qorv::art
{
namespace
{
    const juce::Image& find (const ImageSet& images, const juce::String& fileName)
    {
        static const juce::Image none;
        const auto it = images.find (fileName);
        return it != images.end() ? it->second : none;
    }

    void drawInto (juce::Graphics& g, const juce::Image& image, juce::Rectangle<float> r)
    {
        g.drawImage (image, r, juce::RectanglePlacement::stretchToFit);
    }

    const char* buttonImage (const PanelControl& c)
    {
        const bool small = c.kind == Kind::SmallButton;
        switch (c.tint)
        {
            case Tint::Orange:
                return small ? "small_button_orange.png" : "button_orange.png";
            case Tint::Blue:
                return "button_blue.png";
            case Tint::Grey:
                break;
        }
        return small ? "small_button_grey.png" : "button_grey.png";
    }

    void drawText (juce::Graphics& g, const juce::Font& font, const juce::String& text, juce::Rectangle<int> r)
    {
        g.setFont (font);
        g.setColour (colours::displayText);
        g.drawText (text, r, juce::Justification::centredLeft, true);
    }

    void drawControl (juce::Graphics& g, const ImageSet& images, const juce::Font& font, const PanelControl& c)
    {
        // Each control paints with a fresh context, as a component would.
        juce::Graphics::ScopedSaveState state (g);
        g.setColour (juce::Colours::black);
        const auto r = c.bounds.toFloat();
        switch (c.kind)
        {
            case Kind::Fader:
            {
                const int top = (int)((1.0f - (float)c.previewValue / (float)c.maxValue) * (r.getHeight() - 16.0f));
                drawInto (g, find (images, "slider_handle.png"), {r.getX(), r.getY() + (float)top, 24.0f, 16.0f});
                break;
            }
            case Kind::Lever:
            {
                // Drawn 24 x 16 from the left edge and cut to the lever's width.
                const int top = (int)((1.0f - (float)c.previewValue / 127.0f) * (r.getHeight() - 16.0f));
                g.reduceClipRegion (c.bounds);
                drawInto (g, find (images, "pbend_handle.png"), {r.getX(), r.getY() + (float)top, 24.0f, 16.0f});
                break;
            }
            case Kind::Switch:
                drawInto (g,
                          find (images, "switch_handle.png"),
                          {r.getX(), r.getY() + (c.previewValue == 1 ? 0.0f : 16.0f), 16.0f, 16.0f});
                break;
            case Kind::Button:
            case Kind::SmallButton:
                drawInto (g, find (images, buttonImage (c)), r);
                if (c.previewValue != 0)
                {
                    g.setColour (juce::Colour (0x44000000));
                    g.fillRect (r);
                }
                break;
            case Kind::Lamp:
                drawInto (g, find (images, c.previewValue != 0 ? "light_on.png" : "light_off.png"), r);
                break;
            case Kind::Display:
            {
                const juce::String id (c.id);
                const auto text = id == "activePatch" ? "Init" : id == "status" ? "VCF Freq: 100" : "-------";
                drawText (g, font, text, c.bounds.withTrimmedLeft (5));
                break;
            }
            case Kind::List:
            {
                const char* names[] = {"Brass Section", "Init", "Pad Strings", "Sub Bass", "Sync Lead"};
                for (int row = 0; row < 5; ++row)
                {
                    const juce::Rectangle<int> line (
                        c.bounds.getX(), c.bounds.getY() + 16 * row, c.bounds.getWidth() - 14, 16);
                    if (row == 1)
                    {
                        g.setColour (juce::Colour (0x30cc0011));
                        g.fillRect (line);
                    }
                    drawText (g, font, names[row], line.withTrimmedLeft (4));
                }
                break;
            }
            case Kind::Keyboard:
                g.setColour (juce::Colour (0xff808080));
                g.fillEllipse (r.getX() + 172.0f, r.getY() + 48.0f, 4.0f, 4.0f);
                break;
        }
    }
} // namespace

juce::Image composePanel (const ImageSet& images, const juce::Font& displayFont, float scale)
{
    // The background is the one stored composed for this size, as the program shows it.
    const auto size = PanelBackground::pixelSize (scale);
    juce::Image panel (juce::Image::RGB, size.x, size.y, true);
    juce::Graphics g (panel);
    g.drawImageAt (find (images, PanelBackground::fileName (size)), 0, 0);
    g.addTransform (juce::AffineTransform::scale (scale));
    for (const auto& c : panelControls())
        drawControl (g, images, displayFont, c);
    return panel;
}
} // namespace qorv::art
