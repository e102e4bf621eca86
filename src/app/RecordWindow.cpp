#include "app/RecordWindow.h"

#include "app/FileWork.h"
#include "capture/AudioAnalysis.h"
#include "files/FilePath.h"
#include "session/RestoreProgress.h"
#include "ui/PanelText.h"

#include <algorithm>
#include <cmath>

namespace
{
using Clock = RecordingRun::Clock;

/** Runs longer than this are preceded by the quick voice check. */
constexpr size_t longRun = 32;
constexpr double holds[] = {0.5, 1.0, 2.0, 4.0};

juce::String noteName (int note)
{
    static const char* const names[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    return juce::String (names[note % 12]) + juce::String (note / 12 - 1) + " (" + juce::String (note) + ")";
}

juce::String fixed (double value, int decimals)
{
    return juce::String (value, decimals);
}

juce::String duration (double seconds)
{
    const int whole = static_cast<int> (std::lround (seconds));
    if (whole < 60)
        return juce::String (whole) + " s";
    return juce::String (whole / 60) + " min " + juce::String (whole % 60) + " s";
}
} // namespace

//==============================================================================
void InputMeter::show (double peakDb, bool clipped)
{
    level = peakDb;
    clip = clipped;
    repaint();
}

void InputMeter::paint (juce::Graphics& g)
{
    const auto area = getLocalBounds().toFloat();
    g.setColour (juce::Colour (0xFF202020));
    g.fillRect (area);
    // -60 dBFS to 0 dBFS across the bar.
    const float fraction = static_cast<float> (std::clamp ((level + 60.0) / 60.0, 0.0, 1.0));
    const juce::Colour colour = clip           ? juce::Colours::red
                                : level > -6.0 ? juce::Colours::orange
                                               : juce::Colour (0xFF5FC96B);
    g.setColour (colour);
    g.fillRect (area.withWidth (area.getWidth() * fraction).reduced (0.0f, 2.0f));
    g.setColour (juce::Colours::grey);
    for (int db = -48; db <= 0; db += 12)
    {
        const float x = area.getWidth() * static_cast<float> (db + 60) / 60.0f;
        g.drawVerticalLine (static_cast<int> (x), area.getY(), area.getBottom());
    }
}

void TakeWaveform::show (const std::vector<float>& audio, size_t from)
{
    const int columns = std::max (1, getWidth());
    peaks.assign (static_cast<size_t> (columns), 0.0f);
    if (audio.size() > from)
    {
        const size_t length = audio.size() - from;
        // Six seconds across the view at least, so the take grows from the left.
        const size_t span = std::max<size_t> (length, 48000 * 6);
        for (size_t i = 0; i < length; ++i)
        {
            auto& peak = peaks[std::min (peaks.size() - 1, i * peaks.size() / span)];
            peak = std::max (peak, std::abs (audio[from + i]));
        }
    }
    repaint();
}

void TakeWaveform::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xFF181818));
    g.setColour (juce::Colour (0xFF5FC96B));
    const float middle = static_cast<float> (getHeight()) / 2.0f;
    for (size_t x = 0; x < peaks.size(); ++x)
    {
        const float half = std::max (0.5f, middle * std::min (1.0f, peaks[x]));
        g.drawVerticalLine (static_cast<int> (x), middle - half, middle + half);
    }
}

