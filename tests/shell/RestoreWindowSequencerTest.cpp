// MIDI > Write Library to Synthesizer... in the real window on the real
// sequencer: a scripted synthesizer behind hw:0,0 keeps what it is sent and
// answers each memory's selection, and the test is the owner at the window.
// With QORV_SCREENSHOTS naming a folder, the window is photographed there at
// each step worth seeing.

#include "FactoryPatches.h"
#include "MessageLoop.h"
#include "ScriptedSynthesizer.h"
#include "TempFolder.h"
#include "app/MainWindow.h"
#include "files/QorvFileIO.h"
#include "midi/protocol/JunoMessages.h"
#include "session/SynthMemory.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{
using Answer = ScriptedSynthesizer::Answer;
using Phase = RestoreGuide::Phase;

const std::string virMidi = "Virtual Raw MIDI 0-0 VirMIDI 0-0";

std::string textOf (const juce::Label& label)
{
    return label.getText().toStdString();
}

class RestoreWindowSequencerTest : public testing::Test
{
protected:
    RestoreWindowSequencerTest()
    {
        ::setenv ("XDG_CONFIG_HOME", configHome.root.c_str(), 1);
        for (const auto& row : loadFactoryPatches())
            factory.push_back (row.patch);
        LibraryModel library;
        library.patches.assign (factory.begin(), factory.begin() + 16);
        EXPECT_TRUE (QorvFileIO::save (libraryPath, library));
    }

    ~RestoreWindowSequencerTest() override { quit(); }

    /** Start-up as the program does it, with the synthesizer chosen as input and output. */
    void start()
    {
        state = std::make_unique<AppState>();
        window = std::make_unique<MainWindow> ("Qorv", *state);
        window->requestQuit = [] {};
        window->loadState();
        window->mainComponent->midiEngine.chooseInput (virMidi);
        window->mainComponent->midiEngine.chooseOutput (virMidi);
        ASSERT_TRUE (window->fileCommands.loadLibrary (libraryPath));
    }

    void quit()
    {
        if (window == nullptr)
            return;
        window->saveState();
        window->prepareToQuit();
        window.reset();
        state.reset();
    }

    RestoreComponent& openRestore()
    {
        window->menuItemSelected (MainWindow::writeLibraryId, 3);
        EXPECT_NE (window->restoreWindow, nullptr);
        return window->restoreWindow->content();
    }

    void click (juce::Button& button)
    {
        ASSERT_TRUE (button.isEnabled()) << button.getButtonText();
        button.triggerClick();
        ASSERT_TRUE (runPostedMessages());
    }

    bool waitUntil (const std::function<bool()>& condition, int timeoutMs = 30000)
    {
        return pumpMessagesUntil (condition, timeoutMs);
    }

    /** The restore window as X shows it, into QORV_SCREENSHOTS when that names a folder. */
    void photograph (const std::string& name)
    {
        const char* folder = std::getenv ("QORV_SCREENSHOTS");
        if (folder == nullptr || window->restoreWindow == nullptr)
            return;
        window->restoreWindow->repaint();
        runPostedMessages();
        pumpMessagesUntil ([] { return false; }, 300); // let it paint
        const auto id = reinterpret_cast<uintptr_t> (window->restoreWindow->getWindowHandle());
        const std::string command = "import -window " + std::to_string (id) + " " + folder + "/" + name + ".png";
        EXPECT_EQ (std::system (command.c_str()), 0) << command;
    }

    /** The dumps the synthesizer must have received: each memory's factory patch, in this order. */
    std::vector<uint8_t> wireOf (const std::vector<int>& memories) const
    {
        std::vector<uint8_t> bytes;
        for (const int memory : memories)
        {
            const auto dump = JunoMessages::buildPatchDump (factory[static_cast<size_t> (memory)], 0, memory);
            bytes.insert (bytes.end(), dump.begin(), dump.end());
        }
        return bytes;
    }

    std::string settingsText() const
    {
        return juce::File (configHome.path ("org.qorv.Qorv/qorv.cfg")).loadFileAsString().toStdString();
    }

    TempFolder configHome, files;
    const std::string libraryPath = files.path ("Factory.106");
    std::vector<PatchModel> factory;
    std::unique_ptr<AppState> state;
    std::unique_ptr<MainWindow> window;
};

