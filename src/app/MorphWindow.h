#pragma once

#include "explore/SoundMorph.h"
#include "session/EditSession.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <functional>
#include <vector>

/** The square the point is dragged over: corner names at the corners (two
    patches: the ends of a line across it), the point, and the mouse. */
class MorphPad : public juce::Component
{
public:
    void paint (juce::Graphics&) override;
    void mouseDown (const juce::MouseEvent&) override;
    void mouseDrag (const juce::MouseEvent&) override;

    void setCorners (const juce::StringArray& names);
    void setPoint (SoundMorph::Point point);
    SoundMorph::Point point() const { return at; }

    /** Where the pad's point for a position in this component lies. */
    SoundMorph::Point pointFor (juce::Point<float> position) const;
    /** Where on this component a pad point is drawn. */
    juce::Point<float> positionOf (SoundMorph::Point point) const;

    /** A drag starts, then moves the point; each move comes through onMove. */
    std::function<void()> onDragStart;
    std::function<void (SoundMorph::Point)> onMove;

private:
    juce::Rectangle<float> square() const;
    bool isLine() const { return cornerNames.size() == 2; }

    juce::StringArray cornerNames;
    SoundMorph::Point at;
};

/** Edit > Morph...: two to four patches on the corners of a pad, the active
    patch the blend at the point. A drag is one UNDO step whose every move is
    sent as a dump, as an edit is; the corners are kept as they were chosen,
    so the blend never feeds on itself. */
class MorphComponent : public juce::Component
{
public:
    static constexpr size_t maxCorners = 4;

    /** `selection` gives the patches selected in the BANK, for the corners' menus;
        `status` shows a move in STATUS. */
    MorphComponent (EditSession& session,
                    std::function<std::vector<PatchModel>()> selection,
                    std::function<void (const juce::String&, const juce::String&)> status);

    void resized() override;
    void paint (juce::Graphics&) override;

    /** New corners (the first is where the point starts: the active patch, as a rule). */
    void setCorners (std::vector<PatchModel> patches);
    const std::vector<PatchModel>& corners() const { return cornerPatches; }

    /** The point moves there and the blend becomes the active patch's sound. */
    void moveTo (SoundMorph::Point point);

    /** A corner's menu: the active patch, the patches selected in the BANK, or no patch. */
    void showCornerMenu (size_t corner);
    /** A corner set from a menu: the patch, or none (for C and D). */
    void setCorner (size_t corner, const PatchModel* patch);

    MorphPad pad;
    std::array<juce::TextButton, maxCorners> cornerButtons;
    juce::Label weightsLabel;
    juce::Label hint;

private:
    void cornersChanged();
    /** Each corner's share of the blend: "A 25%  B 75%", or compact "A25 B75". */
    juce::String weightsText (bool compact) const;

    EditSession& session;
    std::function<std::vector<PatchModel>()> selectedPatches;
    std::function<void (const juce::String&, const juce::String&)> showStatus;
    std::vector<PatchModel> cornerPatches;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MorphComponent)
};

/** The window around a MorphComponent, beside the panel. */
class MorphWindow : public juce::DocumentWindow
{
public:
    MorphWindow (EditSession& session,
                 std::function<std::vector<PatchModel>()> selection,
                 std::function<void (const juce::String&, const juce::String&)> status);

    void closeButtonPressed() override;
    MorphComponent& content() { return component; }

    /** The close button was pressed; the owner lets the window go. */
    std::function<void()> onClose;

private:
    MorphComponent component;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MorphWindow)
};
