// The settings guard: every input ends at once (the run's time and memory
// limits catch one that does not), and what the guard takes, JUCE's XML reader
// reads as the very same tree, from the file as PropertiesFile reads it and
// from a string as getXmlValue reads one. A value the guard calls safe
// without reading it is one JUCE reads no element from.

#include "FuzzSupport.h"
#include "files/XmlGuard.h"

#include <juce_core/juce_core.h>

namespace
{
bool sameTree (const XmlGuard::Node& guarded, const juce::XmlElement& read)
{
    if (guarded.tag.empty())
        return read.isTextElement() && read.getText().toStdString() == guarded.text;
    if (read.getTagName().toStdString() != guarded.tag ||
        read.getNumAttributes() != static_cast<int> (guarded.attributes.size()) ||
        read.getNumChildElements() != static_cast<int> (guarded.children.size()))
        return false;
    for (int i = 0; i < read.getNumAttributes(); ++i)
    {
        const auto& [name, value] = guarded.attributes[static_cast<size_t> (i)];
        if (read.getAttributeName (i).toStdString() != name || read.getAttributeValue (i).toStdString() != value)
            return false;
    }
    for (int i = 0; i < read.getNumChildElements(); ++i)
        if (!sameTree (guarded.children[static_cast<size_t> (i)], *read.getChildElement (i)))
            return false;
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    static MemoryFile file;
    const std::string_view text (reinterpret_cast<const char*> (data), size);
    const auto guarded = XmlGuard::parse (text);
    const bool safe = XmlGuard::isSafeToParse (text);
    require (!guarded || safe, "a document the guard takes is safe to parse");

    const auto asString = juce::String::fromUTF8 (text.data(), static_cast<int> (text.size()));
    if (!guarded)
    {
        if (safe)
            require (juce::parseXML (asString) == nullptr, "a value called safe unread gives JUCE no element");
        return 0;
    }

    const auto fromFile = juce::XmlDocument (juce::File (file.hold (data, size))).getDocumentElement();
    require (fromFile != nullptr && sameTree (*guarded, *fromFile), "JUCE reads the file as the guard does");
    const bool byteOrderMark = text.substr (0, 3) == "\xEF\xBB\xBF"; // skipped in files only
    if (!byteOrderMark)
    {
        const auto fromString = juce::parseXML (asString);
        require (fromString != nullptr && sameTree (*guarded, *fromString), "JUCE reads the text as the guard does");
    }
    return 0;
}
