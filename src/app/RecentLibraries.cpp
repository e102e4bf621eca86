#include "app/RecentLibraries.h"

namespace
{
const juce::Identifier listTag ("RECENT");
const juce::Identifier fileTag ("FILE");
const juce::Identifier pathAttribute ("path");
} // namespace

void RecentLibraries::add (const juce::File& file)
{
    files.removeAllInstancesOf (file);
    files.insert (0, file);
    while (files.size() > maxFiles)
        files.removeLast();
}

void RecentLibraries::restoreFrom (const juce::PropertiesFile& settings, const juce::String& key)
{
    files.clear();
    // Stored as XML, so any path survives whatever characters it holds.
    const auto xml = settings.getXmlValue (key);
    if (xml == nullptr || !xml->hasTagName (listTag))
        return;
    for (auto* entry : xml->getChildWithTagNameIterator (fileTag))
    {
        const auto path = entry->getStringAttribute (pathAttribute);
        if (juce::File::isAbsolutePath (path) && files.size() < maxFiles)
            files.addIfNotAlreadyThere (juce::File (path));
    }
}

void RecentLibraries::storeIn (juce::PropertiesFile& settings, const juce::String& key) const
{
    juce::XmlElement xml (listTag);
    for (const auto& file : files)
        xml.createNewChildElement (fileTag)->setAttribute (pathAttribute, file.getFullPathName());
    settings.setValue (key, &xml);
}
