#include "files/SyxBank.h"
#include "FactoryPatches.h"
#include "TempFolder.h"
#include "files/SyxFileIO.h"
#include "midi/protocol/JunoMessages.h"

#include <gtest/gtest.h>

#include <random>

namespace
{
using Bytes = std::vector<uint8_t>;
using Kind = SyxBank::Dump::Kind;

/** A dump as a generic SysEx tool records it, built byte by byte. */
Bytes dumpBytes (uint8_t command, uint8_t channel, uint8_t number, const PatchModel& patch)
{
    Bytes dump{0xF0, 0x41, command, channel, number};
    dump.insert (dump.end(), patch.data.begin(), patch.data.end());
    dump.push_back (0xF7);
    return dump;
}

void append (Bytes& to, const Bytes& bytes)
{
    to.insert (to.end(), bytes.begin(), bytes.end());
}

const std::vector<FactoryPatch>& factory()
{
    static const std::vector<FactoryPatch> patches = loadFactoryPatches();
    return patches;
}

/** The whole factory bank, one dump per slot with the slot's patch number. */
Bytes factoryBank (uint8_t channel = 0)
{
    Bytes bank;
    for (size_t i = 0; i < factory().size(); ++i)
        append (bank, dumpBytes (0x30, channel, static_cast<uint8_t> (i), factory()[i].patch));
    return bank;
}

struct Expected
{
    Kind kind;
    uint8_t channel;
    uint8_t number;
    size_t factoryIndex; // whose bytes
};

std::vector<Expected> wholeFactoryBank()
{
    std::vector<Expected> expected;
    for (size_t i = 0; i < 128; ++i)
        expected.push_back ({Kind::patch, 0, static_cast<uint8_t> (i), i});
    return expected;
}

/** Every 7th byte followed by a clock, and active sensing between dumps. */
Bytes withRealTimeBytes (const Bytes& bank)
{
    Bytes out;
    for (size_t i = 0; i < bank.size(); ++i)
    {
        out.push_back (bank[i]);
        if (i % 7 == 3)
            out.push_back (0xF8);
        if (bank[i] == 0xF7)
            append (out, {0xFE, 0xFE});
    }
    return out;
}

Bytes withOtherMessagesBetween (const Bytes& bank)
{
    const Bytes others[] = {
        {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7},             // another maker's
        {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}, // Roland, not a dump
        {0xF0, 0x41, 0x32, 0x00, 0x05, 0x40, 0xF7},                         // a parameter change
        {0x12, 0x34, 0x90, 0x3C, 0x40, 0x80, 0x3C, 0x00},                   // stray data, notes
        {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7},                               // universal
        {0xF0, 0x41, 0x30, 0x00, 0x00, 0x01, 0x02, 0xF7},                   // a Juno dump far too short
    };
    Bytes out;
    for (size_t i = 0; i < bank.size(); i += 24)
    {
        append (out, others[(i / 24) % std::size (others)]);
        out.insert (out.end(),
                    bank.begin() + static_cast<std::ptrdiff_t> (i),
                    bank.begin() + static_cast<std::ptrdiff_t> (i + 24));
    }
    return out;
}
} // namespace

