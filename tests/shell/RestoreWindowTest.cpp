// MIDI > Write Library to Synthesizer... on the in-memory MIDI layer: the plan,
// where the synthesizer's answers go, the texts and buttons of each step, and
// the progress kept in the settings across closing the window and quitting.

#include "FactoryPatches.h"
#include "ShellFixture.h"
#include "files/QorvFileIO.h"
#include "session/SynthMemory.h"

#include <thread>

namespace
{
MidiPlatform::Port juno()
{
    return {"", "Juno", 1};
}

std::string textOf (const juce::Label& label)
{
    return label.getText().toStdString();
}

class RestoreWindowTest : public ShellTest
{
protected:
    RestoreWindowTest()
    {
        for (const auto& row : loadFactoryPatches())
            factory.push_back (row.patch);
        LibraryModel library;
        library.patches.assign (factory.begin(), factory.begin() + 16);
        EXPECT_TRUE (QorvFileIO::save (libraryPath, library));
        startWithTheSynthesizer();
    }

    /** The window at start-up with the synthesizer as input and output, the library open. */
    void startWithTheSynthesizer()
    {
        closeWindow();
        openWindow ({juno()}, {juno()});
        window->loadState();
        engine().openInput (1);
        engine().openOutput (1);
        ASSERT_TRUE (window->fileCommands.loadLibrary (libraryPath));
        midi->clearSent(); // the library's first patch, made active
    }

    /** Quitting and starting again, as the application does. */
    void quitAndStart()
    {
        window->saveState();
        startWithTheSynthesizer();
    }

    RestoreComponent& openRestore()
    {
        window->menuItemSelected (MainWindow::writeLibraryId, 3);
        EXPECT_NE (window->restoreWindow, nullptr);
        return window->restoreWindow->content();
    }

    void closeRestore()
    {
        window->restoreWindow->closeButtonPressed();
        EXPECT_TRUE (pumpMessagesUntil ([this] { return window->restoreWindow == nullptr; }));
    }

    void click (juce::Button& button)
    {
        button.triggerClick();
        EXPECT_TRUE (runPostedMessages());
    }

    /** The synthesizer sends a dump numbered `memory`, later than the link's echo of a send could. */
    void synthesizerSends (int memory, const PatchModel& patch)
    {
        std::this_thread::sleep_for (RestoreGuide::echoTime);
        const auto dump = JunoMessages::buildPatchDump (patch, 0, memory);
        ASSERT_TRUE (midi->inject ({dump.begin(), dump.end()}));
        ASSERT_TRUE (runPostedMessages());
    }

    /** The patch numbers of the dumps sent so far. */
    std::vector<int> sentMemories() const
    {
        std::vector<int> memories;
        for (const auto& dump : sentDumps())
            memories.push_back (dump[4]);
        return memories;
    }

    std::string settingsText() const { return settingsFile().loadFileAsString().toStdString(); }

