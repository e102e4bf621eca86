// qorv record and qorv previews: a preview of each patch recorded from the
// synthesizer's audio output, and the previews folder checked or pruned.

#include "capture/alsa/AlsaAudioInput.h"
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/MidiSetup.h"
#include "cli/PatchFiles.h"
#include "editor/EngineSynthOutput.h"
#include "previews/PreviewFolder.h"
#include "previews/RecordingRun.h"
#include "session/RestoreProgress.h"
#include "session/SynthMemory.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace QorvCli
{
namespace
{
    using Clock = RecordingRun::Clock;

    std::string fixed (double value, int decimals)
    {
        char text[32];
        std::snprintf (text, sizeof (text), "%.*f", decimals, value);
        return text;
    }

    /** "1-16", "3,7" as qorv list numbers the patches, or memory names "A11-A18" for rows 1 to 8. */
    std::optional<std::vector<int>> parseRowsText (const std::string& text, size_t rowCount)
    {
        std::string numbers;
        for (size_t i = 0; i < text.size();)
        {
            if (std::isalpha (static_cast<unsigned char> (text[i])) && i + 3 <= text.size())
            {
                const auto memory = SynthMemory::parse (text.substr (i, 3));
                if (!memory)
                    return std::nullopt;
                numbers += std::to_string (*memory + 1);
                i += 3;
                continue;
            }
            numbers += text[i++];
        }
        return RestoreProgress::parseRows (numbers, rowCount);
    }

    std::string rowsOf (const RecordingRun::Item& item)
    {
        std::vector<int> rows = item.rows;
        return (rows.size() == 1 ? "row " : "rows ") + RestoreProgress::rowsText (rows);
    }

    /** Tells on the console what the run does, a patch at a time. */
    class RunPrinter
    {
    public:
        RunPrinter (const RecordingRun& recordingRun, Console& output) : run (recordingRun), console (output) {}

        void print (RecordingRun::Event event)
        {
            using Event = RecordingRun::Event;
            const auto* item = event == Event::takeStarted || event == Event::takingAgain ? nullptr : justDone();
            switch (event)
            {
                case Event::floorMeasured:
                    console.print ("Noise floor of the input: " + fixed (run.floorDb(), 1) + " dBFS.");
                    break;
                case Event::recorded:
                {
                    const auto* result = run.lastResult();
                    std::string line = head (*item) + "recorded, " + fixed (result->loudness.loudness, 1) +
                                       " LUFS, peak " + fixed (result->loudness.truePeakDb, 1) + " dBTP, onset " +
                                       fixed (result->onsetOffset * 1000.0, 1) + " ms, " +
                                       fixed (static_cast<double> (result->audio.size()) / result->sampleRate, 2) +
                                       " s";
                    if (item->flags != 0)
                        line += " (" + PreviewTake::flagsText (item->flags) + ")";
                    console.print (line);
                    break;
                }
                case Event::noAudio:
                    console.print (head (*item) + "no audio");
                    break;
                case Event::takingAgain:
                    console.print ("      taken again: " + run.lastRetakeReason());
                    break;
                case Event::failed:
                    console.print (head (*item) + "failed: " + item->why);
                    break;
                case Event::takeStarted:
                case Event::skipped:
                case Event::paused:
                case Event::finished:
                case Event::stopped:
                    break;
            }
            console.flush();
        }

    private:
        /** The item an outcome is about: the current one, or the last when the run ended with it. */
        const RecordingRun::Item* justDone() const
        {
            const auto& items = run.items();
            size_t at = std::min (run.currentIndex(), items.size() - 1);
            while (at > 0 && items[at].state == RecordingRun::ItemState::waiting)
                --at;
            return &items[at];
        }

        std::string head (const RecordingRun::Item& item) const
        {
            const size_t number = static_cast<size_t> (&item - run.items().data()) + 1;
            return std::to_string (number) + "/" + std::to_string (run.items().size()) + "  " + rowsOf (item) + "  " +
                   displayText (item.patch.name) + ": ";
        }

        const RecordingRun& run;
        Console& console;
    };

    /** The mean time of a take beside its parts. */
    std::string timingsText (const std::vector<PreviewTake::Timings>& all)
    {
        PreviewTake::Timings sum;
        for (const auto& t : all)
        {
            sum.wait += t.wait;
            sum.flush += t.flush;
            sum.settle += t.settle;
            sum.phrase += t.phrase;
            sum.tail += t.tail;
        }
        const double n = static_cast<double> (all.size());
        return "A take took " + fixed (sum.total() / n, 2) + " s on average: waiting for quiet " +
               fixed (sum.wait / n, 3) + ", flush " + fixed (sum.flush / n, 3) + ", settle " +
               fixed (sum.settle / n, 3) + ", phrase " + fixed (sum.phrase / n, 3) + ", tail " +
               fixed (sum.tail / n, 3) + " (seconds).";
    }
} // namespace

int recordCommand (const std::vector<std::string>& words, Console& console)
{
    const Arguments arguments (words,
                               {{"to", 0, true},
                                {"from", 0, true},
                                {"rows", 0, true},
                                {"missing", 0, false},
                                {"note", 0, true},
                                {"hold", 0, true},
                                {"settle", 0, true},
                                {"channel", 0, true}});
    if (arguments.operands().size() != 1)
        throw UsageError ("name one LIBRARY to record");
    const auto wiring = requireSynthesizerWiring (arguments);
    if (arguments.has ("rows") && arguments.has ("missing"))
        throw UsageError ("--rows and --missing do not go together");
    RecordingRun::Options options;
    auto& phrase = options.take.phrase;
    if (const auto note = arguments.value ("note"))
        phrase.note = parseCount ("note", *note, 0);
    if (const auto hold = arguments.value ("hold"))
        phrase.hold = parseSeconds ("hold", *hold);
    if (!phrase.isValid())
        throw UsageError ("--note wants 0 to 127 and --hold 0.01 to 60 seconds");
    if (const auto settle = arguments.value ("settle"))
        options.take.settle = parseCount ("settle", *settle, 0) / 1000.0;
    const int channel = parseChannel (arguments.value ("channel"));
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
        const auto chosen = parseRowsText (*rowsText, patches.size());
        if (!chosen)
            throw UsageError ("--rows wants FIRST-LAST from 1 to " + std::to_string (patches.size()) +
                              " (as qorv list numbers the patches) or memory names such as A11-A18, not '" + *rowsText +
                              "'");
        rows = *chosen;
    }

    PreviewFolder folder (PreviewFolder::folderFor (path));
    folder.refresh();
    auto items = RecordingRun::plan (patches, rows, &folder, phrase, arguments.has ("missing"));
    if (items.empty())
    {
        console.print ("Nothing to record: every patch asked for has its preview in " + displayText (folder.path()) +
                       ".");
        return console.finish() ? exitSuccess : exitFailure;
    }

    MessageLoop loop;
    MidiEngine engine;
    const auto output = findPort (engine, PortDirection::output, wiring.outputPort, console);
    if (!output)
        return exitFailure;
    AlsaAudioInput input;
    if (!input.open (wiring.inputDevice, whyNot))
    {
        console.error (wiring.inputDevice, whyNot);
        return exitFailure;
    }
    engine.setMidiChannel (channel);
    engine.openOutput (output->endpoint);
    options.inputId = wiring.inputDevice;

    EngineSynthOutput synthesizer (engine);
    RecordingRun run (input, synthesizer, &folder, std::move (items), options);
    RunPrinter printer (run, console);
    std::vector<PreviewTake::Timings> timings;
    run.onChange = [&] (RecordingRun::Event event)
    {
        if (event == RecordingRun::Event::recorded && run.lastResult() != nullptr)
            timings.push_back (run.lastResult()->timings);
        printer.print (event);
    };

    console.print ("Recording " + counted (run.items().size(), "sound", "sounds") + " of " + displayText (path) +
                   " into " + displayText (folder.path()) + ": out through " + displayText (output->name) + " (" +
                   addressOf (output->endpoint) + ") on channel " + std::to_string (channel + 1) + ", in from " +
                   displayText (wiring.inputDevice) + ", " + phrase.name() + ". Ctrl+C stops.");
    StopSignals signals;
    run.start (Clock::now());
    // Every step's time is a least wait; ticking every 5 ms keeps them close to it.
    loop.runUntil (
        [&]
        {
            run.tick (Clock::now());
            const auto phase = run.phase();
            return phase == RecordingRun::Phase::finished || phase == RecordingRun::Phase::stopped ||
                   signals.received();
        },
        std::chrono::milliseconds (5));
    if (signals.received())
    {
        run.stop();
        console.note ("stopped by " + signals.name());
    }
    engine.close();
    input.close();

    std::vector<std::string> noAudio, failed;
    size_t recorded = 0;
    for (const auto& item : run.items())
    {
        const std::string name = rowsOf (item) + " " + displayText (item.patch.name);
        if (item.state == RecordingRun::ItemState::recorded)
            ++recorded;
        else if (item.state == RecordingRun::ItemState::noAudio)
            noAudio.push_back (name);
        else if (item.state == RecordingRun::ItemState::failed)
            failed.push_back (name + " (" + item.why + ")");
    }
    const auto list = [] (const std::vector<std::string>& names)
    {
        std::string text;
        for (const auto& name : names)
            text += (text.empty() ? "" : "; ") + name;
        return text;
    };
    std::string summary = "Summary: " + std::to_string (recorded) + " recorded";
    summary +=
        ", " + std::to_string (noAudio.size()) + " no audio" + (noAudio.empty() ? "" : " (" + list (noAudio) + ")");
    summary += ", " + std::to_string (failed.size()) + " failed" + (failed.empty() ? "" : " (" + list (failed) + ")");
    const size_t left = run.items().size() - run.doneCount();
    if (left > 0)
        summary += ", " + std::to_string (left) + " not recorded yet";
    console.print (summary + ".");
    if (!timings.empty())
        console.print (timingsText (timings));
    if (!run.stopText().empty())
        console.error (wiring.inputDevice, run.stopText());
    if (run.phase() == RecordingRun::Phase::stopped)
        console.print ("To go on from here, run the same command with --missing in place of --rows.");
    const bool complete = run.phase() == RecordingRun::Phase::finished && failed.empty();
    return console.finish() && complete ? exitSuccess : exitFailure;
}

