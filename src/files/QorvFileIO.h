#pragma once

#include "files/WriteResult.h"
#include "patch/LibraryModel.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/** The library file (.106): a header and one record per patch, each section
    closed by its CRC-32, the patch bytes stored scrambled, and a closing mark.
    Images are built and parsed whole in memory; save and load only move them
    to and from the disk. */
class QorvFileIO
{
public:
    QorvFileIO() = delete;

    static constexpr std::array<uint8_t, 6> MAGIC{0x21, 0x71, 0x6F, 0x72, 0x76, 0x5C}; // "!qorv\"
    static constexpr std::array<uint8_t, 4> ENDING{0x16, 0x57, 0x49, 0x6A};
    static constexpr std::array<uint8_t, 16> LOOKUP{17, 91, 53, 29, 86, 11, 74, 38, 95, 62, 21, 83, 7, 58, 44, 99};

    static constexpr int formatVersion = 3;
    static constexpr int layoutWithIds = 1;
    /** Longest string a reader accepts; stored files rely on the limit. */
    static constexpr size_t maxStringLength = 4096;
    static constexpr const char* typeTag = "Library";
    static constexpr const char* patchId = "00000000-0000-0000-0000-000000000000";

    /** Builds a file image, feeding every byte to a running CRC register. */
    class CrcStream
    {
    public:
        void writeI16 (short value);
        void writeI32 (int value);
        void writeI64 (long long value);
        void writeStr (const std::string& text);
        void writeRaw (const uint8_t* bytes, size_t count);
        /** Stores the complemented register as an I64 and starts the next section. */
        void writeCrc();

        std::vector<uint8_t> buffer;
        uint32_t crc = 0xFFFFFFFF;
    };

    /** Reads a file image, feeding every consumed byte to a running CRC
        register. A read past the end consumes nothing, yields 0 (or an empty
        string) and clears `ok` for good. */
    class CrcReader
    {
    public:
        CrcReader (const uint8_t* image, size_t length) : data (image), size (length) {}

        short readI16();
        int readI32();
        long long readI64();
        /** A count above maxStringLength or below 0 also fails the read. */
        std::string readStr();
        uint8_t readRaw();
        /** Reads a stored CRC and starts the next section; true when it matches. */
        bool checkCrc();

        const uint8_t* data;
        size_t pos = 0;
        size_t size;
        uint32_t crc = 0xFFFFFFFF;
        bool ok = true;

    private:
        /** The next `count` bytes, consumed and fed to the CRC, or nullptr. */
        const uint8_t* take (size_t count);
        unsigned long long readBigEndian (size_t count);
    };

    /** Writes the 18 scrambled values of the record at position `record`. */
    static void encodeData (CrcStream& stream, const uint8_t* patchBytes, size_t record);
    /** Fills 18 bytes from the scrambled values of a record; returns the reader's ok. */
    static bool decodeData (CrcReader& reader, uint8_t* patchBytes, size_t record);

    /** The size of the library's file image, in bytes. */
    static size_t imageSize (const LibraryModel& library);
    /** Why the library cannot be written (a name longer than a reader
        accepts, or a file larger than FileBytes::maxFileSize: such a file
        could never be loaded again), or success. */
    static WriteResult checkWritable (const LibraryModel& library);
    /** The file image of a library, or false when checkWritable refuses it. */
    static bool toBytes (const LibraryModel& library, std::vector<uint8_t>& image);
    /** Parses a whole image; on success replaces the library's name and
        patches, on failure leaves the library as it was. */
    static bool fromBytes (const uint8_t* image, size_t size, LibraryModel& library);
    /** fromBytes, saying why an image was refused, in words that follow the
        file's name: "is not a Qorv library (.106)", "is a damaged Qorv
        library: patch 3 of 12 fails its check"... */
    static bool fromBytes (const uint8_t* image, size_t size, LibraryModel& library, std::string& whyNot);

    /** Refuses an unreadable library before touching the disk and replaces the
        file atomically (FileBytes::replaceFile), so a failure leaves any old
        file as it was. */
    static WriteResult saveWithReason (const std::string& path, const LibraryModel& library);
    /** saveWithReason, reporting only whether it worked. */
    static bool save (const std::string& path, const LibraryModel& library);
    /** Refuses files over FileBytes::maxFileSize before reading them. */
    static bool load (const std::string& path, LibraryModel& library);
    /** load, saying why a file was refused: what FileBytes::whyNotReadable
        says of the file, or what fromBytes says of its content. */
    static bool load (const std::string& path, LibraryModel& library, std::string& whyNot);
};
