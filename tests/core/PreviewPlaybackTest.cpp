#include "previews/PreviewPlayback.h"

#include <gtest/gtest.h>

#include <numeric>

namespace
{
std::unique_ptr<PreviewPlayback::Clip> ramp (size_t length, double rate, float gain = 1.0f)
{
    auto clip = std::make_unique<PreviewPlayback::Clip>();
    clip->samples.resize (length);
    std::iota (clip->samples.begin(), clip->samples.end(), 1.0f);
    clip->sampleRate = rate;
    clip->gain = gain;
    return clip;
}

/** Renders `frames` into two channels and returns the first. */
std::vector<float> render (PreviewPlayback& playback, int frames, double rate)
{
    std::vector<float> left (static_cast<size_t> (frames)), right (static_cast<size_t> (frames));
    float* channels[] = {left.data(), right.data()};
    playback.render (channels, 2, frames, rate);
    EXPECT_EQ (left, right);
    return left;
}
} // namespace

TEST (PreviewPlaybackTest, AClipPlaysOnceWithItsGainAndEnds)
{
    PreviewPlayback playback;
    EXPECT_FALSE (playback.isPlaying());
    playback.play (ramp (100, 48000.0, 0.5f));
    EXPECT_TRUE (playback.isPlaying());
    const auto first = render (playback, 64, 48000.0);
    EXPECT_FLOAT_EQ (first[0], 0.5f);
    EXPECT_FLOAT_EQ (first[63], 32.0f);
    EXPECT_TRUE (playback.isPlaying());
    const auto rest = render (playback, 64, 48000.0);
    EXPECT_FLOAT_EQ (rest[34], 49.5f); // the 99th sample, the last with one after it
    EXPECT_EQ (rest[36], 0.0f);
    EXPECT_FALSE (playback.isPlaying());
}

TEST (PreviewPlaybackTest, ANewClipReplacesThePlayingOneAndStopSilences)
{
    PreviewPlayback playback;
    playback.play (ramp (1000, 48000.0));
    render (playback, 10, 48000.0);
    playback.play (ramp (1000, 48000.0, 2.0f));
    EXPECT_FLOAT_EQ (render (playback, 10, 48000.0)[0], 2.0f); // from the new one's start
    playback.stop();
    EXPECT_FALSE (playback.isPlaying());
    const auto after = render (playback, 10, 48000.0);
    EXPECT_EQ (after, std::vector<float> (10, 0.0f));
    playback.collect(); // frees the two clips given back; ASan would see them leak otherwise
}

TEST (PreviewPlaybackTest, AClipAtAnotherRateIsPlayedAtItsOwnSpeed)
{
    PreviewPlayback playback;
    playback.play (ramp (48000, 48000.0));
    int rendered = 0;
    while (playback.isPlaying() && rendered < 100000)
    {
        render (playback, 441, 44100.0);
        rendered += 441;
    }
    EXPECT_NEAR (rendered, 44100, 441);
}
