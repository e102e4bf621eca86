#include "capture/AudioAnalysis.h"
#include "capture/Loudness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <vector>

namespace
{
constexpr double rate = 48000.0;

std::vector<float> silence (double seconds)
{
    return std::vector<float> (static_cast<size_t> (seconds * rate), 0.0f);
}

/** Adds a sine of `peakDb` from `start` for `length` seconds. */
void addSine (std::vector<float>& audio,
              double start,
              double length,
              double peakDb,
              double frequency = 1000.0,
              double phase = 0.0)
{
    const double amplitude = std::pow (10.0, peakDb / 20.0);
    const auto first = static_cast<size_t> (start * rate);
    const auto count = static_cast<size_t> (length * rate);
    for (size_t i = 0; i < count && first + i < audio.size(); ++i)
        audio[first + i] += static_cast<float> (amplitude * std::sin (2.0 * M_PI * frequency * i / rate + phase));
}

void addNoise (std::vector<float>& audio, double rmsDb)
{
    std::mt19937 random (7);
    std::normal_distribution<double> normal (0.0, std::pow (10.0, rmsDb / 20.0));
    for (auto& sample : audio)
        sample += static_cast<float> (normal (random));
}

long long frameOf (double seconds)
{
    return static_cast<long long> (seconds * rate);
}
} // namespace

TEST (AudioAnalysisTest, OnsetIsTheFirstLoudSampleOfThreeLoudBlocksNearTheNoteOn)
{
    struct Case
    {
        const char* what;
        double noiseDb;   // 0: digital silence
        double toneStart; // seconds; the note-on is at 0.5 s
        double toneDb;
        double clickAt;                 // a lone loud millisecond before the tone, or 0
        std::optional<double> expected; // seconds
    };
    const Case cases[] = {
        {"a tone 12 ms after the note-on", 0, 0.512, -20, 0, 0.512},
        {"a tone starting before the note-on, within 50 ms", 0, 0.470, -20, 0, 0.470},
        {"a tone beginning 60 ms early is already there when the search starts", 0, 0.440, -20, 0, 0.450},
        {"a tone at -75 dBFS stays under the -70 dBFS threshold", 0, 0.510, -75, 0, std::nullopt},
        {"a tone at -65 dBFS above digital silence is heard", 0, 0.510, -65, 0, 0.510},
        {"a tone 350 ms after the note-on is too late", 0, 0.850, -20, 0, std::nullopt},
        {"a lone click is not an onset", 0, 0.530, -20, 0.505, 0.530},
        {"over noise at -50 dB the threshold is -30 dB", -50, 0.520, -40, 0, std::nullopt},
        {"over noise at -50 dB a tone at -20 dB is found", -50, 0.520, -20, 0, 0.520},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        auto audio = silence (2.0);
        if (c.noiseDb != 0)
            addNoise (audio, c.noiseDb);
        addSine (audio, c.toneStart, 0.5, c.toneDb, 1000.0, M_PI / 2); // starts at its peak
        if (c.clickAt > 0)
            audio[static_cast<size_t> (frameOf (c.clickAt))] = 0.5f;
        const double floorDb = AudioAnalysis::noiseFloorDb (audio.data(), static_cast<size_t> (0.4 * rate), rate);
        const auto onset = AudioAnalysis::findOnset (audio.data(), audio.size(), rate, frameOf (0.5), floorDb);
        ASSERT_EQ (onset.has_value(), c.expected.has_value());
        if (c.expected)
        {
            EXPECT_NEAR (static_cast<double> (*onset) / rate, *c.expected, 0.0005);
        }
    }
}

TEST (AudioAnalysisTest, NoiseFloorReadsTheQuietBlocksNotTheClicks)
{
    auto audio = silence (0.5);
    addNoise (audio, -60.0);
    for (int click = 0; click < 5; ++click)
        audio[static_cast<size_t> (click * 4000 + 100)] = 0.9f;
    EXPECT_NEAR (AudioAnalysis::noiseFloorDb (audio.data(), audio.size(), rate), -60.0, 1.0);
    const auto quiet = silence (0.5);
    EXPECT_EQ (AudioAnalysis::noiseFloorDb (quiet.data(), quiet.size(), rate), AudioAnalysis::silenceDb);
}

TEST (AudioAnalysisTest, TheEndOfTheSoundAndTheFade)
{
    auto audio = silence (1.0);
    addSine (audio, 0.1, 0.4, -30);
    addSine (audio, 0.7, 0.001, -90); // under the threshold
    const size_t end = AudioAnalysis::endOfLastLoudSample (audio.data(), audio.size(), 0, -70.0);
    EXPECT_NEAR (static_cast<double> (end) / rate, 0.5, 0.001);
    EXPECT_EQ (AudioAnalysis::endOfLastLoudSample (audio.data(), audio.size(), frameOf (0.6), -70.0), frameOf (0.6));

    std::vector<float> ones (100, 1.0f);
    AudioAnalysis::fadeOut (ones.data(), ones.size(), 10);
    EXPECT_EQ (ones[89], 1.0f);
    EXPECT_FLOAT_EQ (ones[90], 0.9f);
    EXPECT_EQ (ones[99], 0.0f);
}

