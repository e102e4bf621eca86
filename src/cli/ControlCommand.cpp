// qorv control: the window's translation of controllers into the
// synthesizer's parameter changes, without the window, for a computer that
// sits between a DAW or a controller and the synthesizer.

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/MidiSetup.h"
#include "cli/PatchFiles.h"
#include "editor/EditorModel.h"
#include "files/FileBytes.h"

#include <memory>

namespace QorvCli
{
namespace
{
    /** A map file is a few dozen lines; anything this big is something else. */
    constexpr size_t maxMapFileSize = 1 << 16;

    /** Says each translated change on a line of its own, when asked to. */
    class ChangeReporter final : public EditorModel::Listener
    {
    public:
        ChangeReporter (const EditSession& sessionShown, Console& output) : session (sessionShown), console (output) {}

        void controlChangeTranslated (int channel, int controller, int, ControllerTranslator::Outcome outcome) override
        {
            if (outcome.kind != ControllerTranslator::Outcome::Kind::moved)
                return;
            const auto shown = PanelControls::shown (outcome.control, session.activePatch().data);
            console.print ("CC " + std::to_string (controller) + " ch " + std::to_string (channel + 1) + " -> " +
                           shown.name + " " + shown.value);
            console.flush();
        }

    private:
        const EditSession& session;
        Console& console;
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
    const int channel = parseChannel (arguments.value ("channel"));
    const auto fromPorts = arguments.values ("from");

    MessageLoop loop;
    EditorModel model;
    auto& engine = model.engine();
    auto& translator = model.controllers();
    if (const auto map = arguments.value ("map"); map && !readMapFile (*map, translator, console))
        return exitFailure;
    translator.setUsesDefaultMap (!arguments.has ("no-default-map"));
    engine.setPassThrough (!arguments.has ("no-thru"));
    engine.setMidiChannel (channel);

    const auto output = findPort (engine, PortDirection::output, *to, console);
    if (!output)
        return exitFailure;
    std::vector<MidiEngine::DeviceInfo> sources;
    for (const auto& from : fromPorts)
    {
        const auto source = findPort (engine, PortDirection::input, from, console);
        if (!source)
            return exitFailure;
        sources.push_back (*source);
    }

    ChangeReporter reporter (model.session(), console);
    if (arguments.has ("verbose"))
        model.addListener (reporter);
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
    engine.openOutput (output->endpoint);
    for (const auto& source : sources)
        engine.addControlSource (source.endpoint);
    console.note ("translating control changes on " + std::string (MidiEngine::controlPortName) + " (" +
                  addressOf (engine.controlPortEndpoint()) + ") for " + output->name + " on channel " +
                  std::to_string (channel + 1) + "; Ctrl+C stops");

    loop.runUntil ([&] { return signals.received(); });
    model.removeListener (reporter);
    // Delivers what still waits for the link, whole, then lets go of the ports.
    engine.close();
    console.note ("stopped by " + signals.name());
    return console.finish() ? exitSuccess : exitFailure;
}
} // namespace QorvCli
