#pragma once

#include "editor/EngineSynthesizer.h"
#include "midi/MidiEngine.h"
#include "session/EditSession.h"
#include "session/RestoreGuide.h"
#include "session/RestoreProgress.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>
#include <optional>

/** Where the write window keeps its place between runs (the settings file). */
class RestoreProgressStore
{
public:
    virtual ~RestoreProgressStore() = default;
    virtual std::optional<RestoreProgress> loadRestoreProgress() const = 0;
    /** Nothing forgets the progress kept. */
    virtual void storeRestoreProgress (const std::optional<RestoreProgress>& progress) = 0;
};

/** MIDI > Write Library to Synthesizer...: the library's patches beside the
    memories they go into, what to press on the synthesizer for the current
    one, and the guide's buttons. A view of a RestoreGuide: while it is open,
    the patch dumps the synthesizer sends come here rather than to MIDI IN. */
class RestoreComponent : public juce::Component, private juce::TableListBoxModel, private juce::Timer
{
public:
    /** A label whose lines break between words, as many as fit, rather than evenly. */
    class WrappedText : public juce::Label
    {
    public:
        void paint (juce::Graphics&) override;
    };

    RestoreComponent (const EditSession& session, MidiEngine& engine, RestoreProgressStore& store);
    ~RestoreComponent() override;

    void resized() override;
    void paint (juce::Graphics&) override;

    /** The guide once the patches are chosen (Start, or progress taken up); nullptr before. */
    const RestoreGuide* guide() const { return restoreGuide.get(); }
    /** After a send, how long to wait for the answer before saying what to check. */
    static constexpr auto answerTime = std::chrono::seconds (10);

    juce::Label libraryLabel;
    juce::Label startLabel{{}, "First memory"};
    juce::ComboBox firstMemory;
    juce::ToggleButton onlySelected{"Only the selected rows"};
    juce::TableListBox table;
    WrappedText instruction;
    WrappedText note;
    juce::TextButton startButton{"Start"};
    juce::TextButton sendAgainButton{"Send Again"};
    juce::TextButton skipButton{"Skip"};
    juce::TextButton backButton{"Back"};
    juce::TextButton stopButton{"Stop"};
    juce::TextButton startOverButton{"Start Over"};

private:
    int getNumRows() override;
    void paintRowBackground (juce::Graphics&, int row, int width, int height, bool selected) override;
    void paintCell (juce::Graphics&, int row, int column, int width, int height, bool selected) override;
    void selectedRowsChanged (int lastRowSelected) override;
    void timerCallback() override;

    void start();
    void startOver();
    void guideChanged (RestoreGuide::Event event);
    void dumpReceived (const PatchModel& patch);
    /** Takes up the progress kept for this library, or says why it cannot. */
    void takeUpProgress();
    void makeGuide (std::vector<RestoreGuide::Target> targets);

    /** The library rows a start now would write: the selected ones or all, as far as B88. */
    std::vector<int> plannedRows() const;
    /** The memory a library row would go into before the start; -1 for none. */
    int plannedMemory (int row) const;
    bool midiReady() const;
    /** Texts and buttons follow the guide, or the plan before the start. */
    void refresh();
    /** The first memory or the rows chosen changed: the list's memories follow. */
    void planChanged();
    /** The library's name, with its patches or those being written. */
    juce::String libraryText() const;
    juce::String setUpNote() const;
    juce::String guideNote() const;

    const EditSession& session;
    MidiEngine& engine;
    RestoreProgressStore& progressStore;
    EngineSynthesizer synthesizer{engine};
    std::function<void (const PatchModel&)> previousReceiver;
    std::unique_ptr<RestoreGuide> restoreGuide;
    std::string guideFile;     // the library file the guide writes, kept with its progress
    juce::String progressNote; // why progress kept earlier was not taken up
    size_t shownLibraryRows = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RestoreComponent)
};

/** The window around a RestoreComponent; closing it keeps the progress. */
class RestoreWindow : public juce::DocumentWindow
{
public:
    RestoreWindow (const EditSession& session, MidiEngine& engine, RestoreProgressStore& store);

    void closeButtonPressed() override;
    RestoreComponent& content() { return component; }

    /** The close button was pressed; the owner lets the window go. */
    std::function<void()> onClose;

private:
    RestoreComponent component;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RestoreWindow)
};
