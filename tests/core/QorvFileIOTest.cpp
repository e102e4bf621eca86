#include "files/QorvFileIO.h"
#include "FactoryPatches.h"
#include "TempFolder.h"
#include "files/FileBytes.h"

#include <gtest/gtest.h>

#include <zlib.h>

namespace
{
using Bytes = std::vector<uint8_t>;
const std::string zeroId = "00000000-0000-0000-0000-000000000000";

/** Writes the format independently of QorvFileIO: every section is collected
    and its CRC taken in one zlib call when it is closed. */
struct ImageWriter
{
    Bytes image;
    size_t sectionStart = 0;

    void be (unsigned long long value, int bytes)
    {
        for (int i = bytes - 1; i >= 0; --i)
            image.push_back (static_cast<uint8_t> (value >> (8 * i)));
    }
    void i16 (int value) { be (static_cast<uint16_t> (value), 2); }
    void i32 (long long value) { be (static_cast<uint32_t> (value), 4); }
    void i64 (long long value) { be (static_cast<unsigned long long> (value), 8); }
    void raw (const Bytes& bytes) { image.insert (image.end(), bytes.begin(), bytes.end()); }
    void str (const std::string& text)
    {
        i32 (static_cast<long long> (text.size()));
        image.insert (image.end(), text.begin(), text.end());
    }
    void crc()
    {
        i64 (static_cast<long long> (sectionCrc()));
        sectionStart = image.size();
    }
    uint32_t sectionCrc() const
    {
        return static_cast<uint32_t> (
            crc32 (0, image.data() + sectionStart, static_cast<uInt> (image.size() - sectionStart)));
    }

    void header (const std::string& name, long long count, int version = 3, int layout = 1)
    {
        raw ({0x21, 0x71, 0x6F, 0x72, 0x76, 0x5C});
        str ("Library");
        i32 (version);
        i32 (layout);
        str (name);
        i64 (count);
        i64 (0);
        crc();
    }
    void record (size_t r, const PatchModel& patch, bool withId = true)
    {
        const int lookup[16] = {17, 91, 53, 29, 86, 11, 74, 38, 95, 62, 21, 83, 7, 58, 44, 99};
        str (patch.name);
        if (withId)
            str (zeroId);
        i64 (0);
        for (size_t i = 0; i < 18; ++i)
            i16 (lookup[(9 * r + i + 8) % 16] * patch.data[i]);
        crc();
    }
    void ending() { raw ({0x16, 0x57, 0x49, 0x6A}); }
};

Bytes imageOf (const LibraryModel& library)
{
    Bytes image;
    EXPECT_TRUE (QorvFileIO::toBytes (library, image));
    return image;
}

bool parses (const Bytes& image, LibraryModel& library)
{
    return QorvFileIO::fromBytes (image.data(), image.size(), library);
}

bool parses (const Bytes& image)
{
    LibraryModel ignored;
    return parses (image, ignored);
}

void expectSameLibrary (const LibraryModel& actual, const LibraryModel& expected)
{
    EXPECT_EQ (actual.name, expected.name);
    ASSERT_EQ (actual.patches.size(), expected.patches.size());
    for (size_t i = 0; i < expected.patches.size(); ++i)
    {
        EXPECT_EQ (actual.patches[i].name, expected.patches[i].name) << i;
        EXPECT_EQ (actual.patches[i].data, expected.patches[i].data) << i;
    }
}

LibraryModel libraryOf (std::string name, std::vector<PatchModel> patches)
{
    LibraryModel library;
    library.name = std::move (name);
    library.patches = std::move (patches);
    return library;
}

PatchModel patchNamed (std::string name, uint8_t firstByte = 0)
{
    PatchModel patch;
    patch.name = std::move (name);
    for (size_t i = 0; i < patch.data.size(); ++i)
        patch.data[i] = static_cast<uint8_t> (firstByte + 13 * i);
    return patch;
}

/** Offsets of the fields of record r in an image written with ids. */
struct RecordSpan
{
    size_t nameStart, idStart, reservedStart, dataStart, crcStart, end;
};

RecordSpan recordSpan (const LibraryModel& library, size_t r)
{
    size_t offset = 6 + 4 + 7 + 4 + 4 + 4 + library.name.size() + 8 + 8 + 8;
    for (size_t i = 0;; ++i)
    {
        RecordSpan span;
        span.nameStart = offset;
        span.idStart = span.nameStart + 4 + library.patches[i].name.size();
        span.reservedStart = span.idStart + 4 + 36;
        span.dataStart = span.reservedStart + 8;
        span.crcStart = span.dataStart + 36;
        span.end = span.crcStart + 8;
        if (i == r)
            return span;
        offset = span.end;
    }
}

/** Stores the right CRC for the record again after its bytes were changed. */
void refreshCrc (Bytes& image, const RecordSpan& span)
{
    const auto crc = crc32 (0, image.data() + span.nameStart, static_cast<uInt> (span.crcStart - span.nameStart));
    for (int i = 0; i < 8; ++i)
        image[span.crcStart + static_cast<size_t> (i)] =
            static_cast<uint8_t> (static_cast<uint64_t> (crc) >> (56 - 8 * i));
}
} // namespace

