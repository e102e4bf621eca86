#pragma once

#include "capture/AudioInput.h"
#include "capture/PreviewTake.h"
#include "capture/SynthOutput.h"
#include "capture/TakeSettings.h"
#include "patch/PatchModel.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class PreviewFolder;

/** Records the previews of many patches, one take after another: measures
    the input's noise floor first, takes again a take during which capture
    overran or whose sound started far from the others', names the patches
    that gave no audio, stops when three patches that should sound in a row
    gave none, and stores each take as it is done. Identical patches are
    recorded once. Plain logic over a clock passed in, the audio input, the
    synthesizer's output and the previews folder; the window and `qorv
    record` are views of it. Use it on one thread. */
class RecordingRun
{
public:
    using Clock = AudioInput::Clock;
    using TimePoint = Clock::time_point;

    enum class ItemState
    {
        waiting,
        recorded,
        noAudio, // named, not stored, not taken again
        failed,  // capture overran at every attempt, or the file could not be written
        skipped
    };

    /** One sound to record: the patch of its first row, and every row that holds the same bytes. */
    struct Item
    {
        std::vector<int> rows; // places in the library, from 0
        PatchModel patch;
        ItemState state = ItemState::waiting;
        unsigned flags = 0; // PreviewTake::Flag of the stored take
        int attempts = 0;
        std::string why; // for a failed item
    };

    enum class Phase
    {
        setUp,          // nothing sent yet
        measuringFloor, // the flush patch is out; the input's quiet is measured
        recording,
        paused, // start() takes the current patch again
        finished,
        stopped // start() goes on from the current patch
    };

    enum class Event
    {
        floorMeasured,
        takeStarted, // takeOfCurrent() is new
        recorded,    // the current item is stored (or, without a folder, only taken)
        noAudio,     // the current item gave no audio
        takingAgain, // the last take is taken again (see lastRetakeReason())
        failed,      // the current item failed
        skipped,
        paused,
        finished,
        stopped
    };

    enum class StopReason
    {
        none,
        asked,       // stop()
        noAudio,     // patches that should sound gave none, several in a row
        inputFailed, // the capture device went away
        writeFailed  // a preview could not be stored
    };

    struct Options
    {
        TakeSettings take;
        /** Takes of one patch in all when capture overruns or the onset is off. */
        int attempts = 3;
        /** Patches that should sound, in a row without audio, that stop the run. */
        int silentLimit = 3;
        /** How far an onset may lie from the run's median, in seconds. */
        double onsetTolerance = 0.030;
        /** How much of the quiet input gives the noise floor, in seconds. */
        double floorSeconds = 0.5;
        /** The capture device's id, written into every preview. */
        std::string inputId;
        /** The date a preview carries; the current UTC time unless tests say otherwise. */
        std::function<std::string()> date;
    };

    static constexpr const char* noAudioAdvice =
        "No audio from the synthesizer: check the cable to the input and the input's level";

    /** The rows' patches as items, in row order, identical bytes once; with
        `onlyMissing`, sounds `folder` already has for the phrase are left out. */
    static std::vector<Item> plan (const std::vector<PatchModel>& patches,
                                   const std::vector<int>& rows,
                                   const PreviewFolder* folder,
                                   const Phrase& phrase,
                                   bool onlyMissing);

    /** Whether a patch should be heard at all: a wave, the sub oscillator,
        noise, or a resonance high enough to whistle. */
    static bool shouldSound (const PatchModel& patch);

    /** `folder` may be null: the takes are then only measured (the Test button). */
    RecordingRun (
        AudioInput& input, SynthOutput& output, PreviewFolder* folder, std::vector<Item> items, Options options);
    ~RecordingRun();

    /** Takes up earlier work at item `next`, with the states of those before it; only in the set-up phase. */
    void resume (const std::vector<ItemState>& states, size_t next);

    std::function<void (Event)> onChange;

    void start (TimePoint now);
    void tick (TimePoint now);
    /** Gives up the take under way; start() takes that patch again. */
    void pause();
    /** Passes over the current patch. */
    void skip (TimePoint now);
    void stop();

    Phase phase() const { return currentPhase; }
    StopReason stopReason() const { return reason; }
    /** Why the run stopped, in words; empty when it was asked to or has not stopped. */
    std::string stopText() const;
    const std::vector<Item>& items() const { return allItems; }
    size_t currentIndex() const { return index; }
    const Item* current() const { return index < allItems.size() ? &allItems[index] : nullptr; }
    /** The take under way or just done, or nullptr. */
    const PreviewTake* takeOfCurrent() const { return take.get(); }
    /** The last finished take's result, for the window's Test and the command's figures. */
    const PreviewTake::Result* lastResult() const { return hasLast ? &last : nullptr; }
    std::string lastRetakeReason() const { return retakeReason; }
    double floorDb() const { return floor; }
    /** The median of the onsets so far, in seconds after the note-on. */
    double medianOnset() const;
    /** Seconds the rest should take, from the takes so far. */
    double secondsLeft() const;
    /** How many items are done (in any state but waiting). */
    size_t doneCount() const;

    RecordingRun (const RecordingRun&) = delete;
    RecordingRun& operator= (const RecordingRun&) = delete;

private:
    void announce (Event event);
    void beginTake (TimePoint now);
    void takeDone (TimePoint now);
    void moveOn (TimePoint now);
    void stopFor (StopReason why);
    void store (const PreviewTake::Result& result);

    AudioInput& input;
    SynthOutput& output;
    PreviewFolder* const folder;
    const Options options;
    std::vector<Item> allItems;
    Phase currentPhase = Phase::setUp;
    StopReason reason = StopReason::none;
    size_t index = 0;
    std::unique_ptr<PreviewTake> take;
    std::unique_ptr<CaptureTape> floorTape;
    TimePoint floorStart{};
    double floor = AudioAnalysis::silenceDb;
    bool floorKnown = false;
    PreviewTake::Result last;
    bool hasLast = false;
    std::string retakeReason;
    std::vector<double> onsets;
    double takeSeconds = 0.0; // of every finished take
    int finishedTakes = 0;
    int silentInARow = 0;
    int storedSinceIndexSave = 0;
};
