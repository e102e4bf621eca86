// qorv voicecheck: the health of the synthesizer's six voices, from its audio output.

#include "capture/VoiceCheck.h"
#include "capture/alsa/AlsaAudioInput.h"
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/MidiSetup.h"
#include "editor/EngineSynthOutput.h"

#include <cmath>

namespace QorvCli
{
int voicecheckCommand (const std::vector<std::string>& words, Console& console)
{
    const Arguments arguments (words, {{"to", 0, true}, {"from", 0, true}, {"channel", 0, true}, {"json", 0, false}});
    if (!arguments.operands().empty())
        throw UsageError ("takes no operands");
    const auto wiring = requireSynthesizerWiring (arguments);
    const int channel = parseChannel (arguments.value ("channel"));
    const bool json = arguments.has ("json");

    MessageLoop loop;
    MidiEngine engine;
    const auto output = findPort (engine, PortDirection::output, wiring.outputPort, console);
    if (!output)
        return exitFailure;
    AlsaAudioInput input;
    std::string whyNot;
    if (!input.open (wiring.inputDevice, whyNot))
    {
        console.error (wiring.inputDevice, whyNot);
        return exitFailure;
    }
    engine.setMidiChannel (channel);
    engine.openOutput (output->endpoint);
    EngineSynthOutput synthesizer (engine);
    VoiceCheck check (input, synthesizer, VoiceCheck::Settings{});
    if (!json)
        console.note ("checking the voices through " + displayText (output->name) + " (" +
                      addressOf (output->endpoint) + "), in from " + displayText (wiring.inputDevice) + ": about " +
                      std::to_string (static_cast<int> (std::lround (check.seconds()))) + " seconds; Ctrl+C stops");

    StopSignals signals;
    check.start (VoiceCheck::Clock::now());
    loop.runUntil (
        [&]
        {
            check.tick (VoiceCheck::Clock::now());
            return check.phase() == VoiceCheck::Phase::finished || signals.received();
        },
        std::chrono::milliseconds (5));
    if (signals.received())
    {
        check.stop();
        console.note ("stopped by " + signals.name());
        engine.close();
        return exitFailure;
    }
    engine.close();
    input.close();
    if (!check.problem().empty())
    {
        console.error (wiring.inputDevice, check.problem());
        return exitFailure;
    }
    if (json)
        console.print (check.report().json());
    else
        console.write (check.report().text());
    return console.finish() ? exitSuccess : exitFailure;
}
} // namespace QorvCli
