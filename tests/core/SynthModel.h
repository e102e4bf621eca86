#pragma once

// A made-up synthesizer's sound, for the tests of recording and of the voice
// check: six voices whose sound tells which patch they hold, with parameters
// that act at once on sounding voices, as the instrument's do. Each voice
// plays a sine whose pitch follows VCF Freq (a marker tone, or the filter's
// own whistle when the resonance is high and the waves are off), at a level
// from VCA Level and its envelope. Voices can be given faults.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>

class SynthModel
{
public:
    static constexpr int voiceCount = 6;
    using PatchBytes = std::array<uint8_t, 18>;

    /** How one voice differs from a healthy one. */
    struct VoiceTraits
    {
        double levelDb = 0.0;         // its output level
        double cents = 0.0;           // its filter's tuning
        double scale = 1.0;           // its filter's octaves per nominal octave
        int resonanceOnset = 96;      // the VCF Res value where it starts to whistle
        double clicksPerSecond = 0.0; // crackle while it sounds
        double noiseDb = -140.0;      // hiss while its gate is open
        double thumpDb = -140.0;      // a pulse at each gate on, whatever the patch
    };

    explicit SynthModel (double sampleRate, uint32_t seed = 1) : rate (sampleRate), random (seed) {}

    /** The pitch of a voice holding `vcfFreq`, healthy: 200 Hz at 0, three octaves
        higher at 127 (adjacent values 0.28 semitones apart, told apart in 50 ms). */
    static double markerFrequency (int vcfFreq) { return 200.0 * std::pow (2.0, vcfFreq * 3.0 / 127.0); }

    /** A scale fault turns about 1 kHz, so it leaves the tuning there alone. */
    static double frequencyOf (int vcfFreq, const VoiceTraits& voice)
    {
        const double nominal = markerFrequency (vcfFreq);
        return 1000.0 * std::pow (nominal / 1000.0, voice.scale) * std::pow (2.0, voice.cents / 1200.0);
    }

    /** No wave, no sub, no noise and no whistle: nothing to hear. */
    static bool isSilent (const PatchBytes& bytes, const VoiceTraits& voice)
    {
        const bool waves = (bytes[16] & 0x18) != 0 || bytes[15] > 0 || bytes[4] > 0;
        return !waves && bytes[6] < voice.resonanceOnset;
    }

    std::array<VoiceTraits, voiceCount> traits{};
    /** The order in which the voices take notes. */
    std::array<int, voiceCount> rotation{0, 1, 2, 3, 4, 5};

    void setPatch (const PatchBytes& bytes) { patch = bytes; }
    const PatchBytes& currentPatch() const { return patch; }

    /** A note starts on the next voice in the rotation, `delay` seconds from now. */
    void noteOn (int note, double delay = 0.0)
    {
        auto& voice = voices[static_cast<size_t> (rotation[static_cast<size_t> (nextVoice)])];
        nextVoice = (nextVoice + 1) % voiceCount;
        voice.note = note;
        voice.gate = true;
        voice.delayFrames = static_cast<long> (delay * rate);
        voice.sinceGate = 0;
    }

    void noteOff (int note)
    {
        for (auto& voice : voices)
            if (voice.gate && voice.note == note)
            {
                voice.gate = false;
                voice.sinceGate = 0;
                voice.delayFrames = 0;
            }
    }

    void render (float* out, size_t frames)
    {
        std::fill (out, out + frames, 0.0f);
        for (size_t v = 0; v < voices.size(); ++v)
            renderVoice (voices[v], traits[v], out, frames);
    }

private:
    struct Voice
    {
        int note = -1;
        bool gate = false;
        long delayFrames = 0;
        long sinceGate = 0;
        double envelope = 0.0;
        double phase = 0.0;
    };

    void renderVoice (Voice& voice, const VoiceTraits& trait, float* out, size_t frames)
    {
        const bool gateMode = (patch[17] & 0x04) != 0;
        // A level of 0 gives 2 ms: the flush's Release 0 silences a ringing voice at once.
        const double attack = gateMode ? 0.0005 : std::max (0.0005, patch[11] / 127.0 * 1.5);
        const double release = gateMode ? 0.002 : std::max (0.002, patch[14] / 127.0 * 5.0);
        // VCF KYBD 127 makes the whistle follow the key fully.
        const double frequency =
            frequencyOf (patch[5], trait) * std::pow (2.0, (voice.note - 60) / 12.0 * patch[9] / 127.0);
        const bool silent = isSilent (patch, trait);
        const bool waves = (patch[16] & 0x18) != 0 || patch[15] > 0 || patch[4] > 0;
        const double whistle = patch[6] >= trait.resonanceOnset ? 0.3 + 0.7 * (patch[6] - trait.resonanceOnset) /
                                                                            std::max (1.0, 127.0 - trait.resonanceOnset)
                                                                : 0.0;
        const double amount = waves ? 1.0 : whistle;
        const double level = 0.3 * patch[10] / 127.0 * std::pow (10.0, trait.levelDb / 20.0) * amount;
        const double noise = std::pow (10.0, trait.noiseDb / 20.0);
        const double thump = std::pow (10.0, trait.thumpDb / 20.0);
        std::uniform_real_distribution<double> uniform (-1.0, 1.0);

        for (size_t i = 0; i < frames; ++i)
        {
            if (voice.delayFrames > 0)
            {
                --voice.delayFrames;
                continue;
            }
            if (voice.note < 0)
                continue;
            if (voice.gate)
                voice.envelope = std::min (1.0, voice.envelope + 1.0 / (attack * rate));
            else
                voice.envelope = std::max (0.0, voice.envelope - 1.0 / (release * rate));
            double sample = 0.0;
            if (!silent && voice.envelope > 0.0)
            {
                voice.phase += frequency / rate;
                voice.phase -= std::floor (voice.phase);
                sample += level * voice.envelope * std::sin (2.0 * M_PI * voice.phase);
                if (trait.clicksPerSecond > 0.0 && uniform (random) * 0.5 + 0.5 < trait.clicksPerSecond / rate)
                    sample += 0.5 * level;
            }
            if (voice.gate)
            {
                sample += noise * uniform (random);
                // The pulse of a badly trimmed VCA: a few milliseconds of offset at the gate.
                sample += thump * std::exp (-static_cast<double> (voice.sinceGate) / (0.004 * rate));
            }
            ++voice.sinceGate;
            out[i] += static_cast<float> (sample);
        }
    }

    const double rate;
    std::mt19937 random;
    PatchBytes patch{};
    std::array<Voice, voiceCount> voices{};
    int nextVoice = 0;
};
