#include "previews/VorbisFile.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

namespace VorbisFile
{
namespace
{
    bool sameName (const std::string& a, const std::string& b)
    {
        return a.size() == b.size() && std::equal (a.begin(),
                                                   a.end(),
                                                   b.begin(),
                                                   [] (char x, char y) {
                                                       return std::toupper (static_cast<unsigned char> (x)) ==
                                                              std::toupper (static_cast<unsigned char> (y));
                                                   });
    }

    /** libvorbis's encoder state, released in the reverse order of its making. */
    struct Encoder
    {
        vorbis_info info;
        vorbis_comment comment;
        vorbis_dsp_state dsp;
        vorbis_block block;
        ogg_stream_state stream;
        bool infoReady = false, dspReady = false, blockReady = false, streamReady = false;

        Encoder()
        {
            vorbis_info_init (&info);
            vorbis_comment_init (&comment);
            infoReady = true;
        }
        ~Encoder()
        {
            if (streamReady)
                ogg_stream_clear (&stream);
            if (blockReady)
                vorbis_block_clear (&block);
            if (dspReady)
                vorbis_dsp_clear (&dsp);
            vorbis_comment_clear (&comment);
            if (infoReady)
                vorbis_info_clear (&info);
        }
        Encoder (const Encoder&) = delete;
        Encoder& operator= (const Encoder&) = delete;
    };

    void appendPage (const ogg_page& page, std::vector<uint8_t>& image)
    {
        image.insert (image.end(), page.header, page.header + page.header_len);
        image.insert (image.end(), page.body, page.body + page.body_len);
    }

    /** The stream's serial number from its tags, so equal input gives equal bytes. */
    int serialOf (const Tags& tags)
    {
        uint32_t hash = 2166136261u;
        for (const auto& [name, value] : tags.fields)
            for (const char c : name + "=" + value)
                hash = (hash ^ static_cast<uint8_t> (c)) * 16777619u;
        return static_cast<int> (hash & 0x7FFFFFFF);
    }

    /** An image being read by libvorbisfile. */
    struct Source
    {
        const uint8_t* data;
        size_t size;
        size_t position = 0;
    };

    size_t readSource (void* into, size_t size, size_t count, void* source)
    {
        auto& from = *static_cast<Source*> (source);
        const size_t wanted = size * count;
        const size_t taken = std::min (wanted, from.size - from.position);
        std::memcpy (into, from.data + from.position, taken);
        from.position += taken;
        return size == 0 ? 0 : taken / size;
    }

    int seekSource (void* source, ogg_int64_t offset, int whence)
    {
        auto& from = *static_cast<Source*> (source);
        const auto base = whence == SEEK_SET   ? 0
                          : whence == SEEK_CUR ? static_cast<ogg_int64_t> (from.position)
                                               : static_cast<ogg_int64_t> (from.size);
        const ogg_int64_t target = base + offset;
        if (target < 0 || target > static_cast<ogg_int64_t> (from.size))
            return -1;
        from.position = static_cast<size_t> (target);
        return 0;
    }