TEST (QorvFileIOTest, NewLibraryImageIsByteExact)
{
    ImageWriter expected;
    expected.header ("New Library", 1);
    expected.record (0, PatchModel());
    expected.ending();
    EXPECT_EQ (imageOf (LibraryModel()), expected.image);
}

TEST (QorvFileIOTest, LibrariesRoundTrip)
{
    std::vector<PatchModel> factory;
    for (const FactoryPatch& row : loadFactoryPatches())
        factory.push_back (row.patch);

    std::vector<PatchModel> highBytes;
    for (int i = 0; i < 20; ++i)
        highBytes.push_back (patchNamed ("High " + std::to_string (i), static_cast<uint8_t> (128 + i * 11)));
    highBytes[0].data.fill (0xFF);

    const LibraryModel libraries[] = {
        LibraryModel(),
        libraryOf ("Empty", {}),
        libraryOf ("", {patchNamed ("")}),
        libraryOf ("Factory", factory),
        libraryOf ("Bytes above 127", highBytes),
        libraryOf ("Dupes",
                   {patchNamed ("Same", 1), patchNamed ("Same", 2), patchNamed ("A", 3), patchNamed ("Same", 4)}),
        libraryOf ("\xC3\xA9t\xC3\xA9 \xFF\x01",
                   {patchNamed (std::string ("nul\0inside", 10)), patchNamed ("\x80\xFE")}),
        libraryOf (std::string (4096, 'L'), {patchNamed (std::string (4096, '\xE9'))}),
    };
    for (const LibraryModel& library : libraries)
    {
        LibraryModel loaded;
        ASSERT_TRUE (parses (imageOf (library), loaded)) << library.name.substr (0, 20);
        expectSameLibrary (loaded, library);
    }
}

TEST (QorvFileIOTest, FactoryLibraryRoundTripsThroughAFile)
{
    LibraryModel library;
    library.name = "Factory";
    library.patches.clear();
    for (const FactoryPatch& row : loadFactoryPatches())
        library.patches.push_back (row.patch); // file order is list order, duplicates included

    TempFolder folder;
    const std::string path = folder.path ("factory.106");
    ASSERT_TRUE (QorvFileIO::save (path, library));
    LibraryModel loaded;
    ASSERT_TRUE (QorvFileIO::load (path, loaded));
    expectSameLibrary (loaded, library);
    EXPECT_EQ (readBytes (path), imageOf (library));
}

TEST (QorvFileIOTest, ScrambleRepeatsEverySixteenRecordsAndRotatesByNine)
{
    const int lookup[16] = {17, 91, 53, 29, 86, 11, 74, 38, 95, 62, 21, 83, 7, 58, 44, 99};
    PatchModel ones = patchNamed ("P");
    ones.data.fill (1); // the stored values are then the multipliers themselves
    const LibraryModel library = libraryOf ("Scramble", std::vector<PatchModel> (18, ones));
    const Bytes image = imageOf (library);
    const auto stored = [&] (size_t r, size_t i)
    {
        const size_t at = recordSpan (library, r).dataStart + 2 * i;
        return image[at] << 8 | image[at + 1];
    };
    for (size_t i = 0; i < 18; ++i)
    {
        EXPECT_EQ (stored (0, i), lookup[(i + 8) % 16]) << i;
        EXPECT_EQ (stored (1, i), lookup[(i + 17) % 16]) << i;
        EXPECT_EQ (stored (0, i), stored (16, i));
        EXPECT_EQ (stored (1, i), stored (17, i));
    }
}

