#include "ui/PanelText.h"

#include "files/Utf8Text.h"
#include "session/EditSession.h"

void PanelText::applyDisplayLook (juce::Label& label)
{
    label.setFont (juce::Font (juce::Font::getDefaultMonospacedFontName(), 11.0f, juce::Font::bold));
    label.setColour (juce::Label::textColourId, displayRed);
    label.setJustificationType (juce::Justification::centredLeft);
}

juce::String PanelText::NameLengthFilter::filterNewText (juce::TextEditor& editor, const juce::String& newInput)
{
    const auto selection = editor.getHighlightedRegion();
    const juce::String text = editor.getText();
    const size_t kept = text.substring (0, selection.getStart()).getNumBytesAsUTF8() +
                        text.substring (selection.getEnd()).getNumBytesAsUTF8();
    size_t room = kept < maxBytes ? maxBytes - kept : 0;

    juce::String accepted;
    for (auto character = newInput.getCharPointer(); !character.isEmpty(); ++character)
    {
        const size_t size = juce::CharPointer_UTF8::getBytesRequiredFor (*character);
        if (size > room)
            break;
        accepted += juce::String::charToString (*character);
        room -= size;
    }
    return accepted;
}

PanelText::NameLengthFilter& PanelText::typedNameFilter()
{
    static NameLengthFilter filter (EditSession::maxTypedNameBytes);
    return filter;
}

juce::String PanelText::shownName (std::string_view bytes)
{
    const std::string shown = Utf8Text::forDisplay (bytes);
    return juce::String::fromUTF8 (shown.data(), static_cast<int> (shown.size()));
}

juce::String toDisplayString (const std::string& bytes)
{
    return juce::String::fromUTF8 (bytes.data(), static_cast<int> (bytes.size()));
}

std::string toModelString (const juce::String& text)
{
    return text.toStdString();
}
