#include "app/AppState.h"

#include "files/FileBytes.h"
#include "files/Utf8Text.h"
#include "files/XmlGuard.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{
/** Far more than the settings ever take; a bigger file was not written by Qorv. */
constexpr size_t maxSettingsBytes = 1 << 20;

std::string bytesOf (const juce::String& text)
{
    return text.toStdString();
}

/** The settings file, read only as XmlGuard allows: a text it refuses never
    reaches JUCE's parser, which would act on a document type declaration. */
bool isReadable (const std::string& path)
{
    std::vector<uint8_t> bytes;
    if (!FileBytes::readAll (path, maxSettingsBytes, bytes))
        return false;
    const auto root = XmlGuard::parse (std::string_view (reinterpret_cast<const char*> (bytes.data()), bytes.size()));
    return root && root->tag == "PROPERTIES";
}

/** Whether anything is at the path (a link that leads nowhere is nothing: the settings are written through it). */
bool somethingIsAt (const std::string& path)
{
    struct stat info;
    return ::stat (path.c_str(), &info) == 0 || errno != ENOENT;
}

/** The settings, with every value kept safe for JUCE's parser: PropertiesFile
    parses each value as XML when it saves it, and getXmlValue parses one when
    it is read, so a value XmlGuard would refuse (a device name that is a
    hostile document, say) is dropped as it is set, and text that is not
    UTF-8 is made UTF-8 before it can be written as character numbers no
    reader takes. */
class GuardedSettings final : public juce::PropertiesFile
{
public:
    GuardedSettings (const juce::File& settings, const Options& settingsOptions)
        : PropertiesFile (settings, settingsOptions)
    {
        keepValuesSafe(); // the values just read
    }

protected:
    void propertyChanged() override
    {
        keepValuesSafe();
        PropertiesFile::propertyChanged();
    }

private:
    void keepValuesSafe()
    {
        auto& values = getAllProperties();
        for (int i = values.size(); --i >= 0;)
        {
            const auto key = values.getAllKeys()[i];
            std::string value = bytesOf (values.getAllValues()[i]);
            if (!Utf8Text::isValid (value))
            {
                value = Utf8Text::encode (Utf8Text::decode (value));
                values.set (key, juce::String::fromUTF8 (value.data(), static_cast<int> (value.size())));
            }
            if (!XmlGuard::isSafeToParse (value))
                values.remove (juce::StringRef (key));
        }
    }
};
} // namespace

AppState::AppState()
{
    // A settings file that cannot be read sanely is kept aside rather than
    // read (it could hang or crash every start) or overwritten (it may be
    // dear to someone). Where it cannot be moved, the defaults are used and
    // nothing is written over it.
    auto file = settingsFile();
    // A settings file that is a link (kept with the user's other dotfiles) is written where it leads.
    if (std::string target; FileBytes::followLinks (bytesOf (file.getFullPathName()), target))
        file = juce::File (juce::String::fromUTF8 (target.c_str()));
    const std::string path = bytesOf (file.getFullPathName());
    if (somethingIsAt (path) && !isReadable (path))
    {
        const auto aside = file.getSiblingFile (file.getFileName() + ".unreadable").getNonexistentSibling();
        problem = "Settings reset";
        if (std::rename (path.c_str(), bytesOf (aside.getFullPathName()).c_str()) != 0)
            file = juce::File();
    }
    propertiesFile = std::make_unique<GuardedSettings> (file, options());
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
