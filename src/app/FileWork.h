#pragma once

#include "files/WriteResult.h"
#include "patch/PatchModel.h"

#include <juce_core/juce_core.h>

#include <string>
#include <vector>

/** The small pieces the File menu's commands share: readers that name
    patches as the import does and say why a file was refused, paths shown
    as a person can read them, and how failed reads and writes are worded.
    Paths are bytes, as Linux keeps them, from the moment they arrive. */
namespace FileWork
{
/** How many files a warning names before it only counts the rest. */
constexpr int maxNamedFailures = 10;

/** Every dump in a SysEx file, named as SyxBank names them. */
bool readSysexFile (const std::string& path, std::vector<PatchModel>& patches, std::string& whyNot);
/** The one patch of a preset file, named after the file. */
bool readPresetFile (const std::string& path, std::vector<PatchModel>& patches, std::string& whyNot);
/** The patches of a library file, under their own names. */
bool readLibraryFile (const std::string& path, std::vector<PatchModel>& patches, std::string& whyNot);
/** The reader for a file by its extension (.syx, .jep, .106), or nullptr. */
using Reader = bool (*) (const std::string&, std::vector<PatchModel>&, std::string&);
Reader readerFor (const std::string& path);

/** A path (or a file's name) as it is shown: see Utf8Text::forDisplay. */
juce::String shownPath (const std::string& path);

/** One file that could not be read or written: its path and why. */
juce::String failure (const std::string& path, const std::string& why);
/** One unwritten file: its path, then why. */
juce::String unwritten (const std::string& path, const WriteResult& result);
/** The heading, then up to maxNamedFailures failures, one a line, and how many more. */
juce::String failuresMessage (const juce::String& heading, const juce::StringArray& failures);
/** "Could not write this file:" (or these files) and up to maxNamedFailures of them. */
juce::String unwrittenFilesMessage (const juce::StringArray& failures);
} // namespace FileWork