    long tellSource (void* source)
    {
        return static_cast<long> (static_cast<Source*> (source)->position);
    }
} // namespace

void Tags::set (const std::string& name, const std::string& value)
{
    for (auto& field : fields)
        if (sameName (field.first, name))
        {
            field.second = value;
            return;
        }
    fields.emplace_back (name, value);
}

std::optional<std::string> Tags::get (const std::string& name) const
{
    for (const auto& field : fields)
        if (sameName (field.first, name))
            return field.second;
    return std::nullopt;
}

bool encode (const float* samples,
             size_t count,
             int sampleRate,
             const Tags& tags,
             std::vector<uint8_t>& image,
             std::string& whyNot,
             float quality)
{
    if (count == 0)
    {
        whyNot = "There is no audio to store.";
        return false;
    }
    Encoder encoder;
    if (vorbis_encode_init_vbr (&encoder.info, 1, sampleRate, quality) != 0)
    {
        whyNot = "The Vorbis encoder does not take " + std::to_string (sampleRate) + " samples per second.";
        return false;
    }
    for (const auto& [name, value] : tags.fields)
        vorbis_comment_add_tag (&encoder.comment, name.c_str(), value.c_str());
    vorbis_analysis_init (&encoder.dsp, &encoder.info);
    encoder.dspReady = true;
    vorbis_block_init (&encoder.dsp, &encoder.block);
    encoder.blockReady = true;
    ogg_stream_init (&encoder.stream, serialOf (tags));
    encoder.streamReady = true;

    std::vector<uint8_t> out;
    ogg_packet header, commentHeader, codeHeader;
    vorbis_analysis_headerout (&encoder.dsp, &encoder.comment, &header, &commentHeader, &codeHeader);
    ogg_stream_packetin (&encoder.stream, &header);
    ogg_stream_packetin (&encoder.stream, &commentHeader);
    ogg_stream_packetin (&encoder.stream, &codeHeader);
    ogg_page page;
    // The audio starts on a page of its own, as players expect.
    while (ogg_stream_flush (&encoder.stream, &page) != 0)
        appendPage (page, out);

    const auto drain = [&]
    {
        ogg_packet packet;
        while (vorbis_analysis_blockout (&encoder.dsp, &encoder.block) == 1)
        {
            vorbis_analysis (&encoder.block, nullptr);
            vorbis_bitrate_addblock (&encoder.block);
            while (vorbis_bitrate_flushpacket (&encoder.dsp, &packet) != 0)
            {
                ogg_stream_packetin (&encoder.stream, &packet);
                while (ogg_stream_pageout (&encoder.stream, &page) != 0)
                    appendPage (page, out);
            }
        }
    };
    constexpr size_t step = 4096;
    for (size_t start = 0; start < count; start += step)
    {
        const size_t frames = std::min (step, count - start);
        float** buffer = vorbis_analysis_buffer (&encoder.dsp, static_cast<int> (frames));
        std::copy_n (samples + start, frames, buffer[0]);
        vorbis_analysis_wrote (&encoder.dsp, static_cast<int> (frames));
        drain();
    }
    vorbis_analysis_wrote (&encoder.dsp, 0);
    drain();
    while (ogg_stream_flush (&encoder.stream, &page) != 0)
        appendPage (page, out);
    image = std::move (out);
    return true;
}

bool decode (const uint8_t* data, size_t size, Decoded& decoded, std::string& whyNot, bool tagsOnly)
{
    Source source{data, size};
    OggVorbis_File file;
    const ov_callbacks callbacks{readSource, seekSource, nullptr, tellSource};
    if (ov_open_callbacks (&source, &file, nullptr, 0, callbacks) != 0)
    {
        whyNot = "It is not an Ogg Vorbis file.";
        return false;
    }
    struct Closer
    {
        OggVorbis_File& file;
        ~Closer() { ov_clear (&file); }
    } closer{file};

    Decoded result;
    const vorbis_info* info = ov_info (&file, -1);
    result.sampleRate = static_cast<int> (info->rate);
    result.channels = info->channels;
    if (const vorbis_comment* comment = ov_comment (&file, -1))
        for (int i = 0; i < comment->comments; ++i)
        {
            const std::string field (comment->user_comments[i], static_cast<size_t> (comment->comment_lengths[i]));
            const size_t equals = field.find ('=');
            if (equals != std::string::npos)
                result.tags.fields.emplace_back (field.substr (0, equals), field.substr (equals + 1));
        }
    if (!tagsOnly)
    {
        const ogg_int64_t length = ov_pcm_total (&file, -1);
        if (length > 0)
            result.samples.reserve (static_cast<size_t> (length));
        for (int section = 0;;)
        {
            float** pcm = nullptr;
            const long frames = ov_read_float (&file, &pcm, 4096, &section);
            if (frames == 0)
                break;
            if (frames < 0)
            {
                whyNot = "Its audio is damaged.";
                return false;
            }
            result.samples.insert (result.samples.end(), pcm[0], pcm[0] + frames);
        }
        if (length >= 0 && static_cast<size_t> (length) != result.samples.size())
        {
            whyNot = "Its audio ends early.";
            return false;
        }
    }
    decoded = std::move (result);
    return true;
}
} // namespace VorbisFile
