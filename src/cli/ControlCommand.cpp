// qorv control: the window's translation of controllers into the
// synthesizer's parameter changes, without the window, for a computer that
// sits between a DAW or a controller and the synthesizer.

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/LineWriter.h"
#include "cli/MidiSetup.h"
#include "cli/PatchFiles.h"
#include "editor/EditorModel.h"
#include "files/FileBytes.h"

#include <cstring>
#include <unistd.h>

namespace QorvCli
{
namespace
{
    /** A map file is a few dozen lines; anything this big is something else. */
    constexpr size_t maxMapFileSize = 1 << 16;

    using Outcome = ControllerTranslator::Outcome;

    /** What the translation does that the user must hear of: each translated
        change on standard output when asked to (written so that a reader who
        never reads never holds the translation up), and once for each shared
        byte why a control in it sends nothing yet. */
    class TranslationReport final : public EditorModel::Listener
    {
    public:
        TranslationReport (const EditSession& sessionShown, Console& output, bool verbose)
            : session (sessionShown), console (output)
        {
            if (verbose)
                lines = std::make_unique<LineWriter> (STDOUT_FILENO);
        }

        void controlChangeTranslated (int channel, int controller, int, Outcome outcome) override
        {
            if (outcome.kind == Outcome::Kind::byteUnknown)
                sayWhyNothingIsSent (outcome.control);
            if (outcome.kind != Outcome::Kind::moved || lines == nullptr)
                return;
            const auto shown = PanelControls::shown (outcome.control, session.activePatch().data);
            lines->write ("CC " + std::to_string (controller) + " ch " + std::to_string (channel + 1) + " -> " +
                          shown.name + " " + shown.value);
        }

        /** Lets the lines go; false, with an error said, when some never reached standard output. */
        bool finish()
        {
            if (lines == nullptr)
                return true;
            const auto outcome = lines->finish (LineWriter::closingTime);
            if (outcome.unwritten == 0)
                return true;
            console.error ("standard output",
                           (outcome.error != 0 ? std::string (std::strerror (outcome.error)) + ": "
                                               : std::string ("nothing read it: ")) +
                               counted (outcome.unwritten, "line", "lines") + " of --verbose not written");
            return false;
        }

    private:
        void sayWhyNothingIsSent (PanelControl control)
        {
            const bool flags = PanelControls::byteIndex (control) == PatchBits::dcoFlagsIndex;
            bool& said = flags ? saidForFlags : saidForSwitches;
            if (std::exchange (said, true))
                return;
            console.note (std::string (PanelControls::name (control)) +
                          " sends nothing yet: " + (flags ? "Range, Square, Saw and Chorus" : "HPF, PWM, ENV and VCA") +
                          " share one byte of the synthesizer's sound, and Qorv does not know how the others are "
                          "set. Give --listen PORT (the synthesizer's MIDI output) and choose a patch on the "
                          "synthesizer, or --patch FILE to start from a sound of yours.");
        }

        const EditSession& session;
        Console& console;
        std::unique_ptr<LineWriter> lines;
        bool saidForFlags = false;
        bool saidForSwitches = false;
    };

