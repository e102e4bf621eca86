#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** One section of the panel: a layer as large as the panel, so its controls
    sit at the panel's own coordinates, that takes the mouse only where it has
    a control. */
class PanelSection : public juce::Component
{
public:
    PanelSection() { setInterceptsMouseClicks (false, true); }

protected:
    /** Shows a control at its place on the panel, above those placed before. */
    void place (juce::Component& control, int x, int y, int width, int height)
    {
        addAndMakeVisible (control, -1);
        control.setBounds (x, y, width, height);
    }
};
