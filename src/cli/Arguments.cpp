#include "cli/Arguments.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace QorvCli
{
namespace
{
    const Arguments::Option* findLong (const std::vector<Arguments::Option>& known, const std::string& name)
    {
        const auto found =
            std::find_if (known.begin(), known.end(), [&name] (const Arguments::Option& o) { return o.name == name; });
        return found == known.end() ? nullptr : &*found;
    }

    const Arguments::Option* findShort (const std::vector<Arguments::Option>& known, char name)
    {
        const auto found = std::find_if (
            known.begin(), known.end(), [name] (const Arguments::Option& o) { return o.shortName == name; });
        return found == known.end() ? nullptr : &*found;
    }
} // namespace

Arguments::Arguments (const std::vector<std::string>& words, const std::vector<Option>& known)
{
    bool onlyOperands = false;
    for (size_t i = 0; i < words.size(); ++i)
    {
        const std::string& word = words[i];
        if (onlyOperands || word.size() < 2 || word[0] != '-')
        {
            positional.push_back (word); // "-" alone is an operand too
            continue;
        }
        if (word == "--")
        {
            onlyOperands = true;
            firstAfterEnd = positional.size();
            continue;
        }

        const Option* option = nullptr;
        std::optional<std::string> attached;
        std::string shown; // the option as the user wrote it, for messages
        if (word[1] == '-')
        {
            const size_t equals = word.find ('=');
            const std::string name = word.substr (2, equals == std::string::npos ? std::string::npos : equals - 2);
            if (equals != std::string::npos)
                attached = word.substr (equals + 1);
            option = findLong (known, name);
            shown = "--" + name;
        }
        else
        {
            option = word.size() == 2 ? findShort (known, word[1]) : nullptr;
            shown = word;
        }
        if (option == nullptr)
            throw UsageError ("unknown option " + shown);
        if (given.count (option->name) != 0 && !option->repeatable)
            throw UsageError ("--" + option->name + " given twice");

        if (!option->takesValue)
        {
            if (attached)
                throw UsageError ("--" + option->name + " takes no value");
            given[option->name];
            continue;
        }
        if (!attached)
        {
            if (i + 1 >= words.size())
                throw UsageError (shown + " needs a value");
            attached = words[++i];
        }
        given[option->name] = *attached;
        repeated[option->name].push_back (*attached);
    }
}

std::optional<std::string> Arguments::value (const std::string& name) const
{
    const auto found = given.find (name);
    if (found == given.end())
        return std::nullopt;
    return found->second;
}

std::vector<std::string> Arguments::values (const std::string& name) const
{
    const auto found = repeated.find (name);
    return found == repeated.end() ? std::vector<std::string>{} : found->second;
}

bool Arguments::spellsAnOptionAfterEnd (const std::vector<std::string>& spellings) const
{
    for (size_t i = firstAfterEnd; i < positional.size(); ++i)
        for (const auto& spelling : spellings)
            if (positional[i] == spelling || positional[i].rfind (spelling + "=", 0) == 0)
                return true;
    return false;
}

int parseCount (const std::string& option, const std::string& text, int minimum)
{
    const bool digitsOnly = !text.empty() && text.size() <= 9 &&
                            std::all_of (text.begin(), text.end(), [] (char c) { return c >= '0' && c <= '9'; });
    const int number = digitsOnly ? std::atoi (text.c_str()) : -1;
    if (number < minimum)
        throw UsageError ("--" + option + " wants a whole number from " + std::to_string (minimum) + ", not '" + text +
                          "'");
    return number;
}

int parseChannel (const std::optional<std::string>& text)
{
    if (!text)
        return 0; // channel 1, as the MIDI menu starts
    const bool digitsOnly = !text->empty() && text->size() <= 2 &&
                            std::all_of (text->begin(), text->end(), [] (char c) { return c >= '0' && c <= '9'; });
    const int channel = digitsOnly ? std::atoi (text->c_str()) : 0;
    if (channel < 1 || channel > 16)
        throw UsageError ("--channel wants a MIDI channel from 1 to 16, not '" + *text + "'");
    return channel - 1;
}

double parseSeconds (const std::string& option, const std::string& text)
{
    errno = 0;
    char* end = nullptr;
    const double seconds = std::strtod (text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || errno != 0 || !std::isfinite (seconds) || seconds <= 0 ||
        seconds > 1e9)
        throw UsageError ("--" + option + " wants a number of seconds above 0, not '" + text + "'");
    return seconds;
}

SynthesizerWiring requireSynthesizerWiring (const Arguments& arguments)
{
    const auto outputPort = arguments.value ("to");
    const auto inputDevice = arguments.value ("from");
    if (!outputPort)
        throw UsageError ("name the output to the synthesizer with --to PORT (qorv ports lists them)");
    if (!inputDevice)
        throw UsageError (
            "name the audio input the synthesizer is connected to with --from PCM (qorv ports --audio lists them)");
    return {*outputPort, *inputDevice};
}
} // namespace QorvCli
