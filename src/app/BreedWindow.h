#pragma once

#include "explore/BreedingRun.h"
#include "midi/MidiEngine.h"
#include "session/EditSession.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <functional>
#include <vector>

/** One candidate of a generation: its number, its faders as small bars by
    section, its switches in words, and a tick that makes it a parent of the
    next generation. A click anywhere else hears it. */
class CandidateTile : public juce::Component
{
public:
    CandidateTile();

    void paint (juce::Graphics&) override;
    void resized() override;
    void mouseUp (const juce::MouseEvent&) override;

    void show (int number, const SoundControls::Bytes& sound, bool ticked, bool chosen);
    /** Nothing to show (no generation yet). */
    void clear();

    juce::ToggleButton parentTick{"Parent"};
    std::function<void()> onChosen;
    std::function<void (bool)> onTicked;

private:
    int number = 0;
    SoundControls::Bytes sound{};
    bool chosen = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CandidateTile)
};

/** Edit > Breed...: twelve candidates a generation, bred from the active
    patch and up to two patches selected in the BANK, then from the ticked
    candidates, generation after generation. A click on a candidate makes its
    sound the active patch's (one UNDO step) and sends it, and with Play a Note
    also plays a note; Keep adds it to the library. A view of a BreedingRun,
    which keeps every generation while the window is open. */
class BreedComponent : public juce::Component, private juce::Timer
{
public:
    /** `selection` gives the patches selected in the BANK; `status` shows an action in STATUS. */
    BreedComponent (EditSession& session,
                    MidiEngine& engine,
                    std::function<std::vector<PatchModel>()> selection,
                    std::function<void (const juce::String&, const juce::String&)> status);
    ~BreedComponent() override;

    void resized() override;
    void paint (juce::Graphics&) override;

    /** A first (or another) generation from the active patch and the patches selected in the BANK. */
    void breedFromPanel();
    /** Hears candidate `index` of the generation shown. */
    void audition (size_t index);
    void setTicked (size_t index, bool ticked);
    void nextGeneration();
    /** The generation shown bred again with the seed typed, as a new generation. */
    void breedWithTypedSeed();
    void back();
    void forward();
    /** Adds the candidate last heard to the library. */
    void keep();

    /** The options the controls show: amount, whole sections, locks. */
    Breeding::Options options() const;
    const BreedingRun& run() const { return breeding; }

    /** Where the seed of the next breeding comes from; tests give their own. */
    std::function<uint64_t()> freshSeed;

    juce::Label parentsLabel;
    juce::TextButton breedButton{"Breed from Active + Selected"};
    juce::Label amountLabel{{}, "Amount"};
    juce::ComboBox amountBox;
    juce::ToggleButton wholeSections{"Whole Sections"};
    juce::Label lockLabel{{}, "Lock"};
    std::array<juce::ToggleButton, SoundControls::sectionCount> lockButtons;
    juce::Label generationLabel;
    juce::Label seedLabel{{}, "Seed"};
    juce::TextEditor seedEditor;
    juce::TextButton backButton{"Back"};
    juce::TextButton forwardButton{"Forward"};
    std::array<CandidateTile, BreedingRun::candidatesPerGeneration> tiles;
    juce::ToggleButton playNote{"Play a Note"};
    juce::Slider noteSlider;
    juce::Slider velocitySlider;
    juce::Slider lengthSlider;
    juce::Label noteLabel{{}, "Note"};
    juce::Label velocityLabel{{}, "Velocity"};
    juce::Label lengthLabel{{}, "Length"};
    juce::TextButton keepButton{"Keep"};
    juce::TextButton nextButton{"Next Generation"};

    /** The keyboard's channel: notes always go on channel 1. */
    static constexpr int noteChannel = 0;

private:
    void timerCallback() override;
    void refresh();
    void startNote();
    void stopNote();
    void say (const juce::String& name, const juce::String& value);

    EditSession& session;
    MidiEngine& engine;
    std::function<std::vector<PatchModel>()> selectedPatches;
    std::function<void (const juce::String&, const juce::String&)> showStatus;
    BreedingRun breeding;
    int soundingNote = -1;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BreedComponent)
};

/** The window around a BreedComponent, beside the panel. */
class BreedWindow : public juce::DocumentWindow
{
public:
    BreedWindow (EditSession& session,
                 MidiEngine& engine,
                 std::function<std::vector<PatchModel>()> selection,
                 std::function<void (const juce::String&, const juce::String&)> status);

    void closeButtonPressed() override;
    BreedComponent& content() { return component; }

    std::function<void()> onClose;

private:
    BreedComponent component;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BreedWindow)
};
