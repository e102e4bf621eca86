// qorv monitor: every message from a MIDI input, the Juno-106's decoded.

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/MidiSetup.h"
#include "cli/PatchText.h"
#include "midi/protocol/JunoMessages.h"

namespace QorvCli
{
namespace
{
    /** The lines that show one received message: a patch or manual dump with
        every parameter, a parameter change as "VCF Freq = 32", anything else as
        its bytes in hex. Juno-106 messages are decoded on whatever channel they
        come. */
    std::vector<std::string> describeMessage (const std::vector<uint8_t>& message)
    {
        using Kind = JunoMessages::Recognised::Kind;
        const auto recognised = message.size() >= 4
                                    ? JunoMessages::recognise (message.data(), message.size(), message[3])
                                    : JunoMessages::Recognised{};
        const std::string channel = message.size() >= 4 ? std::to_string ((message[3] & 0x0F) + 1) : "";
        // A dump is exactly 24 bytes; a shorter one would lend its F7 to the patch.
        const bool wholeDump = message.size() == JunoMessages::patchDumpSize;

        std::vector<std::string> lines;
        if (recognised.kind == Kind::patchDump && wholeDump)
            lines.push_back ("Patch dump " + recognised.patch.name + " (channel " + channel + ")");
        else if (recognised.kind == Kind::manualDump && wholeDump)
            lines.push_back ("Manual dump (channel " + channel + ")");
        else if (recognised.kind == Kind::paramChange)
            if (const std::string change = parameterChange (recognised.paramNumber, recognised.paramValue);
                !change.empty())
                return {change};

        if (lines.empty())
            return {hexBytes (message.data(), message.size())};
        for (const auto& line : parameterLines (recognised.patch.data))
            lines.push_back ("  " + line);
        return lines;
    }
} // namespace

int monitorCommand (const std::vector<std::string>& words, Console& console)
{
    const Arguments arguments (words, {{"from", 0, true}});
    if (!arguments.operands().empty())
        throw UsageError ("takes no operands");
    const auto port = arguments.value ("from");
    if (!port)
        throw UsageError ("name the input with --from PORT (qorv ports lists them)");

    bool outputFailed = false; // read by the watcher: it outlives the engine
    MessageLoop loop;
    MidiEngine engine;
    const auto device = findPort (engine, PortDirection::input, *port, console);
    if (!device)
        return exitFailure;

    engine.watchEveryMessage (
        [&console, &outputFailed] (const std::vector<uint8_t>& message)
        {
            if (outputFailed)
                return;
            for (const auto& line : describeMessage (message))
                console.print (line);
            outputFailed = !console.finish(); // flushed, so a pipe sees each message as it comes
        });
    engine.onDevicesChanged = [&engine, &console, &device, wasOpen = true]() mutable
    {
        if (engine.isInputOpen() != wasOpen)
            console.error (device->name, engine.isInputOpen() ? "back" : "gone; waiting for it to return");
        wasOpen = engine.isInputOpen();
    };

    StopSignals signals;
    engine.openInput (device->endpoint);
    console.note ("monitoring " + device->name + " (" + addressOf (device->endpoint) + "); Ctrl+C stops");
    loop.runUntil ([&] { return signals.received() || outputFailed; });
    engine.close();
    return outputFailed ? exitFailure : exitSuccess;
}
} // namespace QorvCli
