#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <string>
#include <string_view>

/** The panel's red displays and the one conversion between the names a patch
    stores (UTF-8 bytes) and the text the panel shows and takes. */
namespace PanelText
{
/** The red of every display and of the BANK list's text. */
const juce::Colour displayRed (0xFFCC0011);
/** STATUS with nothing to show. */
const juce::String statusIdleText ("----------");
/** MIDI IN with nothing received. */
const juce::String midiInIdleText ("-------");

/** The monospaced bold red text of the three displays. */
void applyDisplayLook (juce::Label& label);

/** Keeps a typed name within a number of UTF-8 bytes, so it can always be saved. */
class NameLengthFilter : public juce::TextEditor::InputFilter
{
public:
    explicit NameLengthFilter (size_t maximumBytes) : maxBytes (maximumBytes) {}
    juce::String filterNewText (juce::TextEditor& editor, const juce::String& newInput) override;

private:
    const size_t maxBytes;
};

/** The filter for every name typed on the panel (the NAME dialog, MIDI IN). */
NameLengthFilter& typedNameFilter();

/** A file's path or name (bytes, not always UTF-8) as one line of text:
    each invalid part a U+FFFD, control characters written out as \n, \t... */
juce::String shownName (std::string_view bytes);
} // namespace PanelText

/** A stored name as the panel shows it. */
juce::String toDisplayString (const std::string& bytes);
/** Text typed in the panel as a name to store. */
std::string toModelString (const juce::String& text);
