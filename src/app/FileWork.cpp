#include "app/FileWork.h"

#include "files/JepFileIO.h"
#include "files/QorvFileIO.h"
#include "files/SyxBank.h"

namespace FileWork
{
std::string pathOf (const juce::File& file)
{
    return file.getFullPathName().toStdString();
}

bool readSysexFile (const juce::File& file, std::vector<PatchModel>& patches)
{
    return SyxBank::load (pathOf (file), patches);
}

bool readPresetFile (const juce::File& file, std::vector<PatchModel>& patches)
{
    PatchModel patch;
    if (!JepFileIO::load (pathOf (file), patch))
        return false;
    patch.name = file.getFileNameWithoutExtension().toStdString();
    patches.push_back (std::move (patch));
    return true;
}

bool readLibraryFile (const juce::File& file, std::vector<PatchModel>& patches)
{
    LibraryModel library;
    if (!QorvFileIO::load (pathOf (file), library))
        return false;
    patches = std::move (library.patches);
    return true;
}

Reader readerFor (const juce::File& file)
{
    const auto extension = file.getFileExtension().toLowerCase();
    if (extension == ".syx")
        return &readSysexFile;
    if (extension == ".jep")
        return &readPresetFile;
    if (extension == ".106")
        return &readLibraryFile;
    return nullptr;
}

juce::String unwritten (const juce::File& file, const WriteResult& result)
{
    return file.getFullPathName() + "\n" +
           juce::String::fromUTF8 (result.reason.data(), static_cast<int> (result.reason.size()));
}

juce::String unwrittenFilesMessage (const juce::StringArray& failures)
{
    juce::String message (failures.size() == 1 ? "Could not write this file:" : "Could not write these files:");
    for (int i = 0; i < failures.size() && i < maxNamedFailures; ++i)
        message << "\n" << failures[i];
    if (failures.size() > maxNamedFailures)
        message << "\n(and " << (failures.size() - maxNamedFailures) << " more)";
    return message;
}
} // namespace FileWork
