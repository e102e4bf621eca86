#include "app/FileWork.h"

#include "files/FilePath.h"
#include "files/JepFileIO.h"
#include "files/QorvFileIO.h"
#include "files/SyxBank.h"
#include "ui/PanelText.h"

namespace FileWork
{
bool readSysexFile (const std::string& path, std::vector<PatchModel>& patches, std::string& whyNot)
{
    return SyxBank::load (path, patches, whyNot);
}

bool readPresetFile (const std::string& path, std::vector<PatchModel>& patches, std::string& whyNot)
{
    PatchModel patch;
    if (!JepFileIO::load (path, patch, whyNot))
        return false;
    patch.name = std::string (FilePath::stem (path));
    patches.push_back (std::move (patch));
    return true;
}

bool readLibraryFile (const std::string& path, std::vector<PatchModel>& patches, std::string& whyNot)
{
    LibraryModel library;
    if (!QorvFileIO::load (path, library, whyNot))
        return false;
    patches = std::move (library.patches);
    return true;
}

Reader readerFor (const std::string& path)
{
    const auto extension = FilePath::extension (path);
    if (extension == ".syx")
        return &readSysexFile;
    if (extension == ".jep")
        return &readPresetFile;
    if (extension == ".106")
        return &readLibraryFile;
    return nullptr;
}

juce::String shownPath (const std::string& path)
{
    return PanelText::shownName (path);
}

juce::String failure (const std::string& path, const std::string& why)
{
    return shownPath (path) + ": " + juce::String::fromUTF8 (why.data(), static_cast<int> (why.size()));
}

juce::String unwritten (const std::string& path, const WriteResult& result)
{
    return shownPath (path) + "\n" +
           juce::String::fromUTF8 (result.reason.data(), static_cast<int> (result.reason.size()));
}

juce::String failuresMessage (const juce::String& heading, const juce::StringArray& failures)
{
    juce::String message (heading);
    for (int i = 0; i < failures.size() && i < maxNamedFailures; ++i)
        message << "\n" << failures[i];
    if (failures.size() > maxNamedFailures)
        message << "\n(and " << (failures.size() - maxNamedFailures) << " more)";
    return message;
}

juce::String unwrittenFilesMessage (const juce::StringArray& failures)
{
    return failuresMessage (failures.size() == 1 ? "Could not write this file:" : "Could not write these files:",
                            failures);
}
} // namespace FileWork
