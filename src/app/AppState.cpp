#include "app/AppState.h"

#include <cstdlib>

AppState::AppState() : propertiesFile (std::make_unique<juce::PropertiesFile> (settingsFile(), options())) {}

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
