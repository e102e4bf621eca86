#pragma once

#include "capture/AudioInput.h"
#include "capture/CaptureTape.h"
#include "capture/SynthOutput.h"
#include "capture/VoiceVerdicts.h"
#include "patch/PatchModel.h"

#include <array>
#include <functional>
#include <memory>
#include <vector>

/** The health check of the synthesizer's voices. A test patch whose filter
    whistles by itself (waves off, resonance high, keyboard follow 0, VCA
    Gate) plays single notes on different keys, which the voices take in
    turn; their own pitch and level tell which voice played which, with no
    assumption about the order. Then the filter at a second point, a
    resonance ramp on each voice, a pass with the resonance at 0 (where the
    output should be silent: what is left is a thump at the gate, or noise)
    and a six-note chord. Plain logic over a clock passed in, the audio
    input and the synthesizer's output; the window and `qorv voicecheck`
    are views of it. Use it on one thread. */
class VoiceCheck
{
public:
    using Clock = AudioInput::Clock;
    using TimePoint = Clock::time_point;

    struct Settings
    {
        uint8_t lowFreq = 77;   // the VCF Freq of the first filter point
        uint8_t highFreq = 119; // of the second, about an octave higher
        uint8_t resonance = 127;
        int rotationNotes = 18;
        double hold = 0.5; // seconds each single note is held
        double gap = 0.15; // seconds between notes
        uint8_t rampFrom = 60, rampStep = 2;
        double rampStepSeconds = 0.04;
        double thumpHold = 0.3;
        std::array<int, 6> chord{48, 52, 55, 60, 64, 67};
        double chordHold = 1.0;
        VoiceVerdicts::Fingerprint fingerprint;
        VoiceVerdicts::Limits limits;
        /** Only the single notes (a few seconds), to warn of a dead voice before a long recording. */
        bool notesOnly = false;
    };

    /** The few seconds' check before a long recording: two rounds of single notes. */
    static Settings quickSettings();

    enum class Phase
    {
        setUp,
        running,
        finished,
        stopped
    };

    /** The test patch: waves, sub and noise off, VCF Res and Freq as given, the
        keyboard's follow as given, envelope and LFO out of the way, VCA Gate. */
    static PatchModel testPatch (uint8_t vcfFreq, uint8_t resonance, uint8_t keyboardFollow);

    VoiceCheck (AudioInput& input, SynthOutput& output, Settings settings);
    ~VoiceCheck();

    /** Told when the check finishes or stops. */
    std::function<void()> onChange;

    void start (TimePoint now);
    void tick (TimePoint now);
    /** Gives up; held notes are let go. */
    void stop();

    Phase phase() const { return currentPhase; }
    /** From 0 to 1, by the schedule's time. */
    double progress (TimePoint now) const;
    /** Seconds the whole check takes. */
    double seconds() const;
    /** Once finished. */
    const VoiceVerdicts::Report& report() const { return result; }
    /** "No audio from the synthesizer ..." when nothing sounded; empty otherwise. */
    const std::string& problem() const { return why; }
    /** The median voice's pitch at the first filter point, once finished; 0 when nothing sounded. */
    double referenceHz() const { return centreHz; }
    /** Notes played so far: with the rotation, which voice the next note goes to. */
    int notesPlayed() const;
    /** The captured audio, for a live view. */
    const CaptureTape* tape() const { return capture.get(); }

    VoiceCheck (const VoiceCheck&) = delete;
    VoiceCheck& operator= (const VoiceCheck&) = delete;

private:
    struct Action
    {
        enum Kind
        {
            patch,
            noteOn,
            noteOff
        } kind;
        double at; // seconds from the start
        PatchModel sent;
        int note = 0;
        TimePoint done{};
    };
    struct Note
    {
        size_t on, off; // indexes of its actions
    };
    struct Ramp
    {
        Note note;
        std::vector<std::pair<size_t, int>> steps; // each step's action and the resonance it sets
    };

    void plan();
    size_t add (Action::Kind kind, double at, const PatchModel& sent = {}, int note = 0);
    Note addNote (int key, double at, double hold);
    void analyse();

    AudioInput& input;
    SynthOutput& output;
    const Settings settings;
    std::vector<Action> actions;
    std::vector<Note> rotationNotes, highNotes, thumpNotes;
    std::vector<Ramp> ramps;
    std::vector<Note> chordNotes;
    double endsAt = 0.0;
    size_t next = 0;
    TimePoint startTime{};
    std::unique_ptr<CaptureTape> capture;
    Phase currentPhase = Phase::setUp;
    VoiceVerdicts::Report result;
    std::string why;
    double centreHz = 0.0;
};
