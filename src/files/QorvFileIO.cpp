#include "files/QorvFileIO.h"
#include "files/FileBytes.h"
#include "files/Utf8Text.h"

#include <algorithm>
#include <string>
#include <zlib.h>

namespace
{
/** zlib keeps the CRC complemented between calls; the format keeps the raw
    register (preset FFFFFFFF). One run of bytes advances the register. */
uint32_t advanceCrc (uint32_t reg, const uint8_t* bytes, size_t count)
{
    return ~static_cast<uint32_t> (crc32_z (~reg & 0xFFFFFFFFUL, bytes, count));
}

constexpr uint32_t crcPreset = 0xFFFFFFFF;

/** The multiplier of byte i of the record at position r. */
uint8_t multiplier (size_t record, size_t byteIndex)
{
    // Unsigned wrap-around keeps the value mod 16 exact for any record index.
    return QorvFileIO::LOOKUP[(137 * record + 10792 + byteIndex) % 16];
}

/** Bytes a record takes at least (empty name, no id string), used only to
    bound how much room a claimed patch count may reserve. */
constexpr size_t smallestRecord = 4 + 8 + 18 * 2 + 8;
} // namespace

// ------------------------------------------------------------------ CrcStream

void QorvFileIO::CrcStream::writeRaw (const uint8_t* bytes, size_t count)
{
    buffer.insert (buffer.end(), bytes, bytes + count);
    crc = advanceCrc (crc, bytes, count);
}

void QorvFileIO::CrcStream::writeI16 (short value)
{
    const auto bits = static_cast<uint16_t> (value);
    const uint8_t bytes[] = {static_cast<uint8_t> (bits >> 8), static_cast<uint8_t> (bits)};
    writeRaw (bytes, sizeof (bytes));
}

void QorvFileIO::CrcStream::writeI32 (int value)
{
    const auto bits = static_cast<uint32_t> (value);
    uint8_t bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<uint8_t> (bits >> (24 - 8 * i));
    writeRaw (bytes, sizeof (bytes));
}

void QorvFileIO::CrcStream::writeI64 (long long value)
{
    const auto bits = static_cast<unsigned long long> (value);
    uint8_t bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<uint8_t> (bits >> (56 - 8 * i));
    writeRaw (bytes, sizeof (bytes));
}

void QorvFileIO::CrcStream::writeStr (const std::string& text)
{
    writeI32 (static_cast<int> (text.size()));
    writeRaw (reinterpret_cast<const uint8_t*> (text.data()), text.size());
}

void QorvFileIO::CrcStream::writeCrc()
{
    writeI64 (static_cast<long long> (~crc & 0xFFFFFFFFULL));
    crc = crcPreset;
}

// ------------------------------------------------------------------ CrcReader

const uint8_t* QorvFileIO::CrcReader::take (size_t count)
{
    if (count > size - pos)
    {
        ok = false;
        return nullptr;
    }
    const uint8_t* bytes = data + pos;
    pos += count;
    crc = advanceCrc (crc, bytes, count);
    return bytes;
}

