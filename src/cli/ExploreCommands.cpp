// qorv morph, breed, similar and duplicates: exploring sounds as the window
// does, by the same blend, breeding and distance.

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/LibraryTarget.h"
#include "cli/PatchFiles.h"
#include "cli/PatchText.h"
#include "explore/Breeding.h"
#include "explore/SeededRandom.h"
#include "explore/SoundDistance.h"
#include "explore/SoundMorph.h"
#include "files/FileBytes.h"
#include "files/SyxBank.h"
#include "files/SyxFileIO.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace QorvCli
{
namespace
{
    /** The default of --within, as the window's Select Duplicates starts. */
    constexpr int defaultWithin = 4;

    std::vector<std::string> splitAtCommas (const std::string& text)
    {
        std::vector<std::string> parts;
        std::stringstream stream (text);
        std::string part;
        while (std::getline (stream, part, ','))
            parts.push_back (part);
        if (!text.empty() && text.back() == ',')
            parts.emplace_back();
        return parts;
    }

    /** A fraction of the pad's side; throws UsageError for anything but a number from 0 to 1. */
    double parseFraction (const std::string& whole, const std::string& text)
    {
        errno = 0;
        char* end = nullptr;
        const double value = std::strtod (text.c_str(), &end);
        if (text.empty() || end != text.c_str() + text.size() || errno != 0 || !(value >= 0.0 && value <= 1.0))
            throw UsageError ("--at wants numbers from 0 to 1, not '" + whole + "'");
        return value;
    }

    /** A seed: a whole number from 0 to 18446744073709551615. */
    uint64_t parseSeed (const std::string& text)
    {
        const bool digitsOnly = !text.empty() && text.size() <= 20 &&
                                std::all_of (text.begin(), text.end(), [] (char c) { return c >= '0' && c <= '9'; });
        errno = 0;
        const unsigned long long value = digitsOnly ? std::strtoull (text.c_str(), nullptr, 10) : 0;
        if (!digitsOnly || errno == ERANGE)
            throw UsageError ("--seed wants a whole number from 0 to 18446744073709551615, not '" + text + "'");
        return static_cast<uint64_t> (value);
    }

    std::string jsonNumber (double value)
    {
        char text[32];
        std::snprintf (text, sizeof text, "%.6g", value);
        return text;
    }

    std::string jsonBytes (const SoundControls::Bytes& data)
    {
        std::string text = "[";
        for (size_t i = 0; i < data.size(); ++i)
            text += (i > 0 ? ", " : "") + std::to_string (data[i]);
        return text + "]";
    }

    /** Reads each patch a word names; says why for each that cannot be read. */
    bool readNamedPatches (const std::vector<std::string>& words, std::vector<PatchModel>& patches, Console& console)
    {
        bool allRead = true;
        for (const auto& word : words)
        {
            PatchModel patch;
            std::string whyNot;
            if (readNamedPatch (word, patch, whyNot))
                patches.push_back (std::move (patch));
            else
            {
                console.error (word, whyNot);
                allRead = false;
            }
        }
        return allRead;
    }

    /** The patches of a file to compare, or false with why said. */
    bool readLibrary (const std::string& path, std::vector<PatchModel>& patches, Console& console)
    {
        std::string whyNot;
        if (readPatchFile (path, patches, whyNot))
            return true;
        console.error (path, whyNot);
        return false;
    }

    /** A patch's number in its file, as wide as the largest, and its name. */
    std::string rowText (const std::vector<PatchModel>& patches, size_t row)
    {
        std::string number = std::to_string (row + 1);
        number.insert (0, std::to_string (patches.size()).size() - number.size(), ' ');
        return number + "  " + displayText (patches[row].name);
    }
} // namespace

int morphCommand (const std::vector<std::string>& words, Console& console)
{
    const Arguments arguments (words, {{"at", 0, true}, {"output", 'o', true}, {"json"}, {"channel", 0, true}});
    const auto& operands = arguments.operands();
    if (operands.size() < 2 || operands.size() > 4)
        throw UsageError ("name two to four PATCHES to blend");
    const auto at = arguments.value ("at");
    if (!at)
        throw UsageError ("say where to blend with --at X (two patches) or --at X,Y (three or four)");
    const auto parts = splitAtCommas (*at);
    const size_t wanted = operands.size() == 2 ? 1 : 2;
    if (parts.size() != wanted)
        throw UsageError (operands.size() == 2 ? "two patches blend along a line: --at takes one number, X"
                                               : "three or four patches blend on a square: --at takes X,Y");
    const double x = parseFraction (*at, parts[0]);
    const double y = parts.size() > 1 ? parseFraction (*at, parts[1]) : 0.0;
    const auto output = arguments.value ("output");
    if (output && kindOf (*output) != FileKind::sysex)
        throw UsageError ("the blend is written as one dump: name the output FILE.syx");
    const int channel = parseChannel (arguments.value ("channel"));

    std::vector<PatchModel> corners;
    if (!readNamedPatches (operands, corners, console))
        return exitFailure;
    std::vector<SoundControls::Bytes> sounds;
    for (const auto& corner : corners)
        sounds.push_back (corner.data);
    PatchModel blended;
    blended.name = "Morph";
    blended.data = SoundMorph::blend (sounds, SoundMorph::pointAt (x, y));

    if (output)
    {
        if (const auto written = SyxFileIO::saveWithReason (*output, blended, channel); !written)
        {
            console.error (*output, written.reason);
            return exitFailure;
        }
    }
    if (arguments.has ("json"))
    {
        std::string names;
        for (const auto& corner : corners)
            names += (names.empty() ? "" : ", ") + jsonString (corner.name);
        console.print ("{\"name\": " + jsonString (blended.name) + ", \"corners\": [" + names + "], \"at\": [" +
                       jsonNumber (x) + (parts.size() > 1 ? ", " + jsonNumber (y) : "") + "], \"data\": " +
                       jsonBytes (blended.data) + ", \"params\": " + parametersJson (blended.data) + "}");
    }
    else if (output)
    {
        console.print ("Wrote the blend to " + displayText (*output));
    }
    else
    {
        for (const auto& line : parameterLines (blended.data))
            console.print (line);
    }
    return console.finish() ? exitSuccess : exitFailure;
}

int breedCommand (const std::vector<std::string>& words, Console& console)
{
    const Arguments arguments (words,
                               {{"output", 'o', true},
                                {"children", 0, true},
                                {"amount", 0, true},
                                {"lock", 0, true, true},
                                {"per-control"},
                                {"seed", 0, true},
                                {"channel", 0, true}});
    const auto& operands = arguments.operands();
    if (operands.empty())
        throw UsageError ("name one to three PARENT patches");
    if (operands.size() > Breeding::maxParents)
        throw UsageError ("at most three PARENT patches");
    const auto output = arguments.value ("output");
    if (!output && arguments.spellsAnOptionAfterEnd ({"-o", "--output"}))
        throw UsageError ("everything after \"--\" is a patch, -o too: name the OUTPUT with -o before \"--\"");
    if (!output || output->empty())
        throw UsageError ("name the OUTPUT with -o: a .syx bank or a .106 library");
    const FileKind outputKind = kindOf (*output);
    if (outputKind != FileKind::sysex && outputKind != FileKind::library)
        throw UsageError ("cannot tell what to write from the name '" + *output + "': end it in .syx or .106");

    Breeding::Options options;
    if (const auto amount = arguments.value ("amount"))
    {
        const auto known = Breeding::amountFromName (*amount);
        if (!known)
            throw UsageError ("--amount is subtle, moderate or wild, not '" + *amount + "'");
        options.amount = *known;
    }
    for (const auto& list : arguments.values ("lock"))
        for (const auto& name : splitAtCommas (list))
        {
            const auto section = SoundControls::sectionFromName (name);
            if (!section)
                throw UsageError ("--lock takes sections LFO, DCO, HPF, VCF, VCA, ENV and CHORUS, not '" + name + "'");
            options.lock (*section, true);
        }
    options.wholeSections = !arguments.has ("per-control");
    const int count = arguments.value ("children") ? parseCount ("children", *arguments.value ("children"), 1) : 12;
    if (count > 10000)
        throw UsageError ("--children wants at most 10000");
    const auto seedText = arguments.value ("seed");
    const uint64_t seed = seedText ? parseSeed (*seedText) : SeededRandom::freshSeed();
    const int channel = parseChannel (arguments.value ("channel"));

    std::vector<PatchModel> parents;
    if (!readNamedPatches (operands, parents, console))
        return exitFailure;
    std::vector<SoundControls::Bytes> sounds;
    for (const auto& parent : parents)
        sounds.push_back (parent.data);
    const auto children = Breeding::children (sounds, options, seed, static_cast<size_t> (count));
    const std::string line = Breeding::lineName (parents.front().name);
    const std::string made = counted (children.size(), "child", "children");
    const std::string seedNote = " (seed " + std::to_string (seed) + ")";

    if (outputKind == FileKind::sysex)
    {
        std::vector<PatchModel> patches (children.size());
        for (size_t i = 0; i < children.size(); ++i)
            patches[i].data = children[i];
        const auto image = SyxBank::build (patches, channel);
        if (const auto written = FileBytes::replaceFile (*output, image.data(), image.size()); !written)
        {
            console.error (*output, written.reason);
            return exitFailure;
        }
        console.print ("Wrote " + made + " to " + displayText (*output) + seedNote);
        return console.finish() ? exitSuccess : exitFailure;
    }

    LibraryTarget target;
    if (!target.openTelling (*output, console))
        return exitFailure;
    for (const auto& child : children)
    {
        PatchModel patch;
        patch.data = child;
        patch.name = Breeding::keptName (target.library(), line);
        target.session().addPatch (std::move (patch));
    }
    if (const auto saved = target.save(); !saved)
    {
        console.error (*output, saved.reason);
        return exitFailure;
    }
    console.print ((target.existed() ? "Added " + made + " to " : "Wrote " + made + " to ") + displayText (*output) +
                   seedNote);
    return console.finish() ? exitSuccess : exitFailure;
}

int similarCommand (const std::vector<std::string>& words, Console& console)
{
    const Arguments arguments (words, {{"count", 0, true}, {"json"}});
    const auto& operands = arguments.operands();
    if (operands.size() != 2)
        throw UsageError ("name a LIBRARY and the NAME (or number) of one of its patches");
    const int count = arguments.value ("count") ? parseCount ("count", *arguments.value ("count"), 1) : 10;

    const std::string& path = operands[0];
    std::vector<PatchModel> patches;
    if (!readLibrary (path, patches, console))
        return exitFailure;
    std::string whyNot;
    const PatchModel* wanted = choosePatch (patches, operands[1], "", whyNot);
    if (wanted == nullptr)
    {
        console.error (path, whyNot);
        return exitFailure;
    }
    const size_t row = static_cast<size_t> (wanted - patches.data());
    const auto near = SoundDistance::nearest (patches, row, static_cast<size_t> (count));

    if (arguments.has ("json"))
    {
        std::string text = "[";
        for (size_t i = 0; i < near.size(); ++i)
            text += std::string (i > 0 ? "," : "") + "\n  {\"index\": " + std::to_string (near[i].row + 1) +
                    ", \"name\": " + jsonString (patches[near[i].row].name) +
                    ", \"distance\": " + std::to_string (near[i].distance) + "}";
        console.print (text + (near.empty() ? "]" : "\n]"));
    }
    else
    {
        console.print ("Nearest to " + rowText (patches, row) + ":");
        for (const auto& each : near)
        {
            std::string distance = std::to_string (each.distance);
            distance.insert (0, distance.size() < 6 ? 6 - distance.size() : 0, ' ');
            console.print (distance + "  " + rowText (patches, each.row));
        }
    }
    return console.finish() ? exitSuccess : exitFailure;
}

int duplicatesCommand (const std::vector<std::string>& words, Console& console)
{
    const Arguments arguments (words, {{"within", 0, true}, {"json"}});
    const auto& operands = arguments.operands();
    if (operands.size() != 1)
        throw UsageError ("name one LIBRARY");
    const int within =
        arguments.value ("within") ? parseCount ("within", *arguments.value ("within"), 0) : defaultWithin;

    const std::string& path = operands[0];
    std::vector<PatchModel> patches;
    if (!readLibrary (path, patches, console))
        return exitFailure;
    const auto groups = SoundDistance::duplicates (patches, within);

    if (arguments.has ("json"))
    {
        std::string text = "[";
        for (size_t g = 0; g < groups.size(); ++g)
        {
            const auto& group = groups[g];
            text += std::string (g > 0 ? "," : "") + "\n  {\"index\": " + std::to_string (group.first + 1) +
                    ", \"name\": " + jsonString (patches[group.first].name) + ", \"duplicates\": [";
            for (size_t i = 0; i < group.others.size(); ++i)
                text += std::string (i > 0 ? ", " : "") + "{\"index\": " + std::to_string (group.others[i].row + 1) +
                        ", \"name\": " + jsonString (patches[group.others[i].row].name) +
                        ", \"distance\": " + std::to_string (group.others[i].distance) + "}";
            text += "]}";
        }
        console.print (text + (groups.empty() ? "]" : "\n]"));
        return console.finish() ? exitSuccess : exitFailure;
    }

    size_t duplicateCount = 0;
    for (const auto& group : groups)
    {
        console.print (rowText (patches, group.first));
        for (const auto& other : group.others)
            console.print ("    " + rowText (patches, other.row) + " (distance " + std::to_string (other.distance) +
                           ")");
        duplicateCount += group.others.size();
    }
    console.print (groups.empty()
                       ? "No duplicates within " + std::to_string (within)
                       : counted (duplicateCount, "duplicate", "duplicates") + " of " +
                             counted (groups.size(), "patch", "patches") + " within " + std::to_string (within));
    return console.finish() ? exitSuccess : exitFailure;
}
} // namespace QorvCli
