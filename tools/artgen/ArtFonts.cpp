#include "ArtFonts.h"

namespace qorv::art
{
ArtFonts::ArtFonts()
    : condensed (load ("DejaVuSansCondensed-Bold.ttf")), wide (load ("DejaVuSans-Bold.ttf")),
      mono (load ("DejaVuSansMono-Bold.ttf"))
{
}

juce::Typeface::Ptr ArtFonts::load (const char* fileName)
{
    const juce::File file = juce::File ("/usr/share/fonts/truetype/dejavu").getChildFile (fileName);
    juce::MemoryBlock data;
    if (!file.loadFileAsData (data) || data.isEmpty())
    {
        error << "cannot read " << file.getFullPathName() << " (install fonts-dejavu-core)\n";
        return {};
    }
    return juce::Typeface::createSystemTypefaceFor (data.getData(), data.getSize());
}
} // namespace qorv::art
