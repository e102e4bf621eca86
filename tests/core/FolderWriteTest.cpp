// Export All writes one file per patch into a folder the user chose, where
// anything may have been put beforehand: what stands in the way is replaced
// or refused, and never written through.

#include "ChildProcess.h"
#include "TempFolder.h"
#include "files/FileBytes.h"
#include "files/SyxFileIO.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace
{
using Bytes = std::vector<uint8_t>;

const Bytes victimContent{'k', 'e', 'e', 'p', ' ', 'm', 'e'};

Bytes dumpOf (const PatchModel& patch)
{
    const auto dump = SyxFileIO::build (patch, 0);
    return Bytes (dump.begin(), dump.end());
}

/** An export folder "out" beside an "outside" folder holding a file to protect. */
struct ExportFolders
{
    ExportFolders()
    {
        std::filesystem::create_directory (out);
        std::filesystem::create_directory (outside);
        writeBytes (victim, victimContent);
    }

    TempFolder folder;
    const std::string out = folder.path ("out");
    const std::string outside = folder.path ("outside");
    const std::string victim = outside + "/victim.txt";
};

using Save = WriteResult (*) (const std::string& folder, const std::string& name, const PatchModel& patch);

WriteResult saveAlone (const std::string& folder, const std::string& name, const PatchModel& patch)
{
    return SyxFileIO::saveIntoFolder (folder, name, patch, 0);
}

/** Through a FolderWriter, as Export All writes each of its files. */
WriteResult saveWithOthers (const std::string& folder, const std::string& name, const PatchModel& patch)
{
    FileBytes::FolderWriter writer (folder);
    if (const auto written = SyxFileIO::saveInto (writer, name, patch, 0); !written)
        return written;
    const auto finished = writer.finish();
    return finished.unplaced.empty() ? finished.flushed : finished.unplaced.front().second;
}
} // namespace

TEST (FolderWriteTest, WhatStandsInTheWayIsReplacedNeverWrittenThrough)
{
    PatchModel patch;
    patch.name = "Victim";
    patch.data[2] = 0x55;

    struct Case
    {
        const char* what;
        std::function<void (const ExportFolders&, const std::string& entry)> plant;
    };
    const Case cases[] = {
        {"nothing", [] (const ExportFolders&, const std::string&) {}},
        {"a link to a file outside",
         [] (const ExportFolders&, const std::string& entry)
         { std::filesystem::create_symlink ("../outside/victim.txt", entry); }},
        {"a link to the folder outside",
         [] (const ExportFolders&, const std::string& entry)
         { std::filesystem::create_symlink ("../outside", entry); }},
        {"a link to nowhere",
         [] (const ExportFolders&, const std::string& entry)
         { std::filesystem::create_symlink ("../outside/new.txt", entry); }},
        {"a hard link to a file outside",
         [] (const ExportFolders& f, const std::string& entry)
         { std::filesystem::create_hard_link (f.victim, entry); }},
        {"an old export",
         [] (const ExportFolders&, const std::string& entry) {
             writeBytes (entry, {0xF0, 0xF7});
         }},
    };
    // One file of an export, written by itself or as one of many put in place together.
    for (const Save save : {&saveAlone, &saveWithOthers})
        for (const Case& c : cases)
        {
            ExportFolders f;
            const std::string entry = f.out + "/Victim.syx";
            c.plant (f, entry);

            const WriteResult result = save (f.out, "Victim.syx", patch);
            ASSERT_TRUE (result.ok) << c.what << ": " << result.reason;
            EXPECT_FALSE (std::filesystem::is_symlink (entry)) << c.what;
            EXPECT_EQ (readBytes (entry), dumpOf (patch)) << c.what;
            EXPECT_EQ (readBytes (f.victim), victimContent) << c.what;
            EXPECT_EQ (std::filesystem::hard_link_count (f.victim), 1u) << c.what;
            EXPECT_EQ (std::filesystem::hard_link_count (entry), 1u) << c.what;
            EXPECT_FALSE (std::filesystem::exists (f.outside + "/new.txt")) << c.what;
            EXPECT_EQ (std::distance (std::filesystem::directory_iterator (f.outside), {}), 1) << c.what;
            EXPECT_EQ (std::distance (std::filesystem::directory_iterator (f.out), {}), 1) << c.what;
        }
}

