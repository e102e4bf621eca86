// The three text displays and the STATUS cycle: an edit shows its name and
// value, and the display returns to dashes two seconds after the last one.

#include "ui/MainComponent.h"

namespace
{
const juce::String statusIdleText ("----------");
const juce::String midiInIdleText ("-------");

void applyDisplayLook (juce::Label& label)
{
    label.setFont (juce::Font (juce::Font::getDefaultMonospacedFontName(), 11.0f, juce::Font::bold));
    label.setColour (juce::Label::textColourId, juce::Colour (0xFFCC0011));
    label.setJustificationType (juce::Justification::centredLeft);
}
} // namespace

void MainComponent::styleDisplays()
{
    applyDisplayLook (statusLabel);
    statusLabel.setText (statusIdleText, juce::dontSendNotification);
    addAndMakeVisible (statusLabel);
    statusLabel.setBounds (595, 20, 116, 16);

    applyDisplayLook (activePatchLabel);
    activePatchLabel.setText (toDisplayString (patch.name), juce::dontSendNotification);
    addAndMakeVisible (activePatchLabel);
    activePatchLabel.setBounds (192, 20, 186, 16);

    applyDisplayLook (midiInLabel);
    midiInLabel.setText (midiInIdleText, juce::dontSendNotification);
    midiInLabel.setEditable (false, false, false);
    addAndMakeVisible (midiInLabel);
    midiInLabel.setBounds (8, 416, 104, 16);
}

void MainComponent::showControl (const char* name, const char* value)
{
    statusLabel.setText (juce::String::fromUTF8 (name) + ": " + juce::String::fromUTF8 (value),
                         juce::dontSendNotification);
    startControlTimer();
}

void MainComponent::showControl (const char* name, int value)
{
    showControl (name, juce::String (value).toRawUTF8());
}

void MainComponent::startControlTimer()
{
    controlTimer.callback = [this] { statusLabel.setText (statusIdleText, juce::dontSendNotification); };
    controlTimer.startTimer (statusRevertMs);
}

void MainComponent::ControlTimer::timerCallback()
{
    stopTimer();
    if (callback)
        callback();
}
