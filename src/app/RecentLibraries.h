#pragma once

#include <juce_data_structures/juce_data_structures.h>

#include <optional>
#include <string>
#include <vector>

/** The library files last loaded or saved, newest first, at most maxFiles,
    kept in the settings file. Paths are bytes, as Linux keeps them, and are
    stored so that every byte comes back (see toStored). */
class RecentLibraries
{
public:
    static constexpr int maxFiles = 10;

    /** Puts a file first, dropping its older place and whatever falls past the limit. */
    void add (const std::string& path);
    void clear() { paths.clear(); }
    const std::vector<std::string>& list() const { return paths; }

    void restoreFrom (const juce::PropertiesFile& settings, const juce::String& key);
    void storeIn (juce::PropertiesFile& settings, const juce::String& key) const;

    /** A path as the settings keep it: "file://" and the path with '%',
        control characters and bytes that are not UTF-8 written as %XX, so a
        Latin-1 name or a line break survives the settings file exactly. */
    static juce::String toStored (const std::string& path);
    /** The path a stored text names: toStored's form, or a plain absolute
        path as earlier versions stored it; nothing for anything else. */
    static std::optional<std::string> fromStored (const juce::String& text);

private:
    std::vector<std::string> paths;
};
