#include "capture/PreviewTake.h"
#include "control/PanelControls.h"

#include "TakeTestSupport.h"

#include <gtest/gtest.h>

namespace
{
using namespace std::chrono_literals;
using Take = PreviewTake;
using Sent = MemorySound::Sent;

constexpr double digitalSilence = AudioAnalysis::silenceDb;

/** A plain patch: saw on, full VCA, instant attack, short release, VCF Freq as given. */
PatchModel plainPatch (uint8_t vcfFreq, uint8_t release = 10)
{
    PatchModel patch;
    patch.data.fill (0);
    patch.data[static_cast<size_t> (PanelControl::vcfFreq)] = vcfFreq;
    patch.data[static_cast<size_t> (PanelControl::vcaLevel)] = 100;
    patch.data[static_cast<size_t> (PanelControl::sustain)] = 127;
    patch.data[static_cast<size_t> (PanelControl::release)] = release;
    patch.data[PatchBits::dcoFlagsIndex] = PatchBits::range8 | PatchBits::sawBit | PatchBits::chorusOffBits;
    return patch;
}

class PreviewTakeTest : public testing::Test
{
protected:
    PreviewTakeTest()
    {
        std::string whyNot;
        sound.open ("memory", whyNot);
    }

    /** Runs one take to its end on the sound's clock. */
    const Take::Result& record (Take& take)
    {
        take.start (sound.now);
        EXPECT_TRUE (runClock (
            sound, [&take] (auto now) { take.tick (now); }, [&take] { return take.isDone(); }));
        return take.result();
    }

    MemorySound sound;
    TakeSettings settings;
};
} // namespace

TEST_F (PreviewTakeTest, StepsGoOutInOrderAtTheirTimesAndTheTakeStartsJustBeforeTheSound)
{
    const PatchModel patch = plainPatch (64);
    Take take (sound, sound, patch, settings, digitalSilence);
    const auto& result = record (take);
    ASSERT_EQ (result.outcome, Take::Outcome::recorded);
    EXPECT_EQ (result.flags, 0u);

    ASSERT_EQ (sound.sent.size(), 4u);
    EXPECT_EQ (sound.sent[0].kind, Sent::patch);
    EXPECT_EQ (sound.sent[0].bytes, Take::flushPatch (patch).data);
    EXPECT_EQ (sound.sent[0].bytes[static_cast<size_t> (PanelControl::release)], 0);
    EXPECT_EQ (sound.sent[0].bytes[static_cast<size_t> (PanelControl::vcaLevel)], 0);
    EXPECT_EQ (sound.sent[1].kind, Sent::patch);
    EXPECT_EQ (sound.sent[1].bytes, patch.data);
    EXPECT_EQ (sound.sent[2].kind, Sent::noteOn);
    EXPECT_EQ (sound.sent[2].note, 60);
    EXPECT_EQ (sound.sent[3].kind, Sent::noteOff);
    const auto gap = [] (const Sent& a, const Sent& b) { return std::chrono::duration<double> (b.at - a.at).count(); };
    EXPECT_GE (gap (sound.sent[0], sound.sent[1]), 0.080);
    EXPECT_GE (gap (sound.sent[1], sound.sent[2]), 0.060 + 0.00768);
    EXPECT_LT (gap (sound.sent[1], sound.sent[2]), 0.060 + 0.00768 + 0.006);
    EXPECT_NEAR (gap (sound.sent[2], sound.sent[3]), 1.0, 0.006);

    // The voice starts 4 ms after the note-on; the stored audio 5 ms before that.
    EXPECT_NEAR (result.onsetOffset, 0.004, 0.0002);
    const double rate = result.sampleRate;
    EXPECT_EQ (AudioAnalysis::peakDb (result.audio.data(), static_cast<size_t> (0.0045 * rate)),
               AudioAnalysis::silenceDb);
    EXPECT_GT (AudioAnalysis::peakDb (result.audio.data(), static_cast<size_t> (0.0055 * rate)), -70.0);
    // It sounds as its patch from the start to the note-off, and ends 50 ms after the release with a fade.
    EXPECT_TRUE (soundsAt (result.audio, rate, SynthModel::markerFrequency (64), 0.006, 1.0));
    const double release = 10 / 127.0 * 5.0;
    EXPECT_NEAR (result.audio.size() / rate, 0.005 + 1.0 + release + 0.050, 0.01);
    EXPECT_EQ (result.audio.back(), 0.0f);

    EXPECT_NEAR (result.loudness.loudness + result.gain, -20.0, 0.05);
    EXPECT_NEAR (result.timings.flush, 0.080, 0.006);
    EXPECT_NEAR (result.timings.phrase, 1.0, 0.006);
    EXPECT_GT (result.timings.tail, release);
}