//==============================================================================
RecordComponent::RecordComponent (EditSession& editSession,
                                  MidiEngine& midiEngine,
                                  LibraryPreviews& libraryPreviews,
                                  RecordSettingsStore& settingsStore,
                                  std::vector<int> rowsSelected,
                                  InputMaker inputMaker)
    : session (editSession), engine (midiEngine), previews (libraryPreviews), store (settingsStore),
      selectedRows (std::move (rowsSelected)), makeInput (std::move (inputMaker)), input (makeInput())
{
    libraryLabel.setFont (juce::Font (15.0f, juce::Font::bold));
    for (auto* component : std::initializer_list<juce::Component*>{
             &libraryLabel, &rowsLabel,   &rowsChoice, &noteLabel,     &noteChoice, &holdLabel,   &holdChoice,
             &inputLabel,   &inputChoice, &meter,      &meterNote,     &testButton, &startButton, &continueButton,
             &pauseButton,  &skipButton,  &stopButton, &progressLabel, &waveform,   &log})
        addAndMakeVisible (component);

    rowsChoice.addItem ("All rows", allRows);
    rowsChoice.addItem ("Selected rows", selectedRowsOnly);
    rowsChoice.addItem ("Only rows without a preview", missingRows);
    rowsChoice.setItemEnabled (selectedRowsOnly, !selectedRows.empty());
    rowsChoice.setSelectedId (allRows, juce::dontSendNotification);
    for (int note = 36; note <= 84; ++note)
        noteChoice.addItem (noteName (note), note + 1);
    noteChoice.setSelectedId (previews.phrase.note + 1, juce::dontSendNotification);
    for (size_t i = 0; i < std::size (holds); ++i)
        holdChoice.addItem (fixed (holds[i], holds[i] < 1.0 ? 1 : 0) + " s", static_cast<int> (i) + 1);
    holdChoice.setSelectedId (2, juce::dontSendNotification);

    devices = input->devices();
    const std::string remembered = store.recordingInput();
    for (size_t i = 0; i < devices.size(); ++i)
    {
        const auto& device = devices[i];
        inputChoice.addItem (
            juce::String::fromUTF8 (device.id.c_str()) +
                (device.description.empty() ? "" : "  " + juce::String::fromUTF8 (device.description.c_str())),
            static_cast<int> (i) + 1);
        if (device.id == remembered)
            inputChoice.setSelectedId (static_cast<int> (i) + 1, juce::dontSendNotification);
    }
    inputChoice.setTextWhenNothingSelected (devices.empty() ? "No audio inputs"
                                                            : "Choose the input the synthesizer is connected to");
    inputChoice.onChange = [this] { inputChosen(); };

    log.setMultiLine (true);
    log.setReadOnly (true);
    log.setScrollbarsShown (true);
    log.setFont (juce::Font (juce::Font::getDefaultMonospacedFontName(), 12.0f, juce::Font::plain));

    testButton.onClick = [this] { test(); };
    startButton.onClick = [this] { start (false); };
    continueButton.onClick = [this] { start (true); };
    pauseButton.onClick = [this] { pauseOrResume(); };
    skipButton.onClick = [this]
    {
        if (recording)
            recording->skip (Clock::now());
    };
    stopButton.onClick = [this]
    {
        if (recording)
            recording->stop();
    };

    setSize (720, 560);
    if (inputChoice.getSelectedId() != 0)
        inputChosen();
    refresh();
    startTimer (5);
}

RecordComponent::~RecordComponent()
{
    stopTimer();
    // The run's place stays in the settings; its held note is let go.
    if (recording)
        recording->stop();
    recording.reset();
    quickCheck.reset();
    input->close();
}

void RecordComponent::resized()
{
    auto area = getLocalBounds().reduced (12);
    libraryLabel.setBounds (area.removeFromTop (24));
    area.removeFromTop (6);
    auto row = area.removeFromTop (26);
    rowsLabel.setBounds (row.removeFromLeft (50));
    rowsChoice.setBounds (row.removeFromLeft (220));
    row.removeFromLeft (12);
    noteLabel.setBounds (row.removeFromLeft (40));
    noteChoice.setBounds (row.removeFromLeft (110));
    row.removeFromLeft (12);
    holdLabel.setBounds (row.removeFromLeft (40));
    holdChoice.setBounds (row.removeFromLeft (80));
    area.removeFromTop (8);
    row = area.removeFromTop (26);
    inputLabel.setBounds (row.removeFromLeft (50));
    inputChoice.setBounds (row);
    area.removeFromTop (8);
    row = area.removeFromTop (18);
    meter.setBounds (row.removeFromLeft (300));
    row.removeFromLeft (12);
    meterNote.setBounds (row);
    area.removeFromTop (10);
    row = area.removeFromTop (28);
    for (auto* button : {&testButton, &startButton, &continueButton, &pauseButton, &skipButton, &stopButton})
    {
        button->setBounds (row.removeFromLeft (100));
        row.removeFromLeft (8);
    }
    area.removeFromTop (8);
    progressLabel.setBounds (area.removeFromTop (22));
    area.removeFromTop (4);
    waveform.setBounds (area.removeFromTop (80));
    area.removeFromTop (8);
    log.setBounds (area);
}

void RecordComponent::paint (juce::Graphics& g)
{
    g.fillAll (getLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId));
}

void RecordComponent::note (const juce::String& line)
{
    log.moveCaretToEnd();
    log.insertTextAtCaret (line + "\n");
}

Phrase RecordComponent::chosenPhrase() const
{
    Phrase phrase;
    phrase.note = std::max (0, noteChoice.getSelectedId() - 1);
    const int hold = holdChoice.getSelectedId();
    phrase.hold = hold >= 1 && hold <= static_cast<int> (std::size (holds)) ? holds[hold - 1] : 1.0;
    return phrase;
}

