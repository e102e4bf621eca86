#include "previews/PreviewArchive.h"

#include "files/FileBytes.h"
#include "files/QorvFileIO.h"
#include "previews/PreviewFolder.h"

#include <set>
#include <zlib.h>

namespace PreviewArchive
{
namespace
{
    constexpr uint32_t localSignature = 0x04034b50, centralSignature = 0x02014b50, endSignature = 0x06054b50;
    constexpr size_t maxEntries = 100000;
    constexpr size_t endRecordSize = 22;

    void put16 (std::vector<uint8_t>& out, uint32_t value)
    {
        out.push_back (static_cast<uint8_t> (value));
        out.push_back (static_cast<uint8_t> (value >> 8));
    }
    void put32 (std::vector<uint8_t>& out, uint32_t value)
    {
        put16 (out, value & 0xFFFF);
        put16 (out, value >> 16);
    }
    uint32_t get16 (const uint8_t* at)
    {
        return static_cast<uint32_t> (at[0] | (at[1] << 8));
    }
    uint32_t get32 (const uint8_t* at)
    {
        return get16 (at) | (get16 (at + 2) << 16);
    }

    uint32_t crcOf (const std::vector<uint8_t>& bytes)
    {
        uLong crc = crc32 (0L, Z_NULL, 0);
        // zlib takes at most 4 GB at a time; entries are far smaller.
        return static_cast<uint32_t> (crc32 (crc, bytes.data(), static_cast<uInt> (bytes.size())));
    }

