#pragma once

#include "capture/AudioInput.h"
#include "capture/CaptureTape.h"
#include "capture/SynthOutput.h"
#include "patch/PatchModel.h"

#include <functional>
#include <memory>
#include <optional>

/** Helps the owner trim one voice's filter: plays short notes until the
    rotation reaches the voice, holds a note on it with the voice check's
    test patch, and tells its tuning in cents against a reference five times
    a second while a trimmer is turned. The rotation is the one the voice
    check found; notes played on the instrument meanwhile move it. Plain
    logic over a clock passed in, like the check. */
class TrimAssistant
{
public:
    using Clock = AudioInput::Clock;
    using TimePoint = Clock::time_point;

    struct Setup
    {
        int voices = 6;              // in the rotation
        int nextVoice = 0;           // from 0: the voice the next note goes to
        double referenceHz = 0.0;    // the median voice's pitch at `vcfFreq`
        PatchModel patch;            // the check's test patch at that point
        double readingSeconds = 0.2; // how often, and over how much audio, the cents are read
    };

    TrimAssistant (AudioInput& input, SynthOutput& output, Setup setup);
    ~TrimAssistant();

    /** Each new reading in cents against the reference; nothing when the voice is silent. */
    std::function<void (std::optional<double>)> onReading;

    /** Starts holding a note on `voice` (from 0); a held note is let go first. */
    void hold (int voice, TimePoint now);
    void tick (TimePoint now);
    /** Lets the note go. */
    void release();

    bool isHolding() const { return holding; }
    /** The voice the next note goes to, from 0. */
    int nextVoice() const { return next; }

    TrimAssistant (const TrimAssistant&) = delete;
    TrimAssistant& operator= (const TrimAssistant&) = delete;

private:
    AudioInput& input;
    SynthOutput& output;
    const Setup setup;
    int next;
    int stepsLeft = 0; // short notes still to play before the held one
    bool holding = false, stepping = false;
    int key = 60;
    TimePoint lastAction{}, lastReading{}, heldSince{};
    std::unique_ptr<CaptureTape> tape;
};
