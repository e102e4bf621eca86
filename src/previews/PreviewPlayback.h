#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

/** One preview playing at a time, for the window and the plugin. The clip is
    decoded on the message thread and handed to the audio callback through an
    atomic slot in which the latest request wins (a request the callback has
    not taken yet is replaced and freed by the message thread); the callback
    hands each clip it is done with back through a lock-free queue, and the
    message thread frees it. So the callback never allocates, frees, locks or
    waits. Only the message thread calls play, stop, collect and isPlaying;
    only the audio thread calls render. */
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
        uint64_t request = 0; // set by play
    };

    PreviewPlayback();
    /** Frees every clip; the audio callback must have stopped calling render. */
    ~PreviewPlayback();

    // Message thread
    /** Plays the clip from its start in place of whatever plays or was asked for. */
    void play (std::unique_ptr<Clip> clip);
    void stop();
    /** Frees the clips the audio callback is done with; play and stop do it too. */
    void collect();
    /** Whether the last clip asked for is still to be heard to its end. */
    bool isPlaying() const;
    /** The file name of the clip last asked to play. */
    const std::string& lastFileName() const { return lastName; }

    // Audio thread
    /** Adds the playing clip to every channel, at `outputRate`. */
    void render (float* const* channels, int channelCount, int frames, double outputRate) noexcept;

    PreviewPlayback (const PreviewPlayback&) = delete;
    PreviewPlayback& operator= (const PreviewPlayback&) = delete;

private:
    /** A single-producer, single-consumer ring of the clips the callback is done with. */
    class DoneQueue
    {
    public:
        bool push (Clip* clip) noexcept
        {
            const size_t write = writeIndex.load (std::memory_order_relaxed);
            if (write - readIndex.load (std::memory_order_acquire) == slots.size())
                return false;
            slots[write % slots.size()] = clip;
            writeIndex.store (write + 1, std::memory_order_release);
            return true;
        }
        Clip* pop() noexcept
        {
            const size_t read = readIndex.load (std::memory_order_relaxed);
            if (read == writeIndex.load (std::memory_order_acquire))
                return nullptr;
            Clip* clip = slots[read % slots.size()];
            readIndex.store (read + 1, std::memory_order_release);
            return clip;
        }

    private:
        std::array<Clip*, 64> slots{};
        std::atomic<size_t> readIndex{0}, writeIndex{0};
    };

    /** Puts a request in the slot; one the callback never took is freed here. */
    void ask (std::unique_ptr<Clip> clip);

    std::atomic<Clip*> requested{nullptr}; // the latest request; a clip with no samples means stop
    DoneQueue done;
    Clip* current = nullptr;           // the audio thread's own
    double position = 0.0;             // in the clip's samples; the audio thread's own
    std::atomic<uint64_t> finished{0}; // the request of the last clip heard to its end
    uint64_t lastRequest = 0;          // the message thread's own
    bool lastWasPlay = false;
    std::string lastName;
};
