// The previews' playback across its two threads, under ThreadSanitizer in
// the sanitizer build: clips handed to a running audio callback and back.

#include "previews/PreviewPlayback.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

TEST (PreviewPlaybackThreadTest, ClipsCrossToARunningCallbackAndBackWithoutALock)
{
    PreviewPlayback playback;
    std::atomic<bool> running{true};
    std::atomic<long> blocks{0};
    std::atomic<float> lastValue{0.0f};
    std::thread audio (
        [&]
        {
            std::vector<float> left (256), right (256);
            float* channels[] = {left.data(), right.data()};
            while (running)
            {
                std::fill (left.begin(), left.end(), 0.0f);
                playback.render (channels, 2, 256, 48000.0);
                lastValue = left[0];
                ++blocks;
                // Paced as a sound card would be, roughly: the last clip lasts seconds, not microseconds.
                std::this_thread::sleep_for (std::chrono::milliseconds (1));
            }
        });
    for (int i = 0; i < 2000; ++i)
    {
        auto clip = std::make_unique<PreviewPlayback::Clip>();
        clip->samples.assign (static_cast<size_t> (100 + i % 700), 0.25f);
        if (i % 7 == 0)
            playback.stop();
        else
            playback.play (std::move (clip));
        if (i % 50 == 0)
            std::this_thread::yield();
    }
    // The last one asked for is the one heard.
    auto last = std::make_unique<PreviewPlayback::Clip>();
    last->samples.assign (480000, 0.5f);
    playback.play (std::move (last));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds (30);
    while (lastValue.load() != 0.5f && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    EXPECT_EQ (lastValue.load(), 0.5f);
    EXPECT_TRUE (playback.isPlaying());
    running = false;
    audio.join();
    playback.collect(); // the others came back to be freed; LeakSanitizer would name any that did not
}
