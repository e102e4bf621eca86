#include "app/MorphWindow.h"

#include "ui/PanelText.h"

namespace
{
const juce::Colour padBackground (0xFF1A0203);
const juce::Colour padGrid (0xFF4A0A0C);
constexpr float pointRadius = 8.0f;
const char* const cornerLetters[] = {"A", "B", "C", "D"};

enum MenuId
{
    activeId = 1,
    noneId = 2,
    firstSelectedId = 10
};
constexpr int maxSelectedShown = 12;
} // namespace

//==============================================================================
void MorphPad::setCorners (const juce::StringArray& names)
{
    cornerNames = names;
    repaint();
}

void MorphPad::setPoint (SoundMorph::Point point)
{
    at = point;
    repaint();
}

juce::Rectangle<float> MorphPad::square() const
{
    // Room around the square for the corner names.
    return getLocalBounds().toFloat().reduced (18.0f, 26.0f);
}

SoundMorph::Point MorphPad::pointFor (juce::Point<float> position) const
{
    const auto area = square();
    const double x = (position.x - area.getX()) / area.getWidth();
    const double y = isLine() ? 0.0 : (position.y - area.getY()) / area.getHeight();
    return SoundMorph::pointAt (x, y);
}

juce::Point<float> MorphPad::positionOf (SoundMorph::Point point) const
{
    const auto area = square();
    const auto fraction = [] (int64_t units) { return static_cast<float> (units) / SoundMorph::unit; };
    const float y = isLine() ? area.getCentreY() : area.getY() + area.getHeight() * fraction (point.y);
    return {area.getX() + area.getWidth() * fraction (point.x), y};
}

void MorphPad::paint (juce::Graphics& g)
{
    g.fillAll (padBackground);
    const auto area = square();
    const bool enabled = cornerNames.size() >= 2;
    g.setColour (padGrid);
    if (isLine())
    {
        g.drawLine (area.getX(), area.getCentreY(), area.getRight(), area.getCentreY(), 3.0f);
    }
    else
    {
        g.drawRect (area, 2.0f);
        for (int i = 1; i < 4; ++i)
        {
            const float fx = area.getX() + area.getWidth() * static_cast<float> (i) / 4.0f;
            const float fy = area.getY() + area.getHeight() * static_cast<float> (i) / 4.0f;
            g.drawLine (fx, area.getY(), fx, area.getBottom(), 1.0f);
            g.drawLine (area.getX(), fy, area.getRight(), fy, 1.0f);
        }
    }

    // Each corner's letter and name by its corner; three corners: C along the bottom.
    g.setFont (juce::Font (juce::Font::getDefaultMonospacedFontName(), 12.0f, juce::Font::bold));
    g.setColour (PanelText::displayRed);
    const int width = getWidth() / 2 - 8;
    for (int i = 0; i < cornerNames.size(); ++i)
    {
        const bool right = i == 1 || i == 3;
        const bool bottom = i >= 2;
        const auto justification = cornerNames.size() == 3 && i == 2 ? juce::Justification::centred
                                   : right                           ? juce::Justification::centredRight
                                                                     : juce::Justification::centredLeft;
        const int x = cornerNames.size() == 3 && i == 2 ? getWidth() / 4 : right ? getWidth() / 2 : 8;
        const float lineY = area.getCentreY();
        const int y = isLine() ? static_cast<int> (lineY) - 30 : bottom ? getHeight() - 24 : 2;
        g.drawText (juce::String (cornerLetters[i]) + "  " + cornerNames[i], x, y, width, 22, justification, true);
    }

    if (!enabled)
        return;
    const auto centre = positionOf (at);
    g.setColour (PanelText::displayRed.withAlpha (0.35f));
    g.fillEllipse (juce::Rectangle<float> (pointRadius * 4, pointRadius * 4).withCentre (centre));
    g.setColour (PanelText::displayRed);
    g.fillEllipse (juce::Rectangle<float> (pointRadius * 2, pointRadius * 2).withCentre (centre));
}

