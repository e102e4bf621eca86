// The SysEx patch file reader: a file either is refused and leaves the patch
// alone, or its first 24 bytes are a dump whose patch bytes were copied.

#include "FuzzSupport.h"
#include "files/SyxFileIO.h"

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    static MemoryFile file;
    PatchModel parsed;
    parsed.name = "Kept";
    const bool accepted = SyxFileIO::parse (data, size, parsed);
    require (parsed.name == "Kept", "the name is never touched");

    PatchModel loaded;
    require (SyxFileIO::load (file.hold (data, size), loaded) == accepted, "load agrees with parse");
    if (!accepted)
    {
        require (parsed.sameSound (PatchModel()), "a refused file leaves the patch alone");
        return 0;
    }
    require (loaded.sameSound (parsed), "load gives what parse gives");

    // Rebuilding the dump gives back every byte the reader checks or copies.
    const auto dump = SyxFileIO::build (parsed, data[3]);
    for (size_t i = 0; i < dump.size(); ++i)
        require (i == 2 || i == 4 || dump[i] == data[i], "a rebuilt dump matches the file");
    return 0;
}