TEST (SyxBankTest, FindsEveryDumpTable)
{
    const PatchModel& brass = factory()[0].patch;
    const PatchModel& strings = factory()[5].patch;

    Bytes truncatedLast = factoryBank();
    truncatedLast.resize (truncatedLast.size() - 9);
    std::vector<Expected> all127 = wholeFactoryBank();
    all127.pop_back();

    Bytes manualAndPatches = dumpBytes (0x30, 0, 5, brass);
    append (manualAndPatches, dumpBytes (0x31, 0, 0, strings));
    append (manualAndPatches, dumpBytes (0x30, 0, 64, strings));

    Bytes mixedChannels = dumpBytes (0x30, 0, 1, brass);
    append (mixedChannels, dumpBytes (0x30, 5, 2, strings));
    append (mixedChannels, dumpBytes (0x31, 15, 3, brass));

    Bytes cutByStatus = dumpBytes (0x30, 0, 1, brass);
    cutByStatus.insert (cutByStatus.begin() + 12, {0x90, 0x3C, 0x40}); // a note inside the dump ends it
    append (cutByStatus, dumpBytes (0x30, 0, 2, strings));

    Bytes highDataByte = dumpBytes (0x30, 0, 1, brass);
    highDataByte[10] = 0x85;
    append (highDataByte, dumpBytes (0x30, 0, 2, strings));

    Bytes cutByNewDump = dumpBytes (0x30, 0, 1, brass);
    cutByNewDump.resize (15);
    append (cutByNewDump, dumpBytes (0x30, 0, 2, strings));

    Bytes shortAndLong = dumpBytes (0x30, 0, 1, brass);
    shortAndLong.erase (shortAndLong.begin() + 22); // 23 bytes: a patch byte missing
    Bytes longer = dumpBytes (0x30, 0, 2, brass);
    longer.insert (longer.end() - 1, 0x00); // 25 bytes
    append (shortAndLong, longer);
    append (shortAndLong, dumpBytes (0x31, 0, 3, strings));

    std::mt19937 random (5);
    Bytes garbage (4096);
    for (auto& byte : garbage)
        byte = static_cast<uint8_t> (random());

    struct Case
    {
        const char* what;
        Bytes image;
        std::vector<Expected> dumps;
    };
    const Case cases[] = {
        {"factory bank", factoryBank(), wholeFactoryBank()},
        {"clock and active sensing everywhere", withRealTimeBytes (factoryBank()), wholeFactoryBank()},
        {"other messages between dumps", withOtherMessagesBetween (factoryBank()), wholeFactoryBank()},
        {"truncated last dump", truncatedLast, all127},
        {"manual dumps", manualAndPatches, {{Kind::patch, 0, 5, 0}, {Kind::manual, 0, 0, 5}, {Kind::patch, 0, 64, 5}}},
        {"mixed channels", mixedChannels, {{Kind::patch, 0, 1, 0}, {Kind::patch, 5, 2, 5}, {Kind::manual, 15, 3, 0}}},
        {"cut by a status byte", cutByStatus, {{Kind::patch, 0, 2, 5}}},
        {"data byte 0x85", highDataByte, {{Kind::patch, 0, 2, 5}}},
        {"cut by the next dump", cutByNewDump, {{Kind::patch, 0, 2, 5}}},
        {"23 and 25 bytes", shortAndLong, {{Kind::manual, 0, 3, 5}}},
        {"garbage", garbage, {}},
        {"empty", {}, {}},
    };
    for (const Case& c : cases)
    {
        const auto found = SyxBank::findDumps (c.image.data(), c.image.size());
        ASSERT_EQ (found.size(), c.dumps.size()) << c.what;
        for (size_t i = 0; i < found.size(); ++i)
        {
            EXPECT_EQ (found[i].kind, c.dumps[i].kind) << c.what << " #" << i;
            EXPECT_EQ (found[i].channel, c.dumps[i].channel) << c.what << " #" << i;
            EXPECT_EQ (found[i].patchNumber, c.dumps[i].number) << c.what << " #" << i;
            EXPECT_EQ (found[i].data, factory()[c.dumps[i].factoryIndex].patch.data) << c.what << " #" << i;
        }
    }
}

TEST (SyxBankTest, NamesAsTheImportGivesThem)
{
    std::vector<PatchModel> patches;
    const Bytes bank = withOtherMessagesBetween (factoryBank());
    ASSERT_TRUE (SyxBank::readPatches (bank.data(), bank.size(), "Strings", patches));
    ASSERT_EQ (patches.size(), 128u);
    for (size_t i = 0; i < patches.size(); ++i)
    {
        EXPECT_EQ (patches[i].name, "Strings " + factory()[i].slot);
        EXPECT_EQ (patches[i].data, factory()[i].patch.data);
    }

    Bytes live = dumpBytes (0x30, 0, 0x3F, factory()[1].patch);
    append (live, dumpBytes (0x30, 3, 0x40, factory()[2].patch));
    append (live, dumpBytes (0x31, 0, 0x00, factory()[3].patch));
    ASSERT_TRUE (SyxBank::readPatches (live.data(), live.size(), "Live", patches));
    ASSERT_EQ (patches.size(), 3u);
    EXPECT_EQ (patches[0].name, "Live A88");
    EXPECT_EQ (patches[1].name, "Live B11");
    EXPECT_EQ (patches[2].name, "Live 3") << "a manual dump is named after its position";

    // One dump keeps the file's own name, whatever surrounds it.
    Bytes one{0xF0, 0x43, 0x10, 0x4C, 0xF7, 0xF8};
    append (one, dumpBytes (0x31, 2, 9, factory()[4].patch));
    for (const Bytes& image : {one, dumpBytes (0x30, 0, 9, factory()[4].patch)})
    {
        ASSERT_TRUE (SyxBank::readPatches (image.data(), image.size(), "Solo", patches));
        ASSERT_EQ (patches.size(), 1u);
        EXPECT_EQ (patches[0].name, "Solo");
        EXPECT_EQ (patches[0].data, factory()[4].patch.data);
    }
}

