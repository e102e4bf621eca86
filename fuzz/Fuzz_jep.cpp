// The preset importer and its base64 decoder.

#include "FuzzSupport.h"
#include "files/JepFileIO.h"

#include <algorithm>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    static MemoryFile file;
    const std::string text (reinterpret_cast<const char*> (data), size);

    // Six bits per alphabet character, whole bytes only.
    static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto digits = static_cast<size_t> (std::count_if (
        text.begin(), text.end(), [] (char c) { return c != '\0' && std::strchr (alphabet, c) != nullptr; }));
    require (JepFileIO::base64Decode (text).size() == digits * 6 / 8, "decoded length follows the digits");

    PatchModel parsed;
    parsed.name = "Kept";
    const bool accepted = JepFileIO::parse (data, size, parsed);
    require (parsed.name == "Kept", "the name is never touched");
    if (!accepted)
        require (parsed.sameSound (PatchModel()), "a refused file leaves the patch alone");

    PatchModel loaded;
    require (JepFileIO::load (file.hold (data, size), loaded) == accepted, "load agrees with parse");
    require (loaded.sameSound (parsed), "load gives what parse gives");
    return 0;
}
