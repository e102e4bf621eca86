#pragma once

#include "capture/AudioAnalysis.h"
#include "capture/AudioInput.h"
#include "capture/CaptureTape.h"
#include "capture/Loudness.h"
#include "capture/SynthOutput.h"
#include "capture/TakeSettings.h"
#include "patch/PatchModel.h"

#include <chrono>
#include <string>
#include <vector>

/** One recording of one patch: wait for quiet, send the flush patch, send the
    patch, play the phrase, record the tail; then find the onset in the
    audio, trim, fade and measure. Plain logic over a clock passed in, the
    audio input and the synthesizer's output; the run, the window's Test
    button and the benchmark drive it with tick(). Use it on one thread. */
class PreviewTake
{
public:
    using Clock = AudioInput::Clock;
    using TimePoint = Clock::time_point;

    enum class Step
    {
        notStarted,
        waitingForQuiet,
        flushing,      // the flush patch is out
        settling,      // the patch is out
        playing,       // the note is held
        recordingTail, // the note is let go
        done
    };

    enum class Outcome
    {
        pending,
        recorded,
        noAudio,     // no onset near the note-on
        overrun,     // capture lost frames during the take: it must be taken again
        inputFailed, // the input stopped working (see Result::why)
        abandoned
    };

    /** What is noted about a recorded take; it is kept all the same. */
    enum Flag : unsigned
    {
        ringing = 1u << 0,  // the input was not quiet before the take
        tailCut = 1u << 1,  // still sounding at the tail's limit: cut and faded
        clipped = 1u << 2,  // the input reached full scale
        onsetOff = 1u << 3, // the sound started far from the run's other takes (kept after the retakes)
    };

    /** How long each step took, in seconds. */
    struct Timings
    {
        double wait = 0, flush = 0, settle = 0, phrase = 0, tail = 0;
        double total() const { return wait + flush + settle + phrase + tail; }
    };

    struct Result
    {
        Outcome outcome = Outcome::pending;
        unsigned flags = 0;
        std::vector<float> audio; // trimmed and faded, as it is stored
        double sampleRate = 48000.0;
        double onsetOffset = 0.0; // seconds from the note-on to the onset
        double floorDb = AudioAnalysis::silenceDb;
        double peakDb = AudioAnalysis::silenceDb; // of the whole take, before trimming
        Loudness::Figures loudness;
        double gain = 0.0; // dB to the target loudness
        Timings timings;
        std::string why; // the input's failure
    };

    /** "ringing, tail cut": the flags' names, or empty. */
    static std::string flagsText (unsigned flags);
    /** The flags a text of flagsText names; unknown words are left out. */
    static unsigned parseFlags (const std::string& text);

    /** The patch as the flush sends it: Release 0 and VCA Level 0. */
    static PatchModel flushPatch (const PatchModel& patch);

    /** How long a patch dump takes to cross a MIDI link: 24 bytes at 31,250 baud. */
    static constexpr Clock::duration dumpLinkTime = std::chrono::microseconds (7680);

    PreviewTake (
        AudioInput& input, SynthOutput& output, const PatchModel& patch, const TakeSettings& settings, double floorDb);

    /** Begins waiting for quiet; nothing is sent yet. */
    void start (TimePoint now);
    /** Takes in the audio and moves on when a step's time or condition is reached. */
    void tick (TimePoint now);
    /** Gives up where it is: a held note is let go. */
    void abandon();

    Step step() const { return currentStep; }
    bool isDone() const { return currentStep == Step::done; }
    const Result& result() const { return outcome; }
    const CaptureTape& tape() const { return capture; }
    const PatchModel& patch() const { return recorded; }

    PreviewTake (const PreviewTake&) = delete;
    PreviewTake& operator= (const PreviewTake&) = delete;

private:
    /** Feeds `watch` the audio from `fromFrame` on that it has not had yet. */
    void feed (AudioAnalysis::QuietWatch& watch, long long fromFrame);
    void beginFlush (TimePoint now);
    void finish (TimePoint now, Outcome how);
    void analyse();

    AudioInput& input;
    SynthOutput& output;
    const PatchModel recorded;
    const TakeSettings settings;
    CaptureTape capture;
    AudioAnalysis::QuietWatch quietBefore, quietAfter;
    Step currentStep = Step::notStarted;
    Result outcome;
    uint64_t overrunsAtStart = 0;
    TimePoint startTime{}, flushTime{}, dumpTime{}, noteOnTime{}, noteOffTime{};
    size_t fedBefore = 0, fedAfter = 0; // frames each watch has had
};
