// The library file reader: any input is refused cleanly or loads a library
// that saves and loads back unchanged.

#include "FuzzSupport.h"
#include "files/QorvFileIO.h"

namespace
{
bool sameLibrary (const LibraryModel& a, const LibraryModel& b)
{
    if (a.name != b.name || a.patches.size() != b.patches.size())
        return false;
    for (size_t i = 0; i < a.patches.size(); ++i)
        if (a.patches[i].name != b.patches[i].name || !a.patches[i].sameSound (b.patches[i]))
            return false;
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    static MemoryFile file;
    const LibraryModel untouched;
    LibraryModel parsed;
    const bool accepted = QorvFileIO::fromBytes (data, size, parsed);

    LibraryModel loaded;
    require (QorvFileIO::load (file.hold (data, size), loaded) == accepted, "load agrees with fromBytes");
    if (!accepted)
    {
        require (sameLibrary (parsed, untouched), "a refused image leaves the library alone");
        return 0;
    }
    require (sameLibrary (parsed, loaded), "load gives what fromBytes gives");

    std::vector<uint8_t> image;
    require (QorvFileIO::toBytes (parsed, image), "whatever loads can be saved");
    LibraryModel again;
    require (QorvFileIO::fromBytes (image.data(), image.size(), again) && sameLibrary (again, parsed),
             "a saved library loads back unchanged");
    return 0;
}
