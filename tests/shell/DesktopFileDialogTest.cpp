// The desktop's own file dialog, run for real under the virtual X server and
// answered by typing into it, as a person would.

#include "app/DesktopFileDialog.h"
#include "ShellFixture.h"

#include <cstdlib>
#include <optional>
#include <sys/stat.h>

namespace
{
using Browser = juce::FileBrowserComponent;

/** Waits for a window of this title, then types the text into it and presses Return. */
std::unique_ptr<juce::ChildProcess> typeIntoDialog (const juce::String& title, const juce::String& text)
{
    const juce::String script = "for i in $(seq 1 300); do "
                                "w=$(xdotool search --onlyvisible --name \"$1\" | head -n 1); "
                                "[ -n \"$w\" ] && break; sleep 0.1; done; "
                                "[ -n \"$w\" ] || exit 1; sleep 1; "
                                "xdotool windowfocus --sync \"$w\"; "
                                // Ctrl+L opens the location entry first: a typed "/" would open it
                                // too, but the letters right after it can be lost while it appears.
                                "xdotool key ctrl+l; sleep 0.5; "
                                "xdotool type --delay 15 \"$2\"; sleep 0.5; xdotool key Return";
    auto typist = std::make_unique<juce::ChildProcess>();
    EXPECT_TRUE (typist->start (juce::StringArray{"bash", "-c", script, "typist", title, text}));
    return typist;
}

/** zenity keeps its settings in memory here: the test machine has no session bus to store them. */
void quietSettings()
{
    ::setenv ("GSETTINGS_BACKEND", "memory", 1);
}

/** Asks the X server at most five times a second: a client on every pass of
    the message loop keeps the server so busy that the dialog itself may fail
    to connect. */
bool dialogWindowShows (const juce::String& title)
{
    static juce::uint32 lastAsked = 0;
    const auto now = juce::Time::getMillisecondCounter();
    if (now - lastAsked < 200)
        return false;
    lastAsked = now;

    juce::ChildProcess search;
    if (!search.start (juce::StringArray{"xdotool", "search", "--onlyvisible", "--name", title}))
        return false;
    return search.readAllProcessOutput().trim().isNotEmpty();
}
} // namespace

TEST (DesktopFileDialog, ChosenPathsArriveWholeWhateverTheyHold)
{
    using Paths = std::vector<std::string>;
    struct Case
    {
        std::string output;
        bool multiple;
        Paths paths;
    };
    const std::vector<Case> cases = {
        {"", true, {}},
        {"\n", false, {}},
        {"/a/Pad: Warm.syx\n", true, {"/a/Pad: Warm.syx"}},
        {"/a/x.syx//b/y z.syx//c/w:v.syx\n", true, {"/a/x.syx", "/b/y z.syx", "/c/w:v.syx"}},
        {"/a/ends in newline\n\n", false, {"/a/ends in newline\n"}},
        {"/a/ends in newline\n//b/next\n", true, {"/a/ends in newline\n", "/b/next"}},
        {"/a/ spaces /\"quoted\".syx\n", true, {"/a/ spaces /\"quoted\".syx"}},
        {"/\n", false, {"/"}},
        {"(null)\n", false, {}}, // OK pressed with nothing chosen
    };
    for (const auto& c : cases)
        EXPECT_EQ (DesktopFileDialog::splitChosenPaths (c.output, c.multiple), c.paths) << c.output;

    FileDialogRequest request{"Import Sysex", {}, "*.syx", Browser::openMode | Browser::canSelectMultipleItems};
    const auto args = DesktopFileDialog::zenityArguments (request, 0);
    EXPECT_NE (std::find (args.begin(), args.end(), "--multiple"), args.end());
    EXPECT_NE (std::find (args.begin(), args.end(), "--separator=/"), args.end());
    EXPECT_NE (std::find (args.begin(), args.end(), "--file-filter=*.syx"), args.end());
}

TEST (DesktopFileDialog, AFileWithAColonInItsNameIsChosenAndNothingElse)
{
    quietSettings();
    TempFolder folder;
    writeBytes (folder.path ("Pad: Warm.syx"), {0xF0});
    writeBytes (folder.path ("Pad"), {0xF0}); // what a colon-separated answer would have named

    DesktopFileDialog dialog;
    std::optional<std::vector<std::string>> chosen;
    dialog.open ({"Import Sysex", folder.root.string(), "*.syx", Browser::openMode | Browser::canSelectMultipleItems},
                 [&] (const std::vector<std::string>& paths) { chosen = paths; });
    ASSERT_TRUE (dialog.isOpen());

    const auto typist = typeIntoDialog ("Import Sysex", juce::String (folder.path ("Pad: Warm.syx")));
    ASSERT_TRUE (pumpMessagesUntil ([&] { return chosen.has_value(); }, 60000)) << "the dialog never answered";
    ASSERT_EQ (chosen->size(), 1u);
    EXPECT_EQ (chosen->front(), folder.path ("Pad: Warm.syx"));
    EXPECT_FALSE (dialog.isOpen());
}

TEST (DesktopFileDialog, AFileWhoseNameIsNotTextArrivesByItsExactBytes)
{
    // The desktop's dialog answers with the bytes of the names; here a stand-in
    // answers as it would for a Latin-1 name (GTK's dialog cannot be given one to
    // start at, so it cannot be chosen in it by keys alone).
    TempFolder folder;
    const std::string latin1 = folder.path ("caf\xE9.106");
    const std::string standIn = folder.path ("zenity");
    const std::string script = "#!/bin/sh\nprintf '%s\\n' '" + latin1 + "'\n";
    writeBytes (standIn, std::vector<uint8_t> (script.begin(), script.end()));
    ASSERT_EQ (::chmod (standIn.c_str(), 0755), 0);
    const std::string searchPath = ::getenv ("PATH") != nullptr ? ::getenv ("PATH") : "";
    ::setenv ("PATH", (folder.root.string() + ":" + searchPath).c_str(), 1);

    DesktopFileDialog dialog;
    std::optional<std::vector<std::string>> chosen;
    dialog.open ({"Load Library", {}, "*.106", Browser::openMode | Browser::canSelectFiles},
                 [&] (const std::vector<std::string>& paths) { chosen = paths; });
    const bool answered = pumpMessagesUntil ([&] { return chosen.has_value(); }, 10000);
    ::setenv ("PATH", searchPath.c_str(), 1);
    ASSERT_TRUE (answered);
    EXPECT_EQ (*chosen, std::vector<std::string>{latin1});
}

TEST (DesktopFileDialog, ClosingTheOwnerClosesTheDialog)
{
    quietSettings();
    std::optional<std::vector<std::string>> answered;
    {
        DesktopFileDialog dialog;
        dialog.open ({"Load Library", {}, "*.106", Browser::openMode | Browser::canSelectFiles},
                     [&] (const std::vector<std::string>& paths) { answered = paths; });
        ASSERT_TRUE (pumpMessagesUntil ([] { return dialogWindowShows ("Load Library"); }, 20000));
    } // the owner goes, as the window does when the program quits
    juce::Thread::sleep (250);
    EXPECT_FALSE (dialogWindowShows ("Load Library"));
    EXPECT_FALSE (answered.has_value()); // closing is not an answer
}