    /** The learned mappings of a map file, or nothing with the reason said. */
    bool readMapFile (const std::string& path, ControllerTranslator& translator, Console& console)
    {
        std::vector<uint8_t> bytes;
        if (!FileBytes::readAll (path, maxMapFileSize, bytes))
        {
            const auto why = whyNotReadable (path);
            console.error (displayText (path), why.empty() ? "is too large for a controller map" : why);
            return false;
        }
        std::string problem;
        if (!translator.importMap (std::string (bytes.begin(), bytes.end()), problem))
        {
            console.error (displayText (path), displayText (problem));
            return false;
        }
        return true;
    }
} // namespace

int controlCommand (const std::vector<std::string>& words, Console& console)
{
    const Arguments arguments (words,
                               {{"to", 0, true},
                                {"from", 0, true, true},
                                {"listen", 0, true},
                                {"patch", 0, true},
                                {"pick", 0, true},
                                {"channel", 0, true},
                                {"map", 0, true},
                                {"no-default-map", 0, false},
                                {"no-thru", 0, false},
                                {"verbose", 0, false}});
    if (!arguments.operands().empty())
        throw UsageError ("takes no operands; name the synthesizer with --to PORT");
    const auto to = arguments.value ("to");
    if (!to)
        throw UsageError ("name the synthesizer's output with --to PORT (qorv ports lists them)");
    if (arguments.value ("pick") && !arguments.value ("patch"))
        throw UsageError ("--pick chooses among the patches of --patch FILE");
    const int channel = parseChannel (arguments.value ("channel"));
    const auto fromPorts = arguments.values ("from");

    // The sound to start from, read before anything is opened.
    std::optional<PatchModel> startSound;
    if (const auto patchFile = arguments.value ("patch"))
    {
        std::vector<PatchModel> patches;
        std::string whyNot;
        const PatchModel* chosen = readPatchFile (*patchFile, patches, whyNot)
                                       ? choosePatch (patches, arguments.value ("pick"), "--pick ", whyNot)
                                       : nullptr;
        if (chosen == nullptr)
        {
            console.error (displayText (*patchFile), whyNot);
            return exitFailure;
        }
        if (const int wrong = valuesToCorrect (*chosen); wrong > 0)
            console.error (displayText (*patchFile),
                           counted (static_cast<size_t> (wrong), "value", "values") +
                               " a patch cannot hold sent corrected");
        startSound = *chosen;
        startSound->correctValues();
    }

    MessageLoop loop;
    EditorModel model;
    auto& engine = model.engine();
    auto& session = model.session();
    auto& translator = model.controllers();
    if (const auto map = arguments.value ("map"); map && !readMapFile (*map, translator, console))
        return exitFailure;
    translator.setUsesDefaultMap (!arguments.has ("no-default-map"));
    engine.setPassThrough (!arguments.has ("no-thru"));
    engine.setMidiChannel (channel);
    // The synthesizer plays whatever it played before: Qorv knows its sound once it sends or hears it.
    session.forgetSynthesizerSound();
    session.setSyncManual (true);
    session.setSyncControlChanges (true);

    const auto output = findPort (engine, PortDirection::output, *to, console);
    if (!output)
        return exitFailure;
    std::optional<MidiEngine::DeviceInfo> listened;
    if (const auto listen = arguments.value ("listen"))
    {
        listened = findPort (engine, PortDirection::input, *listen, console);
        if (!listened)
            return exitFailure;
    }
    std::vector<MidiEngine::DeviceInfo> sources;
    for (const auto& from : fromPorts)
    {
        const auto source = findPort (engine, PortDirection::input, from, console);
        if (!source)
            return exitFailure;
        sources.push_back (*source);
    }

    TranslationReport report (session, console, arguments.has ("verbose"));
    model.addListener (report);
    // A controller unplugged and plugged in again is connected again, by its name.
    engine.onDevicesChanged = [&engine, &sources]
    {
        const auto listed = engine.getInputDevices();
        for (const auto& source : sources)
            for (const auto& device : listed)
                if (device.name == source.name)
                    engine.addControlSource (device.endpoint);
    };

    StopSignals signals;
    if (listened)
        engine.openInput (listened->endpoint);
    engine.openOutput (output->endpoint);
    if (startSound)
    {
        session.restoreActivePatch (*startSound, *startSound);
        session.resend();
    }
    for (const auto& source : sources)
        engine.addControlSource (source.endpoint);
    console.note ("translating control changes on " + std::string (MidiEngine::controlPortName) + " (" +
                  addressOf (engine.controlPortEndpoint()) + ") for " + output->name + " on channel " +
                  std::to_string (channel + 1) +
                  (listened ? ", following " + listened->name + " (" + addressOf (listened->endpoint) + ")" : "") +
                  "; Ctrl+C stops");

    loop.runUntil ([&] { return signals.received(); });
    model.removeListener (report);
    // Delivers what still waits for the link, whole, then lets go of the ports.
    engine.close();
    console.note ("stopped by " + signals.name());
    const bool reported = report.finish();
    return console.finish() && reported ? exitSuccess : exitFailure;
}
} // namespace QorvCli
