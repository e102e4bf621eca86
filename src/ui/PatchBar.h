#pragma once

#include "session/EditSession.h"
#include "ui/BitmapControls.h"
#include "ui/PanelSection.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

/** The strip along the top: ACTIVE PATCH with its changed lamp, SAVE, UNDO,
    CMP and EVOLVE, and STATUS, which names the last edit for two seconds. */
class PatchBar : public PanelSection
{
public:
    static constexpr int statusRevertMs = 2000;

    explicit PatchBar (EditSession& sessionToEdit);
    ~PatchBar() override = default;

    void showActiveName (const std::string& name);
    /** The changed lamp and the SAVE, UNDO and CMP buttons, as the session's state says. */
    void showEditState();
    /** "name: value" in STATUS, back to dashes two seconds after the last one. */
    void showControl (const juce::String& name, const juce::String& value);
    /** A message in STATUS that stays until the next one. */
    void showMessage (const juce::String& text);
    /** Messages in STATUS one after another, two seconds each; the last one stays. */
    void showMessages (const juce::StringArray& texts);
    /** A text longer than STATUS holds (a plugin's reason for refusing a
        state), in parts that each fit at a size that can be read, one after
        another, round and round until the next message or control; the whole
        text is STATUS's tooltip meanwhile. */
    void showInParts (const juce::String& text);
    /** The parts showInParts shows, in order. */
    juce::StringArray partsThatFit (const juce::String& text) const;

    /** One-shot timer that puts STATUS back to dashes. */
    class ControlTimer : public juce::Timer
    {
    public:
        ~ControlTimer() override = default;
        void timerCallback() override;
        std::function<void()> callback;
    };

    juce::Label activePatchLabel;
    juce::Label statusLabel;
    BitmapIndicator changedInd{PanelImages::lamp()};
    BitmapButton saveBtn{PanelImages::smallOrangeButton()};
    BitmapButton undoBtn{PanelImages::smallGreyButton()};
    BitmapButton cmpBtn{PanelImages::smallGreyButton()};
    BitmapButton evolveBtn{PanelImages::smallGreyButton()};
    ControlTimer controlTimer;

private:
    void showNextMessage();

    ControlTimer messageTimer;
    juce::StringArray waitingMessages;
    juce::StringArray repeatedParts; // showInParts' parts, while they go round
    EditSession& session;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PatchBar)
};
