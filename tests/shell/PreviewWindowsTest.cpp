// The previews in the window on the in-memory MIDI layer: the BANK list's
// marks and Space, MIDI > Record Previews... through a run against a
// synthesizer in memory that plays what the engine sends it, in real time,
// Continue after a quit, and MIDI > Check Voices... with its report.

#include "FactoryPatches.h"
#include "MemorySound.h"
#include "ShellFixture.h"
#include "TonePatch.h"
#include "files/QorvFileIO.h"
#include "previews/PreviewFolder.h"

#include <cmath>
#include <cstdlib>

namespace
{
/** MemorySound on the steady clock, playing what the engine sends to the
    in-memory MIDI layer: each read takes in the messages sent since. */
class RealTimeSound final : public AudioInput
{
public:
    RealTimeSound (MemorySound& memorySound, MemoryMidiPlatform& platform) : sound (memorySound), midi (platform) {}

    std::vector<Device> devices() const override { return {{"memory", "A synthesizer in memory"}}; }
    bool open (const std::string& id, std::string& whyNot) override
    {
        sound.now = Clock::now();
        return sound.open (id, whyNot);
    }
    void close() override { sound.close(); }
    bool isOpen() const override { return sound.isOpen(); }
    double sampleRate() const override { return sound.sampleRate(); }
    Chunk read (float* destination, size_t maxFrames) override
    {
        sound.now = Clock::now();
        for (; taken < midi.sent.size(); ++taken)
            play (midi.sent[taken]);
        return sound.read (destination, maxFrames);
    }
    uint64_t overruns() const override { return sound.overruns(); }
    std::string failure() const override { return sound.failure(); }

private:
    void play (const std::vector<uint8_t>& message)
    {
        if (message.size() == 24 && message[0] == 0xF0 && message[2] == 0x30)
        {
            PatchModel patch;
            std::copy (message.begin() + 5, message.begin() + 23, patch.data.begin());
            sound.sendPatch (patch);
        }
        else if (message.size() == 3 && (message[0] & 0xF0) == 0x90 && message[2] > 0)
            sound.noteOn (message[1]);
        else if (message.size() == 3 && ((message[0] & 0xF0) == 0x80 || (message[0] & 0xF0) == 0x90))
            sound.noteOff (message[1]);
    }

    MemorySound& sound;
    MemoryMidiPlatform& midi;
    size_t taken = 0;
};

class PreviewWindowsTest : public ShellTest
{
protected:
    PreviewWindowsTest()
    {
        LibraryModel library;
        library.replacePatches (
            {tonePatch ("A Bass", 20, 100, 6), tonePatch ("B Lead", 60, 100, 6), tonePatch ("C Pad", 90, 100, 6)});
        EXPECT_TRUE (QorvFileIO::save (libraryPath, library));
        startWithTheSynthesizer();
    }

    // The window's inputs read the synthesizer in memory: the window goes first.
    ~PreviewWindowsTest() override { closeWindow(); }

    void startWithTheSynthesizer()
    {
        closeWindow();
        openWindow ({{"", "Juno", 1}}, {{"", "Juno", 1}});
        window->loadState();
        engine().openOutput (1);
        sound = std::make_unique<MemorySound>();
        window->makeAudioInput = [this] { return std::make_unique<RealTimeSound> (*sound, *midi); };
        ASSERT_TRUE (window->fileCommands.loadLibrary (libraryPath));
    }

    RecordComponent& openRecord()
    {
        window->menuItemSelected (MainWindow::recordPreviewsId, 3);
        EXPECT_NE (window->recordWindow, nullptr);
        auto& record = window->recordWindow->content();
        record.inputChoice.setSelectedId (1, juce::sendNotificationSync); // the synthesizer in memory
        return record;
    }

    /** Waits for the run of the Record window to end, pumping the message loop. */
    bool runEnds (RecordComponent& record, int seconds = 60)
    {
        return pumpMessagesUntil (
            [&record]
            {
                const auto* run = record.run();
                return run != nullptr &&
                       (run->phase() == RecordingRun::Phase::finished || run->phase() == RecordingRun::Phase::stopped);
            },
            seconds * 1000);
    }

