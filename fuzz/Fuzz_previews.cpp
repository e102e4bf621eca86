// What a preview archive or a preview file from elsewhere may hold: any
// bytes read as a zip give entries that, written back, read the same; an
// archive refused leaves what it was to fill alone; any bytes decoded as
// Ogg Vorbis either fail or give audio whose length its tags cannot push
// past the file's own.

#include "FuzzSupport.h"
#include "previews/Preview.h"
#include "previews/PreviewArchive.h"
#include "previews/VorbisFile.h"

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    std::vector<PreviewArchive::Entry> entries;
    std::string whyNot;
    if (PreviewArchive::read (data, size, entries, whyNot))
    {
        const auto again = PreviewArchive::write (entries);
        std::vector<PreviewArchive::Entry> reread;
        require (PreviewArchive::read (again.data(), again.size(), reread, whyNot),
                 "what was read, written back, reads");
        require (reread.size() == entries.size(), "as many entries");
        for (size_t i = 0; i < entries.size(); ++i)
            require (reread[i].name == entries[i].name && reread[i].bytes == entries[i].bytes, "the same entries");
    }
    else
        require (!whyNot.empty(), "a refusal says why");

    PreviewArchive::Unpacked unpacked;
    unpacked.name = "untouched";
    if (!PreviewArchive::unpack (data, size, unpacked, whyNot))
        require (unpacked.name == "untouched" && unpacked.previews.empty(),
                 "a refused archive leaves the result alone");
    else
        for (const auto& preview : unpacked.previews)
            require (PreviewInfo::parseFileName (preview.name).has_value(), "every preview taken is named as one");

    VorbisFile::Decoded decoded;
    if (VorbisFile::decode (data, size, decoded, whyNot))
    {
        require (decoded.sampleRate > 0 && decoded.channels > 0, "a decoded stream has a rate and channels");
        if (const auto info = PreviewInfo::fromTags (decoded.tags, decoded.sampleRate, decoded.samples.size()))
            require (info->frames == decoded.samples.size(), "the length is the audio's, whatever the tags say");
    }
    return 0;
}
