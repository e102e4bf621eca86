// Edit > Breed... in the real window on the real sequencer: candidates
// clicked reach the synthesizer's port behind hw:0,0 as exactly their dumps,
// no faster than a MIDI cable carries them, and a note played with one comes
// after its sound.

#include "FactoryPatches.h"
#include "LinkPeer.h"
#include "MessageLoop.h"
#include "TempFolder.h"
#include "UiTestSupport.h"
#include "app/MainWindow.h"
#include "files/QorvFileIO.h"
#include "midi/protocol/JunoMessages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

namespace
{
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

const std::string virMidi = "Virtual Raw MIDI 0-0 VirMIDI 0-0";

Bytes dumpOf (const SoundControls::Bytes& sound)
{
    PatchModel patch;
    patch.data = sound;
    const auto dump = JunoMessages::buildPatchDump (patch, 0, 0);
    return {dump.begin(), dump.end()};
}

class BreedWindowSequencerTest : public testing::Test
{
protected:
    BreedWindowSequencerTest()
    {
        ::setenv ("XDG_CONFIG_HOME", configHome.root.c_str(), 1);
        LibraryModel library;
        for (const auto& row : loadFactoryPatches())
            if (library.patches.size() < 8)
                library.patches.push_back (row.patch);
        EXPECT_TRUE (QorvFileIO::save (libraryPath, library));
        state = std::make_unique<AppState>();
        window = std::make_unique<MainWindow> ("Qorv", *state); // the ALSA sequencer
        window->requestQuit = [] {};
        window->loadState();
        std::this_thread::sleep_for (200ms); // the peer arms its port
    }

    ~BreedWindowSequencerTest() override
    {
        window->prepareToQuit();
        window.reset();
        state.reset();
    }

    /** A click on a candidate, as the mouse gives it. */
    static void clickCandidate (BreedComponent& breed, size_t index)
    {
        UiTest::click (breed.tiles[index], 20.0f, 60.0f);
    }

    TempFolder configHome;
    TempFolder files;
    const std::string libraryPath = files.path ("Eight.106");
    LinkPeer peer{"hw:0,0"};
    std::unique_ptr<AppState> state;
    std::unique_ptr<MainWindow> window;
};
} // namespace

TEST_F (BreedWindowSequencerTest, CandidatesClickedReachTheSynthesizerAsTheirDumpsAtTheLinksPace)
{
    ASSERT_TRUE (peer.isOpen());
    window->mainComponent->midiEngine.chooseOutput (virMidi);
    ASSERT_TRUE (window->fileCommands.loadLibrary (libraryPath));
    ASSERT_TRUE (pumpMessagesUntil ([this] { return peer.arrivalCount() == 1; }, 10000)); // the first patch

    window->menuItemSelected (MainWindow::breedId, 1);
    ASSERT_NE (window->exploreWindows.breedWindow, nullptr);
    auto& breed = window->exploreWindows.breedWindow->content();
    const auto candidates = breed.run().shown()->candidates;
    const auto since = LinkPeer::Clock::now();

    // One at a time, as a user auditions them: each arrives, whole.
    size_t expectedCount = 1;
    for (const size_t index : {0u, 5u, 11u})
    {
        clickCandidate (breed, index);
        ++expectedCount;
        ASSERT_TRUE (pumpMessagesUntil ([&] { return peer.arrivalCount() == expectedCount; }, 10000)) << index;
        EXPECT_EQ (peer.messages().back(), dumpOf (candidates[index]));
    }

    // Faster than the cable: a newer candidate takes the place of one still
    // waiting, so what arrives is some of them in order, and the last for sure.
    for (size_t index = 1; index <= 8; ++index)
        clickCandidate (breed, index);
    ASSERT_TRUE (pumpMessagesUntil ([&] { return peer.messages().back() == dumpOf (candidates[8]); }, 10000));
    std::this_thread::sleep_for (100ms); // nothing else may follow
    ASSERT_TRUE (runPostedMessages());
    const auto messages = peer.messages();
    size_t next = 1;
    for (size_t i = expectedCount; i < messages.size(); ++i)
    {
        while (next <= 8 && messages[i] != dumpOf (candidates[next]))
            ++next;
        ASSERT_LE (next, 8u) << "arrival " << i << " is no candidate clicked, or out of order";
    }
    EXPECT_EQ (messages.back(), dumpOf (candidates[8]));
    // The first dump finds the link idle and goes at once (24 bytes "ahead" of a
    // link counted from then); past that, never faster than the link, within
    // what the sender's allowance for a late wake-up gives, as for any dump.
    EXPECT_LE (peer.mostBytesAheadOfTheLink (since), 48) << "faster than the link";
    EXPECT_EQ (peer.lostBytes(), 0u);
    EXPECT_EQ (window->mainComponent->session().activePatch().data, candidates[8]);

    // With Play a Note, the note follows its candidate's sound on the cable.
    breed.playNote.setToggleState (true, juce::dontSendNotification);
    breed.lengthSlider.setValue (100);
    const size_t before = peer.arrivalCount();
    clickCandidate (breed, 3);
    ASSERT_TRUE (pumpMessagesUntil ([&] { return peer.arrivalCount() == before + 3; }, 10000));
    const auto last = peer.messages();
    EXPECT_EQ (std::vector<Bytes> (last.end() - 3, last.end()),
               (std::vector<Bytes>{dumpOf (candidates[3]), Bytes{0x90, 60, 100}, Bytes{0x80, 60, 0}}));
}