    TempFolder files;
    const std::string libraryPath = files.path ("Factory.106");
    std::vector<PatchModel> factory;
};

TEST_F (RestoreWindowTest, TheWindowShowsThePlanAndStartsWithTheChosenRowsAndMemory)
{
    auto& restore = openRestore();
    EXPECT_TRUE (window->restoreWindow->isVisible());
    EXPECT_EQ (window->restoreWindow->getName(), "Write Library to Synthesizer");
    EXPECT_EQ (&openRestore(), &restore) << "the menu brings the open window to the front";
    EXPECT_EQ (textOf (restore.libraryLabel), "Factory.106: 16 patches");
    EXPECT_EQ (textOf (restore.instruction), RestoreGuide::setUpAdvice);
    EXPECT_EQ (textOf (restore.note),
               "16 patches go into A11 to A28. Start sends the first one; select rows to write only those.");
    EXPECT_TRUE (restore.startButton.isEnabled());
    EXPECT_FALSE (restore.stopButton.isEnabled());

    restore.firstMemory.setSelectedId (*SynthMemory::parse ("B81") + 1, juce::sendNotificationSync);
    EXPECT_EQ (textOf (restore.note), "Only 8 of the 16 patches fit from B81 to B88.");

    restore.table.selectRow (1);
    restore.table.selectRow (8, false, false);
    restore.table.selectRow (4, false, false);
    EXPECT_EQ (restore.onlySelected.getButtonText(), "Only the selected rows (3)");
    restore.onlySelected.setToggleState (true, juce::sendNotificationSync);
    EXPECT_EQ (textOf (restore.note),
               "3 patches go into B81 to B83. Start sends the first one; select rows to write only those.");

    click (restore.startButton);
    ASSERT_NE (restore.guide(), nullptr);
    const auto& entries = restore.guide()->entries();
    ASSERT_EQ (entries.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ (entries[i].target.row, std::vector<int> ({1, 4, 8})[i]);
        EXPECT_EQ (entries[i].target.memory, 120 + static_cast<int> (i));
    }
    const auto dump = JunoMessages::buildPatchDump (factory[1], 0, 120);
    EXPECT_EQ (sentDumps(), std::vector<Bytes>{Bytes (dump.begin(), dump.end())});
    EXPECT_EQ (textOf (restore.libraryLabel), "Factory.106: 3 patches into B81 to B83");
    EXPECT_EQ (textOf (restore.instruction), "Press WRITE, then bank B, group 8, number 1; then select B81.");
    EXPECT_EQ (textOf (restore.note),
               "Sent \"" + factory[1].name + "\" as B81. Qorv checks the memory as soon as you select it.");
    EXPECT_FALSE (restore.firstMemory.isEnabled());
    EXPECT_FALSE (restore.startButton.isEnabled());
    EXPECT_TRUE (restore.stopButton.isEnabled());
    EXPECT_FALSE (restore.backButton.isEnabled());
}

TEST_F (RestoreWindowTest, WithoutTheSynthesizerChosenOrWithAThroughPortBothWaysNothingStarts)
{
    engine().openInput (0);
    auto& restore = openRestore();
    EXPECT_FALSE (restore.startButton.isEnabled());
    EXPECT_EQ (textOf (restore.note),
               "16 patches go into A11 to A28. Start sends the first one; select rows to write only those.\nChoose "
               "the synthesizer as MIDI input and output in MIDI > Device first.");
    engine().openInput (1);
    EXPECT_TRUE (pumpMessagesUntil ([&] { return restore.startButton.isEnabled(); }))
        << "the window sees the menu's choice";

    // The sequencer's through port chosen both ways would answer every dump with itself.
    const MidiPlatform::Port through{"Midi Through", "Midi Through Port-0", 2, true};
    midi->inputs.push_back (through);
    midi->outputs.push_back (through);
    engine().openInput (2);
    engine().openOutput (2);
    EXPECT_TRUE (pumpMessagesUntil ([&] { return !restore.startButton.isEnabled(); }));
    EXPECT_NE (textOf (restore.note).find (RestoreGuide::loopAdvice), std::string::npos) << textOf (restore.note);
    click (restore.startButton);
    EXPECT_EQ (restore.guide(), nullptr);
    EXPECT_TRUE (sentDumps().empty()) << "nothing is sent";
}

TEST_F (RestoreWindowTest, AnswersGoToTheGuideWhileItWaitsAndToMidiInOtherwise)
{
    auto& restore = openRestore();
    synthesizerSends (0, factory[5]);
    ASSERT_NE (session().pendingPatch(), nullptr) << "nothing awaited yet: MIDI IN has it";
    session().ignoreReceived();

    click (restore.startButton);
    synthesizerSends (7, factory[7]); // the patch the synthesizer leaves
    synthesizerSends (0, factory[0]);
    EXPECT_EQ (session().pendingPatch(), nullptr);
    EXPECT_EQ (restore.guide()->entries()[0].state, RestoreGuide::MemoryState::checked);
    EXPECT_EQ (restore.guide()->currentIndex(), 1u);

    // A differing answer names what differs; Skip leaves it counted as differing, Back writes it again.
    PatchModel wrong = factory[1];
    wrong.data[11] = static_cast<uint8_t> (wrong.data[11] + 1);
    synthesizerSends (1, wrong);
    EXPECT_EQ (textOf (restore.note),
               "A12 came back different: Attack sent " + std::to_string (factory[1].data[11]) + ", came back " +
                   std::to_string (wrong.data[11]) +
                   ".\nPress Send Again, then write and select A12 once more; or Skip.");
    click (restore.skipButton);
    EXPECT_EQ (restore.guide()->entries()[1].state, RestoreGuide::MemoryState::differing);
    click (restore.backButton);
    EXPECT_EQ (restore.guide()->currentIndex(), 1u);
    click (restore.sendAgainButton);
    EXPECT_EQ (sentMemories(), (std::vector<int>{0, 1, 2, 1, 1}));
    EXPECT_EQ (textOf (restore.note),
               "Sent again: \"" + factory[1].name + "\" as A12. Qorv checks the memory as soon as you select it.");

    closeRestore();
    synthesizerSends (3, factory[3]);
    EXPECT_NE (session().pendingPatch(), nullptr) << "with the window closed, MIDI IN has them again";
}

TEST_F (RestoreWindowTest, ClosingTheWindowOrQuittingGoesOnWhereItStopped)
{
    auto* restore = &openRestore();
    click (restore->startButton);
    synthesizerSends (0, factory[0]);
    synthesizerSends (1, factory[1]);
    closeRestore();
    const std::string kept = settingsText();
    EXPECT_NE (kept.find ("name=\"RESTORE_NEXT\" val=\"A13\""), std::string::npos) << kept;
    EXPECT_NE (kept.find ("name=\"RESTORE_STATES\" val=\"cc--------------\""), std::string::npos) << kept;

    const std::string stoppedNote = "Stopped at A13 before: 2 written and checked, 0 skipped, 0 differing, 14 not "
                                    "written yet (A13 to A28).\nContinue goes on from A13.";
    restore = &openRestore();
    EXPECT_EQ (textOf (restore->note), stoppedNote);
    EXPECT_EQ (restore->startButton.getButtonText(), "Continue");
    EXPECT_FALSE (restore->firstMemory.isEnabled());

    quitAndStart();
    restore = &openRestore();
    EXPECT_EQ (textOf (restore->note), stoppedNote);
    midi->clearSent();
    click (restore->startButton);
    EXPECT_EQ (sentMemories(), std::vector<int>{2});
    for (int memory = 2; memory < 16; ++memory)
        synthesizerSends (memory, factory[static_cast<size_t> (memory)]);
    EXPECT_EQ (textOf (restore->instruction), "Done.");
    EXPECT_EQ (textOf (restore->note), "16 written and checked, 0 skipped, 0 differing.");
    EXPECT_EQ (settingsText().find ("RESTORE_"), std::string::npos) << "nothing is left to go on with";
}

TEST_F (RestoreWindowTest, ProgressOfAnotherOrAChangedLibraryIsNotTakenUpAndStartOverForgetsIt)
{
    click (openRestore().startButton);
    synthesizerSends (0, factory[0]);
    closeRestore();

    session().newLibrary();
    auto* restore = &openRestore();
    EXPECT_EQ (restore->guide(), nullptr);
    EXPECT_NE (textOf (restore->note)
                   .find ("The write of Factory.106 stopped at A12: open that library to go on with it. Start here "
                          "begins anew."),
               std::string::npos)
        << textOf (restore->note);
    closeRestore();

    LibraryModel changed;
    changed.patches.assign (factory.begin(), factory.begin() + 16);
    changed.patches[1].data[0] ^= 1;
    ASSERT_TRUE (QorvFileIO::save (libraryPath, changed));
    ASSERT_TRUE (window->fileCommands.loadLibrary (libraryPath));
    restore = &openRestore();
    EXPECT_EQ (restore->guide(), nullptr);
    EXPECT_NE (
        textOf (restore->note).find ("Factory.106 has changed since its write stopped at A12: Start begins anew."),
        std::string::npos)
        << textOf (restore->note);
    closeRestore();

    changed.patches[1] = factory[1];
    ASSERT_TRUE (QorvFileIO::save (libraryPath, changed));
    ASSERT_TRUE (window->fileCommands.loadLibrary (libraryPath));
    restore = &openRestore();
    ASSERT_NE (restore->guide(), nullptr) << "the same patches again: taken up";
    click (restore->startOverButton);
    EXPECT_EQ (restore->guide(), nullptr);
    EXPECT_EQ (settingsText().find ("RESTORE_"), std::string::npos);
    EXPECT_EQ (restore->startButton.getButtonText(), "Start");
}
} // namespace
