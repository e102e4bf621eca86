// qorv restore: patches written into the synthesizer's memories, the owner
// pressing WRITE for each one and Qorv checking what the memory holds.

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/MidiSetup.h"
#include "cli/PatchFiles.h"
#include "editor/EngineSynthesizer.h"
#include "session/RestoreGuide.h"
#include "session/RestoreProgress.h"
#include "session/SynthMemory.h"

#include <cerrno>
#include <chrono>
#include <numeric>
#include <poll.h>
#include <unistd.h>

namespace QorvCli
{
namespace
{
    using Clock = RestoreGuide::Clock;

    /** Tells on the console what the guide does, a memory at a time. */
    class GuidePrinter
    {
    public:
        GuidePrinter (const RestoreGuide& restoreGuide, Console& output, int sendsAllowed)
            : guide (restoreGuide), console (output), automaticSends (sendsAllowed)
        {
        }

        void print (RestoreGuide::Event event)
        {
            using Event = RestoreGuide::Event;
            const auto* entry = guide.current();
            switch (event)
            {
                case Event::sent:
                    if (guide.sendsOfCurrent() == 1)
                        console.print (SynthMemory::name (entry->target.memory) + "  " +
                                       displayText (entry->target.patch.name) + "  (" +
                                       std::to_string (guide.currentIndex() + 1) + " of " +
                                       std::to_string (guide.entries().size()) + ")\n  " + guide.instruction());
                    else if (afterDifference)
                        console.print ("  sent again (" + std::to_string (guide.sendsOfCurrent()) + " of " +
                                       std::to_string (automaticSends) + " sends): " + guide.instruction());
                    else
                        console.print ("  sent again: " + guide.instruction());
                    break;
                case Event::checked:
                    console.print ("  written and checked");
                    break;
                case Event::differed:
                    afterDifference = true;
                    console.print ("  differs: " + RestoreGuide::differenceText (entry->differences));
                    break;
                case Event::gaveUp:
                    console.print ("  counted as differing after " + std::to_string (guide.sendsOfCurrent()) +
                                   " sends");
                    break;
                case Event::skipped:
                    console.print ("  skipped");
                    break;
                case Event::wentBack:
                case Event::unanswered:
                case Event::finished:
                case Event::stopped:
                case Event::refused:
                    break;
            }
            if (event != Event::differed)
                afterDifference = false;
            console.flush();
        }

    private:
        const RestoreGuide& guide;
        Console& console;
        const int automaticSends;
        bool afterDifference = false; // the send that follows is the guide's own
    };

    /** Lines typed at a terminal: "s" skips, "r" sends again. Standard input
        that is not a terminal is never read, so a script's input or a closed
        one changes nothing. */
    class TypedLines
    {
    public:
        TypedLines() : reading (::isatty (STDIN_FILENO) == 1) {}
        bool isTerminal() const { return reading; }

        /** Hands each whole line typed so far to `use`, without waiting. */
        template <typename Use> void take (Use use)
        {
            pollfd input{STDIN_FILENO, POLLIN, 0};
            while (reading && ::poll (&input, 1, 0) > 0)
            {
                char bytes[256];
                const ssize_t count = ::read (STDIN_FILENO, bytes, sizeof (bytes));
                if (count < 0 && errno == EINTR)
                    continue;
                if (count <= 0)
                {
                    reading = false; // its end: nothing more will come
                    return;
                }
                pending.append (bytes, static_cast<size_t> (count));
                for (size_t end; (end = pending.find ('\n')) != std::string::npos;)
                {
                    use (trimmed (pending.substr (0, end)));
                    pending.erase (0, end + 1);
                }
            }
        }

    private:
        static std::string trimmed (const std::string& line)
        {
            const size_t first = line.find_first_not_of (" \t\r");
            const size_t last = line.find_last_not_of (" \t\r");
            return first == std::string::npos ? std::string() : line.substr (first, last - first + 1);
        }

        bool reading;
        std::string pending;
    };