int previewsCommand (const std::vector<std::string>& words, Console& console)
{
    const Arguments arguments (words, {{"verify", 0, false}, {"prune", 0, false}});
    if (arguments.operands().size() != 1)
        throw UsageError ("name one LIBRARY whose previews to look at");
    if (arguments.has ("verify") == arguments.has ("prune"))
        throw UsageError ("say what to do: --verify or --prune");
    const std::string& path = arguments.operands().front();
    PreviewFolder folder (PreviewFolder::folderFor (path));

    if (arguments.has ("verify"))
    {
        size_t checked = 0;
        const auto problems = folder.verify (checked);
        for (const auto& problem : problems)
            console.error (folder.path() + "/" + problem.fileName, problem.why);
        if (checked == 0)
        {
            console.print ("No previews in " + displayText (folder.path()) + ".");
            return console.finish() ? exitSuccess : exitFailure;
        }
        console.print (counted (checked, "file", "files") + " in " + displayText (folder.path()) + " checked: " +
                       (problems.empty() ? std::string ("every one is the preview its name says.")
                                         : std::to_string (problems.size()) + " not."));
        return console.finish() && problems.empty() ? exitSuccess : exitFailure;
    }

    std::vector<PatchModel> patches;
    std::string whyNot;
    if (!readPatchFile (path, patches, whyNot))
    {
        console.error (path, whyNot);
        return exitFailure;
    }
    for (auto& patch : patches)
        PatchBits::correctValues (patch.data);
    folder.refresh();
    std::vector<PreviewFolder::Problem> failures;
    const auto removed = folder.prune (patches, failures);
    folder.saveIndex();
    for (const auto& name : removed)
        console.print ("removed " + name);
    for (const auto& failure : failures)
        console.error (folder.path() + "/" + failure.fileName, "cannot be removed: " + failure.why);
    console.print (counted (removed.size(), "preview", "previews") + " that no patch of " + displayText (path) +
                   " has any more removed from " + displayText (folder.path()) + ".");
    return console.finish() && failures.empty() ? exitSuccess : exitFailure;
}
} // namespace QorvCli
