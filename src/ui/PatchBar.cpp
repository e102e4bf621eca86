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
    if (!repeatedParts.isEmpty())
    {
        // A reason going round gives way; start-up notices still waiting do not.
        messageTimer.stopTimer();
        waitingMessages.clear();
        repeatedParts.clear();
    }
    statusLabel.setTooltip ({});
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
    repeatedParts.clear();
    statusLabel.setTooltip ({});
    statusLabel.setText (text, juce::dontSendNotification);
}

void PatchBar::showMessages (const juce::StringArray& texts)
{
    repeatedParts.clear();
    statusLabel.setTooltip ({});
    waitingMessages = texts;
    messageTimer.callback = [this] { showNextMessage(); };
    showNextMessage();
}

juce::StringArray PatchBar::partsThatFit (const juce::String& text) const
{
    // No narrower than this: STATUS may squeeze a text, but not past reading.
    constexpr float readableScale = 0.8f;
    const auto font = statusLabel.getFont();
    const auto room =
        static_cast<float> (statusLabel.getBorderSize().subtractedFrom (statusLabel.getLocalBounds()).getWidth()) /
        readableScale;
    juce::StringArray parts;
    juce::String part;
    for (const auto& word : juce::StringArray::fromTokens (text, " ", ""))
    {
        if (word.isEmpty())
            continue;
        const auto longer = part.isEmpty() ? word : part + " " + word;
        if (part.isNotEmpty() && font.getStringWidthFloat (longer) > room)
        {
            parts.add (part);
            part = word;
        }
        else
        {
            part = longer;
        }
    }
    if (part.isNotEmpty())
        parts.add (part);
    return parts;
}

void PatchBar::showInParts (const juce::String& text)
{
    const auto parts = partsThatFit (text);
    controlTimer.stopTimer(); // an earlier edit's return to dashes must not cut it short
    showMessages (parts);
    // Round and round until the next message: whenever one looks, the reason is going by.
    if (parts.size() > 1)
        repeatedParts = parts;
    statusLabel.setTooltip (text);
}

void PatchBar::showNextMessage()
{
    if (waitingMessages.isEmpty())
        waitingMessages = repeatedParts;
    if (waitingMessages.isEmpty())
        return;
    statusLabel.setText (waitingMessages[0], juce::dontSendNotification);
    waitingMessages.remove (0);
    if (!waitingMessages.isEmpty() || !repeatedParts.isEmpty())
        messageTimer.startTimer (statusRevertMs);
}

void PatchBar::ControlTimer::timerCallback()
{
    stopTimer();
    if (callback)
        callback();
}
