#pragma once

#include "midi/MidiEngine.h"
#include "ui/BitmapControls.h"
#include "ui/PanelSection.h"
#include "ui/QorvKeyboardComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

/** What plays the synthesizer rather than editing the patch: the keyboard,
    BENDER and LFO TRIG, OCTAVE DOWN and UP, MOUSE, KYBD and ALL NOTES OFF. */
class PerformanceSection : public PanelSection
{
public:
    explicit PerformanceSection (MidiEngine& engine);
    ~PerformanceSection() override = default;

    /** One octave down or up, as the buttons do: held notes stop first. */
    void octaveDown();
    void octaveUp();
    /** Steps to an octave from 1 to 4; anything else changes nothing. */
    void stepToOctave (int octave);
    void setMouseEnabled (bool enabled);
    void setKeysEnabled (bool enabled);

    QorvKeyboardComponent keyboard;
    BitmapSlider benderSlider{PanelImages::leverHandle(), 127};
    BitmapSlider lfoTrigSlider{PanelImages::leverHandle(), 127};
    BitmapButton octaveDownBtn{PanelImages::greyButton()};
    BitmapButton octaveUpBtn{PanelImages::greyButton()};
    BitmapButton mouseBtn{PanelImages::greyButton()};
    BitmapButton kybdBtn{PanelImages::greyButton()};
    BitmapButton allNotesOffBtn{PanelImages::blueButton()};
    BitmapIndicator kybdInd{PanelImages::lamp()};
    BitmapIndicator mouseInd{PanelImages::lamp()};

private:
    MidiEngine& midiEngine;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PerformanceSection)
};
