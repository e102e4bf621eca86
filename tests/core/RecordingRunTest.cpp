#include "previews/RecordingRun.h"
#include "previews/PreviewFolder.h"

#include "TakeTestSupport.h"
#include "TempFolder.h"
#include "TonePatch.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace
{
using namespace std::chrono_literals;
using Event = RecordingRun::Event;
using State = RecordingRun::ItemState;
using Sent = MemorySound::Sent;

PatchModel silentPatch (const std::string& name, uint8_t vcfFreq = 50)
{
    PatchModel patch = tonePatch (name, vcfFreq);
    patch.data[PatchBits::dcoFlagsIndex] = PatchBits::range8 | PatchBits::chorusOffBits;
    return patch;
}

std::vector<int> allRows (size_t count)
{
    std::vector<int> rows (count);
    for (size_t i = 0; i < count; ++i)
        rows[i] = static_cast<int> (i);
    return rows;
}

class RecordingRunTest : public testing::Test
{
protected:
    RecordingRunTest() : folder (temp.path ("Bank.previews"))
    {
        std::string whyNot;
        sound.open ("memory", whyNot);
        options.inputId = "memory";
        options.date = [] { return std::string ("2024-05-01T12:00:00Z"); };
    }

    std::unique_ptr<RecordingRun> makeRun (const std::vector<PatchModel>& patches, bool onlyMissing = false)
    {
        auto run = std::make_unique<RecordingRun> (
            sound,
            sound,
            &folder,
            RecordingRun::plan (patches, allRows (patches.size()), &folder, Phrase{}, onlyMissing),
            options);
        run->onChange = [this] (Event event) { events.push_back (event); };
        return run;
    }

    bool runToEnd (RecordingRun& run)
    {
        run.start (sound.now);
        return runClock (
            sound,
            [&run] (auto now) { run.tick (now); },
            [&run]
            { return run.phase() == RecordingRun::Phase::finished || run.phase() == RecordingRun::Phase::stopped; });
    }

    /** The VCF Freq of each patch the synthesizer was sent to play, flushes left out. */
    std::vector<int> playedSounds() const
    {
        std::vector<int> played;
        for (size_t i = 0; i + 1 < sound.sent.size(); ++i)
            if (sound.sent[i].kind == Sent::patch && sound.sent[i + 1].kind == Sent::noteOn)
                played.push_back (sound.sent[i].bytes[5]);
        return played;
    }

    size_t count (Event event) const { return static_cast<size_t> (std::count (events.begin(), events.end(), event)); }

    /** Decodes the stored preview of the patch and checks it sounds as that patch. */
    void expectStored (const PatchModel& patch)
    {
        SCOPED_TRACE (patch.name);
        VorbisFile::Decoded decoded;
        std::string whyNot;
        ASSERT_TRUE (folder.load (PreviewInfo::fileNameOf (patch.data, Phrase{}), decoded, whyNot)) << whyNot;
        EXPECT_TRUE (
            soundsAt (decoded.samples, decoded.sampleRate, SynthModel::markerFrequency (patch.data[5]), 0.050, 1.0));
        EXPECT_EQ (decoded.tags.get ("TITLE"), patch.name);
    }

    TempFolder temp;
    PreviewFolder folder;
    MemorySound sound;
    RecordingRun::Options options;
    std::vector<Event> events;
};
} // namespace

TEST_F (RecordingRunTest, EachSoundIsRecordedOnceInRowOrderAndAPatchWithoutSoundIsNamed)
{
    const std::vector<PatchModel> patches = {tonePatch ("Bass", 30),
                                             tonePatch ("Bass copy", 30),
                                             silentPatch ("Nothing"),
                                             tonePatch ("Lead", 90),
                                             tonePatch ("Pad", 60)};
    auto run = makeRun (patches);
    ASSERT_EQ (run->items().size(), 4u);
    EXPECT_EQ (run->items()[0].rows, (std::vector<int>{0, 1}));
    ASSERT_TRUE (runToEnd (*run));

    EXPECT_EQ (run->phase(), RecordingRun::Phase::finished);
    EXPECT_EQ (playedSounds(), (std::vector<int>{30, 50, 90, 60}));
    const std::vector<State> states = {State::recorded, State::noAudio, State::recorded, State::recorded};
    for (size_t i = 0; i < states.size(); ++i)
        EXPECT_EQ (run->items()[i].state, states[i]) << i;
    EXPECT_EQ (events.front(), Event::floorMeasured);
    EXPECT_EQ (count (Event::recorded), 3u);
    EXPECT_EQ (count (Event::noAudio), 1u);
    EXPECT_EQ (events.back(), Event::finished);
    EXPECT_EQ (run->floorDb(), AudioAnalysis::silenceDb);

    for (const size_t row : {0u, 3u, 4u})
        expectStored (patches[row]);
    folder.refresh();
    EXPECT_EQ (folder.previews().size(), 3u);
    EXPECT_EQ (folder.find (patches[2].data, Phrase{}), nullptr);
    EXPECT_NEAR (run->medianOnset(), 0.004, 0.0005);
}

