// MIDI > Record Previews... on the real sequencer and a real sound card, inside
// the small virtual machine: the window sends each patch and its note to a
// synthesizer of the tests' own, which plays into the kernel's loopback sound
// card, and captures it from the loopback's other side through ALSA. With
// QORV_SCREENSHOTS naming a folder, the windows are photographed there.

#include "LoopbackSynthesizer.h"
#include "MessageLoop.h"
#include "TempFolder.h"
#include "TonePatch.h"
#include "app/MainWindow.h"
#include "files/QorvFileIO.h"
#include "previews/PreviewFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

namespace
{
const std::string virMidi = "Virtual Raw MIDI 0-0 VirMIDI 0-0";
const std::string fromLoopback = "hw:CARD=Loopback,DEV=1";

class RecordWindowSequencerTest : public testing::Test
{
protected:
    RecordWindowSequencerTest()
    {
        ::setenv ("XDG_CONFIG_HOME", configHome.root.c_str(), 1);
        PatchModel copy = tonePatch ("Low again", 20, 110, 10);
        LibraryModel library;
        library.replacePatches (
            {tonePatch ("Low", 20, 110, 10), tonePatch ("Mid", 60, 110, 10), copy, tonePatch ("High", 100, 110, 10)});
        EXPECT_TRUE (QorvFileIO::save (libraryPath, library));
        state = std::make_unique<AppState>();
        window = std::make_unique<MainWindow> ("Qorv", *state); // the ALSA sequencer, the ALSA capture
        window->requestQuit = [] {};
        window->loadState();
    }

    ~RecordWindowSequencerTest() override
    {
        window->prepareToQuit();
        window.reset();
        state.reset();
    }

    /** A window as X shows it, into QORV_SCREENSHOTS when that names a folder. */
    static void photograph (juce::Component& shown, const std::string& name)
    {
        const char* folder = std::getenv ("QORV_SCREENSHOTS");
        if (folder == nullptr)
            return;
        shown.repaint();
        pumpMessagesUntil ([] { return false; }, 300); // let it paint
        const auto id = reinterpret_cast<uintptr_t> (shown.getWindowHandle());
        const std::string command = "import -window " + std::to_string (id) + " " + folder + "/" + name + ".png";
        EXPECT_EQ (std::system (command.c_str()), 0) << command;
    }

    TempFolder configHome;
    TempFolder files;
    const std::string libraryPath = files.path ("Tones.106");
    LoopbackSynthesizer synth{{}};
    std::unique_ptr<AppState> state;
    std::unique_ptr<MainWindow> window;
};
} // namespace

TEST_F (RecordWindowSequencerTest, ARunFromTheWindowStoresEachSoundOnceFromTheSoundCardAndTheBankShowsIt)
{
    ASSERT_EQ (synth.problem(), "");
    window->mainComponent->midiEngine.chooseOutput (virMidi);
    ASSERT_TRUE (window->fileCommands.loadLibrary (libraryPath));

    window->menuItemSelected (MainWindow::recordPreviewsId, 3);
    ASSERT_NE (window->recordWindow, nullptr);
    auto& record = window->recordWindow->content();
    // The loopback's capture side, listed by its ALSA id as a user would pick it.
    int loopbackItem = 0;
    for (int i = 0; i < record.inputChoice.getNumItems(); ++i)
        if (record.inputChoice.getItemText (i).startsWith (fromLoopback))
            loopbackItem = record.inputChoice.getItemId (i);
    ASSERT_NE (loopbackItem, 0) << "inputs: " << record.inputChoice.getNumItems();
    record.inputChoice.setSelectedId (loopbackItem, juce::sendNotificationSync);

    ASSERT_TRUE (record.startButton.isEnabled());
    record.startButton.triggerClick();
    ASSERT_TRUE (
        pumpMessagesUntil ([&record] { return record.run() != nullptr && record.run()->doneCount() == 1; }, 60000));
    photograph (*window->recordWindow, "record-previews-running");
    ASSERT_TRUE (pumpMessagesUntil (
        [&record]
        {
            const auto* run = record.run();
            return run != nullptr &&
                   (run->phase() == RecordingRun::Phase::finished || run->phase() == RecordingRun::Phase::stopped);
        },
        120000));
    photograph (*window->recordWindow, "record-previews-done");
    EXPECT_EQ (record.run()->phase(), RecordingRun::Phase::finished) << record.log.getText();
    EXPECT_TRUE (record.log.getText().contains ("Done.")) << record.log.getText();
    EXPECT_GT (synth.dumpsReceived(), 0);

    // Each sound once, whatever its name; each from the sound card, tagged with the patch it is of.
    std::set<std::string> oggs;
    for (const auto& entry : std::filesystem::directory_iterator (PreviewFolder::folderFor (libraryPath)))
        if (entry.path().extension() == ".ogg")
            oggs.insert (entry.path().filename().string());
    EXPECT_EQ (oggs.size(), 3u);
    const auto* list = window->mainComponent->bank.libraryList.previews;
    ASSERT_NE (list, nullptr);
    for (const auto& patch : window->mainComponent->session().library().patches)
    {
        const auto* preview = list->find (patch.data);
        ASSERT_NE (preview, nullptr) << patch.name;
        EXPECT_EQ (oggs.count (preview->fileName()), 1u) << patch.name;
        EXPECT_EQ (preview->input, fromLoopback);
        EXPECT_GT (preview->seconds(), 0.9) << patch.name << ": the held second is kept";
    }
    // The panel is drawn, not grabbed from X: the main window is never put on the screen here.
    if (const char* folder = std::getenv ("QORV_SCREENSHOTS"))
    {
        auto& panel = *window->mainComponent;
        juce::FileOutputStream out (juce::File (folder).getChildFile ("bank-with-recorded-previews.png"));
        ASSERT_TRUE (out.openedOk());
        out.setPosition (0);
        out.truncate();
        juce::PNGImageFormat().writeImageToStream (panel.createComponentSnapshot (panel.getLocalBounds()), out);
    }
}
