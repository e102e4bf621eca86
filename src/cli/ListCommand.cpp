// qorv list: the patches in files, named as the window's import names them.

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/PatchFiles.h"
#include "cli/PatchText.h"

namespace QorvCli
{
namespace
{
    /** Prints patches for people: an index, the name, and with the parameters
        one indented line per section of the panel. */
    class TextListing
    {
    public:
        TextListing (Console& output, bool withParameters) : console (output), parameters (withParameters) {}

        void file (const std::string& path, const std::vector<PatchModel>& patches, bool showPath)
        {
            if (showPath)
            {
                if (filesShown++ > 0)
                    console.print ("");
                console.print (displayText (path) + ":");
            }
            const int width = static_cast<int> (std::to_string (patches.size()).size());
            const std::string indent (static_cast<size_t> (width) + 4, ' ');
            for (size_t i = 0; i < patches.size(); ++i)
            {
                std::string index = std::to_string (i + 1);
                index.insert (0, static_cast<size_t> (width) - index.size(), ' ');
                std::string line = "  " + index + "  " + displayText (patches[i].name);
                if (const int wrong = valuesToCorrect (patches[i]); wrong > 0)
                    line += "  (" + counted (static_cast<size_t> (wrong), "value", "values") + " a patch cannot hold)";
                console.print (line);
                if (parameters)
                    for (const auto& parameterLine : parameterLines (patches[i].data))
                        console.print (indent + parameterLine);
            }
        }

    private:
        Console& console;
        const bool parameters;
        int filesShown = 0;
    };

    /** Prints one JSON array of every patch of every file, an object a line. */
    class JsonListing
    {
    public:
        JsonListing (Console& output, bool withParameters) : console (output), parameters (withParameters) {}

        void begin() { console.write ("["); }

        void file (const std::string& path, const std::vector<PatchModel>& patches)
        {
            for (size_t i = 0; i < patches.size(); ++i)
            {
                std::string object = std::string (objects++ > 0 ? ",\n" : "\n") + "  {\"file\": " + jsonString (path) +
                                     ", \"index\": " + std::to_string (i + 1) +
                                     ", \"name\": " + jsonString (patches[i].name) + ", \"data\": [";
                for (size_t b = 0; b < patches[i].data.size(); ++b)
                    object += (b > 0 ? ", " : "") + std::to_string (patches[i].data[b]);
                object += "]";
                if (parameters)
                    object += ", \"params\": " + parametersJson (patches[i].data);
                console.write (object + "}");
            }
        }

        void end() { console.print (objects > 0 ? "\n]" : "]"); }

    private:
        Console& console;
        const bool parameters;
        size_t objects = 0;
    };
} // namespace

int listCommand (const std::vector<std::string>& words, Console& console)
{
    const Arguments arguments (words, {{"params"}, {"json"}});
    const auto& files = arguments.operands();
    if (files.empty())
        throw UsageError ("name at least one FILE to list");

    const bool json = arguments.has ("json");
    TextListing text (console, arguments.has ("params"));
    JsonListing jsonListing (console, arguments.has ("params"));
    if (json)
        jsonListing.begin();

    bool allRead = true;
    for (const auto& path : files)
    {
        std::vector<PatchModel> patches;
        std::string whyNot;
        if (!readPatchFile (path, patches, whyNot))
        {
            console.error (path, whyNot);
            allRead = false;
            continue;
        }
        if (json)
            jsonListing.file (path, patches);
        else
            text.file (path, patches, files.size() > 1);
    }
    if (json)
        jsonListing.end();
    return console.finish() && allRead ? exitSuccess : exitFailure;
}
} // namespace QorvCli