    /** Writes the component's picture for a person to look at, when QORV_SHOTS names a folder. */
    static void keepPicture (juce::Component& component, const char* name)
    {
        if (const char* folder = std::getenv ("QORV_SHOTS"))
        {
            juce::FileOutputStream out (juce::File (folder).getChildFile (name));
            out.setPosition (0);
            out.truncate();
            juce::PNGImageFormat().writeImageToStream (component.createComponentSnapshot (component.getLocalBounds()),
                                                       out);
        }
    }

    TempFolder folder;
    const std::string libraryPath = folder.path ("Bank.106");
    std::unique_ptr<MemorySound> sound;
};
} // namespace

TEST_F (PreviewWindowsTest, ARunFromTheWindowStoresEveryPreviewAndTheBankShowsThem)
{
    auto& list = panel().bank.libraryList;
    ASSERT_NE (list.previews, nullptr);
    EXPECT_EQ (list.previews->find (session().library().patches[0].data), nullptr);

    auto& record = openRecord();
    EXPECT_TRUE (record.startButton.isEnabled());
    record.startButton.triggerClick();
    ASSERT_TRUE (
        pumpMessagesUntil ([&record] { return record.run() != nullptr && record.run()->doneCount() == 1; }, 30000));
    keepPicture (record, "record-previews.png");
    ASSERT_TRUE (runEnds (record));
    EXPECT_EQ (record.run()->phase(), RecordingRun::Phase::finished);
    EXPECT_TRUE (record.log.getText().contains ("\"C Pad\": recorded"));
    EXPECT_TRUE (record.log.getText().contains ("Done."));
    EXPECT_FALSE (window->loadRecordingPlace()); // nothing left to continue

    for (const auto& patch : session().library().patches)
    {
        const auto* preview = list.previews->find (patch.data);
        ASSERT_NE (preview, nullptr) << patch.name;
        EXPECT_EQ (preview->title, patch.name);
        EXPECT_TRUE (juce::File (juce::String (folder.path ("Bank.previews/") + preview->fileName())).existsAsFile());
    }
    keepPicture (panel(), "bank-with-previews.png");

    // A row with a preview draws its waveform and mark where a row without one has only its background.
    const auto withPreview = list.listBox.createComponentSnapshot (list.listBox.getRowPosition (1, true));
    int lit = 0;
    for (int x = withPreview.getWidth() - LibraryListBox::previewMarkWidth; x < withPreview.getWidth(); ++x)
        for (int y = 0; y < withPreview.getHeight(); ++y)
            lit += withPreview.getPixelAt (x, y).getRed() > 150 ? 1 : 0;
    EXPECT_GT (lit, 20);

    // No preview of a new patch: Space says so.
    session().newPatch();
    panel().bank.showRow (static_cast<int> (session().library().patches.size()) - 1);
    window->keyPressed (juce::KeyPress (juce::KeyPress::spaceKey));
    EXPECT_EQ (panel().patchBar.statusLabel.getText(), "No preview of \"Init\"");
}

TEST_F (PreviewWindowsTest, ContinueAfterAQuitRecordsOnlyTheRowsStillMissing)
{
    auto& record = openRecord();
    record.startButton.triggerClick();
    ASSERT_TRUE (
        pumpMessagesUntil ([&record] { return record.run() != nullptr && record.run()->doneCount() == 1; }, 30000));
    record.stopButton.triggerClick();
    ASSERT_TRUE (runEnds (record));
    ASSERT_TRUE (window->loadRecordingPlace());
    EXPECT_FALSE (record.log.getText().contains ("\"B Lead\": recorded"));

    window->saveState();
    startWithTheSynthesizer(); // a quit and a new start
    auto& again = openRecord();
    ASSERT_TRUE (again.continueButton.isVisible());
    again.continueButton.triggerClick();
    ASSERT_TRUE (runEnds (again));
    EXPECT_EQ (again.run()->items().size(), 2u); // the first row is on the disk already
    EXPECT_TRUE (again.log.getText().contains ("\"B Lead\": recorded"));
    EXPECT_TRUE (again.log.getText().contains ("\"C Pad\": recorded"));
    EXPECT_FALSE (window->loadRecordingPlace());
}

