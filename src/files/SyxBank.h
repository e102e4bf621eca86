#pragma once

#include "patch/PatchModel.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/** SysEx files holding any number of Juno-106 dumps, as generic SysEx tools
    record them: a whole bank one dump after another, often with other
    messages, clock or stray bytes in between. */
class SyxBank
{
public:
    SyxBank() = delete;

    /** One patch or manual dump found in a file. */
    struct Dump
    {
        enum class Kind
        {
            patch, // F0 41 30
            manual // F0 41 31
        };

        Kind kind = Kind::patch;
        uint8_t channel = 0;     // the channel byte as found (below 0x80)
        uint8_t patchNumber = 0; // the patch number byte as found (below 0x80)
        std::array<uint8_t, PatchBits::numBytes> data{};
    };

    /** Every dump in the image, in file order: F0 41 30|31 ch nn, 18 data
        bytes, F7, exactly 24 bytes once real-time bytes (F8 to FF) are left
        out. Everything else is skipped: other SysEx messages, stray bytes, a
        dump cut short by any other status byte or by the end of the image. */
    static std::vector<Dump> findDumps (const uint8_t* bytes, size_t size);

    /** The patches of a file as the import names them. One dump: the file's
        base name. Several: a patch dump is "<base> A11".."<base> B88" after
        its patch number, a manual dump "<base> <n>" with n its position among
        the file's dumps counted from 1. With no dump found, a file that
        SyxFileIO::parse accepts still gives its one patch, named <base>.
        Returns false, leaving `patches` as it was, for an unreadable file. */
    static bool
    readPatches (const uint8_t* bytes, size_t size, const std::string& baseName, std::vector<PatchModel>& patches);

    /** readPatches on a whole file (at most FileBytes::maxFileSize), named
        after baseNameOf (path). */
    static bool load (const std::string& path, std::vector<PatchModel>& patches);
    /** load, saying why a file was refused, in words that follow its name
        (FileBytes::whyNotReadable, or "holds no Juno-106 patch or manual dump"). */
    static bool load (const std::string& path, std::vector<PatchModel>& patches, std::string& whyNot);

    /** The file's name without its folder and its extension, the way the
        window names imported files: "Strings.syx" gives "Strings",
        "a.b.syx" gives "a.b", ".syx" stays ".syx". */
    static std::string baseNameOf (const std::string& path);

    /** Every patch in order as consecutive patch dumps numbered 0, 1, 2 ...
        (wrapping after 127) on a channel (its low 4 bits), each patch's bytes
        exactly as held (see save for what it refuses). */
    static std::vector<uint8_t> build (const std::vector<PatchModel>& patches, int channel);

    /** Writes build() atomically, so a failure leaves any old file as it was.
        Refuses, before touching the disk, an empty list (the file could not
        be read back) and a patch with a byte above 127 (the file would not
        give back what was saved), as SyxFileIO::save does. */
    static bool save (const std::string& path, const std::vector<PatchModel>& patches, int channel);
};
