// The capture engine on the kernel's loopback sound card (snd-aloop, loaded
// beside the virtual MIDI ports): devices by ALSA id, the time of every frame
// from the device's own timestamps, and audio the reader did not take in
// time counted as an overrun.

#include "LoopbackSynthesizer.h"
#include "capture/AudioAnalysis.h"
#include "capture/alsa/AlsaAudioInput.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

namespace
{
using namespace std::chrono_literals;
using Clock = AudioInput::Clock;
const std::string loopbackCapture = "hw:CARD=Loopback,DEV=1";

SynthModel::PatchBytes tone (uint8_t vcfFreq)
{
    SynthModel::PatchBytes patch{};
    patch[5] = vcfFreq;
    patch[10] = 100;
    patch[16] = 0x10 | 0x02; // saw, 8'
    return patch;
}
} // namespace

TEST (AudioCapture, DevicesAreListedByAlsaIdAndABadOneIsRefusedByName)
{
    AlsaAudioInput input;
    bool found = false;
    for (const auto& device : input.devices())
        found = found || (device.id == loopbackCapture && device.description.find ("Loopback") != std::string::npos);
    EXPECT_TRUE (found);
    std::string whyNot;
    EXPECT_FALSE (input.open ("hw:CARD=Nothing,DEV=0", whyNot));
    EXPECT_NE (whyNot.find ("hw:CARD=Nothing,DEV=0"), std::string::npos) << whyNot;
    EXPECT_FALSE (input.isOpen());
}

TEST (AudioCapture, EveryFrameCarriesItsTimeAndTheSoundArrives)
{
    LoopbackSynthesizer synth ({});
    ASSERT_EQ (synth.problem(), "");
    AlsaAudioInput input;
    std::string whyNot;
    ASSERT_TRUE (input.open (loopbackCapture, whyNot)) << whyNot;
    EXPECT_EQ (input.sampleRate(), 48000.0);
    synth.play (tone (64), 60);

    std::vector<float> audio;
    std::vector<float> chunk (4096);
    Clock::time_point first{}, expected{};
    double worstGap = 0.0, latest = 1e9;
    const auto end = Clock::now() + 1500ms;
    while (Clock::now() < end)
    {
        const auto read = input.read (chunk.data(), chunk.size());
        if (read.frames == 0)
        {
            std::this_thread::sleep_for (5ms);
            continue;
        }
        if (audio.empty())
            first = read.firstFrameTime;
        else
            worstGap =
                std::max (worstGap, std::abs (std::chrono::duration<double> (read.firstFrameTime - expected).count()));
        audio.insert (audio.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t> (read.frames));
        expected = first +
                   std::chrono::duration_cast<Clock::duration> (std::chrono::duration<double> (audio.size() / 48000.0));
        latest = std::min (latest, std::chrono::duration<double> (Clock::now() - expected).count());
    }
    std::printf (
        "capture: %zu frames, chunk times off the sample count by %.2f ms at most, newest frame %.1f ms old at best\n",
        audio.size(),
        worstGap * 1000.0,
        latest * 1000.0);
    EXPECT_EQ (input.overruns(), 0u);
    // The device's clock and the sample count agree (within the jitter of a busy machine's timer).
    EXPECT_LT (worstGap, 0.010);
    EXPECT_GE (latest, -0.005); // no frame is stamped later than it was read
    EXPECT_LT (latest, 0.100);
    ASSERT_GT (audio.size(), 48000u);
    const size_t from = audio.size() - 9600;
    EXPECT_NEAR (AudioAnalysis::frequency (audio.data() + from, 9600, 48000.0), SynthModel::markerFrequency (64), 1.0);
}

TEST (AudioCapture, AudioTheReaderDidNotTakeInTimeIsAnOverrun)
{
    LoopbackSynthesizer synth ({});
    ASSERT_EQ (synth.problem(), "");
    AlsaAudioInput input (0.5);
    std::string whyNot;
    ASSERT_TRUE (input.open (loopbackCapture, whyNot)) << whyNot;
    std::this_thread::sleep_for (1200ms);
    EXPECT_GE (input.overruns(), 1u);
    input.close();
    EXPECT_FALSE (input.isOpen());
}
