#pragma once

#include <juce_graphics/juce_graphics.h>

namespace qorv::art
{
// The DejaVu faces the artwork is lettered in, read straight from Debian's
// fonts-dejavu-core files so the images do not depend on the font set-up of
// whichever machine regenerates them.
class ArtFonts
{
public:
    ArtFonts();

    // False (with the missing file named) when a face could not be read.
    bool isValid() const { return error.isEmpty(); }
    const juce::String& getError() const { return error; }

    juce::Font condensedBold (float height) const { return juce::Font (condensed).withHeight (height); }
    juce::Font bold (float height) const { return juce::Font (wide).withHeight (height); }
    juce::Font monoBold (float height) const { return juce::Font (mono).withHeight (height); }

private:
    juce::Typeface::Ptr load (const char* fileName);

    juce::String error;
    juce::Typeface::Ptr condensed;
    juce::Typeface::Ptr wide;
    juce::Typeface::Ptr mono;

    JUCE_DECLARE_NON_COPYABLE (ArtFonts)
};
} // namespace qorv::art
