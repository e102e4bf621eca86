#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace QorvCli
{
/** A command line that cannot be run as written; the message says why. */
class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/** The words after a command's name, sorted into options and operands the
    usual way: options may come anywhere, "--name value", "--name=value" and
    "-x value" all work, and "--" makes every later word an operand (a file
    called "-x", say). */
class Arguments
{
public:
    struct Option
    {
        std::string name;   // the long name without its "--"
        char shortName = 0; // 0: none
        bool takesValue = false;
        bool repeatable = false; // may be given more than once, each time with a value
    };

    /** Throws UsageError for an unknown option, a missing value, a value given
        to a flag or an option given twice. */
    Arguments (const std::vector<std::string>& words, const std::vector<Option>& known);

    bool has (const std::string& name) const { return given.count (name) != 0; }
    /** The option's value; nothing when it was not given. */
    std::optional<std::string> value (const std::string& name) const;
    /** Every value of a repeatable option, in the order given. */
    std::vector<std::string> values (const std::string& name) const;
    const std::vector<std::string>& operands() const { return positional; }
    /** Whether an operand given after "--" is an option's spelling (such as
        "-o"), which was taken as a file name there: worth saying so. */
    bool spellsAnOptionAfterEnd (const std::vector<std::string>& spellings) const;

private:
    std::map<std::string, std::string> given; // flags map to an empty value
    std::map<std::string, std::vector<std::string>> repeated;
    std::vector<std::string> positional;
    size_t firstAfterEnd = std::string::npos; // the first operand given after "--"
};

/** A MIDI channel 1 to 16 as the 0-15 the messages carry; throws UsageError. */
int parseChannel (const std::optional<std::string>& text);
/** A whole number of at least `minimum`; throws UsageError naming the option. */
int parseCount (const std::string& option, const std::string& text, int minimum);
/** A number of seconds above 0, fractions allowed; throws UsageError naming the option. */
double parseSeconds (const std::string& option, const std::string& text);

/** Where a command that plays the synthesizer and listens to it reaches it:
    the MIDI output to it (--to) and the audio input from it (--from). */
struct SynthesizerWiring
{
    std::string outputPort;
    std::string inputDevice;
};
/** Both, from options named "to" and "from"; throws UsageError naming the
    one missing and how to list what may be named. */
SynthesizerWiring requireSynthesizerWiring (const Arguments& arguments);
} // namespace QorvCli