TEST (AudioAnalysisTest, ClippingIsThreeFullScaleSamplesInARow)
{
    auto audio = silence (0.1);
    addSine (audio, 0.0, 0.1, -0.5);
    EXPECT_FALSE (AudioAnalysis::isClipped (audio.data(), audio.size()));
    audio[100] = 1.0f;
    audio[101] = -1.0f; // two at the rail are not yet clipping
    EXPECT_FALSE (AudioAnalysis::isClipped (audio.data(), audio.size()));
    audio[102] = 0.9995f;
    EXPECT_TRUE (AudioAnalysis::isClipped (audio.data(), audio.size()));
}

TEST (AudioAnalysisTest, QuietWatchWaitsForItsWholeSpanBelowTheThreshold)
{
    AudioAnalysis::QuietWatch watch (rate, -60.0, 0.010, 0.030);
    auto loud = silence (0.1);
    addSine (loud, 0.0, 0.1, -20);
    watch.feed (loud.data(), loud.size());
    EXPECT_FALSE (watch.isQuiet());
    const auto quiet = silence (0.039); // the window must empty (10 ms) before 30 ms count
    watch.feed (quiet.data(), quiet.size());
    EXPECT_FALSE (watch.isQuiet());
    const auto more = silence (0.002);
    watch.feed (more.data(), more.size());
    EXPECT_TRUE (watch.isQuiet());
    watch.feed (loud.data(), 48);
    EXPECT_FALSE (watch.isQuiet());
}

TEST (LoudnessTest, ASineReadsItsPeakLevelAndTheGainReachesTheTarget)
{
    for (const double level : {-30.0, -20.0, -12.0})
    {
        SCOPED_TRACE (level);
        auto audio = silence (3.0);
        addSine (audio, 0.0, 3.0, level);
        const auto figures = Loudness::measure (audio.data(), audio.size(), rate);
        EXPECT_FALSE (figures.momentary);
        EXPECT_NEAR (figures.loudness, level, 0.1);
        const double gain = Loudness::gainTo (figures);
        for (auto& sample : audio)
            sample = static_cast<float> (sample * std::pow (10.0, gain / 20.0));
        const auto after = Loudness::measure (audio.data(), audio.size(), rate);
        EXPECT_NEAR (after.loudness, -20.0, 0.1);
        EXPECT_LE (after.truePeakDb, -1.0 + 0.05);
    }
}

TEST (LoudnessTest, AShortTakeReadsItsLargestMomentaryLoudness)
{
    auto audio = silence (0.3);
    addSine (audio, 0.0, 0.3, -20);
    const auto figures = Loudness::measure (audio.data(), audio.size(), rate);
    EXPECT_TRUE (figures.momentary);
    // 300 ms of sound in a 400 ms window: 10 log10 (0.75) below the sine's level.
    EXPECT_NEAR (figures.loudness, -20.0 + 10.0 * std::log10 (0.75), 0.15);
}

TEST (LoudnessTest, TruePeakSeesBetweenTheSamples)
{
    // A quarter of the sample rate, caught 45 degrees off its peaks: every sample is 3 dB under it.
    auto audio = silence (1.0);
    addSine (audio, 0.0, 1.0, -6.0, rate / 4.0, M_PI / 4.0);
    const auto figures = Loudness::measure (audio.data(), audio.size(), rate);
    EXPECT_NEAR (figures.samplePeakDb, -9.0, 0.1);
    EXPECT_NEAR (figures.truePeakDb, -6.0, 0.6);
}

TEST (LoudnessTest, GainIsHeldUnderThePeakLimitAndSilenceIsNotRaisedWithoutBound)
{
    struct Case
    {
        double loudness, truePeak, expected;
    };
    for (const auto& c :
         {Case{-30, -20, 10}, Case{-30, -3, 2}, Case{-10, -1, -10}, Case{-140, -140, Loudness::maxGain}})
    {
        Loudness::Figures figures;
        figures.loudness = c.loudness;
        figures.truePeakDb = c.truePeak;
        EXPECT_DOUBLE_EQ (Loudness::gainTo (figures), c.expected);
    }
    const auto quiet = silence (1.0);
    EXPECT_LE (Loudness::measure (quiet.data(), quiet.size(), rate).loudness, AudioAnalysis::silenceDb);
}
