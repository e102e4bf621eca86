#include "cli/QorvCli.h"

#include "QorvVersion.h"
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/Help.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace QorvCli
{
namespace
{
    using Command = int (*) (const std::vector<std::string>&, Console&);

    struct CommandEntry
    {
        const char* name;
        Command run;
    };

    const CommandEntry commands[] = {
        {"list", &listCommand},
        {"convert", &convertCommand},
        {"ports", &portsCommand},
        {"send", &sendCommand},
        {"capture", &captureCommand},
        {"monitor", &monitorCommand},
        {"restore", &restoreCommand},
        {"control", &controlCommand},
        {"morph", &morphCommand},
        {"breed", &breedCommand},
        {"similar", &similarCommand},
        {"duplicates", &duplicatesCommand},
        {"record", &recordCommand},
        {"previews", &previewsCommand},
        {"voicecheck", &voicecheckCommand},
    };

    Command findCommand (const std::string& name)
    {
        for (const auto& entry : commands)
            if (name == entry.name)
                return entry.run;
        return nullptr;
    }

    bool isHelp (const std::string& word)
    {
        return word == "--help" || word == "-h";
    }

    /** Whether the words ask for help before any "--". */
    bool asksForHelp (const std::vector<std::string>& words)
    {
        for (const auto& word : words)
        {
            if (word == "--")
                return false;
            if (isHelp (word))
                return true;
        }
        return false;
    }
} // namespace

bool handles (const char* firstArgument)
{
    if (firstArgument == nullptr)
        return false;
    const std::string word (firstArgument);
    return isHelp (word) || word == "--version" || findCommand (word) != nullptr;
}

int run (int argc, const char* const* argv)
{
    Console console (stdout, stderr);
    const std::string first = argc > 1 ? argv[1] : "";
    const std::vector<std::string> words (argv + (argc > 1 ? 2 : argc), argv + argc);

    if (isHelp (first))
    {
        console.write (programHelp);
        return console.finish() ? exitSuccess : exitFailure;
    }
    if (first == "--version")
    {
        console.print (std::string ("qorv ") + QorvVersion::text);
        return console.finish() ? exitSuccess : exitFailure;
    }
    const Command command = findCommand (first);
    if (command == nullptr)
    {
        console.note ("unknown command '" + first + "' (qorv --help lists them)");
        return exitUsage;
    }
    if (asksForHelp (words))
    {
        console.write (commandHelp (first));
        return console.finish() ? exitSuccess : exitFailure;
    }

    try
    {
        return command (words, console);
    }
    catch (const UsageError& error)
    {
        console.note (first + ": " + error.what());
        console.note ("see qorv " + first + " --help");
        return exitUsage;
    }
    catch (const std::exception& error)
    {
        console.note (first + ": " + error.what());
        return exitFailure;
    }
}
} // namespace QorvCli
