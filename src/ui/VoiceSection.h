#pragma once

#include "control/ControllerTranslator.h"
#include "session/EditSession.h"
#include "ui/BitmapControls.h"
#include "ui/PanelSection.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

/** The controls that edit the sound, LFO to CHORUS: 17 faders, 3 switches,
    8 buttons and their 7 lamps, each a row of a table that says where it
    sits, which byte or bit it edits and how STATUS names it. The section
    spans the whole panel; only its controls take the mouse. */
class VoiceSection : public PanelSection
{
public:
    VoiceSection (EditSession& sessionToEdit, ControllerTranslator& controllersToTeach);
    ~VoiceSection() override = default;

    /** Moves the faders and switches to a patch without reporting an edit. */
    void showPatch (const PatchModel& patch);
    /** Lights the range, waveform and chorus lamps as a DCO flags byte says. */
    void showLamps (uint8_t dcoFlags);

    /** Shows an edit in STATUS: the control's name and its new value. */
    std::function<void (const juce::String& name, const juce::String& value)> showEdit;

    /** A control's right-click menu: "Learn Controller", "Forget Controller". */
    enum ControllerMenuId
    {
        learnControllerId = 1,
        forgetControllerId = 2
    };
    juce::PopupMenu controllerMenu (PanelControl control) const;
    void controllerMenuChosen (PanelControl control, int itemId);
    /** Shows a control's menu beside it and calls back with the chosen item (0: none). Tests replace it. */
    std::function<void (juce::PopupMenu, juce::Component& target, std::function<void (int)> chosen)> showMenu;
    static void showMenuBeside (juce::PopupMenu menu, juce::Component& target, std::function<void (int)> chosen);

    BitmapSlider lfoRateSlider{PanelImages::faderHandle(), 127};
    BitmapSlider lfoDelaySlider{PanelImages::faderHandle(), 127};
    BitmapSlider dcoLfoSlider{PanelImages::faderHandle(), 127};
    BitmapSlider dcoPwmSlider{PanelImages::faderHandle(), 127};
    BitmapSlider subSlider{PanelImages::faderHandle(), 127};
    BitmapSlider noiseSlider{PanelImages::faderHandle(), 127};
    BitmapSlider hpfSlider{PanelImages::faderHandle(), 3};
    BitmapSlider vcfFreqSlider{PanelImages::faderHandle(), 127};
    BitmapSlider vcfResSlider{PanelImages::faderHandle(), 127};
    BitmapSlider vcfEnvSlider{PanelImages::faderHandle(), 127};
    BitmapSlider vcfLfoSlider{PanelImages::faderHandle(), 127};
    BitmapSlider vcfKybdSlider{PanelImages::faderHandle(), 127};
    BitmapSlider vcaLevelSlider{PanelImages::faderHandle(), 127};
    BitmapSlider attackSlider{PanelImages::faderHandle(), 127};
    BitmapSlider decaySlider{PanelImages::faderHandle(), 127};
    BitmapSlider sustainSlider{PanelImages::faderHandle(), 127};
    BitmapSlider releaseSlider{PanelImages::faderHandle(), 127};
    BitmapSwitch pwmSwitch{PanelImages::switchHandle()};
    BitmapSwitch vcfPolaritySwitch{PanelImages::switchHandle()};
    BitmapSwitch vcaModeSwitch{PanelImages::switchHandle()};
    BitmapButton range16Btn{PanelImages::greyButton()};
    BitmapButton range8Btn{PanelImages::greyButton()};
    BitmapButton range4Btn{PanelImages::greyButton()};
    BitmapButton pulseBtn{PanelImages::greyButton()};
    BitmapButton sawBtn{PanelImages::greyButton()};
    BitmapButton chorusOffBtn{PanelImages::greyButton()};
    BitmapButton chorus1Btn{PanelImages::orangeButton()};
    BitmapButton chorus2Btn{PanelImages::orangeButton()};
    BitmapIndicator range16Ind{PanelImages::lamp()};
    BitmapIndicator range8Ind{PanelImages::lamp()};
    BitmapIndicator range4Ind{PanelImages::lamp()};
    BitmapIndicator pulseInd{PanelImages::lamp()};
    BitmapIndicator sawInd{PanelImages::lamp()};
    BitmapIndicator chorus1Ind{PanelImages::lamp()};
    BitmapIndicator chorus2Ind{PanelImages::lamp()};

private:
    struct FaderRow;
    struct ButtonRow;
    struct SwitchRow;
    struct LampRow;
    static const FaderRow faderRows[];
    static const ButtonRow buttonRows[];
    static const SwitchRow switchRows[];
    static const LampRow lampRows[];

    void placeControls();
    void faderMoved (const FaderRow& row, int value);
    void buttonClicked (const ButtonRow& row);
    void switchMoved (const SwitchRow& row, int position);
    void offerControllerMenu (PanelControl control, juce::Component& target);

    EditSession& session;
    ControllerTranslator& controllers;
    /** Set while showPatch moves the controls, so nothing counts as an edit. */
    bool loadingPatch = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VoiceSection)
};