TEST (SyxBankTest, WhatTheSingleDumpReaderTakesStaysReadable)
{
    // Accepted by the single-dump reader, though no dump is found: an unknown
    // command, a real-time byte where the command goes, a channel byte above 0x7F.
    Bytes unknownCommand = dumpBytes (0x35, 0, 0, factory()[7].patch);
    Bytes clockAsCommand = dumpBytes (0xF8, 0, 0, factory()[7].patch);
    Bytes statusAsChannel = dumpBytes (0x30, 0x90, 0, factory()[7].patch);
    for (const Bytes& image : {unknownCommand, clockAsCommand, statusAsChannel})
    {
        PatchModel single;
        ASSERT_TRUE (SyxFileIO::parse (image.data(), image.size(), single));
        std::vector<PatchModel> patches;
        ASSERT_TRUE (SyxBank::readPatches (image.data(), image.size(), "Old", patches));
        ASSERT_EQ (patches.size(), 1u);
        EXPECT_EQ (patches[0].name, "Old");
        EXPECT_EQ (patches[0].data, single.data);
    }

    // Nothing found and nothing the old reader takes: unreadable, list untouched.
    Bytes truncated = dumpBytes (0x30, 0, 0, factory()[7].patch);
    truncated.pop_back();
    const Bytes text{'n', 'o', 't', ' ', 's', 'y', 's', 'e', 'x'};
    std::vector<PatchModel> patches (2);
    for (const Bytes& image : {Bytes(), truncated, text})
    {
        EXPECT_FALSE (SyxBank::readPatches (image.data(), image.size(), "X", patches));
        EXPECT_EQ (patches.size(), 2u);
    }
}

TEST (SyxBankTest, WriterRoundTripsInOrderAndWrapsNumbers)
{
    EXPECT_EQ (SyxBank::build (
                   []
                   {
                       std::vector<PatchModel> patches;
                       for (const FactoryPatch& each : factory())
                           patches.push_back (each.patch);
                       return patches;
                   }(),
                   0),
               factoryBank())
        << "the factory bank, byte for byte";

    std::vector<PatchModel> many;
    for (int i = 0; i < 300; ++i)
        many.push_back (factory()[static_cast<size_t> (i * 37) % 128].patch);
    many[1].data[PatchBits::switchesIndex] = 0x7F; // bits the instrument does not define stay in a file
    const Bytes image = SyxBank::build (many, 0x1B);
    ASSERT_EQ (image.size(), 300u * 24);
    const auto dumps = SyxBank::findDumps (image.data(), image.size());
    ASSERT_EQ (dumps.size(), many.size());
    for (size_t i = 0; i < dumps.size(); ++i)
    {
        EXPECT_EQ (dumps[i].kind, Kind::patch);
        EXPECT_EQ (dumps[i].channel, 0x0B) << "the channel's four bits";
        EXPECT_EQ (dumps[i].patchNumber, i % 128);
        EXPECT_EQ (dumps[i].data, many[i].data) << i;
    }

    TempFolder folder;
    const std::string path = folder.path ("Mixed Bag.syx");
    ASSERT_TRUE (SyxBank::save (path, many, 0));
    std::vector<PatchModel> loaded;
    ASSERT_TRUE (SyxBank::load (path, loaded));
    ASSERT_EQ (loaded.size(), many.size());
    for (size_t i = 0; i < loaded.size(); ++i)
        EXPECT_EQ (loaded[i].data, many[i].data) << i;
    EXPECT_EQ (loaded[0].name, "Mixed Bag A11");
    EXPECT_EQ (loaded[128].name, "Mixed Bag A11");
    EXPECT_EQ (loaded[299].name, "Mixed Bag A64");
}

TEST (SyxBankTest, RefusedSavesLeaveTheDiskAlone)
{
    TempFolder folder;
    const std::string path = folder.path ("bank.syx");
    std::vector<PatchModel> two (2);
    ASSERT_TRUE (SyxBank::save (path, two, 0));
    const Bytes before = readBytes (path);

    two[1].data[3] = 0x80;
    EXPECT_FALSE (SyxBank::save (path, two, 0)) << "a byte above 127 would not come back";
    EXPECT_FALSE (SyxBank::save (path, {}, 0)) << "an empty bank could not be read back";
    EXPECT_FALSE (SyxBank::save (folder.path ("new.syx"), two, 0));
    EXPECT_EQ (readBytes (path), before);
    EXPECT_EQ (folder.entries().size(), 1u);

    std::vector<PatchModel> patches;
    EXPECT_FALSE (SyxBank::load (folder.path ("missing.syx"), patches));
    EXPECT_FALSE (SyxBank::load (folder.root.string(), patches));
}

TEST (SyxBankTest, BaseNameTable)
{
    const std::pair<const char*, const char*> cases[] = {
        {"/x/Strings.syx", "Strings"},
        {"Strings.syx", "Strings"},
        {"/x/a.b.syx", "a.b"},
        {"/x/.syx", ".syx"},
        {"/x/noext", "noext"},
        {"/x.d/noext", "noext"},
        {"/x/trailing.", "trailing"},
    };
    for (const auto& [path, base] : cases)
        EXPECT_EQ (SyxBank::baseNameOf (path), base) << path;
}
