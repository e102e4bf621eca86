#pragma once

#include "RawMidiPort.h"
#include "SynthModel.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

/** A synthesizer for the tests of recording, on the far side of a virtual
    raw MIDI port and the kernel's loopback sound card: it takes the patch
    dumps, parameter changes and notes written to the port and plays
    SynthModel's sound into the loopback's playback side, where a capture of
    the other side hears it. Each note starts after a random delay, as a
    real instrument's scan of its keys would make it. */
class LoopbackSynthesizer
{
public:
    struct Options
    {
        std::string midiDevice = "hw:0,0";
        std::string pcmDevice = "hw:CARD=Loopback,DEV=0";
        double maxStartDelay = 0.020; // seconds, drawn afresh for each note
        std::array<SynthModel::VoiceTraits, SynthModel::voiceCount> traits{};
        std::array<int, SynthModel::voiceCount> rotation{0, 1, 2, 3, 4, 5};
        uint32_t seed = 1;
    };

    explicit LoopbackSynthesizer (const Options& options);
    ~LoopbackSynthesizer();

    /** Empty when the MIDI port and the sound card opened; why not otherwise. */
    const std::string& problem() const { return failed; }

    /** Plays a patch's note at once, as if the messages had come by MIDI. */
    void play (const SynthModel::PatchBytes& patch, int note);

    /** The start delays of the notes so far, in seconds, in their order. */
    std::vector<double> startDelays() const;
    /** Patch dumps received so far. */
    int dumpsReceived() const;

    LoopbackSynthesizer (const LoopbackSynthesizer&) = delete;
    LoopbackSynthesizer& operator= (const LoopbackSynthesizer&) = delete;

private:
    void readMidi();
    void play();
    void take (const std::vector<uint8_t>& message);

    RawMidiPort port;
    snd_pcm_t* pcm = nullptr;
    std::string failed;
    mutable std::mutex lock; // over the model and what is recorded
    SynthModel model;
    std::mt19937 random;
    const double maxDelay;
    std::vector<double> delays;
    int dumps = 0;
    std::vector<uint8_t> pending;
    std::atomic<bool> running{true};
    std::thread midiThread, audioThread; // last: they use everything above
};
