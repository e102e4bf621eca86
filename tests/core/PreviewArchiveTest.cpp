#include "previews/PreviewArchive.h"
#include "files/QorvFileIO.h"
#include "previews/PreviewFolder.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <zlib.h>

namespace
{
std::vector<uint8_t> bytesOf (const std::string& text)
{
    return {text.begin(), text.end()};
}

PatchModel patchWith (uint8_t first)
{
    PatchModel patch;
    patch.data.fill (0x10);
    patch.data[0] = first;
    patch.name = "P" + std::to_string (first);
    return patch;
}
} // namespace

TEST (PreviewArchiveTest, EntriesComeBackAsTheyWentInAndUnzipReadsTheArchive)
{
    const std::vector<PreviewArchive::Entry> entries = {
        {"a.106", bytesOf ("library")}, {"a.previews/x.ogg", std::vector<uint8_t> (70000, 7)}, {"empty", {}}};
    const auto zip = PreviewArchive::write (entries);
    std::vector<PreviewArchive::Entry> read;
    std::string whyNot;
    ASSERT_TRUE (PreviewArchive::read (zip.data(), zip.size(), read, whyNot)) << whyNot;
    ASSERT_EQ (read.size(), 3u);
    for (size_t i = 0; i < read.size(); ++i)
    {
        EXPECT_EQ (read[i].name, entries[i].name);
        EXPECT_EQ (read[i].bytes, entries[i].bytes);
    }
    EXPECT_EQ (PreviewArchive::write (entries), zip); // the same content, the same bytes

    // The system's unzip takes it too, where it is installed.
    TempFolder temp;
    writeBytes (temp.path ("x.zip"), zip);
    if (std::system ("command -v unzip >/dev/null 2>&1") == 0)
    {
        EXPECT_EQ (std::system (("unzip -tq " + temp.path ("x.zip") + " >/dev/null").c_str()), 0);
    }
}

TEST (PreviewArchiveTest, ADeflatedEntryIsReadAndDamageIsRefused)
{
    // A deflated entry, as other zip programs write them: made from a stored one.
    const std::vector<uint8_t> content (5000, 'a');
    std::vector<uint8_t> packed (compressBound (content.size()) + 16);
    z_stream stream{};
    deflateInit2 (&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    stream.next_in = const_cast<Bytef*> (content.data());
    stream.avail_in = static_cast<uInt> (content.size());
    stream.next_out = packed.data();
    stream.avail_out = static_cast<uInt> (packed.size());
    deflate (&stream, Z_FINISH);
    packed.resize (stream.total_out);
    deflateEnd (&stream);
    auto zip = PreviewArchive::write ({{"d.txt", packed}});
    // Method 8 in both headers, the sizes and checksum of the content.
    const uint32_t crc = static_cast<uint32_t> (crc32 (0L, content.data(), static_cast<uInt> (content.size())));
    const auto set32 = [&zip] (size_t at, uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            zip[at + static_cast<size_t> (i)] = static_cast<uint8_t> (value >> (8 * i));
    };
    const size_t central = 30 + 5 + packed.size();
    zip[8] = zip[central + 10] = 8;
    set32 (14, crc);
    set32 (central + 16, crc);
    set32 (22, static_cast<uint32_t> (content.size()));
    set32 (central + 24, static_cast<uint32_t> (content.size()));
    std::vector<PreviewArchive::Entry> read;
    std::string whyNot;
    ASSERT_TRUE (PreviewArchive::read (zip.data(), zip.size(), read, whyNot)) << whyNot;
    EXPECT_EQ (read.at (0).bytes, content);

    auto damaged = PreviewArchive::write ({{"a", bytesOf ("hello")}});
    damaged[30 + 1 + 2] ^= 0xFF; // a byte of the content
    EXPECT_FALSE (PreviewArchive::read (damaged.data(), damaged.size(), read, whyNot));
    EXPECT_EQ (whyNot, "An entry is damaged (its checksum differs).");
    const std::vector<uint8_t> notZip (100, 0);
    EXPECT_FALSE (PreviewArchive::read (notZip.data(), notZip.size(), read, whyNot));
    EXPECT_FALSE (PreviewArchive::read (damaged.data(), damaged.size() - 3, read, whyNot));
}

TEST (PreviewArchiveTest, ALibraryPacksWithThePreviewsOfItsSoundsAndUnpacksWhole)
{
    TempFolder temp;
    LibraryModel library;
    library.name = "Strings";
    library.replacePatches ({patchWith (1), patchWith (2)});
    std::vector<uint8_t> image;
    ASSERT_TRUE (QorvFileIO::toBytes (library, image));
    PreviewFolder folder (temp.path ("Strings.previews"));
    for (const uint8_t first : {1, 3}) // a preview of a sound the library no longer has, too
    {
        PreviewInfo info;
        info.bytes = patchWith (first).data;
        ASSERT_TRUE (folder.store (info, std::vector<float> (4800, 0.2f)));
    }
    std::vector<uint8_t> zip;
    std::string whyNot;
    ASSERT_TRUE (PreviewArchive::pack ("Strings", image, library.patches, folder, zip, whyNot)) << whyNot;

    PreviewArchive::Unpacked unpacked;
    ASSERT_TRUE (PreviewArchive::unpack (zip.data(), zip.size(), unpacked, whyNot)) << whyNot;
    EXPECT_EQ (unpacked.name, "Strings");
    EXPECT_EQ (unpacked.libraryImage, image);
    ASSERT_EQ (unpacked.previews.size(), 1u);
    EXPECT_EQ (unpacked.previews[0].name, PreviewInfo::fileNameOf (patchWith (1).data, Phrase{}));
    EXPECT_EQ (unpacked.previews[0].bytes, readBytes (temp.path ("Strings.previews/") + unpacked.previews[0].name));

    struct Case
    {
        const char* what;
        std::vector<PreviewArchive::Entry> entries;
        const char* why;
    };
    const Case refused[] = {
        {"no library", {{"x.previews/a.ogg", {}}}, "It holds no library (.106)."},
        {"two libraries", {{"a.106", image}, {"b.106", image}}, "It holds more than one library."},
        {"a library that is not one", {{"a.106", bytesOf ("nonsense")}}, nullptr},
        {"a stray file", {{"a.106", image}, {"a.previews/../../etc/passwd", {}}}, nullptr},
        {"a file beside", {{"a.106", image}, {"readme.txt", {}}}, nullptr},
    };
    for (const auto& c : refused)
    {
        SCOPED_TRACE (c.what);
        const auto bad = PreviewArchive::write (c.entries);
        PreviewArchive::Unpacked left;
        left.name = "untouched";
        EXPECT_FALSE (PreviewArchive::unpack (bad.data(), bad.size(), left, whyNot));
        EXPECT_EQ (left.name, "untouched");
        if (c.why != nullptr)
        {
            EXPECT_EQ (whyNot, c.why);
        }
    }
}