TEST_F (PreviewWindowsTest, TheTestTakeSaysTheFloorOnsetAndLevelAndStoresNothing)
{
    auto& record = openRecord();
    record.testButton.triggerClick();
    ASSERT_TRUE (runEnds (record, 20));
    const auto text = record.log.getText();
    EXPECT_TRUE (text.contains ("Test of \"A Bass\": floor ")) << text;
    EXPECT_TRUE (text.contains (" ms after the note-on, level ")) << text;
    EXPECT_FALSE (juce::File (juce::String (folder.path ("Bank.previews"))).exists());
}

TEST_F (PreviewWindowsTest, CheckVoicesReportsAPlantedFaultAndSavesItAsText)
{
    sound->synth.traits[2].levelDb = -40.0;
    for (size_t v = 0; v < sound->synth.traits.size(); ++v)
        sound->synth.traits[v].cents += static_cast<double> (v) * 2.0;
    window->menuItemSelected (MainWindow::checkVoicesId, 3);
    ASSERT_NE (window->voiceCheckWindow, nullptr);
    auto& check = window->voiceCheckWindow->content();
    check.inputChoice.setSelectedId (1, juce::sendNotificationSync);
    check.startButton.triggerClick();
    ASSERT_TRUE (pumpMessagesUntil (
        [&check] { return check.check() != nullptr && check.check()->phase() == VoiceCheck::Phase::finished; }, 90000));
    keepPicture (check, "check-voices.png");
    const auto report = check.report.getText();
    EXPECT_TRUE (report.contains ("Voice 3: level -40.0 dB")) << report;
    EXPECT_TRUE (report.contains ("  dead: level -40.0 dB against the median")) << report;
    ASSERT_TRUE (check.saveResults (folder.path ("voices.txt")));
    EXPECT_EQ (juce::File (juce::String (folder.path ("voices.txt"))).loadFileAsString(),
               report + (report.endsWith ("\n") ? "" : "\n"));
}

namespace
{
/** Stores a made-up preview of each of the library's patches. */
void storePreviews (const std::string& libraryPath, const std::vector<PatchModel>& patches)
{
    PreviewFolder folder (PreviewFolder::folderFor (libraryPath));
    for (const auto& patch : patches)
    {
        PreviewInfo info;
        info.title = patch.name;
        info.bytes = patch.data;
        ASSERT_TRUE (folder.store (info, std::vector<float> (9600, 0.25f)));
    }
}
} // namespace

