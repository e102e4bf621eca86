#include "files/SyxFileIO.h"
#include "files/FileBytes.h"
#include "files/Utf8Text.h"

#include <algorithm>
#include <vector>

namespace
{
constexpr size_t firstPatchByte = 5;

/** The reader's rule for the patch bytes; a byte of 0x80 or more would end
    the SysEx message on any MIDI device. */
bool allSevenBit (const uint8_t* patchBytes)
{
    return std::none_of (patchBytes, patchBytes + PatchBits::numBytes, [] (uint8_t b) { return b >= 0x80; });
}
} // namespace

JunoMessages::PatchDump SyxFileIO::build (const PatchModel& patch, int channel)
{
    return JunoMessages::buildPatchDumpAsIs (patch.data, channel, 0);
}

bool SyxFileIO::parse (const uint8_t* bytes, size_t size, PatchModel& patch)
{
    if (size < fileSize)
        return false;
    if (bytes[0] != JunoMessages::sysexStart || bytes[1] != JunoMessages::rolandId ||
        bytes[fileSize - 1] != JunoMessages::sysexEnd)
        return false;
    const uint8_t* patchBytes = bytes + firstPatchByte;
    if (!allSevenBit (patchBytes))
        return false;
    std::copy (patchBytes, patchBytes + PatchBits::numBytes, patch.data.begin());
    return true;
}

bool SyxFileIO::load (const std::string& path, PatchModel& patch)
{
    std::vector<uint8_t> head;
    return FileBytes::readHead (path, fileSize, head) && parse (head.data(), head.size(), patch);
}

WriteResult SyxFileIO::checkWritable (const PatchModel& patch)
{
    // Bytes above 127 (from an imported preset or library) would make a file
    // that no reader, ours included, takes back: refuse rather than lose it.
    if (allSevenBit (patch.data.data()))
        return WriteResult::success();
    return WriteResult::failure ("Patch \"" + Utf8Text::forMessage (patch.name) +
                                 "\" holds a value above 127, which a SysEx file cannot carry.");
}

WriteResult SyxFileIO::saveWithReason (const std::string& path, const PatchModel& patch, int channel)
{
    if (WriteResult refused = checkWritable (patch); !refused)
        return refused;
    const JunoMessages::PatchDump dump = build (patch, channel);
    return FileBytes::replaceFile (path, dump.data(), dump.size());
}

bool SyxFileIO::save (const std::string& path, const PatchModel& patch, int channel)
{
    return saveWithReason (path, patch, channel).ok;
}

WriteResult
SyxFileIO::saveIntoFolder (const std::string& folder, const std::string& fileName, const PatchModel& patch, int channel)
{
    if (WriteResult refused = checkWritable (patch); !refused)
        return refused;
    const JunoMessages::PatchDump dump = build (patch, channel);
    return FileBytes::writeIntoFolder (folder, fileName, dump.data(), dump.size());
}

WriteResult
SyxFileIO::saveInto (FileBytes::FolderWriter& writer, const std::string& fileName, const PatchModel& patch, int channel)
{
    if (WriteResult refused = checkWritable (patch); !refused)
        return refused;
    const JunoMessages::PatchDump dump = build (patch, channel);
    return writer.write (fileName, dump.data(), dump.size());
}
