#include "cli/PatchText.h"

#include "cli/Console.h"
#include "patch/PatchDescription.h"

namespace QorvCli
{
namespace
{
    std::string shown (const PatchDescription::Parameter& parameter, const char* between)
    {
        std::string text = std::string (parameter.name) + between + parameter.text;
        if (parameter.textIsValue && parameter.value > PatchBits::maxLevel)
            text += " (above 127)";
        return text;
    }
} // namespace

std::vector<std::string> parameterLines (const std::array<uint8_t, PatchBits::numBytes>& data)
{
    std::vector<std::string> lines;
    bool first = true;
    PatchDescription::Section section{};
    for (const auto& parameter : PatchDescription::describe (data))
    {
        if (first || parameter.section != section)
            lines.emplace_back();
        else
            lines.back() += ", ";
        lines.back() += shown (parameter, " ");
        section = parameter.section;
        first = false;
    }
    return lines;
}

std::string parameterChange (int byteIndex, int value)
{
    std::string text;
    for (const auto& parameter : PatchDescription::describeByte (byteIndex, static_cast<uint8_t> (value)))
        text += (text.empty() ? "" : ", ") + shown (parameter, " = ");
    return text;
}

std::string parametersJson (const std::array<uint8_t, PatchBits::numBytes>& data)
{
    std::string json = "{";
    for (const auto& parameter : PatchDescription::describe (data))
    {
        if (json.size() > 1)
            json += ", ";
        json += jsonString (parameter.name) + ": " +
                (parameter.textIsValue ? std::to_string (parameter.value) : jsonString (parameter.text));
    }
    return json + "}";
}
} // namespace QorvCli