unsigned long long QorvFileIO::CrcReader::readBigEndian (size_t count)
{
    const uint8_t* bytes = take (count);
    unsigned long long value = 0;
    for (size_t i = 0; bytes != nullptr && i < count; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

short QorvFileIO::CrcReader::readI16()
{
    return static_cast<short> (static_cast<uint16_t> (readBigEndian (2)));
}

int QorvFileIO::CrcReader::readI32()
{
    return static_cast<int> (static_cast<uint32_t> (readBigEndian (4)));
}

long long QorvFileIO::CrcReader::readI64()
{
    return static_cast<long long> (readBigEndian (8));
}

std::string QorvFileIO::CrcReader::readStr()
{
    const int count = readI32();
    if (count < 0 || static_cast<size_t> (count) > maxStringLength)
    {
        ok = false;
        return {};
    }
    const uint8_t* bytes = take (static_cast<size_t> (count));
    return bytes != nullptr ? std::string (reinterpret_cast<const char*> (bytes), static_cast<size_t> (count))
                            : std::string();
}

uint8_t QorvFileIO::CrcReader::readRaw()
{
    const uint8_t* byte = take (1);
    return byte != nullptr ? *byte : 0;
}

bool QorvFileIO::CrcReader::checkCrc()
{
    const auto expected = static_cast<long long> (~crc & 0xFFFFFFFFULL);
    const long long stored = readI64();
    crc = crcPreset;
    return stored == expected;
}

// ------------------------------------------------------------------ patch bytes

void QorvFileIO::encodeData (CrcStream& stream, const uint8_t* patchBytes, size_t record)
{
    for (size_t i = 0; i < PatchBits::numBytes; ++i)
        stream.writeI16 (static_cast<short> (multiplier (record, i) * patchBytes[i]));
}

bool QorvFileIO::decodeData (CrcReader& reader, uint8_t* patchBytes, size_t record)
{
    for (size_t i = 0; i < PatchBits::numBytes; ++i)
    {
        const int stored = reader.readI16();
        patchBytes[i] = static_cast<uint8_t> (stored / multiplier (record, i));
    }
    return reader.ok;
}

// ------------------------------------------------------------------ images

size_t QorvFileIO::imageSize (const LibraryModel& library)
{
    constexpr size_t stringCount = 4, i32 = 4, i64 = 8;
    const size_t header = MAGIC.size() + stringCount + std::char_traits<char>::length (typeTag) + 2 * i32 +
                          stringCount + library.name.size() + 2 * i64 + i64;
    const size_t record =
        2 * stringCount + std::char_traits<char>::length (patchId) + i64 + 2 * PatchBits::numBytes + i64;
    size_t total = header + library.patches.size() * record + ENDING.size();
    for (const PatchModel& patch : library.patches)
        total += patch.name.size();
    return total;
}

WriteResult QorvFileIO::checkWritable (const LibraryModel& library)
{
    const std::string limit = " is longer than " + std::to_string (maxStringLength) + " bytes.";
    if (library.name.size() > maxStringLength)
        return WriteResult::failure ("The name of the library" + limit);
    for (const PatchModel& patch : library.patches)
        if (patch.name.size() > maxStringLength)
            return WriteResult::failure ("The name of patch \"" + Utf8Text::forMessage (patch.name) + "\"" + limit);
    if (const size_t size = imageSize (library); size > FileBytes::maxFileSize)
        return WriteResult::failure ("The library is too large to save: its " +
                                     std::to_string (library.patches.size()) + " patches would take " +
                                     FileBytes::megabytes (size) + ", more than the " +
                                     FileBytes::megabytes (FileBytes::maxFileSize) + " a library file may take.");
    return WriteResult::success();
}

bool QorvFileIO::toBytes (const LibraryModel& library, std::vector<uint8_t>& image)
{
    if (!checkWritable (library))
        return false;

    CrcStream stream;
    stream.buffer.reserve (imageSize (library));

    stream.writeRaw (MAGIC.data(), MAGIC.size());
    stream.writeStr (typeTag);
    stream.writeI32 (formatVersion);
    stream.writeI32 (layoutWithIds);
    stream.writeStr (library.name);
    stream.writeI64 (static_cast<long long> (library.patches.size()));
    stream.writeI64 (0);
    stream.writeCrc();

    const std::string id (patchId);
    for (size_t record = 0; record < library.patches.size(); ++record)
    {
        const PatchModel& patch = library.patches[record];
        stream.writeStr (patch.name);
        stream.writeStr (id);
        stream.writeI64 (0);
        encodeData (stream, patch.data.data(), record);
        stream.writeCrc();
    }
    stream.writeRaw (ENDING.data(), ENDING.size());

    image = std::move (stream.buffer);
    return true;
}

bool QorvFileIO::fromBytes (const uint8_t* image, size_t size, LibraryModel& library)
{
    std::string ignored;
    return fromBytes (image, size, library, ignored);
}

bool QorvFileIO::fromBytes (const uint8_t* image, size_t size, LibraryModel& library, std::string& whyNot)
{
    const auto refuse = [&whyNot] (std::string why)
    {
        whyNot = std::move (why);
        return false;
    };
    const std::string notALibrary = "is not a Qorv library (.106)";
    const std::string damaged = "is a damaged Qorv library: ";

    CrcReader reader (image, size);
    for (const uint8_t expected : MAGIC)
        if (reader.readRaw() != expected || !reader.ok)
            return refuse (notALibrary);
    if (reader.readStr() != typeTag)
        return refuse (notALibrary);
    const int version = reader.readI32();
    const int layout = reader.readI32();
    if (!reader.ok)
        return refuse (damaged + "it ends inside its header");
    if (version != formatVersion)
        return refuse ("is a Qorv library of another format (version " + std::to_string (version) + ")");

    // Everything is parsed into locals; the caller's library changes only once
    // the whole image has passed every check.
    std::string name = reader.readStr();
    const long long count = reader.readI64();
    reader.readI64(); // reserved
    if (!reader.checkCrc() || !reader.ok)
        return refuse (damaged + "its header fails its check");

    std::vector<PatchModel> patches;
    if (count > 0)
        patches.reserve (std::min (static_cast<size_t> (count), (size - reader.pos) / smallestRecord));
    for (long long record = 0; record < count; ++record)
    {
        PatchModel patch;
        patch.name = reader.readStr();
        if (layout >= layoutWithIds)
            reader.readStr(); // the id carries nothing we use
        reader.readI64();     // reserved
        if (!decodeData (reader, patch.data.data(), static_cast<size_t> (record)) || !reader.checkCrc() || !reader.ok)
            return refuse (damaged + "patch " + std::to_string (record + 1) + " of " + std::to_string (count) +
                           (reader.ok ? " fails its check" : " is cut short"));
        patches.push_back (std::move (patch));
    }

    for (const uint8_t expected : ENDING)
        if (reader.readRaw() != expected || !reader.ok)
            return refuse (damaged + "its closing mark is missing");

    library.name = std::move (name);
    library.patches = std::move (patches);
    whyNot.clear();
    return true;
}

WriteResult QorvFileIO::saveWithReason (const std::string& path, const LibraryModel& library)
{
    if (WriteResult refused = checkWritable (library); !refused)
        return refused;
    std::vector<uint8_t> image;
    toBytes (library, image);
    return FileBytes::replaceFile (path, image.data(), image.size());
}

bool QorvFileIO::save (const std::string& path, const LibraryModel& library)
{
    return saveWithReason (path, library).ok;
}

bool QorvFileIO::load (const std::string& path, LibraryModel& library)
{
    std::vector<uint8_t> image;
    return FileBytes::readAll (path, FileBytes::maxFileSize, image) && fromBytes (image.data(), image.size(), library);
}

bool QorvFileIO::load (const std::string& path, LibraryModel& library, std::string& whyNot)
{
    std::vector<uint8_t> image;
    if (!FileBytes::readAll (path, FileBytes::maxFileSize, image))
    {
        // Why a file was refused is looked into only once it was.
        whyNot = FileBytes::whyNotReadable (path);
        if (whyNot.empty())
            whyNot = "could not be read";
        return false;
    }
    return fromBytes (image.data(), image.size(), library, whyNot);
}
