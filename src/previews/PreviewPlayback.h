#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

/** One preview playing at a time, for the window and the plugin. The clip is
    decoded on the message thread and handed to the audio callback through a
    lock-free queue; the callback hands each clip it is done with back the
    same way, and the message thread frees it, so the callback never
    allocates, frees, locks or waits. Only the message thread calls play,
    stop and collect; only the audio thread calls render. */
class PreviewPlayback
{
public:
    /** Decoded audio, one channel, and the gain to play it at. */
    struct Clip
    {
        std::vector<float> samples;
        double sampleRate = 48000.0;
        float gain = 1.0f; // linear
        std::string fileName;
    };

    PreviewPlayback();
    /** Frees every clip; the audio callback must have stopped calling render. */
    ~PreviewPlayback();

    // Message thread
    /** Plays the clip from its start in place of whatever plays. */
    void play (std::unique_ptr<Clip> clip);
    void stop();
    /** Frees the clips the audio callback is done with; play and stop do it too. */
    void collect();
    /** Whether a clip is playing, as the audio callback last said. */
    bool isPlaying() const { return playing.load (std::memory_order_acquire); }
    /** The file name of the clip last asked to play. */
    const std::string& lastFileName() const { return lastName; }

    // Audio thread
    /** Adds the playing clip to every channel, at `outputRate`. */
    void render (float* const* channels, int channelCount, int frames, double outputRate) noexcept;

    PreviewPlayback (const PreviewPlayback&) = delete;
    PreviewPlayback& operator= (const PreviewPlayback&) = delete;

private:
    /** A single-producer, single-consumer ring of clip pointers. */
    template <size_t capacity> class ClipQueue
    {
    public:
        bool push (Clip* clip) noexcept
        {
            const size_t write = writeIndex.load (std::memory_order_relaxed);
            if (write - readIndex.load (std::memory_order_acquire) == capacity)
                return false;
            slots[write % capacity] = clip;
            writeIndex.store (write + 1, std::memory_order_release);
            return true;
        }
        Clip* pop() noexcept
        {
            const size_t read = readIndex.load (std::memory_order_relaxed);
            if (read == writeIndex.load (std::memory_order_acquire))
                return nullptr;
            Clip* clip = slots[read % capacity];
            readIndex.store (read + 1, std::memory_order_release);
            return clip;
        }

    private:
        std::array<Clip*, capacity> slots{};
        std::atomic<size_t> readIndex{0}, writeIndex{0};
    };

    // New clips (one with no samples means stop), and the clips the callback is
    // done with: every clip sent can be in the second at once (and the one
    // playing), so it never fills.
    ClipQueue<16> toAudio;
    ClipQueue<32> fromAudio;
    Clip* current = nullptr; // the audio thread's own
    double position = 0.0;   // in the clip's samples; the audio thread's own
    std::atomic<bool> playing{false};
    std::string lastName;
};
