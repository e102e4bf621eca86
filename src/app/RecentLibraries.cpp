#include "app/RecentLibraries.h"

#include "files/Utf8Text.h"
#include "files/XmlGuard.h"

#include <algorithm>

namespace
{
const char* const listTag = "RECENT";
const char* const fileTag = "FILE";
const char* const pathAttribute = "path";
const std::string scheme = "file://";
} // namespace

void RecentLibraries::add (const std::string& path)
{
    paths.erase (std::remove (paths.begin(), paths.end(), path), paths.end());
    paths.insert (paths.begin(), path);
    if (paths.size() > static_cast<size_t> (maxFiles))
        paths.resize (maxFiles);
}

void RecentLibraries::restoreFrom (const juce::PropertiesFile& settings, const juce::String& key)
{
    paths.clear();
    // Read by the settings' own guarded reader: a stored value is never handed to a general XML parser.
    const auto list = XmlGuard::parse (settings.getValue (key).toStdString());
    if (!list || list->tag != listTag)
        return;
    for (const auto& entry : list->children)
    {
        if (entry.tag != fileTag || paths.size() >= static_cast<size_t> (maxFiles))
            continue;
        for (const auto& [name, value] : entry.attributes)
            if (name == pathAttribute)
                if (const auto path =
                        fromStored (juce::String::fromUTF8 (value.data(), static_cast<int> (value.size())));
                    path && std::find (paths.begin(), paths.end(), *path) == paths.end())
                    paths.push_back (*path);
    }
}

void RecentLibraries::storeIn (juce::PropertiesFile& settings, const juce::String& key) const
{
    juce::XmlElement xml (listTag);
    for (const auto& path : paths)
        xml.createNewChildElement (fileTag)->setAttribute (pathAttribute, toStored (path));
    settings.setValue (key, &xml);
}

juce::String RecentLibraries::toStored (const std::string& path)
{
    const std::string text = scheme + Utf8Text::escapeBytes (path);
    return juce::String::fromUTF8 (text.data(), static_cast<int> (text.size()));
}

std::optional<std::string> RecentLibraries::fromStored (const juce::String& text)
{
    const std::string stored = text.toStdString();
    if (stored.rfind (scheme, 0) == 0)
    {
        std::string path;
        if (!Utf8Text::unescapeBytes (std::string_view (stored).substr (scheme.size()), path) || path.empty() ||
            path.front() != '/' || path.find ('\0') != std::string::npos)
            return std::nullopt;
        return path;
    }
    if (!stored.empty() && stored.front() == '/')
        return stored;
    return std::nullopt;
}
