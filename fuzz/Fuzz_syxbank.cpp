// The SysEx bank reader: any input gives dumps of 18 bytes below 0x80, no
// more of them than 24-byte dumps fit, named patches that agree with them,
// and the same through a file; what it finds, written back, reads the same.

#include "FuzzSupport.h"
#include "files/SyxBank.h"
#include "files/SyxFileIO.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    static MemoryFile file;
    const auto dumps = SyxBank::findDumps (data, size);
    require (dumps.size() <= size / 24, "no more dumps than the bytes hold");
    for (const auto& dump : dumps)
    {
        require (std::all_of (dump.data.begin(), dump.data.end(), [] (uint8_t b) { return b < 0x80; }),
                 "every patch byte is below 0x80");
        require (dump.channel < 0x80 && dump.patchNumber < 0x80, "channel and number are data bytes");
    }

    std::vector<PatchModel> patches (1);
    patches[0].name = "Kept";
    const bool readable = SyxBank::readPatches (data, size, "F", patches);
    PatchModel single;
    require (readable == (!dumps.empty() || SyxFileIO::parse (data, size, single)),
             "readable when a dump is found or the single-dump reader takes it");
    if (!readable)
    {
        require (patches.size() == 1 && patches[0].name == "Kept", "a refused file leaves the list alone");
        return 0;
    }
    require (patches.size() == std::max<size_t> (dumps.size(), 1), "one patch per dump");
    for (size_t i = 0; i < dumps.size(); ++i)
        require (patches[i].data == dumps[i].data, "patches carry the dumps' bytes in order");

    std::vector<PatchModel> loaded;
    require (SyxBank::load (file.hold (data, size), loaded) && loaded.size() == patches.size(),
             "load agrees with readPatches");

    const auto image = SyxBank::build (patches, 0);
    const auto again = SyxBank::findDumps (image.data(), image.size());
    require (again.size() == patches.size(), "a written bank reads back whole");
    for (size_t i = 0; i < again.size(); ++i)
        require (again[i].data == patches[i].data, "and in order");
    return 0;
}