void MorphPad::mouseDown (const juce::MouseEvent& event)
{
    if (cornerNames.size() < 2)
        return;
    if (onDragStart)
        onDragStart();
    mouseDrag (event);
}

void MorphPad::mouseDrag (const juce::MouseEvent& event)
{
    if (cornerNames.size() < 2)
        return;
    if (onMove)
        onMove (pointFor (event.position));
}

//==============================================================================
MorphComponent::MorphComponent (EditSession& sessionToEdit,
                                std::function<std::vector<PatchModel>()> selection,
                                std::function<void (const juce::String&, const juce::String&)> status)
    : session (sessionToEdit), selectedPatches (std::move (selection)), showStatus (std::move (status))
{
    addAndMakeVisible (pad);
    pad.onDragStart = [this] { session.beginFaderGesture(); };
    pad.onMove = [this] (SoundMorph::Point point) { moveTo (point); };

    for (size_t i = 0; i < cornerButtons.size(); ++i)
    {
        cornerButtons[i].onClick = [this, i] { showCornerMenu (i); };
        cornerButtons[i].setTooltip ("Choose this corner's patch");
        addAndMakeVisible (cornerButtons[i]);
    }
    weightsLabel.setFont (juce::Font (juce::Font::getDefaultMonospacedFontName(), 14.0f, juce::Font::plain));
    weightsLabel.setJustificationType (juce::Justification::centred);
    addAndMakeVisible (weightsLabel);
    hint.setFont (juce::Font (14.0f));
    hint.setJustificationType (juce::Justification::centred);
    addAndMakeVisible (hint);

    setSize (480, 560);
    cornersChanged();
}

void MorphComponent::paint (juce::Graphics& g)
{
    g.fillAll (getLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId));
}

void MorphComponent::resized()
{
    auto area = getLocalBounds().reduced (12);
    const auto placePair = [this] (juce::Rectangle<int> row, size_t left, size_t right)
    {
        const int width = (row.getWidth() - 12) / 2;
        cornerButtons[left].setBounds (row.removeFromLeft (width));
        cornerButtons[right].setBounds (row.removeFromRight (width));
    };
    placePair (area.removeFromTop (28), 0, 1);
    area.removeFromTop (8);
    hint.setBounds (area.removeFromBottom (24));
    weightsLabel.setBounds (area.removeFromBottom (24));
    area.removeFromBottom (4);
    placePair (area.removeFromBottom (28), 2, 3);
    area.removeFromBottom (8);
    pad.setBounds (area);
}

void MorphComponent::setCorners (std::vector<PatchModel> patches)
{
    if (patches.size() > maxCorners)
        patches.resize (maxCorners);
    cornerPatches = std::move (patches);
    pad.setPoint ({});
    cornersChanged();
}

void MorphComponent::cornersChanged()
{
    juce::StringArray names;
    for (size_t i = 0; i < cornerButtons.size(); ++i)
    {
        const bool set = i < cornerPatches.size();
        if (set)
            names.add (toDisplayString (cornerPatches[i].name));
        cornerButtons[i].setButtonText (juce::String (cornerLetters[i]) + ": " +
                                        (set ? toDisplayString (cornerPatches[i].name) : juce::String ("none")));
        // A corner after the first missing one waits for that one.
        cornerButtons[i].setEnabled (i <= cornerPatches.size());
    }
    pad.setCorners (names);
    weightsLabel.setText (weightsText (false), juce::dontSendNotification);
    hint.setText (cornerPatches.size() < 2
                      ? "Select a second patch in the BANK, then choose it for B."
                      : "Drag the point: the active patch is the blend, heard at once. UNDO steps back a drag.",
                  juce::dontSendNotification);
}

