#pragma once

#include "control/FrameLimiter.h"
#include "editor/EditorModel.h"
#include "midi/MidiEngine.h"
#include "session/EditSession.h"
#include "ui/BankSection.h"
#include "ui/MidiInSection.h"
#include "ui/PatchBar.h"
#include "ui/PerformanceSection.h"
#include "ui/VoiceSection.h"

#include <juce_gui_basics/juce_gui_basics.h>

/** The whole editor panel, 728 x 480 logical pixels: the five sections that
    show and edit an editor model (its session, its engine, its controllers).
    The panel owns none of them, so it can be made and destroyed at any time
    (a plugin's window) and shows the model as it finds it. The window
    magnifies it with a transform, so it never reacts to its own size. */
class MainComponent : public juce::Component, private EditorModel::Listener, private juce::Timer
{
public:
    static constexpr int panelWidth = 728;
    static constexpr int panelHeight = 480;

    explicit MainComponent (EditorModel& modelToShow);
    ~MainComponent() override;

    void parentHierarchyChanged() override;
    /** Escape gives up learning a controller. */
    bool keyPressed (const juce::KeyPress& key) override;
    void paint (juce::Graphics&) override;
    void resized() override {}

    EditSession& session() { return editSession; }
    const EditSession& session() const { return editSession; }
    EditorModel& model() { return editor; }

    /** A message in STATUS that stays until the next one. */
    void showStatusMessage (const juce::String& text);
    /** "qorv - " and the library's file name (or "New Library"), with " *" while modified. */
    void updateWindowTitle();

private:
    EditorModel& editor;

public:
    MidiEngine& midiEngine;

private:
    EditSession& editSession;

public:
    PatchBar patchBar;
    VoiceSection voice;
    BankSection bank;
    MidiInSection midiIn;
    PerformanceSection performance;

private:
    /** The one place where a change of the session reaches the sections and the title. */
    void sessionChanged (SessionChange change) override;
    void controllersChanged (ControllerTranslator::Change change) override;
    void parameterReceived (int paramNumber, int value) override;
    void showActivePatch();
    /** Shows everything the model holds, as a panel made just now must. */
    void showWholeModel();
    /** The panel and STATUS after a controller's or a host's move, at most once a frame. */
    void showControlMove();
    void timerCallback() override;

    /** The background and lettering for the size the panel is drawn at, so a
        repaint is a copy rather than two resampling draws; only this one size
        is ever decoded, on the first paint at it. */
    juce::Image background;
    juce::Point<int> backgroundSize;

    /** A controller sweeping at a thousand moves a second is shown 60 times a second. */
    FrameLimiter controlDisplay{std::chrono::microseconds (1000000 / 60)};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};
