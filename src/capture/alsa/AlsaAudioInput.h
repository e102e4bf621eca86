#pragma once

#include "capture/AudioInput.h"
#include "capture/CaptureRing.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

/** Capture through alsa-lib itself: devices by their ALSA ids ("hw:CARD=
    Loopback,DEV=1", "default", "pipewire") with the system's descriptions,
    periods of about 1024 frames (smaller ones lost most of a capture under
    load), a thread of its own that polls with a time-out so it can always be
    stopped, overruns counted and recovered from, and every period's time
    taken from the device's own timestamps. JUCE's audio devices are no fit
    for this: their inputs are named by description only, carry no
    timestamps and guess the input's latency. */
class AlsaAudioInput final : public AudioInput
{
public:
    /** Captured audio waits up to `waitingSeconds` for the reader: ten seconds
        covers a reader busy encoding and writing; tests make it shorter. */
    explicit AlsaAudioInput (double waitingSeconds = 10.0);
    ~AlsaAudioInput() override;

    std::vector<Device> devices() const override;
    bool open (const std::string& deviceId, std::string& whyNot) override;
    void close() override;
    bool isOpen() const override { return pcm != nullptr; }
    double sampleRate() const override { return rate; }
    Chunk read (float* destination, size_t maxFrames) override;
    uint64_t overruns() const override { return ring.overruns(); }
    std::string failure() const override;

    /** The frames each read of the device asks for. */
    static constexpr unsigned long periodFrames = 1024;

private:
    struct Pcm;
    void capture();
    void fail (const std::string& why);

    Pcm* pcm = nullptr;
    double rate = 48000.0;
    CaptureRing ring;
    std::atomic<bool> running{false};
    mutable std::mutex failureLock;
    std::string failed;
    std::thread thread; // last: it uses everything above
};
