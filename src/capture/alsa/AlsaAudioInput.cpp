#include "capture/alsa/AlsaAudioInput.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <time.h>
#include <vector>

namespace
{
constexpr int pollTimeoutMs = 200;

std::string alsaError (int error)
{
    return snd_strerror (error);
}

AudioInput::Clock::time_point toTimePoint (const snd_htimestamp_t& stamp)
{
    // CLOCK_MONOTONIC, which steady_clock reads on Linux.
    return AudioInput::Clock::time_point (std::chrono::seconds (stamp.tv_sec) +
                                          std::chrono::nanoseconds (stamp.tv_nsec));
}

AudioInput::Clock::time_point monotonicNow()
{
    timespec now{};
    ::clock_gettime (CLOCK_MONOTONIC, &now);
    return toTimePoint (now);
}
} // namespace

/** The open device and what its samples look like. */
struct AlsaAudioInput::Pcm
{
    snd_pcm_t* handle = nullptr;
    snd_pcm_format_t format = SND_PCM_FORMAT_UNKNOWN;
    unsigned channels = 1;
    std::string id;
};

AlsaAudioInput::AlsaAudioInput (double waitingSeconds) : ring (static_cast<size_t> (waitingSeconds * 48000.0)) {}

AlsaAudioInput::~AlsaAudioInput()
{
    close();
}

std::vector<AudioInput::Device> AlsaAudioInput::devices() const
{
    std::vector<Device> found;
    void** hints = nullptr;
    if (snd_device_name_hint (-1, "pcm", &hints) != 0)
        return found;
    for (void** hint = hints; *hint != nullptr; ++hint)
    {
        char* name = snd_device_name_get_hint (*hint, "NAME");
        char* description = snd_device_name_get_hint (*hint, "DESC");
        char* direction = snd_device_name_get_hint (*hint, "IOID");
        // No IOID means both directions.
        if (name != nullptr && (direction == nullptr || std::strcmp (direction, "Input") == 0) &&
            std::strcmp (name, "null") != 0)
        {
            // "Loopback, Loopback PCM\nDirect hardware device ..." on one line.
            std::string text = description != nullptr ? description : "";
            if (const size_t lineEnd = text.find ('\n'); lineEnd != std::string::npos)
                text = text.substr (0, lineEnd) + " (" + text.substr (lineEnd + 1) + ")";
            found.push_back ({name, text});
        }
        std::free (name);
        std::free (description);
        std::free (direction);
    }
    snd_device_name_free_hint (hints);
    return found;
}

