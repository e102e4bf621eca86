#pragma once

#include <juce_data_structures/juce_data_structures.h>

/** Owns the settings file. */
class AppState
{
public:
    AppState();

    std::unique_ptr<juce::PropertiesFile> propertiesFile;

private:
    JUCE_DECLARE_NON_COPYABLE (AppState)
};
