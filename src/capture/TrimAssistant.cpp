#include "capture/TrimAssistant.h"

#include "capture/AudioAnalysis.h"

#include <cmath>

namespace
{
constexpr auto stepLength = std::chrono::milliseconds (80);  // a short note and its gap, to move the rotation on
constexpr auto settleTime = std::chrono::milliseconds (150); // before the first reading of a held note
} // namespace

TrimAssistant::TrimAssistant (AudioInput& audioInput, SynthOutput& synthOutput, Setup assistantSetup)
    : input (audioInput), output (synthOutput), setup (std::move (assistantSetup)), next (setup.nextVoice)
{
}

TrimAssistant::~TrimAssistant()
{
    release();
}

void TrimAssistant::hold (int voice, TimePoint now)
{
    release();
    output.sendPatch (setup.patch);
    stepsLeft = ((voice - next) % setup.voices + setup.voices) % setup.voices;
    stepping = true;
    lastAction = now;
    tick (now);
}

void TrimAssistant::tick (TimePoint now)
{
    if (stepping)
    {
        if (now - lastAction < stepLength)
            return;
        lastAction = now;
        if (stepsLeft > 0)
        {
            output.noteOn (key);
            output.noteOff (key);
            next = (next + 1) % setup.voices;
            --stepsLeft;
            return;
        }
        stepping = false;
        output.noteOn (key);
        next = (next + 1) % setup.voices;
        holding = true;
        heldSince = lastReading = now;
        tape = std::make_unique<CaptureTape> (input);
        return;
    }
    if (!holding)
        return;
    tape->pull();
    const auto every =
        std::chrono::duration_cast<Clock::duration> (std::chrono::duration<double> (setup.readingSeconds));
    if (now - heldSince < settleTime || now - lastReading < every || !tape->hasStarted())
        return;
    lastReading = now;
    const auto& audio = tape->samples();
    const auto frames = static_cast<size_t> (setup.readingSeconds * tape->sampleRate());
    if (audio.size() < frames)
        return;
    const float* latest = audio.data() + audio.size() - frames;
    const double pitch = AudioAnalysis::rmsDb (latest, frames) > -70.0
                             ? AudioAnalysis::frequency (latest, frames, tape->sampleRate())
                             : 0.0;
    std::optional<double> cents;
    if (pitch > 0.0 && setup.referenceHz > 0.0)
        cents = 1200.0 * std::log2 (pitch / setup.referenceHz);
    if (onReading)
        onReading (cents);
}

void TrimAssistant::release()
{
    if (holding)
        output.noteOff (key);
    holding = stepping = false;
    tape.reset();
}
