#pragma once

#include "files/WriteResult.h"
#include "patch/PatchModel.h"

#include <juce_core/juce_core.h>

#include <string>
#include <vector>

/** The small pieces the File menu's commands share: paths as the file layer
    takes them, readers that name patches as the import does, and how failed
    writes are worded. */
namespace FileWork
{
/** How many unwritten files a warning names before it only counts the rest. */
constexpr int maxNamedFailures = 10;

std::string pathOf (const juce::File& file);

/** Every dump in a SysEx file, named as SyxBank names them. */
bool readSysexFile (const juce::File& file, std::vector<PatchModel>& patches);
/** The one patch of a preset file, named after the file. */
bool readPresetFile (const juce::File& file, std::vector<PatchModel>& patches);
/** The patches of a library file, under their own names. */
bool readLibraryFile (const juce::File& file, std::vector<PatchModel>& patches);
/** The reader for a file by its extension (.syx, .jep, .106), or nullptr. */
using Reader = bool (*) (const juce::File&, std::vector<PatchModel>&);
Reader readerFor (const juce::File& file);

/** One unwritten file: its path, then why. */
juce::String unwritten (const juce::File& file, const WriteResult& result);
/** "Could not write these files:" and up to maxNamedFailures of them. */
juce::String unwrittenFilesMessage (const juce::StringArray& failures);
} // namespace FileWork