TEST (QorvFileIOTest, EverySingleByteChangeOfARecordFailsItsCrc)
{
    const LibraryModel library =
        libraryOf ("Lib", {patchNamed ("First", 3), patchNamed ("Second", 200), patchNamed ("Third", 77)});
    const Bytes good = imageOf (library);
    for (size_t r = 0; r < library.patches.size(); ++r)
    {
        const RecordSpan span = recordSpan (library, r);
        for (size_t at = span.nameStart; at < span.crcStart; ++at)
            for (const uint8_t change : {0x01, 0x80, 0xFF})
            {
                Bytes damaged = good;
                damaged[at] ^= change;
                EXPECT_FALSE (parses (damaged)) << "record " << r << " byte " << at;

                // Outside the string counts, the CRC is the only guard: once it
                // is stored right again the changed record loads.
                const bool isCount = at < span.nameStart + 4 || (at >= span.idStart && at < span.idStart + 4);
                if (!isCount)
                {
                    refreshCrc (damaged, span);
                    EXPECT_TRUE (parses (damaged)) << "record " << r << " byte " << at;
                }
            }
    }
}

TEST (QorvFileIOTest, HeaderDamageFails)
{
    const LibraryModel library = libraryOf ("Header", {patchNamed ("P")});
    const Bytes good = imageOf (library);
    const size_t headerEnd = recordSpan (library, 0).nameStart;
    for (size_t at = 0; at < headerEnd; ++at)
    {
        Bytes damaged = good;
        damaged[at] ^= 0x20;
        EXPECT_FALSE (parses (damaged)) << "byte " << at;
    }
}

TEST (QorvFileIOTest, ValidVariantsLoad)
{
    struct Case
    {
        const char* what;
        Bytes image;
        std::vector<std::string> names;
    };
    const PatchModel a = patchNamed ("A", 9), b = patchNamed ("B", 250);
    std::vector<Case> cases;
    {
        ImageWriter w;
        w.header ("No ids", 2, 3, 0);
        w.record (0, a, false);
        w.record (1, b, false);
        w.ending();
        cases.push_back ({"layout flag 0", w.image, {"A", "B"}});
    }
    {
        ImageWriter w;
        w.header ("Negative flag", 1, 3, -5);
        w.record (0, b, false);
        w.ending();
        cases.push_back ({"layout flag below 0", w.image, {"B"}});
    }
    {
        ImageWriter w;
        w.header ("Flag 7", 1, 3, 7);
        w.record (0, a, true);
        w.ending();
        cases.push_back ({"layout flag above 1", w.image, {"A"}});
    }
    {
        ImageWriter w;
        w.header ("Empty", 0);
        w.ending();
        cases.push_back ({"count 0", w.image, {}});
    }
    {
        ImageWriter w;
        w.header ("Negative count", -3);
        w.ending();
        cases.push_back ({"count below 0", w.image, {}});
    }
    {
        ImageWriter w;
        w.header ("Trailing", 1);
        w.record (0, a);
        w.ending();
        w.raw ({1, 2, 3, 0x16});
        cases.push_back ({"bytes after the closing mark", w.image, {"A"}});
    }
    {
        ImageWriter w;
        w.header ("Odd id", 1);
        PatchModel withOddId = a;
        w.str (withOddId.name);
        w.str ("not a zero id at all");
        w.i64 (-1); // reserved: ignored
        const int lookup[16] = {17, 91, 53, 29, 86, 11, 74, 38, 95, 62, 21, 83, 7, 58, 44, 99};
        for (size_t i = 0; i < 18; ++i)
            w.i16 (lookup[(i + 8) % 16] * a.data[i]);
        w.crc();
        w.ending();
        cases.push_back ({"id and reserved contents ignored", w.image, {"A"}});
    }
    for (const Case& c : cases)
    {
        LibraryModel loaded;
        ASSERT_TRUE (parses (c.image, loaded)) << c.what;
        std::vector<std::string> names;
        for (const PatchModel& patch : loaded.patches)
            names.push_back (patch.name);
        EXPECT_EQ (names, c.names) << c.what;
    }
    LibraryModel loaded;
    ASSERT_TRUE (parses (cases[0].image, loaded));
    EXPECT_EQ (loaded.name, "No ids");
    EXPECT_EQ (loaded.patches[0].data, a.data);
    EXPECT_EQ (loaded.patches[1].data, b.data);
}

