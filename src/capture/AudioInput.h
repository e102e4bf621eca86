#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/** What a recording needs of the sound system's capture: the devices by
    their ids, with descriptions for people, and one open device delivering
    one channel of samples with the time of their first frame. The engine
    keeps the rules (what is quiet, where a note starts); an input only
    captures. AlsaAudioInput is the real one, with a thread of its own;
    tests use an in-memory one. Read it from one thread. */
class AudioInput
{
public:
    using Clock = std::chrono::steady_clock;

    struct Device
    {
        std::string id;          // as the sound system takes it: "hw:CARD=Loopback,DEV=1", "default"
        std::string description; // "Loopback, Loopback PCM (capture 1)"
    };

    /** What read() moved: how many frames, and when the first of them was captured. */
    struct Chunk
    {
        size_t frames = 0;
        Clock::time_point firstFrameTime{};
    };

    AudioInput() = default;
    virtual ~AudioInput() = default;
    AudioInput (const AudioInput&) = delete;
    AudioInput& operator= (const AudioInput&) = delete;

    virtual std::vector<Device> devices() const = 0;
    /** Opens the device and starts capturing at once; false, with why in words, when it cannot. */
    virtual bool open (const std::string& deviceId, std::string& whyNot) = 0;
    /** Stops capturing; harmless when nothing is open. */
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    /** Frames per second of the open device. */
    virtual double sampleRate() const = 0;
    /** Moves at most maxFrames captured frames (the first channel, -1 to 1)
        into `destination`, without waiting. */
    virtual Chunk read (float* destination, size_t maxFrames) = 0;
    /** How often capture lost frames since the device was opened, in the
        device (an overrun) or because nobody read them in time. */
    virtual uint64_t overruns() const = 0;
    /** Empty while capture works; why it stopped otherwise (the device went away). */
    virtual std::string failure() const = 0;
};
