#include "ui/PanelText.h"

void PanelText::applyDisplayLook (juce::Label& label)
{
    label.setFont (juce::Font (juce::Font::getDefaultMonospacedFontName(), 11.0f, juce::Font::bold));
    label.setColour (juce::Label::textColourId, displayRed);
    label.setJustificationType (juce::Justification::centredLeft);
}

juce::String toDisplayString (const std::string& bytes)
{
    return juce::String::fromUTF8 (bytes.data(), static_cast<int> (bytes.size()));
}

std::string toModelString (const juce::String& text)
{
    return text.toStdString();
}