TEST (QorvFileIOTest, InvalidImagesFailAndLeaveTheLibraryAlone)
{
    const PatchModel a = patchNamed ("A", 5);
    const auto build = [&] (auto edit)
    {
        ImageWriter w;
        edit (w);
        return w.image;
    };
    struct Case
    {
        const char* what;
        Bytes image;
    };
    const Case cases[] = {
        {"empty", {}},
        {"version 2", build ([&] (ImageWriter& w) { w.header ("V", 1, 2), w.record (0, a), w.ending(); })},
        {"version 4", build ([&] (ImageWriter& w) { w.header ("V", 1, 4), w.record (0, a), w.ending(); })},
        {"wrong type tag",
         build (
             [&] (ImageWriter& w)
             {
                 w.raw ({0x21, 0x71, 0x6F, 0x72, 0x76, 0x5C}), w.str ("Librarx"), w.i32 (3), w.i32 (1), w.str ("T");
                 w.i64 (0), w.i64 (0), w.crc(), w.ending();
             })},
        {"type tag with a trailing NUL",
         build (
             [&] (ImageWriter& w)
             {
                 w.raw ({0x21, 0x71, 0x6F, 0x72, 0x76, 0x5C}), w.str (std::string ("Library\0", 8)), w.i32 (3),
                     w.i32 (1);
                 w.str ("T"), w.i64 (0), w.i64 (0), w.crc(), w.ending();
             })},
        {"wrong magic",
         build (
             [&] (ImageWriter& w)
             {
                 w.raw ({0x21, 0x71, 0x6F, 0x72, 0x76, 0x5D}), w.str ("Library"), w.i32 (3), w.i32 (1), w.str ("T");
                 w.i64 (0), w.i64 (0), w.crc(), w.ending();
             })},
        {"crc with upper bits set",
         build (
             [&] (ImageWriter& w)
             {
                 w.raw ({0x21, 0x71, 0x6F, 0x72, 0x76, 0x5C}), w.str ("Library"), w.i32 (3), w.i32 (1), w.str ("T");
                 w.i64 (0), w.i64 (0);
                 w.i64 (static_cast<long long> (w.sectionCrc() | 0x100000000ULL)), w.ending();
             })},
        {"wrong closing mark",
         build (
             [&] (ImageWriter& w) {
                 w.header ("E", 1), w.record (0, a), w.raw ({0x16, 0x57, 0x49, 0x6B});
             })},
        {"no closing mark", build ([&] (ImageWriter& w) { w.header ("E", 1), w.record (0, a); })},
        {"count larger than the records",
         build ([&] (ImageWriter& w) { w.header ("C", 2), w.record (0, a), w.ending(); })},
        {"huge count",
         build ([&] (ImageWriter& w) { w.header ("C", 0x7FFFFFFFFFFFFFFFLL), w.record (0, a), w.ending(); })},
        {"name count 4097",
         build (
             [&] (ImageWriter& w)
             {
                 w.header ("N", 1), w.str (std::string (4097, 'x')), w.str (zeroId), w.i64 (0);
                 for (int i = 0; i < 18; ++i)
                     w.i16 (0);
                 w.crc(), w.ending();
             })},
        {"negative name count",
         build (
             [&] (ImageWriter& w)
             {
                 w.header ("N", 1), w.i32 (-1), w.str (zeroId), w.i64 (0);
                 for (int i = 0; i < 18; ++i)
                     w.i16 (0);
                 w.crc(), w.ending();
             })},
        {"library name count 4097",
         build (
             [&] (ImageWriter& w)
             {
                 w.raw ({0x21, 0x71, 0x6F, 0x72, 0x76, 0x5C}), w.str ("Library"), w.i32 (3), w.i32 (1);
                 w.str (std::string (4097, 'n')), w.i64 (0), w.i64 (0), w.crc(), w.ending();
             })},
    };
    for (const Case& c : cases)
    {
        LibraryModel target;
        target.name = "Untouched";
        EXPECT_FALSE (parses (c.image, target)) << c.what;
        EXPECT_EQ (target.name, "Untouched") << c.what;
        ASSERT_EQ (target.patches.size(), 1u) << c.what;
        EXPECT_EQ (target.patches[0].name, "Init") << c.what;
    }
}

TEST (QorvFileIOTest, EveryTruncationFails)
{
    const Bytes image = imageOf (libraryOf ("Cut", {patchNamed ("A"), patchNamed ("B")}));
    for (size_t length = 0; length < image.size(); ++length)
        EXPECT_FALSE (parses (Bytes (image.begin(), image.begin() + static_cast<std::ptrdiff_t> (length)))) << length;
}

