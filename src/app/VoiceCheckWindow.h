#pragma once

#include "app/RecordWindow.h"
#include "capture/TrimAssistant.h"
#include "capture/VoiceCheck.h"

#include <juce_gui_basics/juce_gui_basics.h>

/** MIDI > Check Voices...: the voice health check with its progress and
    report, Save Results... for a technician, and the trim assistant, which
    holds a note on one voice and shows its cents five times a second. A view
    of a VoiceCheck and a TrimAssistant. */
class VoiceCheckComponent : public juce::Component, private juce::Timer
{
public:
    VoiceCheckComponent (MidiEngine& engine, RecordSettingsStore& store, RecordComponent::InputMaker makeInput);
    ~VoiceCheckComponent() override;

    void resized() override;
    void paint (juce::Graphics&) override;

    const VoiceCheck* check() const { return voiceCheck.get(); }
    /** Writes the report as text; false, with why in the report's place, when it cannot. */
    bool saveResults (const std::string& path);

    juce::Label inputLabel{{}, "Input"};
    juce::ComboBox inputChoice;
    juce::TextButton startButton{"Start"};
    juce::TextButton stopButton{"Stop"};
    juce::TextButton saveButton{"Save Results..."};
    juce::Label progressLabel;
    juce::TextEditor report;
    juce::Label trimLabel{{}, "Trim voice"};
    juce::ComboBox trimVoice;
    juce::TextButton holdButton{"Hold Note"};
    juce::Label cents;

private:
    void timerCallback() override;
    void inputChosen();
    void start();
    void finished();
    void toggleHold();
    void chooseSaveFile();
    void refresh();

    MidiEngine& engine;
    RecordSettingsStore& store;
    std::unique_ptr<AudioInput> input;
    std::vector<AudioInput::Device> devices;
    EngineSynthOutput synthOutput{engine};
    std::unique_ptr<VoiceCheck> voiceCheck;
    std::unique_ptr<TrimAssistant> assistant;
    std::unique_ptr<juce::FileChooser> chooser;
    int ticks = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VoiceCheckComponent)
};

class VoiceCheckWindow : public juce::DocumentWindow
{
public:
    VoiceCheckWindow (MidiEngine& engine, RecordSettingsStore& store, RecordComponent::InputMaker makeInput);
    void closeButtonPressed() override;
    VoiceCheckComponent& content() { return component; }
    std::function<void()> onClose;

private:
    VoiceCheckComponent component;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VoiceCheckWindow)
};
