#include "ui/MidiInSection.h"

#include "ui/PanelText.h"

MidiInSection::MidiInSection (EditSession& sessionToEdit) : session (sessionToEdit)
{
    place (midiSaveBtn, 128, 416, 20, 16);
    place (midiIgnoreBtn, 160, 416, 20, 16);
    place (saveAllBtn, 8, 456, 28, 20);
    place (saveAllInd, 6, 440, 12, 12);
    place (patchReceivedInd, 6, 400, 12, 12);
    midiSaveBtn.setEnabledState (false);
    midiIgnoreBtn.setEnabledState (false);

    PanelText::applyDisplayLook (midiInLabel);
    midiInLabel.setText (PanelText::midiInIdleText, juce::dontSendNotification);
    midiInLabel.setEditable (false, false, false);
    place (midiInLabel, 8, 416, 104, 16);

    midiInLabel.onEditorShow = [this]
    {
        if (auto* editor = midiInLabel.getCurrentTextEditor())
            editor->setInputFilter (&PanelText::typedNameFilter(), false);
    };
    midiSaveBtn.onClick = [this] { session.saveReceived (toModelString (midiInLabel.getText (false))); };
    midiIgnoreBtn.onClick = [this] { session.ignoreReceived(); };
    saveAllBtn.onClick = [this] { session.setSaveAll (!session.isSaveAllOn()); };
}

void MidiInSection::showReceived()
{
    const auto& name = session.receivedName();
    midiInLabel.setText (name.empty() ? PanelText::midiInIdleText : toDisplayString (name), juce::dontSendNotification);

    const bool pending = session.pendingPatch() != nullptr;
    patchReceivedInd.setOn (pending);
    midiSaveBtn.setEnabledState (pending);
    midiIgnoreBtn.setEnabledState (pending);
    midiInLabel.setEditable (pending, false, false);
}

void MidiInSection::showSaveAll()
{
    saveAllInd.setOn (session.isSaveAllOn());
}