TEST_F (RecordingRunTest, ATakeDuringWhichCaptureOverranIsTakenAgain)
{
    const std::vector<PatchModel> patches = {tonePatch ("One", 30), tonePatch ("Two", 60), tonePatch ("Three", 90)};
    auto run = makeRun (patches);
    // Into the second take: the floor (0.58 s) and one take (about 1.3 s) come first.
    sound.overrunTimes = {sound.now + 2500ms};
    ASSERT_TRUE (runToEnd (*run));
    EXPECT_EQ (playedSounds(), (std::vector<int>{30, 60, 60, 90}));
    EXPECT_EQ (count (Event::takingAgain), 1u);
    EXPECT_EQ (run->lastRetakeReason(), "capture overran");
    EXPECT_EQ (run->items()[1].attempts, 2);
    EXPECT_EQ (run->items()[1].state, State::recorded);
    expectStored (patches[1]);

    // Overruns at every attempt: the patch fails and the run goes on.
    events.clear();
    sound.sent.clear();
    TempFolder other;
    PreviewFolder otherFolder (other.path ("x.previews"));
    RecordingRun again (
        sound, sound, &otherFolder, RecordingRun::plan (patches, {0, 1}, nullptr, Phrase{}, false), options);
    for (int i = 0; i < 60; ++i) // from the second take (about 2 s in) on
        sound.overrunTimes.push_back (sound.now + 2300ms + i * 100ms);
    again.start (sound.now);
    ASSERT_TRUE (runClock (
        sound,
        [&again] (auto now) { again.tick (now); },
        [&again] { return again.phase() == RecordingRun::Phase::finished; }));
    EXPECT_EQ (again.items()[0].state, State::recorded);
    EXPECT_EQ (again.items()[1].state, State::failed);
    EXPECT_EQ (again.items()[1].attempts, 3);
    EXPECT_EQ (again.items()[1].why, "capture overran at each of 3 takes");
}

TEST_F (RecordingRunTest, ATakeWhoseSoundStartsFarFromTheMedianIsTakenAgain)
{
    std::vector<PatchModel> patches;
    for (int i = 0; i < 5; ++i)
        patches.push_back (tonePatch ("P" + std::to_string (i), static_cast<uint8_t> (20 + 15 * i)));
    int notes = 0;
    sound.startDelay = [&notes] { return ++notes == 4 ? 0.060 : 0.005; }; // the fourth note comes 55 ms late once
    auto run = makeRun (patches);
    ASSERT_TRUE (runToEnd (*run));
    EXPECT_EQ (count (Event::takingAgain), 1u);
    EXPECT_EQ (run->items()[3].attempts, 2);
    EXPECT_EQ (run->items()[3].flags, 0u);
    EXPECT_NE (run->lastRetakeReason().find ("60 ms"), std::string::npos);

    // Late at every attempt: kept, flagged.
    events.clear();
    notes = 0;
    sound.startDelay = [&notes] { return ++notes >= 4 ? 0.080 : 0.005; };
    TempFolder other;
    PreviewFolder otherFolder (other.path ("x.previews"));
    RecordingRun again (
        sound, sound, &otherFolder, RecordingRun::plan (patches, {0, 1, 2, 3}, nullptr, Phrase{}, false), options);
    again.start (sound.now);
    ASSERT_TRUE (runClock (
        sound,
        [&again] (auto now) { again.tick (now); },
        [&again] { return again.phase() == RecordingRun::Phase::finished; }));
    EXPECT_EQ (again.items()[3].state, State::recorded);
    EXPECT_EQ (again.items()[3].flags, unsigned (PreviewTake::onsetOff));
}

