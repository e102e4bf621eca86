#include "LoopbackSynthesizer.h"

#include <chrono>

namespace
{
constexpr unsigned rate = 48000;
constexpr snd_pcm_uframes_t period = 1024;
/** Frames kept waiting in the playback buffer: the synthesizer's own latency. */
constexpr snd_pcm_sframes_t queued = 2 * period;
} // namespace

LoopbackSynthesizer::LoopbackSynthesizer (const Options& options)
    : port (options.midiDevice), model (rate, options.seed), random (options.seed), maxDelay (options.maxStartDelay)
{
    model.traits = options.traits;
    model.rotation = options.rotation;
    if (!port.isOpen())
        failed = "cannot open " + options.midiDevice;
    else if (int error = snd_pcm_open (&pcm, options.pcmDevice.c_str(), SND_PCM_STREAM_PLAYBACK, 0); error < 0)
        failed = "cannot open " + options.pcmDevice + ": " + snd_strerror (error);
    else
    {
        // The capture side of the loopback follows these: one channel at 48 kHz, periods of 1024 frames.
        snd_pcm_hw_params_t* hardware = nullptr;
        snd_pcm_hw_params_alloca (&hardware);
        snd_pcm_hw_params_any (pcm, hardware);
        snd_pcm_hw_params_set_access (pcm, hardware, SND_PCM_ACCESS_RW_INTERLEAVED);
        snd_pcm_hw_params_set_format (pcm, hardware, SND_PCM_FORMAT_S16_LE);
        snd_pcm_hw_params_set_channels (pcm, hardware, 1);
        unsigned wanted = rate;
        snd_pcm_hw_params_set_rate_near (pcm, hardware, &wanted, nullptr);
        snd_pcm_uframes_t periodSize = period, bufferSize = period * 8;
        snd_pcm_hw_params_set_period_size_near (pcm, hardware, &periodSize, nullptr);
        snd_pcm_hw_params_set_buffer_size_near (pcm, hardware, &bufferSize);
        if (const int refused = snd_pcm_hw_params (pcm, hardware); refused < 0)
            failed = std::string ("the loopback refused its settings: ") + snd_strerror (refused);
    }
    if (!failed.empty())
        return;
    midiThread = std::thread ([this] { readMidi(); });
    audioThread = std::thread ([this] { play(); });
}

LoopbackSynthesizer::~LoopbackSynthesizer()
{
    running = false;
    if (midiThread.joinable())
        midiThread.join();
    if (audioThread.joinable())
        audioThread.join();
    if (pcm != nullptr)
        snd_pcm_close (pcm);
}

std::vector<double> LoopbackSynthesizer::startDelays() const
{
    const std::lock_guard<std::mutex> guard (lock);
    return delays;
}

void LoopbackSynthesizer::play (const SynthModel::PatchBytes& patch, int note)
{
    const std::lock_guard<std::mutex> guard (lock);
    model.setPatch (patch);
    model.noteOn (note);
}

int LoopbackSynthesizer::dumpsReceived() const
{
    const std::lock_guard<std::mutex> guard (lock);
    return dumps;
}

void LoopbackSynthesizer::readMidi()
{
    uint8_t status = 0;
    while (running)
    {
        const auto bytes = port.read();
        if (bytes.empty())
        {
            std::this_thread::sleep_for (std::chrono::microseconds (500));
            continue;
        }
        for (const uint8_t byte : bytes)
        {
            if (byte >= 0xF8)
                continue; // real-time bytes may come anywhere
            if (byte & 0x80)
            {
                if (status == 0xF0 && byte == 0xF7)
                {
                    pending.push_back (byte);
                    take (pending);
                    pending.clear();
                    status = 0;
                    continue;
                }
                status = byte;
                pending.assign (1, byte);
                continue;
            }
            if (status == 0)
                continue;
            pending.push_back (byte);
            if (status != 0xF0 && pending.size() == 3)
            {
                take (pending);
                pending.assign (1, status); // running status
            }
        }
    }
}

void LoopbackSynthesizer::take (const std::vector<uint8_t>& message)
{
    const std::lock_guard<std::mutex> guard (lock);
    const uint8_t kind = message[0] & 0xF0;
    if (message[0] == 0xF0 && message.size() == 24 && message[1] == 0x41 && (message[2] == 0x30 || message[2] == 0x31))
    {
        SynthModel::PatchBytes bytes{};
        std::copy (message.begin() + 5, message.begin() + 23, bytes.begin());
        model.setPatch (bytes);
        ++dumps;
    }
    else if (message[0] == 0xF0 && message.size() == 7 && message[1] == 0x41 && message[2] == 0x32 && message[4] < 18)
    {
        auto bytes = model.currentPatch();
        bytes[message[4]] = message[5];
        model.setPatch (bytes);
    }
    else if (kind == 0x90 && message[2] > 0)
    {
        const double delay = std::uniform_real_distribution<double> (0.0, maxDelay) (random);
        delays.push_back (delay);
        model.noteOn (message[1], delay);
    }
    else if (kind == 0x80 || kind == 0x90)
        model.noteOff (message[1]);
}

void LoopbackSynthesizer::play()
{
    std::vector<float> block (period);
    std::vector<int16_t> samples (period);
    while (running)
    {
        // Only a little is kept waiting, so a note is heard soon after it comes.
        const snd_pcm_sframes_t free = snd_pcm_avail (pcm);
        snd_pcm_sframes_t buffered = 0;
        snd_pcm_uframes_t buffer = 0, periodSize = 0;
        snd_pcm_get_params (pcm, &buffer, &periodSize);
        if (free >= 0)
            buffered = static_cast<snd_pcm_sframes_t> (buffer) - free;
        if (snd_pcm_state (pcm) == SND_PCM_STATE_RUNNING && buffered >= queued)
        {
            std::this_thread::sleep_for (std::chrono::milliseconds (2));
            continue;
        }
        {
            const std::lock_guard<std::mutex> guard (lock);
            model.render (block.data(), block.size());
        }
        for (size_t i = 0; i < block.size(); ++i)
            samples[i] = static_cast<int16_t> (std::max (-1.0f, std::min (1.0f, block[i])) * 32767.0f);
        snd_pcm_sframes_t written = snd_pcm_writei (pcm, samples.data(), period);
        if (written < 0)
            snd_pcm_recover (pcm, static_cast<int> (written), 1);
    }
}
