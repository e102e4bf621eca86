#include "app/AppState.h"

#include <algorithm>
#include <cstdlib>

namespace
{
/** Far more than the settings ever take; a bigger file was not written by Qorv. */
constexpr juce::int64 maxSettingsBytes = 1 << 20;
/** The settings nest four elements deep; a reader that recurses must never see much more. */
constexpr int maxSettingsDepth = 16;

/** How deeply the elements of an XML text nest, found without recursion. */
int nestingDepth (const juce::MemoryBlock& text)
{
    const auto* bytes = static_cast<const char*> (text.getData());
    const size_t size = text.getSize();
    int depth = 0, deepest = 0;
    for (size_t i = 0; i < size; ++i)
    {
        if (bytes[i] != '<' || i + 1 >= size)
            continue;
        const char next = bytes[i + 1];
        const bool closing = next == '/';
        const bool declaration = next == '?' || next == '!';
        // To the end of the tag; a '>' inside a quoted attribute value does not end it.
        size_t end = i + 1;
        char quote = 0;
        for (; end < size; ++end)
        {
            const char c = bytes[end];
            if (quote != 0)
                quote = c == quote ? 0 : quote;
            else if (c == '"' || c == '\'')
                quote = c;
            else if (c == '>')
                break;
        }
        if (!declaration)
        {
            if (closing)
                --depth;
            else if (bytes[end - 1] != '/')
                deepest = std::max (deepest, ++depth);
        }
        i = end;
    }
    return deepest;
}

/** A settings file Qorv can read without risk: small, shallow and well-formed. */
bool isReadable (const juce::File& file)
{
    if (file.getSize() > maxSettingsBytes)
        return false;
    juce::MemoryBlock text;
    if (!file.loadFileAsData (text) || nestingDepth (text) > maxSettingsDepth)
        return false;
    const auto xml = juce::XmlDocument::parse (text.toString());
    return xml != nullptr && xml->hasTagName ("PROPERTIES");
}
} // namespace

AppState::AppState()
{
    // A settings file that cannot be read sanely is kept aside rather than
    // read (it could crash every start) or overwritten (it may be dear to someone).
    const auto file = settingsFile();
    if (file.existsAsFile() && !isReadable (file))
    {
        const auto aside = file.getSiblingFile (file.getFileName() + ".unreadable").getNonexistentSibling();
        if (file.moveFileTo (aside))
            problem = "Settings reset";
    }
    propertiesFile = std::make_unique<juce::PropertiesFile> (file, options());
}

juce::PropertiesFile::Options AppState::options()
{
    juce::PropertiesFile::Options result;
    result.applicationName = "qorv";
    result.folderName = folderName;
    result.filenameSuffix = ".cfg";
    result.osxLibrarySubFolder = "Application Support";
    return result;
}

juce::File AppState::settingsFile()
{
    // The base directory rules: an unset, empty or relative XDG_CONFIG_HOME is ignored.
    const char* configHome = std::getenv ("XDG_CONFIG_HOME");
    const juce::String base = configHome != nullptr ? juce::String::fromUTF8 (configHome) : juce::String();
    const juce::File configFolder = base.startsWithChar ('/') ? juce::File (base) : juce::File ("~/.config");

    const auto opts = options();
    return configFolder.getChildFile (opts.folderName).getChildFile (opts.applicationName + opts.filenameSuffix);
}
