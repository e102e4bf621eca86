#include "PanelArt.h"

namespace qorv::art
{
namespace
{
    const juce::Colour rimShadow (34, 36, 35);
    const juce::Colour rimLight (122, 126, 124);
    const juce::Colour slot (14, 14, 14);
    const juce::Colour tickMinor (150, 154, 150);
    const juce::Colour tickMajor (200, 202, 198);
    const juce::Colour strip (40, 42, 41);

    constexpr float labelSize = 8.5f;
    constexpr float scaleSize = 7.0f;
    constexpr float titleSize = 11.0f;

    // A window sunk into the panel: dark rim above and left, light rim below
    // and right, the way light from the top left would fall on it.
    void drawRim (juce::Graphics& g, juce::Rectangle<float> r)
    {
        g.setColour (rimLight);
        g.fillRect (r.expanded (1.0f).withTrimmedLeft (1.0f).withTrimmedTop (1.0f));
        g.setColour (rimShadow);
        g.fillRect (r.expanded (1.0f).withTrimmedRight (1.0f).withTrimmedBottom (1.0f));
    }

    void drawRecess (juce::Graphics& g, juce::Rectangle<float> r, juce::Colour fill)
    {
        drawRim (g, r);
        g.setColour (fill);
        g.fillRect (r);
        // A faint shade under the top edge makes the window look deep.
        g.setGradientFill (juce::ColourGradient (juce::Colours::black.withAlpha (0.35f),
                                                 0.0f,
                                                 r.getY(),
                                                 juce::Colours::transparentBlack,
                                                 0.0f,
                                                 r.getY() + 3.0f,
                                                 false));
        g.fillRect (r.withHeight (juce::jmin (3.0f, r.getHeight())));
    }

    void drawBar (juce::Graphics& g, const SectionBar& bar)
    {
        const auto r = bar.bounds.toFloat();
        const auto base = bar.blue ? colours::blueBar : colours::redBar;
        g.setColour (base);
        g.fillRect (r);
        g.setColour (base.brighter (0.25f));
        g.fillRect (r.withHeight (1.0f));
        g.setColour (base.darker (0.3f));
        g.fillRect (r.withTrimmedTop (r.getHeight() - 1.0f));
    }

    void drawFaderSlot (juce::Graphics& g, const PanelControl& fader)
    {
        const auto r = fader.bounds.toFloat();
        const float centreX = r.getCentreX();
        const auto ticks = faderTicks (fader);
        const bool fewTicks = ticks.size() < 11;

        for (size_t i = 0; i < ticks.size(); ++i)
        {
            const bool major = fewTicks || i % 5 == 0;
            const float reach = major ? 9.5f : 8.0f;
            g.setColour (major ? tickMajor : tickMinor);
            g.fillRect (juce::Rectangle<float> (centreX - reach, ticks[i] - 0.5f, reach - 4.0f, 1.0f));
            g.fillRect (juce::Rectangle<float> (centreX + 4.0f, ticks[i] - 0.5f, reach - 4.0f, 1.0f));
        }

        const auto groove =
            juce::Rectangle<float> (centreX - 2.0f, ticks.front() - 5.0f, 4.0f, 0.0f).withBottom (ticks.back() + 5.0f);
        drawRecess (g, groove, slot);
    }

    void drawSwitchSlot (juce::Graphics& g, const PanelControl& sw)
    {
        const auto r = sw.bounds.toFloat();
        drawRecess (g, r.expanded (1.0f), juce::Colour (22, 22, 22));
        g.setColour (juce::Colour (6, 6, 6));
        g.fillRect (r.withSizeKeepingCentre (3.0f, r.getHeight() - 6.0f));
    }

    void drawLeverSlot (juce::Graphics& g, const PanelControl& lever)
    {
        const auto r = lever.bounds.toFloat();
        drawRecess (g, r.expanded (1.0f), juce::Colour (20, 20, 20));
        g.setColour (juce::Colour (4, 4, 4));
        g.fillRect (r.withSizeKeepingCentre (3.0f, r.getHeight() - 8.0f));
    }

    void drawLampSocket (juce::Graphics& g, const PanelControl& lamp)
    {
        const auto c = lamp.bounds.toFloat().getCentre();
        const auto socket = juce::Rectangle<float> (15.0f, 15.0f).withCentre (c);
        g.setColour (rimLight);
        g.fillEllipse (socket.translated (0.6f, 0.6f));
        g.setColour (rimShadow);
        g.fillEllipse (socket.translated (-0.6f, -0.6f));
        g.setColour (juce::Colour (20, 18, 18));
        g.fillEllipse (socket);
    }

