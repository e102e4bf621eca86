#pragma once

#include "control/PanelControls.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>
#include <cstdint>

/** The patch as 24 host parameters, named as STATUS names them: the 16 faders
    (0-127, in patch byte order), Range (16', 8', 4'), Square, Saw, Chorus (Off,
    I, II), PWM (LFO, Man), ENV (Normal, Inverted), VCA (ENV, Gate) and HPF
    (0-3). A host's move of one is posted, lock-free, to a mailbox with one slot
    per parameter (a newer move replaces an older one still waiting), which the
    audio thread and the message thread each empty on their own. */
class HostParameters final : private juce::AudioProcessorParameter::Listener
{
public:
    static constexpr int count = 24;
    /** The control each parameter moves, in the host's order. */
    static const std::array<PanelControl, count> controls;

    /** Makes the parameters and hands them to the processor, which owns them. */
    explicit HostParameters (juce::AudioProcessor& processor);
    ~HostParameters() override;

    /** Shows a patch in the parameters without taking it for a host's move;
        `asGesture` reports each change as a gesture, so a host can record it
        (an edit on the panel). Any thread but the audio thread. */
    void showPatch (const std::array<uint8_t, PatchBits::numBytes>& data, bool asGesture);

    /** Whether a shown patch reaches the host only from the audio thread's
        next block (announceShown), not from the thread that shows it. JUCE's
        LV2 client needs it: its parameter listener reads a flag its audio
        thread writes, unguarded, and the host's thread deletes that listener
        while the plugin still lives; its host knows no gestures either. */
    void announceFromAudioThread (bool on) { fromAudioThread = on; }
    /** The audio thread, once a block: tells the host of the values shown since the last. */
    void announceShown();

    /** Each waiting move: calls `moved (control, position)` and empties the slot.
        One call for the audio thread's slots, one for the message thread's. */
    template <typename Moved> void takeMovesForAudio (Moved&& moved) { take (waitingForAudio, moved); }
    template <typename Moved> void takeMovesForSession (Moved&& moved) { take (waitingForSession, moved); }

    juce::RangedAudioParameter& parameter (int index) const { return *parameters[static_cast<size_t> (index)]; }

    HostParameters (const HostParameters&) = delete;
    HostParameters& operator= (const HostParameters&) = delete;

private:
    void parameterValueChanged (int parameterIndex, float newValue) override;
    void parameterGestureChanged (int, bool) override {}

    int positionOf (int index) const;

    template <typename Moved> void take (std::atomic<uint32_t>& waiting, Moved& moved)
    {
        uint32_t bits = waiting.exchange (0, std::memory_order_acq_rel);
        while (bits != 0)
        {
            const int index = __builtin_ctz (bits);
            bits &= bits - 1;
            moved (controls[static_cast<size_t> (index)],
                   static_cast<int> (positions[static_cast<size_t> (index)].load()));
        }
    }

    std::array<juce::RangedAudioParameter*, count> parameters{};
    std::array<std::atomic<int16_t>, count> positions{};
    std::atomic<uint32_t> waitingForAudio{0};
    std::atomic<uint32_t> waitingForSession{0};
    std::atomic<uint32_t> shownUnannounced{0};
    std::atomic<bool> fromAudioThread{false};
    static_assert (count <= 32, "one bit a parameter");
};
