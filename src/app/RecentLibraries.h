#pragma once

#include <juce_data_structures/juce_data_structures.h>

/** The library files last loaded or saved, newest first, at most maxFiles,
    kept in the settings file. */
class RecentLibraries
{
public:
    static constexpr int maxFiles = 10;

    /** Puts a file first, dropping its older place and whatever falls past the limit. */
    void add (const juce::File& file);
    void clear() { files.clear(); }
    const juce::Array<juce::File>& list() const { return files; }

    void restoreFrom (const juce::PropertiesFile& settings, const juce::String& key);
    void storeIn (juce::PropertiesFile& settings, const juce::String& key) const;

private:
    juce::Array<juce::File> files;
};