TEST_F (PreviewTakeTest, ARingingVoiceIsSilencedByTheFlushAndTakesNoPartInTheNextTake)
{
    // The first patch rings for 5 s after its note; parameters are live, so
    // without the flush the second patch's dump would make it ring on in the
    // second patch's sound.
    Take first (sound, sound, plainPatch (20, 127), settings, digitalSilence);
    const auto& ringing = record (first);
    ASSERT_EQ (ringing.outcome, Take::Outcome::recorded);
    EXPECT_EQ (ringing.flags, unsigned (Take::tailCut));
    EXPECT_NEAR (ringing.audio.size() / ringing.sampleRate, 0.005 + 1.0 + 4.0, 0.03);

    Take second (sound, sound, plainPatch (100), settings, digitalSilence);
    const auto& result = record (second);
    ASSERT_EQ (result.outcome, Take::Outcome::recorded);
    EXPECT_FALSE (result.flags & Take::ringing);
    EXPECT_TRUE (soundsAt (result.audio, result.sampleRate, SynthModel::markerFrequency (100), 0.006, 1.0));
}

TEST_F (PreviewTakeTest, AnInputThatNeverQuietensIsFlaggedAndTheTakeGoesOn)
{
    sound.humDb = -100.0; // over the floor + 10 dB, under the onset threshold
    Take take (sound, sound, plainPatch (64), settings, digitalSilence);
    const auto& result = record (take);
    ASSERT_EQ (result.outcome, Take::Outcome::recorded);
    EXPECT_EQ (result.flags, unsigned (Take::ringing | Take::tailCut));
    EXPECT_NEAR (result.timings.wait, 5.0, 0.006);
    EXPECT_NEAR (result.timings.tail, 4.0, 0.006);
}

TEST_F (PreviewTakeTest, OutcomesOtherThanARecording)
{
    PatchModel silent = plainPatch (64);
    silent.data[PatchBits::dcoFlagsIndex] = PatchBits::range8 | PatchBits::chorusOffBits; // no wave at all
    {
        SCOPED_TRACE ("a patch without a sound");
        Take take (sound, sound, silent, settings, digitalSilence);
        EXPECT_EQ (record (take).outcome, Take::Outcome::noAudio);
        EXPECT_TRUE (take.result().audio.empty());
    }
    {
        SCOPED_TRACE ("capture overran during the take");
        sound.overrunTimes.push_back (sound.now + 500ms);
        Take take (sound, sound, plainPatch (64), settings, digitalSilence);
        EXPECT_EQ (record (take).outcome, Take::Outcome::overrun);
    }
    {
        SCOPED_TRACE ("the sound starts later than the onset search looks");
        sound.startDelay = [] { return 0.350; };
        Take take (sound, sound, plainPatch (64), settings, digitalSilence);
        EXPECT_EQ (record (take).outcome, Take::Outcome::noAudio);
    }
    {
        SCOPED_TRACE ("the input went away");
        sound.startDelay = [] { return 0.004; };
        sound.failed = "The device was unplugged.";
        Take take (sound, sound, plainPatch (64), settings, digitalSilence);
        EXPECT_EQ (record (take).outcome, Take::Outcome::inputFailed);
        EXPECT_EQ (take.result().why, "The device was unplugged.");
    }
}

TEST_F (PreviewTakeTest, AbandoningLetsTheHeldNoteGo)
{
    Take take (sound, sound, plainPatch (64), settings, digitalSilence);
    take.start (sound.now);
    runClock (
        sound, [&take] (auto now) { take.tick (now); }, [&take] { return take.step() == Take::Step::playing; });
    take.abandon();
    EXPECT_EQ (take.result().outcome, Take::Outcome::abandoned);
    ASSERT_FALSE (sound.sent.empty());
    EXPECT_EQ (sound.sent.back().kind, Sent::noteOff);
}

TEST (PreviewTakeFlagsTest, FlagsAndPhrasesRoundTripThroughTheirText)
{
    for (const unsigned flags : {0u, 1u, 3u, 6u, 15u})
        EXPECT_EQ (PreviewTake::parseFlags (PreviewTake::flagsText (flags)), flags);
    EXPECT_EQ (PreviewTake::flagsText (PreviewTake::ringing | PreviewTake::clipped), "ringing, clipped");

    struct Case
    {
        int note;
        double hold;
        const char* name;
    };
    for (const auto& c : {Case{60, 1.0, "note60-1s"}, Case{48, 2.5, "note48-2.5s"}, Case{127, 0.125, "note127-0.125s"}})
    {
        const Phrase phrase{c.note, c.hold};
        EXPECT_EQ (phrase.name(), c.name);
        ASSERT_TRUE (Phrase::parse (c.name));
        EXPECT_EQ (*Phrase::parse (c.name), phrase);
    }
    for (const char* bad : {"", "note60", "note-1s", "note60-1.0s", "note128-1s", "note60-0s", "note060-1s", "x60-1s"})
        EXPECT_FALSE (Phrase::parse (bad)) << bad;
}