std::vector<int> RecordComponent::chosenRows() const
{
    if (rowsChoice.getSelectedId() == selectedRowsOnly)
        return selectedRows;
    std::vector<int> rows (session.library().patches.size());
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = static_cast<int> (i);
    return rows;
}

void RecordComponent::inputChosen()
{
    const int chosen = inputChoice.getSelectedId() - 1;
    if (chosen < 0 || static_cast<size_t> (chosen) >= devices.size())
        return;
    if (recording && (recording->phase() == RecordingRun::Phase::recording ||
                      recording->phase() == RecordingRun::Phase::measuringFloor))
        recording->stop();
    input->close();
    std::string whyNot;
    if (!input->open (devices[static_cast<size_t> (chosen)].id, whyNot))
    {
        note (juce::String::fromUTF8 (whyNot.c_str()));
        return;
    }
    store.storeRecordingInput (devices[static_cast<size_t> (chosen)].id);
    refresh();
}

void RecordComponent::test()
{
    const auto& patches = session.library().patches;
    const int selected = selectedRows.empty() ? 0 : selectedRows.front();
    if (patches.empty())
        return;
    testing = true;
    beginRun (RecordingRun::plan (patches, {selected}, nullptr, chosenPhrase(), false), false);
}

void RecordComponent::start (bool continuing)
{
    if (session.currentFile().empty())
    {
        note ("Save the library first: its previews are kept in a folder beside its file.");
        return;
    }
    // The run writes into a folder of its own: the library may be replaced
    // while it runs, and its previews still belong beside the file they were asked for.
    recording.reset(); // the last run lets go of its folder first
    runFolder = std::make_unique<PreviewFolder> (PreviewFolder::folderFor (session.currentFile()));
    runFolder->refresh();
    auto phrase = chosenPhrase();
    std::vector<int> rows = chosenRows();
    bool onlyMissing = rowsChoice.getSelectedId() == missingRows;
    if (continuing)
    {
        const auto place = store.loadRecordingPlace();
        const auto parsed =
            place ? RestoreProgress::parseRows (place->rows, session.library().patches.size()) : std::nullopt;
        const auto storedPhrase = place ? Phrase::parse (place->phrase) : std::nullopt;
        if (!place || place->libraryFile != session.currentFile() || !parsed || !storedPhrase)
            return;
        rows = *parsed;
        phrase = *storedPhrase;
        onlyMissing = true;
    }
    previews.phrase = phrase;
    runPhrase = phrase;
    auto items = RecordingRun::plan (session.library().patches, rows, runFolder.get(), phrase, onlyMissing);
    if (items.empty())
    {
        note ("Nothing to record: every row asked for has its preview.");
        store.storeRecordingPlace (std::nullopt);
        refresh();
        return;
    }
    store.storeRecordingPlace (
        RecordSettingsStore::Place{session.currentFile(), RestoreProgress::rowsText (rows), phrase.name()});
    testing = false;
    if (items.size() > longRun)
    {
        // A dead voice would leave every sixth preview silent: it is better found now.
        waitingItems = std::move (items);
        note ("Checking the voices first (a few seconds)...");
        quickCheck = std::make_unique<VoiceCheck> (*input, synthOutput, VoiceCheck::quickSettings());
        quickCheck->start (Clock::now());
        refresh();
        return;
    }
    beginRun (std::move (items), true);
}

void RecordComponent::quickCheckDone()
{
    auto check = std::move (quickCheck);
    juce::StringArray dead;
    for (const auto& [voice, fault] : check->report().faults())
        if (fault == VoiceVerdicts::Fault::dead)
            dead.add (juce::String (voice));
    if (dead.isEmpty() && check->problem().empty())
    {
        beginRun (std::move (waitingItems), true);
        return;
    }
    const juce::String why =
        !check->problem().empty()
            ? juce::String (check->problem())
            : "Voice " + dead.joinIntoString (", ") +
                  " gave no sound in the voice check: a note that falls to it would be recorded silent.";
    juce::AlertWindow::showAsync (juce::MessageBoxOptions()
                                      .withIconType (juce::MessageBoxIconType::WarningIcon)
                                      .withTitle ("Record Previews")
                                      .withMessage (why + "\n\nRecord the previews all the same?")
                                      .withButton ("Record")
                                      .withButton ("Cancel")
                                      .withAssociatedComponent (this),
                                  [safe = juce::Component::SafePointer<RecordComponent> (this)] (int result)
                                  {
                                      if (safe == nullptr)
                                          return;
                                      if (result == 1)
                                          safe->beginRun (std::move (safe->waitingItems), true);
                                      else
                                          safe->note ("Not recorded.");
                                      safe->refresh();
                                  });
}