bool AlsaAudioInput::open (const std::string& deviceId, std::string& whyNot)
{
    close();
    auto device = std::make_unique<Pcm>();
    device->id = deviceId;
    int error = snd_pcm_open (&device->handle, deviceId.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
    if (error < 0)
    {
        whyNot = deviceId + " cannot be opened for capture: " + alsaError (error) + ".";
        return false;
    }
    const auto refuse = [&] (const std::string& what, int code)
    {
        whyNot = deviceId + ": " + what + (code < 0 ? ": " + alsaError (code) : std::string()) + ".";
        snd_pcm_close (device->handle);
        return false;
    };

    snd_pcm_hw_params_t* hardware = nullptr;
    snd_pcm_hw_params_alloca (&hardware);
    snd_pcm_hw_params_any (device->handle, hardware);
    if ((error = snd_pcm_hw_params_set_access (device->handle, hardware, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0)
        return refuse ("it cannot be read frame by frame", error);
    device->format = SND_PCM_FORMAT_UNKNOWN;
    for (const auto format : {SND_PCM_FORMAT_FLOAT_LE, SND_PCM_FORMAT_S32_LE, SND_PCM_FORMAT_S16_LE})
        if (snd_pcm_hw_params_test_format (device->handle, hardware, format) == 0)
        {
            device->format = format;
            break;
        }
    if (device->format == SND_PCM_FORMAT_UNKNOWN ||
        snd_pcm_hw_params_set_format (device->handle, hardware, device->format) < 0)
        return refuse ("it gives samples in none of the formats Qorv reads (16 or 32 bits, or float)", 0);
    // One channel where it can; otherwise the first of as few as it has, which is where a mono cable goes.
    unsigned channels = 1;
    if ((error = snd_pcm_hw_params_set_channels_near (device->handle, hardware, &channels)) < 0)
        return refuse ("its channels cannot be set", error);
    device->channels = channels;
    unsigned wantedRate = 48000;
    if ((error = snd_pcm_hw_params_set_rate_near (device->handle, hardware, &wantedRate, nullptr)) < 0)
        return refuse ("its sample rate cannot be set", error);
    snd_pcm_uframes_t period = periodFrames;
    snd_pcm_hw_params_set_period_size_near (device->handle, hardware, &period, nullptr);
    snd_pcm_uframes_t buffer = period * 8;
    snd_pcm_hw_params_set_buffer_size_near (device->handle, hardware, &buffer);
    if ((error = snd_pcm_hw_params (device->handle, hardware)) < 0)
        return refuse ("its settings were refused", error);

    snd_pcm_sw_params_t* software = nullptr;
    snd_pcm_sw_params_alloca (&software);
    snd_pcm_sw_params_current (device->handle, software);
    snd_pcm_sw_params_set_avail_min (device->handle, software, period);
    snd_pcm_sw_params_set_tstamp_mode (device->handle, software, SND_PCM_TSTAMP_ENABLE);
    snd_pcm_sw_params_set_tstamp_type (device->handle, software, SND_PCM_TSTAMP_TYPE_MONOTONIC);
    if ((error = snd_pcm_sw_params (device->handle, software)) < 0)
        return refuse ("its timing settings were refused", error);
    if ((error = snd_pcm_start (device->handle)) < 0)
        return refuse ("it does not start", error);

    rate = wantedRate;
    ring.reset();
    {
        const std::lock_guard<std::mutex> guard (failureLock);
        failed.clear();
    }
    pcm = device.release();
    running = true;
    thread = std::thread ([this] { capture(); });
    return true;
}

void AlsaAudioInput::close()
{
    running = false;
    if (thread.joinable())
        thread.join();
    if (pcm != nullptr)
    {
        snd_pcm_close (pcm->handle);
        delete pcm;
        pcm = nullptr;
    }
}

AudioInput::Chunk AlsaAudioInput::read (float* destination, size_t maxFrames)
{
    return ring.read (destination, maxFrames);
}

std::string AlsaAudioInput::failure() const
{
    const std::lock_guard<std::mutex> guard (failureLock);
    return failed;
}

void AlsaAudioInput::fail (const std::string& why)
{
    const std::lock_guard<std::mutex> guard (failureLock);
    failed = why;
}

void AlsaAudioInput::capture()
{
    snd_pcm_t* const handle = pcm->handle;
    const size_t frameBytes = static_cast<size_t> (snd_pcm_format_physical_width (pcm->format) / 8) * pcm->channels;
    std::vector<uint8_t> raw (periodFrames * 4 * frameBytes);
    std::vector<float> mono (periodFrames * 4);
    const int descriptorCount = snd_pcm_poll_descriptors_count (handle);
    std::vector<pollfd> descriptors (static_cast<size_t> (std::max (descriptorCount, 1)));
    snd_pcm_poll_descriptors (handle, descriptors.data(), static_cast<unsigned> (descriptors.size()));

    while (running)
    {
        // A time-out, so a device that stops delivering never holds up close().
        const int ready = ::poll (descriptors.data(), descriptors.size(), pollTimeoutMs);
        if (ready < 0 && errno != EINTR)
        {
            fail (std::string ("waiting for audio failed: ") + std::strerror (errno));
            return;
        }
        const snd_pcm_sframes_t got = snd_pcm_readi (handle, raw.data(), periodFrames * 4);
        if (got == -EAGAIN || got == 0)
            continue;
        if (got == -EPIPE || got == -ESTRPIPE)
        {
            ring.overrun();
            int error = got == -ESTRPIPE ? snd_pcm_resume (handle) : 0;
            while (error == -EAGAIN && running)
                error = snd_pcm_resume (handle);
            if (snd_pcm_prepare (handle) < 0 || snd_pcm_start (handle) < 0)
            {
                fail ("capture stopped after an overrun and does not start again");
                return;
            }
            continue;
        }
        if (got < 0)
        {
            fail (got == -ENODEV ? std::string ("the device went away")
                                 : "capture failed: " + alsaError (static_cast<int> (got)));
            return;
        }
        const auto frames = static_cast<size_t> (got);
        for (size_t i = 0; i < frames; ++i)
        {
            const uint8_t* frame = raw.data() + i * frameBytes;
            switch (pcm->format)
            {
                case SND_PCM_FORMAT_FLOAT_LE:
                    std::memcpy (&mono[i], frame, sizeof (float));
                    break;
                case SND_PCM_FORMAT_S32_LE:
                {
                    int32_t value;
                    std::memcpy (&value, frame, sizeof (value));
                    mono[i] = static_cast<float> (value / 2147483648.0);
                    break;
                }
                default:
                {
                    int16_t value;
                    std::memcpy (&value, frame, sizeof (value));
                    mono[i] = static_cast<float> (value / 32768.0);
                    break;
                }
            }
        }
        // The device's timestamp is of its last update, when `avail` frames were
        // waiting; the newest of the frames just read came that many frames earlier.
        snd_pcm_uframes_t avail = 0;
        snd_htimestamp_t stamp{};
        auto newest = monotonicNow();
        if (snd_pcm_htimestamp (handle, &avail, &stamp) == 0 && (stamp.tv_sec != 0 || stamp.tv_nsec != 0))
            newest = toTimePoint (stamp);
        else
            avail = static_cast<snd_pcm_uframes_t> (std::max<snd_pcm_sframes_t> (0, snd_pcm_avail (handle)));
        newest -= std::chrono::duration_cast<Clock::duration> (
            std::chrono::duration<double> (static_cast<double> (avail) / rate));
        ring.write (mono.data(), frames, newest, rate);
    }
}
