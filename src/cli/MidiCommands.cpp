// qorv ports and qorv send: the MIDI devices, and one patch to the synthesizer.

#include "capture/alsa/AlsaAudioInput.h"
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/MidiSetup.h"
#include "cli/PatchFiles.h"
#include "midi/OutputPacer.h"
#include "midi/protocol/JunoMessages.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace QorvCli
{
namespace
{
    void printDevices (Console& console, const char* heading, const std::vector<MidiEngine::DeviceInfo>& devices)
    {
        console.print (heading);
        if (devices.empty())
            console.print ("  (none)");
        size_t width = 0;
        for (const auto& device : devices)
            width = std::max (width, addressOf (device.endpoint).size());
        for (const auto& device : devices)
        {
            std::string address = addressOf (device.endpoint);
            address.resize (width, ' ');
            console.print ("  " + address + "  " + displayText (device.name));
        }
    }
} // namespace

int portsCommand (const std::vector<std::string>& words, Console& console)
{
    const Arguments arguments (words, {{"audio", 0, false}});
    if (!arguments.operands().empty())
        throw UsageError ("takes no operands");
    if (arguments.has ("audio"))
    {
        // The sound cards' inputs by ALSA id, for qorv record --from.
        const auto devices = AlsaAudioInput().devices();
        console.print (devices.empty() ? "Audio inputs: none" : "Audio inputs:");
        for (const auto& device : devices)
            console.print ("  " + displayText (device.id) +
                           (device.description.empty() ? "" : "  " + displayText (device.description)));
        return console.finish() ? exitSuccess : exitFailure;
    }

    MessageLoop loop;
    MidiEngine engine;
    if (!engine.isAvailable())
    {
        console.note (engine.unavailableReason());
        return exitFailure;
    }
    printDevices (console, "Inputs:", engine.getInputDevices());
    printDevices (console, "Outputs:", engine.getOutputDevices());
    return console.finish() ? exitSuccess : exitFailure;
}

int sendCommand (const std::vector<std::string>& words, Console& console)
{
    const Arguments arguments (words, {{"patch", 0, true}, {"to", 0, true}, {"channel", 0, true}});
    if (arguments.operands().size() != 1)
        throw UsageError ("name one FILE to send from");
    const auto port = arguments.value ("to");
    if (!port)
        throw UsageError ("name the output with --to PORT (qorv ports lists them)");
    const int channel = parseChannel (arguments.value ("channel"));
    const std::string& path = arguments.operands().front();

    std::vector<PatchModel> patches;
    std::string whyNot;
    if (!readPatchFile (path, patches, whyNot))
    {
        console.error (path, whyNot);
        return exitFailure;
    }
    const PatchModel* patch = choosePatch (patches, arguments.value ("patch"), "--patch ", whyNot);
    if (patch == nullptr)
    {
        console.error (path, whyNot);
        return exitFailure;
    }

    MessageLoop loop;
    MidiEngine engine;
    const auto device = findPort (engine, PortDirection::output, *port, console);
    if (!device)
        return exitFailure;
    if (const int wrong = valuesToCorrect (*patch); wrong > 0)
        console.error (
            path, counted (static_cast<size_t> (wrong), "value", "values") + " a patch cannot hold sent corrected");

    engine.setMidiChannel (channel);
    engine.openOutput (device->endpoint);
    engine.sendPatch (*patch, 0); // as the window sends every patch
    // Closing delivers what has left for the link; the dump left at once, the link being idle.
    engine.close();
    // Another send straight after this one must still find the link free.
    std::this_thread::sleep_for (
        std::chrono::microseconds (JunoMessages::patchDumpSize * 1000000 / OutputPacer::dinBytesPerSecond));

    console.print ("Sent " + displayText (patch->name) + " to " + displayText (device->name) + " (" +
                   addressOf (device->endpoint) + ") on channel " + std::to_string (channel + 1));
    return console.finish() ? exitSuccess : exitFailure;
}
} // namespace QorvCli