TEST (FolderWriteTest, FoldersPipesAndNamesThatAreNotPlainAreRefused)
{
    ExportFolders f;
    std::filesystem::create_directory (f.out + "/Folder.syx");
    writeBytes (f.out + "/Folder.syx/inside", victimContent);
    ASSERT_EQ (::mkfifo ((f.out + "/Pipe.syx").c_str(), 0644), 0);

    struct Case
    {
        std::string name;
        std::string reason;
    };
    const Case cases[] = {
        {"Folder.syx", "A folder of that name is in the way."},
        {"Pipe.syx", "Something that is not a file (a pipe, a device or a socket) is in the way."},
        {"", "\"\" is not a plain file name."},
        {".", "\".\" is not a plain file name."},
        {"..", "\"..\" is not a plain file name."},
        {"../outside/victim.txt", "\"../outside/victim.txt\" is not a plain file name."},
        {"a/b", "\"a/b\" is not a plain file name."},
        {std::string ("bad\0name", 8), "\"bad name\" is not a plain file name."},
    };
    for (const Save save : {&saveAlone, &saveWithOthers})
        for (const Case& c : cases)
        {
            const WriteResult result = save (f.out, c.name, PatchModel());
            EXPECT_FALSE (result.ok) << c.name;
            EXPECT_EQ (result.reason, c.reason);
        }
    EXPECT_EQ (readBytes (f.out + "/Folder.syx/inside"), victimContent);
    EXPECT_EQ (readBytes (f.victim), victimContent);
    EXPECT_EQ (std::distance (std::filesystem::directory_iterator (f.out), {}), 2);
    EXPECT_EQ (std::distance (std::filesystem::directory_iterator (f.outside), {}), 1);
}

TEST (FolderWriteTest, PlainNames)
{
    for (const std::string name : {"Brass 1.syx", "~.syx", "...", ".hidden", "\xFF"})
        EXPECT_TRUE (FileBytes::isPlainName (name)) << name;
    for (const std::string name : {"", ".", "..", "/", "a/b", "a/", "/a"})
        EXPECT_FALSE (FileBytes::isPlainName (name)) << name;
    EXPECT_FALSE (FileBytes::isPlainName (std::string ("a\0b", 3)));
}

TEST (FolderWriteTest, AnExportReplacesOlderFilesOnlyOnceEveryNewOneIsWhole)
{
    ExportFolders f;
    const Bytes older{0xF0, 0xF7};
    std::vector<PatchModel> patches (3);
    for (size_t i = 0; i < patches.size(); ++i)
    {
        patches[i].name = "P" + std::to_string (i);
        patches[i].data[0] = static_cast<uint8_t> (10 + i);
        writeBytes (f.out + "/P" + std::to_string (i) + ".syx", older); // an earlier export
    }

    {
        FileBytes::FolderWriter writer (f.out);
        for (const auto& patch : patches)
            ASSERT_TRUE (SyxFileIO::saveInto (writer, patch.name + ".syx", patch, 0).ok);
        ASSERT_TRUE (SyxFileIO::saveInto (writer, "New.syx", PatchModel(), 0).ok);

        // Until every new file is on the disk, the older ones stand as they were.
        for (const auto& patch : patches)
            EXPECT_EQ (readBytes (f.out + "/" + patch.name + ".syx"), older);
        EXPECT_FALSE (std::filesystem::exists (f.out + "/New.syx"));

        const auto finished = writer.finish();
        EXPECT_EQ (finished.placed, 4u);
        EXPECT_TRUE (finished.unplaced.empty());
        EXPECT_TRUE (finished.flushed.ok) << finished.flushed.reason;
    }
    for (const auto& patch : patches)
        EXPECT_EQ (readBytes (f.out + "/" + patch.name + ".syx"), dumpOf (patch));
    EXPECT_EQ (std::distance (std::filesystem::directory_iterator (f.out), {}), 4) << "no hidden file is left";

    // An export given up before its end replaces nothing and leaves nothing.
    {
        FileBytes::FolderWriter writer (f.out);
        ASSERT_TRUE (SyxFileIO::saveInto (writer, "P0.syx", PatchModel(), 0).ok);
    }
    EXPECT_EQ (readBytes (f.out + "/P0.syx"), dumpOf (patches[0]));
    EXPECT_EQ (std::distance (std::filesystem::directory_iterator (f.out), {}), 4);
}

TEST (FolderWriteTest, AFolderThatCanBeWrittenButNotListedIsExportedIntoAndFlushed)
{
    ExportFolders f;
    const std::string dropBox = f.folder.path ("drop box");
    std::filesystem::create_directory (dropBox);
    ::chmod (f.folder.root.c_str(), 0711); // nobody may pass through
    ::chmod (dropBox.c_str(), 0333);       // and write there, but not list it

    const auto report = runInChild (
        [&dropBox]
        {
            FileBytes::FolderWriter writer (dropBox);
            std::string text;
            for (const char* name : {"A.syx", "B.syx"})
                text += SyxFileIO::saveInto (writer, name, PatchModel(), 0).reason;
            const auto finished = writer.finish();
            return text + std::to_string (finished.placed) + " placed, " +
                   (finished.flushed ? "flushed" : finished.flushed.reason);
        },
        true);
    ::chmod (dropBox.c_str(), 0755);
    ASSERT_TRUE (report.finished);
    EXPECT_EQ (report.text, "2 placed, flushed");
    EXPECT_EQ (readBytes (dropBox + "/A.syx"), dumpOf (PatchModel()));
    EXPECT_EQ (readBytes (dropBox + "/B.syx"), dumpOf (PatchModel()));
}
