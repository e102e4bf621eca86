// qorv capture: patches the synthesizer sends, recorded into a library as
// the window's SAVE ALL records them.

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/LibraryTarget.h"
#include "cli/MidiSetup.h"
#include "cli/PatchFiles.h"

#include <chrono>
#include <cmath>
#include <set>

namespace QorvCli
{
namespace
{
    using Clock = std::chrono::steady_clock;

    /** Takes each received dump into the library through the session's SAVE
        ALL, counts the patches of this capture and says each one. A dump the
        capture has had already, in name and data (the synthesizer sends the
        patch it leaves as well as the one it enters), is passed over. */
    class Recorder
    {
    public:
        Recorder (LibraryTarget& library, Console& output, int wanted)
            : target (library), console (output), limit (wanted)
        {
            target.session().setSaveAll (true);
        }

        void received (const PatchModel& patch, bool manual)
        {
            const std::string key = std::string (manual ? "m" : "p") + patch.name + '\0' +
                                    std::string (patch.data.begin(), patch.data.end());
            if (!seen.insert (key).second)
                return;

            auto& session = target.session();
            const size_t before = session.library().patches.size();
            if (manual)
                session.manualPatchReceived (patch);
            else
                session.patchReceived (patch);
            const bool added = session.library().patches.size() > before;
            ++count;
            addedCount += added ? 1 : 0;
            lastNew = Clock::now();
            console.print (std::to_string (count) + "/" + std::to_string (limit) + " " +
                           displayText (session.receivedName()) + (added ? "" : " (in the library already)"));
            console.flush();
        }

        /** The timeout counts from here until the first patch. */
        void listeningStarts() { lastNew = Clock::now(); }

        bool isComplete() const { return count >= limit; }
        int recorded() const { return count; }
        int added() const { return addedCount; }
        Clock::time_point lastNewPatch() const { return lastNew; }

    private:
        LibraryTarget& target;
        Console& console;
        const int limit;
        int count = 0;
        int addedCount = 0;
        std::set<std::string> seen;
        Clock::time_point lastNew = Clock::now();
    };
} // namespace

int captureCommand (const std::vector<std::string>& words, Console& console)
{
    const Arguments arguments (
        words,
        {{"from", 0, true}, {"output", 'o', true}, {"count", 0, true}, {"timeout", 0, true}, {"channel", 0, true}});
    if (!arguments.operands().empty())
        throw UsageError ("takes no operands; name the library with -o");
    const auto port = arguments.value ("from");
    const auto output = arguments.value ("output");
    if (!port)
        throw UsageError ("name the input with --from PORT (qorv ports lists them)");
    if (!output || kindOf (*output) != FileKind::library)
        throw UsageError ("name the library to record into with -o LIBRARY.106");
    const int limit = parseCount ("count", arguments.value ("count").value_or ("128"), 1);
    const auto timeoutText = arguments.value ("timeout");
    const double timeoutSeconds = timeoutText ? parseSeconds ("timeout", *timeoutText) : 0.0;
    const int channel = parseChannel (arguments.value ("channel"));

    // The library first: one that cannot be added to is never listened for.
    LibraryTarget target;
    if (!target.openTelling (*output, console))
        return exitFailure;

    // The engine's callbacks reach the recorder: it outlives the engine.
    Recorder recorder (target, console, limit);
    MessageLoop loop;
    MidiEngine engine;
    const auto device = findPort (engine, PortDirection::input, *port, console);
    if (!device)
        return exitFailure;

    engine.onPatchReceived = [&recorder] (const PatchModel& patch) { recorder.received (patch, false); };
    engine.onManualReceived = [&recorder] (const PatchModel& patch) { recorder.received (patch, true); };
    engine.onDevicesChanged = [&engine, &console, &device, wasOpen = true]() mutable
    {
        if (engine.isInputOpen() != wasOpen)
            console.error (device->name,
                           engine.isInputOpen() ? "back; recording goes on" : "gone; waiting for it to return");
        wasOpen = engine.isInputOpen();
    };
    engine.setMidiChannel (channel);

    StopSignals signals;
    engine.openInput (device->endpoint);
    recorder.listeningStarts();
    console.note ("recording from " + device->name + " (" + addressOf (device->endpoint) + ") on channel " +
                  std::to_string (channel + 1) + " into " + *output + "; Ctrl+C stops and saves");

    const auto timeout = std::chrono::duration_cast<Clock::duration> (std::chrono::duration<double> (timeoutSeconds));
    bool timedOut = false;
    loop.runUntil (
        [&]
        {
            timedOut = timeoutSeconds > 0 && Clock::now() - recorder.lastNewPatch() >= timeout;
            return recorder.isComplete() || signals.received() || timedOut;
        });
    engine.close();

    if (signals.received())
        console.note ("stopped by " + signals.name());
    else if (timedOut && !recorder.isComplete())
        console.note ("stopped: no new patch for " + *timeoutText + " s");

    if (recorder.recorded() == 0)
    {
        console.error (*output, "no patch received; left as it was");
        return exitFailure;
    }
    if (!target.session().isModified())
    {
        console.print (displayText (*output) + " holds every patch received already; left as it was");
        return console.finish() ? exitSuccess : exitFailure;
    }
    if (const auto result = target.save(); !result)
    {
        console.error (*output, result.reason);
        return exitFailure;
    }
    console.print ("Saved " + counted (static_cast<size_t> (recorder.added()), "new patch", "new patches") + " into " +
                   displayText (*output) + " (" + std::to_string (target.library().patches.size()) + " in all)");
    return console.finish() ? exitSuccess : exitFailure;
}
} // namespace QorvCli
