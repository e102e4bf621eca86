// File names made from patch names: whatever bytes a name holds, the result
// is one plain, visible, valid UTF-8 name ending in the extension, within the
// length limit, and the names of one export are never given twice.

#include "FuzzSupport.h"
#include "files/FileBytes.h"
#include "files/SafeFileName.h"
#include "files/Utf8Text.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <set>

namespace
{
std::string lowerCaseAscii (std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char> (c - 'A' + 'a');
    return text;
}

void requirePlainFileName (const std::string& fileName, const std::string& extension)
{
    require (fileName.size() > extension.size() &&
                 fileName.compare (fileName.size() - extension.size(), extension.size(), extension) == 0,
             "a name before the extension, which is kept");
    require (FileBytes::isPlainName (fileName), "a plain name: no '/', no NUL, not \".\" or \"..\"");
    require (fileName.front() != '.', "never hidden");
    require (Utf8Text::isValid (fileName), "valid UTF-8");
    const std::u32string codePoints = Utf8Text::decode (fileName);
    require (codePoints.size() <= SafeFileName::maxLength, "within the length limit");
    for (const char32_t c : codePoints)
        require (c >= 0x20 && c != 0x7F, "no control characters");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    static const std::string extensions[] = {".syx", ".106", ""};
    FuzzedDataProvider input (data, size);
    const std::string& extension = extensions[input.ConsumeIntegralInRange<size_t> (0, 2)];

    ExportFileNames exportNames (extension);
    std::set<std::string> given;
    while (input.remaining_bytes() > 0)
    {
        const std::string name = input.ConsumeRandomLengthString (400);
        const std::string fileName = SafeFileName::make (name, extension);
        requirePlainFileName (fileName, extension);
        require (SafeFileName::make (name, extension) == fileName, "the same name gives the same file name");

        const std::string exported = exportNames.next (name);
        requirePlainFileName (exported, extension);
        require (given.insert (lowerCaseAscii (exported)).second, "no file name is given twice in one export");
    }
    return 0;
}