TEST (QorvFileIOTest, NamesLongerThanReadersAcceptAreNeverWritten)
{
    TempFolder folder;
    const std::string path = folder.path ("lib.106");
    const LibraryModel longPatchName = libraryOf ("Fine", {patchNamed ("ok"), patchNamed (std::string (4097, 'p'))});
    const LibraryModel longLibraryName = libraryOf (std::string (4097, 'l'), {patchNamed ("ok")});

    for (const LibraryModel* library : {&longPatchName, &longLibraryName})
    {
        Bytes image{1, 2, 3};
        EXPECT_FALSE (QorvFileIO::toBytes (*library, image));
        EXPECT_FALSE (QorvFileIO::save (path, *library));
        EXPECT_TRUE (folder.entries().empty()) << "nothing created";
    }

    ASSERT_TRUE (QorvFileIO::save (path, LibraryModel()));
    const Bytes before = readBytes (path);
    EXPECT_FALSE (QorvFileIO::save (path, longPatchName));
    EXPECT_EQ (readBytes (path), before);
}

TEST (QorvFileIOTest, LoadRefusesWhatItCannotOrShouldNotRead)
{
    TempFolder folder;
    LibraryModel target;
    target.name = "Untouched";
    EXPECT_FALSE (QorvFileIO::load (folder.path ("missing.106"), target));
    EXPECT_FALSE (QorvFileIO::load (folder.root.string(), target));
    EXPECT_FALSE (QorvFileIO::load ("", target));

    // A valid library followed by enough trailing bytes to pass the cap: the
    // file is refused for its size, although its content would load.
    const std::string big = folder.path ("big.106");
    writeBytes (big, imageOf (LibraryModel()));
    std::filesystem::resize_file (big, FileBytes::maxFileSize + 1);
    EXPECT_FALSE (QorvFileIO::load (big, target));
    EXPECT_EQ (target.name, "Untouched");

    std::filesystem::resize_file (big, 4096);
    EXPECT_TRUE (QorvFileIO::load (big, target));
    EXPECT_EQ (target.name, "New Library");
}

TEST (QorvFileIOTest, ALibraryOfTheLargestSizeAllowedIsWrittenAndReadBackAndALargerOneRefused)
{
    // Patches with the longest names reach the limit quickly; the last names make the size exact.
    LibraryModel library = libraryOf ("Largest", {});
    const size_t perRecord = QorvFileIO::imageSize (libraryOf ("Largest", {patchNamed ("", 0)})) -
                             QorvFileIO::imageSize (library); // a record, less its name
    const std::string longest (QorvFileIO::maxStringLength, 'n');
    size_t size = QorvFileIO::imageSize (library);
    for (; size + 3 * perRecord + longest.size() <= FileBytes::maxFileSize; size += perRecord + longest.size())
        library.patches.push_back (patchNamed (longest, static_cast<uint8_t> (library.patches.size() % 128)));
    const size_t left = FileBytes::maxFileSize - size - 2 * perRecord;
    library.patches.push_back (patchNamed (std::string (std::min (left, longest.size()), 'd'), 4));
    library.patches.push_back (patchNamed (std::string (left - library.patches.back().name.size(), 'e'), 5));
    ASSERT_EQ (QorvFileIO::imageSize (library), FileBytes::maxFileSize);

    TempFolder folder;
    const std::string path = folder.path ("largest.106");
    ASSERT_TRUE (QorvFileIO::saveWithReason (path, library)) << QorvFileIO::saveWithReason (path, library).reason;
    EXPECT_EQ (std::filesystem::file_size (path), FileBytes::maxFileSize);
    LibraryModel loaded;
    ASSERT_TRUE (QorvFileIO::load (path, loaded));
    ASSERT_EQ (loaded.patches.size(), library.patches.size());
    EXPECT_EQ (loaded.patches.back().name, library.patches.back().name);
    EXPECT_EQ (loaded.patches[1].data[0], 1);

    // One byte more could not be read back: refused before anything is written.
    library.patches.back().name += 'e';
    const std::string larger = folder.path ("larger.106");
    const auto refused = QorvFileIO::saveWithReason (larger, library);
    EXPECT_FALSE (refused);
    EXPECT_EQ (refused.reason,
               "The library is too large to save: its " + std::to_string (library.patches.size()) +
                   " patches would take 257 MB, more than the 256 MB a library file may take.");
    EXPECT_FALSE (std::filesystem::exists (larger));
    Bytes image;
    EXPECT_FALSE (QorvFileIO::toBytes (library, image));
}
