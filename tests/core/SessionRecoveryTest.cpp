// The libraries kept when sessions end under the program: each session its
// own, never offered under another file's name, never offered by two
// programs at once, and nothing planted or damaged beside them can hang a
// start or bring a question back that Discard cannot answer.

#include "session/SessionRecovery.h"
#include "PatchTestData.h"
#include "TempFolder.h"
#include "files/QorvFileIO.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>

namespace
{
class SilentOutput : public PatchOutput
{
public:
    void sendPatch (const PatchModel&) override {}
    void sendParameter (int, uint8_t) override {}
};

/** A session with unsaved changes to the library of `file` (empty: a New Library). */
struct ChangedSession
{
    ChangedSession (const std::string& file, uint8_t firstByte)
    {
        if (!file.empty())
            session.openLibrary (libraryOf ("Lib", {patchNamed ("One", firstByte)}), file);
        session.newPatch();
    }
    SilentOutput output;
    EditSession session{output};
};

void writeText (const std::string& path, const std::string& text)
{
    std::ofstream (path, std::ios::binary) << text;
}

bool exists (const std::string& path)
{
    struct stat info;
    return ::lstat (path.c_str(), &info) == 0;
}
} // namespace

TEST (SessionRecoveryTest, TwoSessionsEndedTogetherKeepTwoLibrariesEachOfferedUnderItsOwnFile)
{
    TempFolder config;
    const ChangedSession a ("/home/me/A.106", 10), b ("/home/me/B.106", 20);
    SessionRecovery endingA (config.root.string()), endingB (config.root.string());
    ASSERT_TRUE (endingA.keep (a.session));
    ASSERT_TRUE (endingB.keep (b.session));
    EXPECT_TRUE (exists (config.path ("recovery.106")));
    EXPECT_TRUE (exists (config.path ("recovery-2.106")));

    // Two programs start at once: each is offered a different one, and a third finds none left.
    SessionRecovery first (config.root.string()), second (config.root.string()), third (config.root.string());
    ASSERT_TRUE (first.findWaiting());
    ASSERT_TRUE (second.findWaiting());
    EXPECT_FALSE (third.findWaiting());
    EXPECT_NE (first.libraryPath(), second.libraryPath());

    SilentOutput output;
    for (auto* recovery : {&first, &second})
    {
        EditSession session{output};
        const std::string name = recovery->libraryName();
        std::string whyNot;
        ASSERT_TRUE (recovery->recoverInto (session, whyNot)) << whyNot;
        const auto& kept = name == "A" ? a.session : b.session;
        EXPECT_EQ (session.currentFile(), kept.currentFile());
        EXPECT_EQ (namesOf (session.library()), namesOf (kept.library()));
        EXPECT_EQ (session.library().patches.front().data, kept.library().patches.front().data);
        EXPECT_TRUE (session.isModified());
    }
    EXPECT_FALSE (third.findWaiting()) << "both were recovered and removed";
}

TEST (SessionRecoveryTest, AnOriginThatDoesNotMatchItsLibraryNeverLendsItItsName)
{
    struct Case
    {
        const char* what;
        std::function<void (const std::string& library, const std::string& origin)> spoil;
        const char* offeredAs;
    };
    const std::vector<Case> cases = {
        {"untouched", [] (const std::string&, const std::string&) {}, "A"},
        {"the library replaced after its origin was written (a write cut short)",
         [] (const std::string& library, const std::string&)
         { ASSERT_TRUE (QorvFileIO::save (library, libraryOf ("Other", {patchNamed ("Two", 99)}))); },
         "New Library"},
        {"no origin",
         [] (const std::string&, const std::string& origin) { std::remove (origin.c_str()); },
         "New Library"},
        {"a damaged origin",
         [] (const std::string&, const std::string& origin) { writeText (origin, "Qorv recovery 1\nnonsense"); },
         "New Library"},
        {"a planted megabyte",
         [] (const std::string&, const std::string& origin) { writeText (origin, "/" + std::string (1 << 20, 'x')); },
         "New Library"},
        {"an origin kept by an earlier version: the path alone",
         [] (const std::string&, const std::string& origin) { writeText (origin, "/home/me/Old.106"); },
         "Old"},
        {"an origin that is a folder",
         [] (const std::string&, const std::string& origin)
         {
             std::remove (origin.c_str());
             std::filesystem::create_directory (origin);
         },
         "New Library"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        TempFolder config;
        const ChangedSession a ("/home/me/A.106", 10);
        ASSERT_TRUE (SessionRecovery (config.root.string()).keep (a.session));
        const std::string library = config.path ("recovery.106");
        c.spoil (library, SessionRecovery::originPathOf (library));

        SessionRecovery recovery (config.root.string());
        ASSERT_TRUE (recovery.findWaiting());
        EXPECT_EQ (recovery.libraryName(), c.offeredAs);
        SilentOutput output;
        EditSession session{output};
        std::string whyNot;
        ASSERT_TRUE (recovery.recoverInto (session, whyNot)) << whyNot;
        EXPECT_EQ (session.currentFile(),
                   c.offeredAs == std::string ("A")     ? "/home/me/A.106"
                   : c.offeredAs == std::string ("Old") ? "/home/me/Old.106"
                                                        : "");
    }
}

TEST (SessionRecoveryTest, WhatIsInTheWayIsNeitherOfferedNorWrittenOver)
{
    TempFolder config;
    // A folder of the first kept library's name: never a question, and the next session keeps beside it.
    std::filesystem::create_directory (config.path ("recovery.106"));
    SessionRecovery recovery (config.root.string());
    EXPECT_FALSE (recovery.findWaiting());

    // An origin reserved by a program that died before writing its library: the place is free again.
    writeText (config.path ("recovery-2.106.file"), "");
    const ChangedSession a ("", 10);
    ASSERT_TRUE (recovery.keep (a.session));
    EXPECT_TRUE (std::filesystem::is_directory (config.path ("recovery.106")));
    ASSERT_TRUE (exists (config.path ("recovery-2.106")));
    ASSERT_TRUE (recovery.findWaiting());
    EXPECT_EQ (recovery.libraryName(), "New Library");

    // Discard removes what it offered, and nothing else.
    recovery.discard();
    EXPECT_FALSE (exists (config.path ("recovery-2.106")));
    EXPECT_FALSE (exists (config.path ("recovery-2.106.file")));
    EXPECT_FALSE (recovery.findWaiting());

    // A session without unsaved changes keeps nothing.
    SilentOutput output;
    const EditSession unchanged{output};
    ASSERT_TRUE (recovery.keep (unchanged));
    EXPECT_FALSE (recovery.findWaiting());
}
