#pragma once

#include "patch/PatchModel.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class PreviewFolder;

/** A library with its previews in one .zip file, to trade a bank that can be
    heard before it is loaded: "<name>.106" and "<name>.previews/<file>.ogg".
    The zip format is written here, stored without compression (Ogg Vorbis
    does not shrink further), and read stored or deflated, every name and
    size checked before anything is taken. */
namespace PreviewArchive
{
struct Entry
{
    std::string name;
    std::vector<uint8_t> bytes;
};

/** A zip image of the entries, in their order. */
std::vector<uint8_t> write (const std::vector<Entry>& entries);

/** Every file entry of a zip image (folders skipped); false, with why, for
    anything but a whole, undamaged zip within the size limits. */
bool read (const uint8_t* data, size_t size, std::vector<Entry>& entries, std::string& whyNot);

/** The archive of a library: its file's image under "<name>.106", and the
    previews of its patches' sounds from the folder, each under
    "<name>.previews/". False, with why, when a preview cannot be read. */
bool pack (const std::string& name,
           const std::vector<uint8_t>& libraryImage,
           const std::vector<PatchModel>& patches,
           const PreviewFolder& folder,
           std::vector<uint8_t>& zip,
           std::string& whyNot);

struct Unpacked
{
    std::string name; // of the library, without ".106"
    std::vector<uint8_t> libraryImage;
    std::vector<Entry> previews; // named as in the folder
};

/** The library and previews of an archive: exactly one .106 at the top, and
    only files named as previews in its folder; the library must be one Qorv
    reads. False, with why, otherwise. */
bool unpack (const uint8_t* data, size_t size, Unpacked& unpacked, std::string& whyNot);
} // namespace PreviewArchive
