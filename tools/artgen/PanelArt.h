#pragma once

#include "ArtFonts.h"
#include "PanelLayout.h"

#include <vector>

// The two panel images, drawn in logical panel coordinates: the caller sets the
// scale (1.25 for the background, 5 for the lettering).
namespace qorv::art
{
namespace colours
{
    const juce::Colour panel (78, 82, 80);
    const juce::Colour blueBar (59, 110, 151);
    const juce::Colour redBar (204, 60, 56);
    const juce::Colour window (36, 0, 4);
    const juce::Colour lettering (220, 220, 215);
    const juce::Colour displayText (0xffcc0011);
} // namespace colours

// The opaque panel: bars, display windows, pads, sockets, slots and keys.
void drawBackground (juce::Graphics& g);

// 36 white and 25 black keys filling a 432 x 56 area; shared by the
// background and the keyboard strip image so both show the same keys.
void drawKeyboard (juce::Graphics& g, juce::Point<float> origin);

// Everything printed on the panel, each mark kept as a filled outline so it
// can be both drawn and checked against the controls it must not cover.
class PanelLettering
{
public:
    explicit PanelLettering (const ArtFonts& fonts);

    void draw (juce::Graphics& g) const;

    // One line per mark that covers a control, another mark or the panel's
    // edge; empty when the lettering is clean.
    juce::StringArray findCollisions() const;

private:
    struct Mark
    {
        juce::String name;
        juce::Path outline;
    };

    enum class Align
    {
        Left,
        Centre,
        Right
    };

    void addSectionTitles();
    void addControlLabels();
    void addScaleMarks (const PanelControl& fader);
    void addCaptions();

    // Text whose last line sits on the baseline; earlier lines stack upwards.
    void addText (const juce::String& text, const juce::Font& font, float x, float baseline, Align align);
    // A word or, for a name starting with '@', a drawn symbol.
    void addLabelAbove (const juce::String& label, float centreX, float baseline);
    void addLabelBelow (const juce::String& label, float centreX, float top);
    void addSymbol (const juce::String& name, juce::Rectangle<float> box);
    float capHeight (const juce::Font& font) const;

    const ArtFonts& fonts;
    std::vector<Mark> marks;

    JUCE_DECLARE_NON_COPYABLE (PanelLettering)
};
} // namespace qorv::art