juce::String MorphComponent::weightsText (bool compact) const
{
    if (cornerPatches.size() < 2)
        return {};
    const auto weights = SoundMorph::weights (cornerPatches.size(), pad.point());
    constexpr double total = static_cast<double> (SoundMorph::unit) * static_cast<double> (SoundMorph::unit);
    juce::StringArray parts;
    for (size_t i = 0; i < weights.size(); ++i)
    {
        const auto percent = juce::String (juce::roundToInt (100.0 * static_cast<double> (weights[i]) / total));
        parts.add (juce::String (cornerLetters[i]) + (compact ? percent : " " + percent + "%"));
    }
    return parts.joinIntoString (compact ? " " : "  ");
}

void MorphComponent::moveTo (SoundMorph::Point point)
{
    if (cornerPatches.size() < 2)
        return;
    pad.setPoint (point);
    std::vector<SoundControls::Bytes> sounds;
    for (const auto& corner : cornerPatches)
        sounds.push_back (corner.data);
    session.setSound (SoundMorph::blend (sounds, point));
    weightsLabel.setText (weightsText (false), juce::dontSendNotification);
    if (showStatus)
        showStatus ("Morph", weightsText (true)); // STATUS has room for "A26 B26 C24 D24"
}

void MorphComponent::showCornerMenu (size_t corner)
{
    const auto selected = selectedPatches ? selectedPatches() : std::vector<PatchModel>{};
    juce::PopupMenu menu;
    menu.addItem (activeId, "Active Patch: " + toDisplayString (session.activePatch().name));
    if (!selected.empty())
        menu.addSectionHeader ("Selected in the BANK");
    for (size_t i = 0; i < selected.size() && i < static_cast<size_t> (maxSelectedShown); ++i)
        menu.addItem (firstSelectedId + static_cast<int> (i), toDisplayString (selected[i].name));
    if (corner >= 2 && corner < cornerPatches.size())
    {
        menu.addSeparator();
        menu.addItem (noneId, "None");
    }
    menu.showMenuAsync (juce::PopupMenu::Options().withTargetComponent (&cornerButtons[corner]),
                        [safeThis = juce::Component::SafePointer<MorphComponent> (this), corner, selected] (int chosen)
                        {
                            if (safeThis == nullptr || chosen == 0)
                                return;
                            if (chosen == activeId)
                            {
                                const PatchModel active = safeThis->session.activePatch();
                                safeThis->setCorner (corner, &active);
                            }
                            else if (chosen == noneId)
                            {
                                safeThis->setCorner (corner, nullptr);
                            }
                            else
                            {
                                const auto index = static_cast<size_t> (chosen - firstSelectedId);
                                if (index < selected.size())
                                    safeThis->setCorner (corner, &selected[index]);
                            }
                        });
}

void MorphComponent::setCorner (size_t corner, const PatchModel* patch)
{
    if (corner >= maxCorners)
        return;
    if (patch == nullptr)
    {
        // A corner let go of: the later ones move up a letter.
        if (corner >= 2 && corner < cornerPatches.size())
            cornerPatches.erase (cornerPatches.begin() + static_cast<std::ptrdiff_t> (corner));
    }
    else if (corner < cornerPatches.size())
    {
        cornerPatches[corner] = *patch;
    }
    else
    {
        cornerPatches.push_back (*patch);
    }
    cornersChanged();
}

//==============================================================================
MorphWindow::MorphWindow (EditSession& session,
                          std::function<std::vector<PatchModel>()> selection,
                          std::function<void (const juce::String&, const juce::String&)> status)
    : DocumentWindow ("Morph",
                      juce::LookAndFeel::getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId),
                      DocumentWindow::closeButton,
                      false),
      component (session, std::move (selection), std::move (status))
{
    setUsingNativeTitleBar (true);
    setContentNonOwned (&component, true);
    setResizable (false, false);
}

void MorphWindow::closeButtonPressed()
{
    if (onClose)
        onClose();
}