void RecordComponent::beginRun (std::vector<RecordingRun::Item> items, bool withStore)
{
    RecordingRun::Options options;
    options.take = store.takeSettings();
    options.take.phrase = chosenPhrase();
    if (withStore)
        options.take.phrase = runPhrase;
    options.inputId =
        inputChoice.getSelectedId() > 0 ? devices[static_cast<size_t> (inputChoice.getSelectedId() - 1)].id : "";
    recording = std::make_unique<RecordingRun> (
        *input, synthOutput, withStore ? runFolder.get() : nullptr, std::move (items), options);
    recording->onChange = [this] (RecordingRun::Event event) { runChanged (event); };
    if (!testing)
        note ("Recording " + juce::String (recording->items().size()) + " sounds, " + options.take.phrase.name() + ".");
    recording->start (Clock::now());
    refresh();
}

void RecordComponent::pauseOrResume()
{
    if (!recording)
        return;
    if (recording->phase() == RecordingRun::Phase::paused)
        recording->start (Clock::now());
    else
        recording->pause();
    refresh();
}

void RecordComponent::runChanged (RecordingRun::Event event)
{
    using Event = RecordingRun::Event;
    const auto* item = recording->current();
    const auto* result = recording->lastResult();
    const juce::String name = item != nullptr ? "\"" + toDisplayString (item->patch.name) + "\"" : juce::String();
    switch (event)
    {
        case Event::floorMeasured:
            if (!testing)
                note ("Noise floor " + fixed (recording->floorDb(), 1) + " dBFS.");
            break;
        case Event::recorded:
            loudestTakeDb = result->peakDb;
            if (testing)
            {
                note ("Test of " + name + ": floor " + fixed (recording->floorDb(), 1) + " dBFS, onset " +
                      fixed (result->onsetOffset * 1000.0, 1) + " ms after the note-on, level " +
                      fixed (result->loudness.loudness, 1) + " LUFS, peak " + fixed (result->loudness.truePeakDb, 1) +
                      " dBTP" +
                      (result->flags != 0 ? " (" + juce::String (PreviewTake::flagsText (result->flags)) + ")"
                                          : juce::String()) +
                      ".");
                break;
            }
            note (
                name + ": recorded, " + fixed (result->loudness.loudness, 1) + " LUFS" +
                (item->flags != 0 ? " (" + juce::String (PreviewTake::flagsText (item->flags)) + ")" : juce::String()));
            if (onPreviewStored)
                onPreviewStored();
            break;
        case Event::noAudio:
            note (name + (testing ? ": the test heard no audio" : ": no audio"));
            break;
        case Event::takingAgain:
            note (name + ": taken again, " + juce::String (recording->lastRetakeReason()));
            break;
        case Event::failed:
            note (name + ": failed, " + juce::String (item->why));
            break;
        case Event::skipped:
            note (name + ": skipped");
            break;
        case Event::finished:
            if (!testing)
            {
                note ("Done.");
                store.storeRecordingPlace (std::nullopt);
            }
            break;
        case Event::stopped:
            if (!recording->stopText().empty())
                note (juce::String (recording->stopText()));
            else if (!testing)
                note ("Stopped; Continue records the rest.");
            break;
        case Event::takeStarted:
        case Event::paused:
            break;
    }
    refresh();
}

void RecordComponent::timerCallback()
{
    const auto now = Clock::now();
    if (quickCheck)
    {
        quickCheck->tick (now);
        if (quickCheck->phase() == VoiceCheck::Phase::finished)
            quickCheckDone();
    }
    else if (recording && (recording->phase() == RecordingRun::Phase::recording ||
                           recording->phase() == RecordingRun::Phase::measuringFloor))
        recording->tick (now);
    else if (input->isOpen())
    {
        // No run reads the input: the meter does.
        std::vector<float> chunk (4096);
        for (auto read = input->read (chunk.data(), chunk.size()); read.frames > 0;
             read = input->read (chunk.data(), chunk.size()))
            meterAudio.insert (
                meterAudio.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t> (read.frames));
        const size_t keep = static_cast<size_t> (input->sampleRate() / 10.0);
        if (meterAudio.size() > keep)
            meterAudio.erase (meterAudio.begin(), meterAudio.end() - static_cast<std::ptrdiff_t> (keep));
    }
    if (++ticks % 20 == 0) // ten times a second
    {
        updateMeter();
        refresh();
    }
}

