#pragma once

#include "capture/AudioInput.h"
#include "capture/VoiceCheck.h"
#include "editor/EngineSynthOutput.h"
#include "previews/LibraryPreviews.h"
#include "previews/RecordingRun.h"
#include "session/EditSession.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

/** Where a recording of previews stands between runs, and the input and
    take settings it uses (the settings file). Progress is the rows and the
    phrase: what is recorded already is on the disk, so Continue records the
    rows still missing. */
class RecordSettingsStore
{
public:
    struct Place
    {
        std::string libraryFile;
        std::string rows; // "1-16,20", counting from 1
        std::string phrase;
    };
    virtual ~RecordSettingsStore() = default;
    virtual std::optional<Place> loadRecordingPlace() const = 0;
    /** Nothing forgets the place kept. */
    virtual void storeRecordingPlace (const std::optional<Place>& place) = 0;
    virtual std::string recordingInput() const = 0;
    virtual void storeRecordingInput (const std::string& deviceId) = 0;
    /** The take's steps as the settings tune them (settle, flush, thresholds), with the defaults otherwise. */
    virtual TakeSettings takeSettings() const = 0;
};

/** The input's level as a bar: green, amber near full scale, red with a
    clip; the peak of the last tenth of a second. */
class InputMeter : public juce::Component
{
public:
    void show (double peakDb, bool clipped);
    void paint (juce::Graphics&) override;

private:
    double level = -100.0;
    bool clip = false;
};

/** A stretch of audio as a waveform: the take being recorded. */
class TakeWaveform : public juce::Component
{
public:
    void show (const std::vector<float>& audio, size_t from);
    void paint (juce::Graphics&) override;

private:
    std::vector<float> peaks; // per pixel column
};

/** MIDI > Record Previews...: which rows, the phrase, the input with its
    meter, a Test take, and the run's progress, time left and current take,
    with Pause, Skip and Stop. A view of a RecordingRun over the audio input
    and the synthesizer's output; the previews go into the library's folder. */
class RecordComponent : public juce::Component, private juce::Timer
{
public:
    using InputMaker = std::function<std::unique_ptr<AudioInput>()>;

    RecordComponent (EditSession& session,
                     MidiEngine& engine,
                     LibraryPreviews& previews,
                     RecordSettingsStore& store,
                     std::vector<int> selectedRows,
                     InputMaker makeInput);
    ~RecordComponent() override;

    void resized() override;
    void paint (juce::Graphics&) override;

    /** The run under way or last made; nullptr before. */
    const RecordingRun* run() const { return recording.get(); }
    /** Tells when a preview was stored, so the BANK list shows it. */
    std::function<void()> onPreviewStored;

    juce::Label libraryLabel;
    juce::Label rowsLabel{{}, "Rows"};
    juce::ComboBox rowsChoice;
    juce::Label noteLabel{{}, "Note"};
    juce::ComboBox noteChoice;
    juce::Label holdLabel{{}, "Hold"};
    juce::ComboBox holdChoice;
    juce::Label inputLabel{{}, "Input"};
    juce::ComboBox inputChoice;
    InputMeter meter;
    juce::Label meterNote;
    juce::TextButton testButton{"Test"};
    juce::TextButton startButton{"Start"};
    juce::TextButton continueButton{"Continue"};
    juce::TextButton pauseButton{"Pause"};
    juce::TextButton skipButton{"Skip"};
    juce::TextButton stopButton{"Stop"};
    juce::Label progressLabel;
    TakeWaveform waveform;
    juce::TextEditor log;

    enum RowsChoice
    {
        allRows = 1,
        selectedRowsOnly,
        missingRows
    };

private:
    void timerCallback() override;
    void inputChosen();
    void test();
    /** Starts a run of the rows chosen; long runs check the voices first. */
    void start (bool continuing);
    void beginRun (std::vector<RecordingRun::Item> items, bool withStore);
    void pauseOrResume();
    void runChanged (RecordingRun::Event event);
    void quickCheckDone();
    void refresh();
    Phrase chosenPhrase() const;
    std::vector<int> chosenRows() const;
    void note (const juce::String& line);
    void updateMeter();

    EditSession& session;
    MidiEngine& engine;
    LibraryPreviews& previews;
    RecordSettingsStore& store;
    const std::vector<int> selectedRows;
    InputMaker makeInput;
    std::unique_ptr<AudioInput> input;
    std::vector<AudioInput::Device> devices;
    EngineSynthOutput synthOutput{engine};
    std::unique_ptr<PreviewFolder> runFolder; // declared before the run, which writes into it
    Phrase runPhrase;
    std::unique_ptr<RecordingRun> recording;
    bool testing = false;
    std::unique_ptr<VoiceCheck> quickCheck;
    std::vector<RecordingRun::Item> waitingItems; // for after the quick check
    std::vector<float> meterAudio;                // read while no run reads the input
    double meterPeakDb = -100.0;
    double loudestTakeDb = -100.0;
    bool meterClipped = false;
    int ticks = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RecordComponent)
};

/** The window around a RecordComponent; closing it stops a run (its place is kept). */
class RecordWindow : public juce::DocumentWindow
{
public:
    RecordWindow (EditSession& session,
                  MidiEngine& engine,
                  LibraryPreviews& previews,
                  RecordSettingsStore& store,
                  std::vector<int> selectedRows,
                  RecordComponent::InputMaker makeInput);

    void closeButtonPressed() override;
    RecordComponent& content() { return component; }
    std::function<void()> onClose;

private:
    RecordComponent component;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RecordWindow)
};