TEST_F (RecordingRunTest, ThreeSoundingPatchesWithoutAudioInARowStopTheRun)
{
    for (auto& voice : sound.synth.traits)
        voice.levelDb = -300.0; // the cable is out
    const std::vector<PatchModel> patches = {silentPatch ("Quiet"),
                                             tonePatch ("A", 30),
                                             tonePatch ("B", 40),
                                             silentPatch ("Quiet 2", 45),
                                             tonePatch ("C", 50),
                                             tonePatch ("D", 60)};
    auto run = makeRun (patches);
    ASSERT_TRUE (runToEnd (*run));
    EXPECT_EQ (run->phase(), RecordingRun::Phase::stopped);
    EXPECT_EQ (run->stopReason(), RecordingRun::StopReason::noAudio);
    EXPECT_EQ (run->stopText(), "No audio from the synthesizer: check the cable to the input and the input's level");
    // The silent patches do not count: the third sounding one (C) stops it.
    EXPECT_EQ (playedSounds(), (std::vector<int>{50, 30, 40, 45, 50}));
    EXPECT_EQ (run->items()[5].state, State::waiting);
    EXPECT_EQ (run->currentIndex(), 5u);
}

TEST_F (RecordingRunTest, AnInterruptedRunIsCompletedByRecordingOnlyWhatIsMissing)
{
    std::vector<PatchModel> patches;
    for (int i = 0; i < 6; ++i)
        patches.push_back (tonePatch ("P" + std::to_string (i), static_cast<uint8_t> (10 + 20 * i)));
    {
        auto run = makeRun (patches);
        run->start (sound.now);
        runClock (
            sound, [&run] (auto now) { run->tick (now); }, [&run] { return run->doneCount() == 3; });
        run->tick (sound.now + 300ms); // in the middle of the fourth take
        run->stop();
        EXPECT_EQ (run->phase(), RecordingRun::Phase::stopped);
        ASSERT_FALSE (sound.sent.empty());
        EXPECT_EQ (sound.sent.back().kind, Sent::noteOff);
    }
    sound.sent.clear();
    PreviewFolder reopened (temp.path ("Bank.previews"));
    reopened.refresh();
    EXPECT_EQ (reopened.previews().size(), 3u);
    RecordingRun rest (sound,
                       sound,
                       &reopened,
                       RecordingRun::plan (patches, allRows (patches.size()), &reopened, Phrase{}, true),
                       options);
    ASSERT_EQ (rest.items().size(), 3u);
    rest.start (sound.now);
    ASSERT_TRUE (runClock (
        sound,
        [&rest] (auto now) { rest.tick (now); },
        [&rest] { return rest.phase() == RecordingRun::Phase::finished; }));
    EXPECT_EQ (playedSounds(), (std::vector<int>{70, 90, 110}));
    for (const auto& patch : patches)
        expectStored (patch);
}

TEST_F (RecordingRunTest, PauseTakesTheSamePatchAgainAndSkipPassesItOver)
{
    const std::vector<PatchModel> patches = {tonePatch ("One", 30), tonePatch ("Two", 60), tonePatch ("Three", 90)};
    auto run = makeRun (patches);
    run->start (sound.now);
    runClock (
        sound,
        [&run] (auto now) { run->tick (now); },
        [&run]
        { return run->takeOfCurrent() != nullptr && run->takeOfCurrent()->step() == PreviewTake::Step::playing; });
    run->pause();
    EXPECT_EQ (run->phase(), RecordingRun::Phase::paused);
    sound.advance (2s);
    run->start (sound.now);
    runClock (
        sound, [&run] (auto now) { run->tick (now); }, [&run] { return run->currentIndex() == 1; });
    run->skip (sound.now);
    ASSERT_TRUE (runClock (
        sound,
        [&run] (auto now) { run->tick (now); },
        [&run] { return run->phase() == RecordingRun::Phase::finished; }));
    // The first take was given up while it played; the second patch was skipped before its dump.
    EXPECT_EQ (playedSounds(), (std::vector<int>{30, 30, 90}));
    EXPECT_EQ (run->items()[0].attempts, 1);
    EXPECT_EQ (run->items()[1].state, State::skipped);
    EXPECT_EQ (run->items()[2].state, State::recorded);
}

TEST_F (RecordingRunTest, ATestTakeStoresNothing)
{
    const std::vector<PatchModel> patches = {tonePatch ("One", 30)};
    RecordingRun run (sound, sound, nullptr, RecordingRun::plan (patches, {0}, nullptr, Phrase{}, false), options);
    run.start (sound.now);
    ASSERT_TRUE (runClock (
        sound, [&run] (auto now) { run.tick (now); }, [&run] { return run.phase() == RecordingRun::Phase::finished; }));
    ASSERT_NE (run.lastResult(), nullptr);
    EXPECT_NEAR (run.lastResult()->onsetOffset, 0.004, 0.0005);
    EXPECT_FALSE (std::filesystem::exists (temp.path ("Bank.previews")));
}
