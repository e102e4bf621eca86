#pragma once

#include <optional>
#include <string>
#include <string_view>

/** The synthesizer's 128 patch memories as its panel names them: bank A or
    B, group 1 to 8, number 1 to 8. A11 is memory 0, A88 is 63, B11 is 64 and
    B88 is 127, the number a patch dump carries. */
namespace SynthMemory
{
constexpr int count = 128;

/** "A11" to "B88"; the memory must be 0 to 127. */
std::string name (int memory);
/** The memory a name like "A11" or "b88" stands for; nothing for any other text. */
std::optional<int> parse (std::string_view name);
/** The buttons that choose the memory: "bank A, group 1, number 1". */
std::string buttons (int memory);
} // namespace SynthMemory