    /** A word as a shell reads it back: quoted when it holds anything but plain characters. */
    std::string shellWord (const std::string& word)
    {
        const bool plain =
            !word.empty() && word.find_first_not_of ("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                     "0123456789-_.,:/+=@%") == std::string::npos;
        if (plain)
            return word;
        std::string quoted = "'";
        for (const char c : word)
            quoted += c == '\'' ? std::string ("'\\''") : std::string (1, c);
        return quoted + "'";
    }

    /** The command that goes on from where this one stopped. */
    std::string continuation (const std::string& library, const Arguments& arguments, const RestoreGuide& guide)
    {
        const auto& entries = guide.entries();
        std::vector<int> rowsLeft;
        for (size_t i = guide.currentIndex(); i < entries.size(); ++i)
            rowsLeft.push_back (entries[i].target.row);
        std::string command = "qorv restore " + shellWord (library) + " --to " + shellWord (*arguments.value ("to")) +
                              " --from " + shellWord (*arguments.value ("from")) + " --start " +
                              SynthMemory::name (entries[guide.currentIndex()].target.memory) + " --rows " +
                              RestoreProgress::rowsText (rowsLeft);
        for (const char* option : {"channel", "timeout"})
            if (const auto value = arguments.value (option))
                command += std::string (" --") + option + " " + shellWord (*value);
        return command;
    }
} // namespace

int restoreCommand (const std::vector<std::string>& words, Console& console)
{
    const Arguments arguments (words,
                               {{"to", 0, true},
                                {"from", 0, true},
                                {"start", 0, true},
                                {"rows", 0, true},
                                {"channel", 0, true},
                                {"timeout", 0, true}});
    if (arguments.operands().size() != 1)
        throw UsageError ("name one LIBRARY to write");
    const auto outputPort = arguments.value ("to");
    const auto inputPort = arguments.value ("from");
    if (!outputPort)
        throw UsageError ("name the output to the synthesizer with --to PORT (qorv ports lists them)");
    if (!inputPort)
        throw UsageError ("name the input from the synthesizer with --from PORT (qorv ports lists them)");
    const std::string startText = arguments.value ("start").value_or ("A11");
    const auto firstMemory = SynthMemory::parse (startText);
    if (!firstMemory)
        throw UsageError ("--start wants a memory from A11 to B88, not '" + startText + "'");
    const int channel = parseChannel (arguments.value ("channel"));
    const double timeoutSeconds = parseSeconds ("timeout", arguments.value ("timeout").value_or ("60"));
    const std::string& path = arguments.operands().front();

    std::vector<PatchModel> patches;
    std::string whyNot;
    if (!readPatchFile (path, patches, whyNot))
    {
        console.error (path, whyNot);
        return exitFailure;
    }
    std::vector<int> rows (patches.size());
    std::iota (rows.begin(), rows.end(), 0);
    if (const auto rowsText = arguments.value ("rows"))
    {
        const auto chosen = RestoreProgress::parseRows (*rowsText, patches.size());
        if (!chosen)
            throw UsageError ("--rows wants FIRST-LAST from 1 to " + std::to_string (patches.size()) +
                              " (the patches as qorv list numbers them), not '" + *rowsText + "'");
        rows = *chosen;
    }
    if (rows.empty())
    {
        console.error (path, "holds no patch to write");
        return exitFailure;
    }
    const int room = SynthMemory::count - *firstMemory;
    if (static_cast<int> (rows.size()) > room)
        throw UsageError (counted (rows.size(), "patch", "patches") + " do not fit from " +
                          SynthMemory::name (*firstMemory) + " to B88, which holds " + std::to_string (room) +
                          ": choose fewer with --rows or an earlier --start");

    // The answers come in through the engine's callbacks, which reach the guide: it outlives the engine.
    MessageLoop loop;
    MidiEngine engine;
    const auto output = findPort (engine, PortDirection::output, *outputPort, console);
    if (!output)
        return exitFailure;
    const auto input = findPort (engine, PortDirection::input, *inputPort, console);
    if (!input)
        return exitFailure;

    RestoreGuide::Options options;
    options.answerTime = std::chrono::duration_cast<Clock::duration> (std::chrono::duration<double> (timeoutSeconds));
    options.stopWhenUnanswered = true;
    options.automaticSends = 3;
    EngineSynthesizer synthesizer (engine);
    RestoreGuide guide (synthesizer, RestoreGuide::plan (patches, rows, *firstMemory), options);
    GuidePrinter printer (guide, console, options.automaticSends);
    guide.onChange = [&printer] (RestoreGuide::Event event) { printer.print (event); };

    engine.onPatchReceived = [&guide] (const PatchModel& patch)
    {
        if (const auto memory = SynthMemory::parse (patch.name))
            guide.dumpReceived (patch, *memory, Clock::now());
    };
    engine.setMidiChannel (channel);
    // Listening first, so no answer can come before it is heard.
    engine.openInput (input->endpoint);
    engine.openOutput (output->endpoint);
    if (const auto why = RestoreGuide::whyNotStart (synthesizer))
    {
        console.error (displayText (input->name) + " (" + addressOf (input->endpoint) + ")", *why);
        return exitFailure;
    }

    const auto& entries = guide.entries();
    TypedLines typed;
    console.print ("Writing " + counted (entries.size(), "patch", "patches") + " of " + displayText (path) + " into " +
                   SynthMemory::name (entries.front().target.memory) + " to " +
                   SynthMemory::name (entries.back().target.memory) + ": out through " + displayText (output->name) +
                   " (" + addressOf (output->endpoint) + "), answers from " + displayText (input->name) + " (" +
                   addressOf (input->endpoint) + "), channel " + std::to_string (channel + 1) + ".");
    console.print (RestoreGuide::setUpAdvice);
    console.print (std::string ("Each memory goes on by itself once its answer is checked") +
                   (typed.isTerminal() ? "; a line \"s\" skips it, \"r\" sends its patch again" : "") +
                   "; Ctrl+C stops.");

    StopSignals signals;
    guide.start (Clock::now());
    loop.runUntil (
        [&]
        {
            typed.take (
                [&guide, &console] (const std::string& line)
                {
                    if (line == "s")
                        guide.skip (Clock::now());
                    else if (line == "r")
                        guide.sendAgain (Clock::now());
                    else if (!line.empty())
                        console.note ("type s and Enter to skip this memory, r and Enter to send its patch again");
                });
            guide.tick (Clock::now());
            const auto phase = guide.phase();
            return phase == RestoreGuide::Phase::finished || phase == RestoreGuide::Phase::stopped ||
                   signals.received();
        });
    if (guide.isUnanswered())
        console.note (guide.noAnswerAdvice (channel));
    if (signals.received())
    {
        guide.stop();
        console.note ("stopped by " + signals.name());
    }
    engine.close();

    const auto done = guide.summary();
    console.print ("Summary: " + guide.summaryText());
    if (guide.phase() == RestoreGuide::Phase::stopped)
        console.print ("To go on from here: " + continuation (path, arguments, guide));
    const bool allChecked = done.checked.size() == entries.size();
    return console.finish() && allChecked ? exitSuccess : exitFailure;
}
} // namespace QorvCli