TEST_F (RestoreWindowSequencerTest, SixteenMemoriesAreWrittenAndADamagedAnswerIsSentAgain)
{
    // Listening from before the start, however late the library's opening dump crosses the link.
    ScriptedSynthesizer synth;
    ASSERT_TRUE (synth.isOpen());
    synth.script (0, Answer::playedFirst); // opening the library plays its first patch, A11
    synth.script (2, Answer::damagedOnce); // A13
    start();
    ASSERT_TRUE (waitUntil ([&] { return synth.dumpsReceived().size() == 1; })) << "the opening dump was played";
    auto& restore = openRestore();
    EXPECT_EQ (textOf (restore.instruction), RestoreGuide::setUpAdvice);
    ASSERT_TRUE (waitUntil ([&] { return restore.startButton.isEnabled(); })) << textOf (restore.note);
    photograph ("restore-set-up");

    click (restore.startButton);
    const auto* guide = restore.guide();
    ASSERT_NE (guide, nullptr);
    ASSERT_TRUE (waitUntil (
        [&]
        { return guide->currentIndex() == 2 && guide->entries()[2].state != RestoreGuide::MemoryState::notWritten; }))
        << textOf (restore.note);
    const auto freq = factory[2].data[5];
    EXPECT_EQ (textOf (restore.instruction), "Press WRITE, then bank A, group 1, number 3; then select A13.");
    EXPECT_EQ (textOf (restore.note),
               "A13 came back different: VCF Freq sent " + std::to_string (freq) + ", came back " +
                   std::to_string (freq ^ 0x10) + ".\nPress Send Again, then write and select A13 once more; or Skip.");
    photograph ("restore-differing");

    click (restore.sendAgainButton);
    ASSERT_TRUE (waitUntil ([&] { return guide->phase() == Phase::finished; })) << textOf (restore.note);
    EXPECT_EQ (textOf (restore.instruction), "Done.");
    EXPECT_EQ (textOf (restore.note), "16 written and checked, 0 skipped, 0 differing.");
    photograph ("restore-done");

    // Every dump exact and numbered as its memory, A13 twice, and nothing else on the wire.
    EXPECT_EQ (synth.received(), wireOf ({0, 0, 1, 2, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
    for (int memory = 0; memory < 16; ++memory)
        EXPECT_EQ (synth.memory (memory), factory[static_cast<size_t> (memory)].data);
    EXPECT_EQ (window->mainComponent->session().pendingPatch(), nullptr) << "the answers never reached MIDI IN";
    EXPECT_EQ (settingsText().find ("RESTORE_"), std::string::npos);
}

TEST_F (RestoreWindowSequencerTest, ASilentSynthesizerIsReportedAndStopGoesOnAfterARestart)
{
    auto synth = std::make_unique<ScriptedSynthesizer>();
    synth->script (0, Answer::playedFirst);
    synth->script (2, Answer::silent); // A13
    start();
    ASSERT_TRUE (waitUntil ([&] { return synth->dumpsReceived().size() == 1; }));
    auto* restore = &openRestore();
    ASSERT_TRUE (waitUntil ([&] { return restore->startButton.isEnabled(); })) << textOf (restore->note);
    click (restore->startButton);
    const auto* guide = restore->guide();
    ASSERT_TRUE (waitUntil ([&] { return guide->currentIndex() == 2; })) << textOf (restore->note);
    EXPECT_EQ (textOf (restore->note),
               "Sent \"" + factory[2].name + "\" as A13. Qorv checks the memory as soon as you select it.");

    // Ten seconds on, the window says what to check, and goes on waiting.
    ASSERT_TRUE (waitUntil ([&] { return guide->isUnanswered(); }, 20000));
    EXPECT_EQ (textOf (restore->note),
               "No answer from the synthesizer for A13. Check the MIDI cable from its MIDI OUT to Qorv's input, that "
               "its MIDI FUNCTION switch is at III, and that it sends on MIDI channel 1.");
    EXPECT_EQ (guide->phase(), Phase::waiting);
    photograph ("restore-no-answer");

    click (restore->stopButton);
    EXPECT_EQ (textOf (restore->instruction), "Stopped at A13.");
    EXPECT_EQ (textOf (restore->note),
               "2 written and checked, 0 skipped, 0 differing, 14 not written yet (A13 to A28).\nContinue goes on from "
               "A13.");
    EXPECT_NE (settingsText().find ("name=\"RESTORE_NEXT\" val=\"A13\""), std::string::npos) << settingsText();

    // Qorv and the synthesizer start again; the owner has found what was wrong.
    quit();
    synth.reset();
    synth = std::make_unique<ScriptedSynthesizer>();
    synth->script (0, Answer::playedFirst);
    start();
    ASSERT_TRUE (waitUntil ([&] { return synth->dumpsReceived().size() == 1; }));
    restore = &openRestore();
    EXPECT_EQ (textOf (restore->note),
               "Stopped at A13 before: 2 written and checked, 0 skipped, 0 differing, 14 not written yet (A13 to "
               "A28).\nContinue goes on from A13.");
    EXPECT_EQ (restore->startButton.getButtonText(), "Continue");
    ASSERT_TRUE (waitUntil ([&] { return restore->startButton.isEnabled(); }));
    photograph ("restore-continue");
    click (restore->startButton);
    guide = restore->guide();
    ASSERT_TRUE (waitUntil ([&] { return guide->phase() == Phase::finished; })) << textOf (restore->note);
    EXPECT_EQ (textOf (restore->note), "16 written and checked, 0 skipped, 0 differing.");
    EXPECT_EQ (synth->received(), wireOf ({0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
    EXPECT_EQ (settingsText().find ("RESTORE_"), std::string::npos);
}
} // namespace