void RecordComponent::updateMeter()
{
    const std::vector<float>* audio = &meterAudio;
    size_t from = 0;
    const PreviewTake* take = recording ? recording->takeOfCurrent() : nullptr;
    if (take != nullptr && take->tape().hasStarted())
    {
        audio = &take->tape().samples();
        from = audio->size() - std::min (audio->size(), static_cast<size_t> (take->tape().sampleRate() / 10.0));
        waveform.show (*audio, 0);
    }
    const double peak =
        audio->size() > from ? AudioAnalysis::peakDb (audio->data() + from, audio->size() - from) : -100.0;
    meterPeakDb = peak;
    meterClipped = peak >= -0.1 || (recording && recording->lastResult() != nullptr &&
                                    (recording->lastResult()->flags & PreviewTake::clipped) != 0);
    meter.show (peak, meterClipped);
    if (meterClipped)
        meterNote.setText ("Clipping: lower the input's level", juce::dontSendNotification);
    else if (loudestTakeDb > -100.0 && loudestTakeDb < -40.0)
        meterNote.setText ("Too quiet: raise the input's level (the last take peaked at " + fixed (loudestTakeDb, 1) +
                               " dBFS)",
                           juce::dontSendNotification);
    else
        meterNote.setText ({}, juce::dontSendNotification);
}

void RecordComponent::refresh()
{
    const auto& patches = session.library().patches;
    const std::string& file = session.currentFile();
    size_t withPreview = 0;
    for (const auto& patch : patches)
        withPreview += previews.find (patch.data) != nullptr ? 1 : 0;
    libraryLabel.setText (file.empty() ? juce::String ("Save the library first: its previews are kept beside its file.")
                                       : FileWork::shownPath (std::string (FilePath::fileName (file))) + ": " +
                                             juce::String (patches.size()) + " patches, " + juce::String (withPreview) +
                                             " with a preview",
                          juce::dontSendNotification);

    using Phase = RecordingRun::Phase;
    const auto phase = recording ? recording->phase() : Phase::setUp;
    const bool busy = quickCheck != nullptr || phase == Phase::recording || phase == Phase::measuringFloor;
    const bool paused = phase == Phase::paused;
    const bool inputReady = input->isOpen();
    const auto place = store.loadRecordingPlace();
    const bool canContinue = place && place->libraryFile == file && !file.empty();
    testButton.setEnabled (!busy && !paused && inputReady && !patches.empty());
    startButton.setEnabled (!busy && !paused && inputReady && !file.empty() && !patches.empty());
    continueButton.setVisible (canContinue && !busy && !paused);
    continueButton.setEnabled (!busy && !paused && inputReady);
    pauseButton.setButtonText (paused ? "Resume" : "Pause");
    pauseButton.setEnabled ((busy && recording && !testing) || paused);
    skipButton.setEnabled ((busy || paused) && recording != nullptr && !testing);
    stopButton.setEnabled ((busy || paused) && recording != nullptr);
    for (auto* choice : {&rowsChoice, &noteChoice, &holdChoice, &inputChoice})
        choice->setEnabled (!busy && !paused);

    juce::String progress;
    if (quickCheck)
        progress =
            "Checking the voices: " + juce::String (std::lround (quickCheck->progress (Clock::now()) * 100.0)) + " %";
    else if (recording && !testing && (busy || paused))
    {
        const auto* item = recording->current();
        progress = juce::String (recording->doneCount()) + " of " + juce::String (recording->items().size()) +
                   " sounds, about " + duration (recording->secondsLeft()) + " left" +
                   (item != nullptr ? "; now \"" + toDisplayString (item->patch.name) + "\"" : juce::String()) +
                   (paused ? " (paused)" : "");
    }
    else if (!inputReady)
        progress = "Choose the input the synthesizer's output is connected to.";
    progressLabel.setText (progress, juce::dontSendNotification);
}

//==============================================================================
RecordWindow::RecordWindow (EditSession& session,
                            MidiEngine& engine,
                            LibraryPreviews& previews,
                            RecordSettingsStore& store,
                            std::vector<int> selectedRows,
                            RecordComponent::InputMaker makeInput)
    : DocumentWindow ("Record Previews",
                      juce::LookAndFeel::getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId),
                      DocumentWindow::closeButton),
      component (session, engine, previews, store, std::move (selectedRows), std::move (makeInput))
{
    setUsingNativeTitleBar (true);
    setContentNonOwned (&component, true);
    setResizable (false, false);
    centreWithSize (getWidth(), getHeight());
    setVisible (true);
}

void RecordWindow::closeButtonPressed()
{
    if (onClose)
        onClose();
}