TEST_F (PreviewWindowsTest, ALibraryTravelsWithItsPreviewsAsOneZipFile)
{
    storePreviews (libraryPath, session().library().patches);
    const std::string zip = folder.path ("Bank.zip");
    ASSERT_TRUE (window->previewArchive.exportArchive (zip));
    EXPECT_EQ (panel().patchBar.statusLabel.getText(), "Exported with 3 previews");

    const std::string elsewhere = folder.path ("elsewhere");
    ASSERT_TRUE (juce::File (elsewhere).createDirectory());
    window->previewArchive.importArchive (zip, elsewhere);
    EXPECT_TRUE (warnings.empty());
    EXPECT_EQ (session().currentFile(), elsewhere + "/Bank.106");
    EXPECT_EQ (panel().patchBar.statusLabel.getText(), "Imported with 3 previews");
    for (const auto& patch : session().library().patches)
        EXPECT_NE (panel().bank.libraryList.previews->find (patch.data), nullptr) << patch.name;

    // Never over a library that is there.
    window->previewArchive.importArchive (zip, elsewhere);
    ASSERT_EQ (warnings.size(), 1u);
    EXPECT_EQ (warnings[0].title, "Import failed");
    // An archive that is not one changes nothing.
    writeBytes (folder.path ("bad.zip"), {'P', 'K', 3, 4, 0});
    const std::string third = folder.path ("third");
    ASSERT_TRUE (juce::File (third).createDirectory());
    window->previewArchive.importArchive (folder.path ("bad.zip"), third);
    ASSERT_EQ (warnings.size(), 2u);
    EXPECT_EQ (juce::File (third).getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
    EXPECT_EQ (session().currentFile(), elsewhere + "/Bank.106");
}

TEST_F (PreviewWindowsTest, SaveLibraryAsIntoAnotherFolderOffersToCopyThePreviews)
{
    storePreviews (libraryPath, session().library().patches);
    std::vector<std::string> asked;
    window->previewArchive.askToCopy = [&asked] (const juce::String& question, std::function<void (bool)> answer)
    {
        asked.push_back (question.toStdString());
        answer (true);
    };
    ASSERT_TRUE (juce::File (folder.path ("copy")).createDirectory());
    window->menuItemSelected (MainWindow::saveLibraryAsId, 0);
    ASSERT_EQ (dialogs.size(), 1u);
    answerDialog ({folder.path ("copy/Bank.106")});
    ASSERT_EQ (asked.size(), 1u);
    EXPECT_NE (asked[0].find ("Copy the 3 previews"), std::string::npos) << asked[0];
    PreviewFolder copied (folder.path ("copy/Bank.previews"));
    copied.refresh();
    EXPECT_EQ (copied.previews().size(), 3u);
    EXPECT_NE (panel().bank.libraryList.previews->find (session().library().patches[0].data), nullptr);
}

TEST_F (PreviewWindowsTest, SelectingARowCanSendItOrPlayItsPreviewAndTheChoiceIsKept)
{
    auto& bank = panel().bank;
    window->menuItemSelected (MainWindow::selectingSendsId, 3);
    midi->clearSent();
    bank.libraryList.listBox.selectRow (2);
    EXPECT_EQ (session().activePatch().name, "C Pad");
    ASSERT_EQ (sentDumps().size(), 1u);

    window->menuItemSelected (MainWindow::selectingPlaysPreviewId, 3);
    midi->clearSent();
    bank.libraryList.listBox.selectRow (1);
    EXPECT_EQ (session().activePatch().name, "C Pad"); // not sent
    EXPECT_TRUE (sentDumps().empty());
    EXPECT_EQ (panel().patchBar.statusLabel.getText(), "No preview of \"B Lead\"");

    window->menuItemSelected (MainWindow::levelMatchedId, 3);
    startWithTheSynthesizer(); // saves nothing itself: the settings as the last quit left them
    EXPECT_EQ (window->previewCommands.selectingDoes(), PreviewCommands::Selecting::selects);
    window->menuItemSelected (MainWindow::selectingPlaysPreviewId, 3);
    window->menuItemSelected (MainWindow::levelMatchedId, 3);
    restart();
    EXPECT_EQ (window->previewCommands.selectingDoes(), PreviewCommands::Selecting::playsPreview);
    EXPECT_FALSE (window->previewCommands.isLevelMatched());
}

TEST_F (PreviewWindowsTest, ARunGoesOnIntoItsOwnFolderWhenTheLibraryIsReplacedMeanwhile)
{
    auto& record = openRecord();
    record.startButton.triggerClick();
    ASSERT_TRUE (
        pumpMessagesUntil ([&record] { return record.run() != nullptr && record.run()->doneCount() == 1; }, 30000));
    window->fileCommands.newLibrary();
    EXPECT_EQ (session().currentFile(), "");
    ASSERT_TRUE (runEnds (record));
    PreviewFolder stored (folder.path ("Bank.previews"));
    stored.refresh();
    EXPECT_EQ (stored.previews().size(), 3u);
}
