#pragma once

// A synthesizer and the sound card it plays into, in memory, on a clock the
// test moves: the patches and notes a recording sends reach SynthModel at
// the clock's time, and the capture reads what it played up to that time,
// a little late, as a sound card does.

#include "SynthModel.h"
#include "capture/AudioInput.h"
#include "capture/SynthOutput.h"

#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

class MemorySound : public AudioInput, public SynthOutput
{
public:
    explicit MemorySound (double sampleRate = 48000.0) : synth (sampleRate), rate (sampleRate) {}

    /** The test's clock; move it forward only. */
    Clock::time_point now{std::chrono::seconds (100)};
    void advance (Clock::duration step) { now += step; }

    SynthModel synth;
    /** Seconds from the note-on to the voice's start, asked at each note. */
    std::function<double()> startDelay = [] { return 0.004; };
    /** Seconds from a frame being played to its being readable. */
    double latency = 0.021;
    /** A hum under everything, in dBFS peak (a 50 Hz sine), so the input is never quiet. */
    double humDb = -400.0;
    /** Overruns happen at these times (one each). */
    std::vector<Clock::time_point> overrunTimes;

    struct Sent
    {
        enum Kind
        {
            patch,
            noteOn,
            noteOff
        } kind;
        Clock::time_point at;
        std::array<uint8_t, PatchBits::numBytes> bytes{};
        int note = 0;
    };
    std::vector<Sent> sent;

    // SynthOutput
    void sendPatch (const PatchModel& patch) override
    {
        renderUpTo (now);
        synth.setPatch (patch.data);
        sent.push_back ({Sent::patch, now, patch.data, 0});
    }
    void noteOn (int note) override
    {
        renderUpTo (now);
        synth.noteOn (note, startDelay());
        sent.push_back ({Sent::noteOn, now, {}, note});
    }
    void noteOff (int note) override
    {
        renderUpTo (now);
        synth.noteOff (note);
        sent.push_back ({Sent::noteOff, now, {}, note});
    }

    // AudioInput
    std::vector<Device> devices() const override { return {{"memory", "A synthesizer in memory"}}; }
    bool open (const std::string&, std::string&) override
    {
        epoch = now;
        played.clear();
        readFrames = 0;
        opened = true;
        return true;
    }
    void close() override { opened = false; }
    bool isOpen() const override { return opened; }
    double sampleRate() const override { return rate; }
    Chunk read (float* destination, size_t maxFrames) override
    {
        renderUpTo (now);
        for (auto it = overrunTimes.begin(); it != overrunTimes.end();)
            if (*it <= now)
            {
                ++overrunCount;
                it = overrunTimes.erase (it);
            }
            else
                ++it;
        const auto readable = std::max (
            0LL,
            framesAt (now - std::chrono::duration_cast<Clock::duration> (std::chrono::duration<double> (latency))));
        const size_t available =
            static_cast<size_t> (readable) > readFrames ? static_cast<size_t> (readable) - readFrames : 0;
        const size_t frames = std::min (available, maxFrames);
        std::copy_n (played.begin() + static_cast<std::ptrdiff_t> (readFrames), frames, destination);
        Chunk chunk{frames, timeOf (readFrames)};
        readFrames += frames;
        return chunk;
    }
    uint64_t overruns() const override { return overrunCount; }
    std::string failure() const override { return failed; }
    std::string failed;

    /** Everything played so far. */
    const std::vector<float>& playedAudio() const { return played; }

private:
    long long framesAt (Clock::time_point time) const
    {
        return static_cast<long long> (std::chrono::duration<double> (time - epoch).count() * rate);
    }
    Clock::time_point timeOf (size_t frame) const
    {
        return epoch + std::chrono::duration_cast<Clock::duration> (std::chrono::duration<double> (frame / rate));
    }
    void renderUpTo (Clock::time_point time)
    {
        const auto target = framesAt (time);
        if (target <= static_cast<long long> (played.size()))
            return;
        const size_t had = played.size();
        played.resize (static_cast<size_t> (target));
        synth.render (played.data() + had, played.size() - had);
        const double hum = std::pow (10.0, humDb / 20.0);
        for (size_t i = had; i < played.size(); ++i)
            played[i] += static_cast<float> (hum * std::sin (2.0 * M_PI * 50.0 * static_cast<double> (i) / rate));
    }

    const double rate;
    Clock::time_point epoch = now;
    std::vector<float> played;
    size_t readFrames = 0;
    uint64_t overrunCount = 0;
    bool opened = false;
};
