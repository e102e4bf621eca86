#include "session/SynthMemory.h"

#include "midi/protocol/JunoMessages.h"

namespace SynthMemory
{
std::string name (int memory)
{
    return JunoMessages::patchNameFromNumber (static_cast<uint8_t> (memory));
}

std::optional<int> parse (std::string_view text)
{
    if (text.size() != 3)
        return std::nullopt;
    const char bank = text[0];
    const char group = text[1];
    const char number = text[2];
    const bool bankB = bank == 'B' || bank == 'b';
    if (!(bankB || bank == 'A' || bank == 'a') || group < '1' || group > '8' || number < '1' || number > '8')
        return std::nullopt;
    return (bankB ? 64 : 0) + (group - '1') * 8 + (number - '1');
}

std::string buttons (int memory)
{
    const std::string memoryName = name (memory);
    return std::string ("bank ") + memoryName[0] + ", group " + memoryName[1] + ", number " + memoryName[2];
}
} // namespace SynthMemory
