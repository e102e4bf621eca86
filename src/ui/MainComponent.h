#pragma once

#include "midi/MidiEngine.h"
#include "session/EditSession.h"
#include "ui/BankSection.h"
#include "ui/MidiInSection.h"
#include "ui/PatchBar.h"
#include "ui/PerformanceSection.h"
#include "ui/VoiceSection.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class MidiPlatform;

/** The whole editor panel, 728 x 480 logical pixels: the MIDI engine, the
    edit session and the five sections that show and edit it. The window
    magnifies it with a transform, so it never reacts to its own size. */
class MainComponent : public juce::Component, private PatchOutput
{
public:
    static constexpr int panelWidth = 728;
    static constexpr int panelHeight = 480;

    /** A panel that talks to the real MIDI service. */
    MainComponent();
    /** A panel on another MIDI layer, for example an in-memory one in tests. */
    explicit MainComponent (std::unique_ptr<MidiPlatform> midiPlatform);
    ~MainComponent() override;

    void parentHierarchyChanged() override;
    void paint (juce::Graphics&) override;
    void resized() override {}

    EditSession& session() { return editSession; }
    const EditSession& session() const { return editSession; }

    /** A message in STATUS that stays until the next one. */
    void showStatusMessage (const juce::String& text);
    /** "qorv - " and the library's file name (or "New Library"), with " *" while modified. */
    void updateWindowTitle();

    MidiEngine midiEngine;

private:
    EditSession editSession;

public:
    PatchBar patchBar;
    VoiceSection voice;
    BankSection bank;
    MidiInSection midiIn;
    PerformanceSection performance;

private:
    void sendPatch (const PatchModel& patch) override;
    /** The one place where a change of the session reaches the sections and the title. */
    void sessionChanged (SessionChange change);
    void showActivePatch();
    void paramReceived (int paramNumber, int value);

    /** The background and lettering for the size the panel is drawn at, so a
        repaint is a copy rather than two resampling draws; only this one size
        is ever decoded, on the first paint at it. */
    juce::Image background;
    juce::Point<int> backgroundSize;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};
