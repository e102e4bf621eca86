// Export All writes one file per patch into a folder the user chose, where
// anything may have been put beforehand: what stands in the way is replaced
// or refused, and never written through.

#include "TempFolder.h"
#include "files/FileBytes.h"
#include "files/SyxFileIO.h"

#include <gtest/gtest.h>

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
    // One file of an export is flushed by itself, or with all the others at the end.
    using Save = WriteResult (*) (const std::string&, const std::string&, const PatchModel&, int);
    for (const Save save : {&SyxFileIO::saveIntoFolder, &SyxFileIO::saveIntoFolderUnflushed})
        for (const Case& c : cases)
        {
            ExportFolders f;
            const std::string entry = f.out + "/Victim.syx";
            c.plant (f, entry);

            const WriteResult result = save (f.out, "Victim.syx", patch, 0);
            ASSERT_TRUE (result.ok) << c.what << ": " << result.reason;
            ASSERT_TRUE (FileBytes::flushFolder (f.out).ok) << c.what;
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
    for (const Case& c : cases)
    {
        const WriteResult result = SyxFileIO::saveIntoFolder (f.out, c.name, PatchModel(), 0);
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