    // The envelope symbols carry more detail than the wave symbols.
    juce::Rectangle<float> symbolBox (const juce::String& name)
    {
        return name.startsWith ("@env") ? juce::Rectangle<float> (18.0f, 9.0f) : juce::Rectangle<float> (15.0f, 7.0f);
    }

    bool isButton (const PanelControl& c)
    {
        return c.kind == Kind::Button || c.kind == Kind::SmallButton;
    }

    // Pads of neighbouring buttons merge into one, so every rim goes down
    // before any pad is filled.
    void drawButtonPads (juce::Graphics& g)
    {
        for (const auto& c : panelControls())
            if (isButton (c))
                drawRim (g, c.bounds.toFloat().expanded (2.0f));
        for (const auto& c : panelControls())
            if (isButton (c))
            {
                g.setColour (colours::window);
                g.fillRect (c.bounds.toFloat().expanded (2.0f));
            }
    }

    void drawPerformanceStrip (juce::Graphics& g)
    {
        const auto& bender = control ("bender");
        const auto& keys = control ("keyboard");
        const auto area =
            juce::Rectangle<float> ((float)bender.bounds.getX() - 14.0f, (float)keys.bounds.getY() - 4.0f, 0.0f, 0.0f)
                .withRight ((float)keys.bounds.getRight() + 8.0f)
                .withBottom ((float)panelHeight);
        g.setColour (rimShadow);
        g.fillRect (area.expanded (1.0f).withBottom ((float)panelHeight));
        g.setColour (strip);
        g.fillRect (area);
        g.setColour (juce::Colour (8, 8, 8));
        g.fillRect (keys.bounds.toFloat().expanded (2.0f, 2.0f));
    }
} // namespace

void drawKeyboard (juce::Graphics& g, juce::Point<float> origin)
{
    constexpr int whiteKeys = 36;
    constexpr float whiteWidth = 12.0f;
    constexpr float whiteLength = 56.0f;
    constexpr float blackWidth = 8.0f;
    constexpr float blackLength = 36.0f;

    const auto area = juce::Rectangle<float> (origin.x, origin.y, whiteWidth * whiteKeys, whiteLength);
    g.setColour (juce::Colour (30, 28, 26));
    g.fillRect (area);

    for (int i = 0; i < whiteKeys; ++i)
    {
        const auto key = juce::Rectangle<float> (origin.x + whiteWidth * (float)i, origin.y, whiteWidth, whiteLength)
                             .withTrimmedRight (1.0f);
        g.setGradientFill (juce::ColourGradient (juce::Colour (244, 240, 226),
                                                 0.0f,
                                                 key.getY(),
                                                 juce::Colour (220, 214, 198),
                                                 0.0f,
                                                 key.getBottom(),
                                                 false));
        g.fillRect (key);
        g.setColour (juce::Colour (250, 248, 240));
        g.fillRect (key.withTrimmedTop (whiteLength - 2.0f).withHeight (1.0f)); // front edge
    }

    // The shadow the panel edge casts over the keys.
    g.setGradientFill (juce::ColourGradient (juce::Colours::black.withAlpha (0.45f),
                                             0.0f,
                                             origin.y,
                                             juce::Colours::transparentBlack,
                                             0.0f,
                                             origin.y + 4.0f,
                                             false));
    g.fillRect (area.withHeight (4.0f));

    // No black key after E and B (white index 2 and 6 of each octave), and
    // none after the top C, which would hang over the edge.
    for (int i = 0; i < whiteKeys - 1; ++i)
    {
        if (i % 7 == 2 || i % 7 == 6)
            continue;
        const auto key =
            juce::Rectangle<float> (origin.x + whiteWidth * (float)i + 8.0f, origin.y, blackWidth, blackLength);
        g.setColour (juce::Colour (14, 14, 14));
        g.fillRect (key);
        const auto top = key.reduced (1.0f, 0.0f).withTrimmedBottom (4.0f);
        g.setGradientFill (juce::ColourGradient (
            juce::Colour (30, 30, 30), 0.0f, top.getY(), juce::Colour (64, 64, 64), 0.0f, top.getBottom(), false));
        g.fillRect (top);
        g.setColour (juce::Colour (92, 92, 92));
        g.fillRect (key.reduced (1.0f, 0.0f).withTrimmedTop (blackLength - 4.0f).withHeight (1.0f));
    }
}

void drawBackground (juce::Graphics& g)
{
    g.fillAll (colours::panel);

    for (const auto& bar : sectionBars())
        drawBar (g, bar);

    // The line between the sound sections and the performance row.
    g.setColour (juce::Colour (176, 180, 176));
    g.fillRect (juce::Rectangle<float> (4.0f, 359.5f, (float)panelWidth - 8.0f, 1.0f));

    drawPerformanceStrip (g);
    drawButtonPads (g);

    for (const auto& c : panelControls())
    {
        switch (c.kind)
        {
            case Kind::Fader:
                drawFaderSlot (g, c);
                break;
            case Kind::Switch:
                drawSwitchSlot (g, c);
                break;
            case Kind::Lever:
                drawLeverSlot (g, c);
                break;
            case Kind::Lamp:
                drawLampSocket (g, c);
                break;
            case Kind::Display:
            case Kind::List:
                drawRecess (g, c.bounds.toFloat().expanded (2.0f), colours::window);
                break;
            case Kind::Keyboard:
                drawKeyboard (g, c.bounds.toFloat().getPosition());
                break;
            case Kind::Button:
            case Kind::SmallButton:
                break;
        }
    }
}

//==============================================================================
PanelLettering::PanelLettering (const ArtFonts& f) : fonts (f)
{
    addSectionTitles();
    addControlLabels();
    addCaptions();
}

void PanelLettering::draw (juce::Graphics& g) const
{
    g.setColour (colours::lettering);
    for (const auto& mark : marks)
        g.fillPath (mark.outline);
}

juce::StringArray PanelLettering::findCollisions() const
{
    juce::StringArray found;
    const auto panel = juce::Rectangle<float> ((float)panelWidth, (float)panelHeight);
    for (size_t i = 0; i < marks.size(); ++i)
    {
        const auto box = marks[i].outline.getBounds();
        if (!panel.reduced (1.0f).contains (box))
            found.add ("\"" + marks[i].name + "\" runs off the panel " + box.toString());
        for (const auto& c : panelControls())
            if (box.intersects (c.bounds.toFloat()))
                found.add ("\"" + marks[i].name + "\" covers control " + c.id);
        for (size_t j = i + 1; j < marks.size(); ++j)
            if (box.intersects (marks[j].outline.getBounds()))
                found.add ("\"" + marks[i].name + "\" touches \"" + marks[j].name + "\"");
    }
    return found;
}

float PanelLettering::capHeight (const juce::Font& font) const
{
    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText (font, "H", 0.0f, 0.0f);
    juce::Path p;
    glyphs.createPath (p);
    return -p.getBounds().getY();
}

void PanelLettering::addText (const juce::String& text, const juce::Font& font, float x, float baseline, Align align)
{
    const auto lines = juce::StringArray::fromLines (text);
    const float lineStep = std::ceil (capHeight (font) * 1.6f);
    for (int i = 0; i < lines.size(); ++i)
    {
        juce::GlyphArrangement glyphs;
        glyphs.addLineOfText (font, lines[i], 0.0f, 0.0f);
        juce::Path outline;
        glyphs.createPath (outline);

        // Align on the ink, not the advance, so centred words sit exactly
        // over their controls.
        const auto ink = outline.getBounds();
        const float left = align == Align::Left    ? x - ink.getX()
                           : align == Align::Right ? x - ink.getRight()
                                                   : x - ink.getCentreX();
        const float lineBaseline = baseline - lineStep * (float)(lines.size() - 1 - i);
        outline.applyTransform (juce::AffineTransform::translation (left, lineBaseline));
        marks.push_back ({lines[i], std::move (outline)});
    }
}

void PanelLettering::addSymbol (const juce::String& name, juce::Rectangle<float> box)
{
    // Each symbol is a polyline in a unit square, y downwards.
    std::vector<juce::Point<float>> points;
    if (name == "@pulse")
        points = {{0.0f, 1.0f},
                  {0.2f, 1.0f},
                  {0.2f, 0.0f},
                  {0.5f, 0.0f},
                  {0.5f, 1.0f},
                  {0.8f, 1.0f},
                  {0.8f, 0.0f},
                  {1.0f, 0.0f}};
    else if (name == "@saw")
        points = {{0.0f, 1.0f}, {0.5f, 0.0f}, {0.5f, 1.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}};
    else if (name == "@envNormal")
        points = {{0.0f, 1.0f}, {0.2f, 0.0f}, {0.45f, 0.45f}, {0.75f, 0.45f}, {1.0f, 1.0f}};
    else if (name == "@envInverted")
        points = {{0.0f, 0.0f}, {0.2f, 1.0f}, {0.45f, 0.55f}, {0.75f, 0.55f}, {1.0f, 0.0f}};
    jassert (!points.empty());

    juce::Path line;
    for (size_t i = 0; i < points.size(); ++i)
    {
        const juce::Point<float> at (box.getX() + points[i].x * box.getWidth(),
                                     box.getY() + points[i].y * box.getHeight());
        if (i == 0)
            line.startNewSubPath (at);
        else
            line.lineTo (at);
    }
    juce::Path outline;
    juce::PathStrokeType (1.4f, juce::PathStrokeType::beveled, juce::PathStrokeType::butt)
        .createStrokedPath (outline, line);
    marks.push_back ({name.substring (1), std::move (outline)});
}

void PanelLettering::addLabelAbove (const juce::String& label, float centreX, float baseline)
{
    if (label.startsWithChar ('@'))
    {
        const auto box = symbolBox (label);
        addSymbol (label, box.withCentre ({centreX, baseline - box.getHeight() / 2.0f - 1.0f}));
    }
    else
        addText (label, fonts.condensedBold (labelSize), centreX, baseline, Align::Centre);
}

void PanelLettering::addLabelBelow (const juce::String& label, float centreX, float top)
{
    const auto font = fonts.condensedBold (labelSize);
    if (label.startsWithChar ('@'))
    {
        const auto box = symbolBox (label);
        addSymbol (label, box.withCentre ({centreX, top + box.getHeight() / 2.0f + 1.0f}));
    }
    else
        addText (label, font, centreX, top + capHeight (font), Align::Centre);
}

void PanelLettering::addSectionTitles()
{
    const auto font = fonts.condensedBold (titleSize);
    for (const auto& bar : sectionBars())
    {
        const auto r = bar.bounds.toFloat();
        addText (bar.title, font, r.getX() + 6.0f, r.getCentreY() + capHeight (font) / 2.0f, Align::Left);
    }
}

void PanelLettering::addControlLabels()
{
    const auto font = fonts.condensedBold (labelSize);
    for (const auto& c : panelControls())
    {
        const auto r = c.bounds.toFloat();
        const float baseline = r.getY() - c.labelGap;
        switch (c.place)
        {
            case Place::Above:
                addLabelAbove (c.label, r.getCentreX(), baseline);
                break;
            case Place::AboveLeft:
                addText (c.label, font, r.getX(), baseline, Align::Left);
                break;
            case Place::Right:
                addText (c.label, font, r.getRight() + 3.0f, r.getCentreY() + capHeight (font) / 2.0f, Align::Left);
                break;
            case Place::None:
                break;
        }
        if (*c.labelBelow != 0)
            addLabelBelow (c.labelBelow, r.getCentreX(), r.getBottom() + 3.0f);
        if (c.scaleMarks)
            addScaleMarks (c);
    }
}

void PanelLettering::addScaleMarks (const PanelControl& fader)
{
    const auto font = fonts.condensedBold (scaleSize);
    const auto ticks = faderTicks (fader);
    const float right = (float)fader.bounds.getX() - 2.0f;
    const float half = capHeight (font) / 2.0f;
    if (ticks.size() < 11)
    {
        for (size_t i = 0; i < ticks.size(); ++i)
            addText (juce::String ((int)(ticks.size() - 1 - i)), font, right, ticks[i] + half, Align::Right);
        return;
    }
    addText ("10", font, right, ticks[0] + half, Align::Right);
    addText ("5", font, right, ticks[5] + half, Align::Right);
    addText ("0", font, right, ticks[10] + half, Align::Right);
}

void PanelLettering::addCaptions()
{
    const auto font = fonts.condensedBold (labelSize);

    // RANGE heads the three range buttons on the row of the fader names.
    const auto range = control ("range16").bounds.toFloat().getUnion (control ("range4").bounds.toFloat());
    addText ("RANGE", font, range.getCentreX(), (float)control ("lfoRate").bounds.getY() - 3.0f, Align::Centre);

    // OCTAVE heads DOWN and UP on the row of the MOUSE and KYBD lamp names.
    const auto octave = control ("octaveDown").bounds.toFloat().getUnion (control ("octaveUp").bounds.toFloat());
    addText ("OCTAVE", font, octave.getCentreX(), (float)control ("mouseInd").bounds.getY() - 3.0f, Align::Centre);

    // The logo fills the top left corner; the small print sits beside it.
    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText (fonts.bold (40.0f), "qorv", 0.0f, 0.0f);
    juce::Path logo;
    glyphs.createPath (logo);
    logo.applyTransform (
        logo.getTransformToScaleToFit ({6.0f, 5.0f, 174.0f, 31.0f}, true, juce::Justification::centredLeft));
    const float logoRight = logo.getBounds().getRight();
    marks.push_back ({"qorv", std::move (logo)});

    const auto small = fonts.condensedBold (7.5f);
    addText ("PATCH EDITOR\n& LIBRARIAN", small, logoRight + 8.0f, 30.0f, Align::Left);
}
} // namespace qorv::art
