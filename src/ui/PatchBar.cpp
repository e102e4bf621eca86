#include "ui/PatchBar.h"

#include "ui/PanelText.h"

PatchBar::PatchBar (EditSession& sessionToEdit) : session (sessionToEdit)
{
    place (saveBtn, 396, 20, 20, 16);
    place (undoBtn, 429, 20, 20, 16);
    place (cmpBtn, 462, 20, 20, 16);
    place (evolveBtn, 508, 20, 20, 16);
    place (changedInd, 376, 4, 12, 12);

    PanelText::applyDisplayLook (statusLabel);
    statusLabel.setText (PanelText::statusIdleText, juce::dontSendNotification);
    // A longer message ("Move a controller for VCF Freq") is narrowed to fit rather than cut short.
    statusLabel.setMinimumHorizontalScale (0.5f);
    place (statusLabel, 595, 20, 116, 16);

    PanelText::applyDisplayLook (activePatchLabel);
    activePatchLabel.setText (toDisplayString (session.activePatch().name), juce::dontSendNotification);
    place (activePatchLabel, 192, 20, 186, 16);

    saveBtn.onClick = [this] { session.saveToLibrary(); };
    undoBtn.onClick = [this] { session.undo(); };
    // CMP is momentary: the stored patch sounds only while the button is held.
    cmpBtn.onPress = [this] { session.setComparing (true); };
    cmpBtn.onRelease = [this] { session.setComparing (false); };
    cmpBtn.onClick = nullptr;
    evolveBtn.onClick = [this] { session.evolve(); };
}

void PatchBar::showActiveName (const std::string& name)
{
    activePatchLabel.setText (toDisplayString (name), juce::dontSendNotification);
}

void PatchBar::showEditState()
{
    const bool differs = session.differsFromStored();
    changedInd.setOn (differs);
    saveBtn.setEnabledState (true);
    cmpBtn.setEnabledState (differs);
    undoBtn.setEnabledState (session.history().canUndo());
}

void PatchBar::showControl (const juce::String& name, const juce::String& value)
{
    statusLabel.setText (name + ": " + value, juce::dontSendNotification);
    controlTimer.callback = [this] { statusLabel.setText (PanelText::statusIdleText, juce::dontSendNotification); };
    controlTimer.startTimer (statusRevertMs);
}

void PatchBar::showMessage (const juce::String& text)
{
    // It stays: an earlier edit's return to dashes must not take it away.
    controlTimer.stopTimer();
    messageTimer.stopTimer();
    waitingMessages.clear();
    statusLabel.setText (text, juce::dontSendNotification);
}

void PatchBar::showMessages (const juce::StringArray& texts)
{
    waitingMessages = texts;
    messageTimer.callback = [this] { showNextMessage(); };
    showNextMessage();
}

void PatchBar::showNextMessage()
{
    if (waitingMessages.isEmpty())
        return;
    statusLabel.setText (waitingMessages[0], juce::dontSendNotification);
    waitingMessages.remove (0);
    if (!waitingMessages.isEmpty())
        messageTimer.startTimer (statusRevertMs);
}

void PatchBar::ControlTimer::timerCallback()
{
    stopTimer();
    if (callback)
        callback();
}
