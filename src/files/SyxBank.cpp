#include "files/SyxBank.h"
#include "files/FileBytes.h"
#include "files/SyxFileIO.h"
#include "midi/protocol/JunoMessages.h"
#include "midi/protocol/SysexAssembler.h"

#include <algorithm>

namespace
{
using Kind = JunoMessages::Recognised::Kind;

bool allSevenBit (const PatchModel& patch)
{
    return std::all_of (patch.data.begin(), patch.data.end(), [] (uint8_t b) { return b < 0x80; });
}

std::string nameInBank (const SyxBank::Dump& dump, const std::string& baseName, size_t position)
{
    return baseName + " " +
           (dump.kind == SyxBank::Dump::Kind::patch ? JunoMessages::patchNameFromNumber (dump.patchNumber)
                                                    : std::to_string (position + 1));
}
} // namespace

std::vector<SyxBank::Dump> SyxBank::findDumps (const uint8_t* bytes, size_t size)
{
    std::vector<Dump> dumps;
    // The receive path's own rules: real-time bytes are dropped, any other
    // status byte ends an open message, only whole F0..F7 messages come out.
    SysexAssembler assembler (
        [&dumps] (const uint8_t* message, size_t length)
        {
            // Exactly 24: a 23-byte message lacks a patch byte (the recogniser
            // would read its F7 as the switches byte), and a longer one is not
            // this layout.
            if (length != JunoMessages::patchDumpSize)
                return;
            const auto recognised = JunoMessages::recognise (message, length, message[3]);
            if (recognised.kind != Kind::patchDump && recognised.kind != Kind::manualDump)
                return;
            Dump dump;
            dump.kind = recognised.kind == Kind::patchDump ? Dump::Kind::patch : Dump::Kind::manual;
            dump.channel = message[3];
            dump.patchNumber = message[4];
            dump.data = recognised.patch.data;
            dumps.push_back (dump);
        });
    assembler.processRawBytes (bytes, size);
    return dumps;
}

bool SyxBank::readPatches (const uint8_t* bytes,
                           size_t size,
                           const std::string& baseName,
                           std::vector<PatchModel>& patches)
{
    const std::vector<Dump> dumps = findDumps (bytes, size);
    std::vector<PatchModel> found;
    if (dumps.empty())
    {
        // What the single-dump reader takes stays readable.
        PatchModel patch;
        if (!SyxFileIO::parse (bytes, size, patch))
            return false;
        patch.name = baseName;
        found.push_back (std::move (patch));
    }
    else
    {
        found.resize (dumps.size());
        for (size_t i = 0; i < dumps.size(); ++i)
        {
            found[i].data = dumps[i].data;
            found[i].name = dumps.size() == 1 ? baseName : nameInBank (dumps[i], baseName, i);
        }
    }
    patches = std::move (found);
    return true;
}

bool SyxBank::load (const std::string& path, std::vector<PatchModel>& patches)
{
    std::vector<uint8_t> bytes;
    return FileBytes::readAll (path, FileBytes::maxFileSize, bytes) &&
           readPatches (bytes.data(), bytes.size(), baseNameOf (path), patches);
}

bool SyxBank::load (const std::string& path, std::vector<PatchModel>& patches, std::string& whyNot)
{
    if (load (path, patches))
        return true;
    // Why a file was refused is looked into only once it was.
    whyNot = FileBytes::whyNotReadable (path);
    if (whyNot.empty())
        whyNot = "holds no Juno-106 patch or manual dump";
    return false;
}

std::string SyxBank::baseNameOf (const std::string& path)
{
    const size_t slash = path.find_last_of ('/');
    const std::string fileName = slash == std::string::npos ? path : path.substr (slash + 1);
    const size_t dot = fileName.find_last_of ('.');
    return dot == std::string::npos || dot == 0 ? fileName : fileName.substr (0, dot);
}

std::vector<uint8_t> SyxBank::build (const std::vector<PatchModel>& patches, int channel)
{
    std::vector<uint8_t> image;
    image.reserve (patches.size() * JunoMessages::patchDumpSize);
    for (size_t i = 0; i < patches.size(); ++i)
    {
        const auto dump =
            JunoMessages::buildPatchDumpAsIs (patches[i].data, channel & 0x0F, static_cast<int> (i % 128));
        image.insert (image.end(), dump.begin(), dump.end());
    }
    return image;
}

bool SyxBank::save (const std::string& path, const std::vector<PatchModel>& patches, int channel)
{
    if (patches.empty() || !std::all_of (patches.begin(), patches.end(), allSevenBit))
        return false;
    const std::vector<uint8_t> image = build (patches, channel);
    return FileBytes::replaceAtomically (path, image.data(), image.size());
}