    bool inflateRaw (const uint8_t* data, size_t size, size_t expected, std::vector<uint8_t>& out)
    {
        out.assign (expected, 0);
        z_stream stream{};
        if (inflateInit2 (&stream, -MAX_WBITS) != Z_OK)
            return false;
        stream.next_in = const_cast<Bytef*> (data);
        stream.avail_in = static_cast<uInt> (size);
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt> (out.size());
        const int result = inflate (&stream, Z_FINISH);
        const bool whole = result == Z_STREAM_END && stream.total_out == expected;
        inflateEnd (&stream);
        return whole;
    }
} // namespace

std::vector<uint8_t> write (const std::vector<Entry>& entries)
{
    std::vector<uint8_t> zip, central;
    for (const auto& entry : entries)
    {
        const auto offset = static_cast<uint32_t> (zip.size());
        const uint32_t crc = crcOf (entry.bytes);
        const auto size = static_cast<uint32_t> (entry.bytes.size());
        const auto nameLength = static_cast<uint32_t> (entry.name.size());
        // Version 2.0, flag bit 11: the name is UTF-8; method 0: stored.
        put32 (zip, localSignature);
        put16 (zip, 20);
        put16 (zip, 0x0800);
        put16 (zip, 0);
        put16 (zip, 0);
        put16 (zip, 0x21); // 1980-01-01: a fixed date, so equal content gives equal archives
        put32 (zip, crc);
        put32 (zip, size);
        put32 (zip, size);
        put16 (zip, nameLength);
        put16 (zip, 0);
        zip.insert (zip.end(), entry.name.begin(), entry.name.end());
        zip.insert (zip.end(), entry.bytes.begin(), entry.bytes.end());

        put32 (central, centralSignature);
        put16 (central, 0x0314); // made by Unix, version 2.0
        put16 (central, 20);
        put16 (central, 0x0800);
        put16 (central, 0);
        put16 (central, 0);
        put16 (central, 0x21);
        put32 (central, crc);
        put32 (central, size);
        put32 (central, size);
        put16 (central, nameLength);
        put16 (central, 0);
        put16 (central, 0);
        put16 (central, 0);
        put16 (central, 0);
        put32 (central, 0100644u << 16); // a plain file, rw-r--r--
        put32 (central, offset);
        central.insert (central.end(), entry.name.begin(), entry.name.end());
    }
    const auto centralOffset = static_cast<uint32_t> (zip.size());
    zip.insert (zip.end(), central.begin(), central.end());
    put32 (zip, endSignature);
    put16 (zip, 0);
    put16 (zip, 0);
    put16 (zip, static_cast<uint32_t> (entries.size()));
    put16 (zip, static_cast<uint32_t> (entries.size()));
    put32 (zip, static_cast<uint32_t> (central.size()));
    put32 (zip, centralOffset);
    put16 (zip, 0);
    return zip;
}

bool read (const uint8_t* data, size_t size, std::vector<Entry>& entries, std::string& whyNot)
{
    const auto refuse = [&whyNot] (const char* why)
    {
        whyNot = why;
        return false;
    };
    if (size < endRecordSize)
        return refuse ("It is not a zip file.");
    // The end record is last, after a comment of at most 64 KB.
    size_t end = size - endRecordSize + 1;
    const size_t earliest = size > endRecordSize + 0xFFFF ? size - endRecordSize - 0xFFFF : 0;
    do
        --end;
    while (end > earliest && get32 (data + end) != endSignature);
    if (get32 (data + end) != endSignature)
        return refuse ("It is not a zip file.");
    const size_t count = get16 (data + end + 10);
    const size_t centralSize = get32 (data + end + 12);
    const size_t centralOffset = get32 (data + end + 16);
    if (count > maxEntries || centralOffset > end || centralSize > end - centralOffset)
        return refuse ("Its table of contents is damaged.");

    std::vector<Entry> found;
    size_t total = 0;
    size_t at = centralOffset;
    for (size_t i = 0; i < count; ++i)
    {
        if (at + 46 > centralOffset + centralSize || get32 (data + at) != centralSignature)
            return refuse ("Its table of contents is damaged.");
        const uint32_t flags = get16 (data + at + 8), method = get16 (data + at + 10), crc = get32 (data + at + 16);
        const size_t packed = get32 (data + at + 20), unpacked = get32 (data + at + 24);
        const size_t nameLength = get16 (data + at + 28), extraLength = get16 (data + at + 30),
                     commentLength = get16 (data + at + 32);
        const size_t local = get32 (data + at + 42);
        if (at + 46 + nameLength + extraLength + commentLength > centralOffset + centralSize)
            return refuse ("Its table of contents is damaged.");
        const std::string name (reinterpret_cast<const char*> (data + at + 46), nameLength);
        at += 46 + nameLength + extraLength + commentLength;
        if (!name.empty() && name.back() == '/')
            continue;
        if ((flags & 1) != 0)
            return refuse ("It is encrypted.");
        if (method != 0 && method != 8)
            return refuse ("It is compressed in a way Qorv does not read.");
        if (unpacked > FileBytes::maxFileSize || (total += unpacked) > FileBytes::maxFileSize * 4)
            return refuse ("It unpacks to more than Qorv takes.");
        if (local + 30 > centralOffset || get32 (data + local) != localSignature)
            return refuse ("An entry is damaged.");
        const size_t start = local + 30 + get16 (data + local + 26) + get16 (data + local + 28);
        if (start > centralOffset || packed > centralOffset - start)
            return refuse ("An entry is damaged.");
        Entry entry{name, {}};
        if (method == 0)
        {
            if (packed != unpacked)
                return refuse ("An entry is damaged.");
            entry.bytes.assign (data + start, data + start + packed);
        }
        else if (!inflateRaw (data + start, packed, unpacked, entry.bytes))
            return refuse ("An entry is damaged.");
        if (crcOf (entry.bytes) != crc)
            return refuse ("An entry is damaged (its checksum differs).");
        found.push_back (std::move (entry));
    }
    entries = std::move (found);
    return true;
}

bool pack (const std::string& name,
           const std::vector<uint8_t>& libraryImage,
           const std::vector<PatchModel>& patches,
           const PreviewFolder& folder,
           std::vector<uint8_t>& zip,
           std::string& whyNot)
{
    std::vector<Entry> entries{{name + ".106", libraryImage}};
    std::set<std::string> sounds;
    for (const auto& patch : patches)
        sounds.insert (PreviewInfo::hexOf (patch.data));
    for (const auto& [fileName, info] : folder.previews())
    {
        if (sounds.count (PreviewInfo::hexOf (info.bytes)) == 0)
            continue;
        Entry entry{name + ".previews/" + fileName, {}};
        if (!FileBytes::readAll (folder.path() + "/" + fileName, FileBytes::maxFileSize, entry.bytes))
        {
            whyNot = "The preview " + fileName + " cannot be read.";
            return false;
        }
        entries.push_back (std::move (entry));
    }
    zip = write (entries);
    if (zip.size() > FileBytes::maxFileSize)
    {
        whyNot = "The archive would be larger than " + FileBytes::megabytes (FileBytes::maxFileSize) + ".";
        return false;
    }
    return true;
}

bool unpack (const uint8_t* data, size_t size, Unpacked& unpacked, std::string& whyNot)
{
    std::vector<Entry> entries;
    if (!read (data, size, entries, whyNot))
        return false;
    Unpacked result;
    for (auto& entry : entries)
    {
        const auto& name = entry.name;
        if (name.size() > 4 && name.find ('/') == std::string::npos && name.compare (name.size() - 4, 4, ".106") == 0)
        {
            if (!result.libraryImage.empty() || !result.name.empty())
            {
                whyNot = "It holds more than one library.";
                return false;
            }
            result.name = name.substr (0, name.size() - 4);
            result.libraryImage = std::move (entry.bytes);
        }
    }
    if (result.name.empty() || !FileBytes::isPlainName (result.name + ".106"))
    {
        whyNot = "It holds no library (.106).";
        return false;
    }
    LibraryModel library;
    if (!QorvFileIO::fromBytes (result.libraryImage.data(), result.libraryImage.size(), library, whyNot))
    {
        whyNot = "Its library cannot be read: " + whyNot;
        return false;
    }
    const std::string folderPrefix = result.name + ".previews/";
    for (auto& entry : entries)
    {
        if (entry.name == result.name + ".106")
            continue;
        const std::string file = entry.name.compare (0, folderPrefix.size(), folderPrefix) == 0
                                     ? entry.name.substr (folderPrefix.size())
                                     : "";
        if (!PreviewInfo::parseFileName (file))
        {
            whyNot = "It holds " + entry.name + ", which is neither its library nor one of its previews.";
            return false;
        }
        result.previews.push_back ({file, std::move (entry.bytes)});
    }
    unpacked = std::move (result);
    return true;
}
} // namespace PreviewArchive
