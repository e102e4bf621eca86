#include "app/VoiceCheckWindow.h"

#include "files/FileBytes.h"

#include <cmath>

namespace
{
using Clock = VoiceCheck::Clock;
}

VoiceCheckComponent::VoiceCheckComponent (MidiEngine& midiEngine,
                                          RecordSettingsStore& settingsStore,
                                          RecordComponent::InputMaker makeInput)
    : engine (midiEngine), store (settingsStore), input (makeInput())
{
    for (auto* component : std::initializer_list<juce::Component*>{&inputLabel,
                                                                   &inputChoice,
                                                                   &startButton,
                                                                   &stopButton,
                                                                   &saveButton,
                                                                   &progressLabel,
                                                                   &report,
                                                                   &trimLabel,
                                                                   &trimVoice,
                                                                   &holdButton,
                                                                   &cents})
        addAndMakeVisible (component);
    devices = input->devices();
    const std::string remembered = store.recordingInput();
    for (size_t i = 0; i < devices.size(); ++i)
    {
        inputChoice.addItem (juce::String::fromUTF8 (devices[i].id.c_str()), static_cast<int> (i) + 1);
        if (devices[i].id == remembered)
            inputChoice.setSelectedId (static_cast<int> (i) + 1, juce::dontSendNotification);
    }
    inputChoice.setTextWhenNothingSelected (devices.empty() ? "No audio inputs"
                                                            : "Choose the input the synthesizer is connected to");
    inputChoice.onChange = [this] { inputChosen(); };
    report.setMultiLine (true);
    report.setReadOnly (true);
    report.setFont (juce::Font (juce::Font::getDefaultMonospacedFontName(), 12.0f, juce::Font::plain));
    report.setText ("The check plays a test patch whose filter whistles by itself: on the synthesizer, nothing needs "
                    "setting up but the cable from its output to the input chosen above.");
    cents.setFont (juce::Font (28.0f, juce::Font::bold));
    cents.setJustificationType (juce::Justification::centred);
    startButton.onClick = [this] { start(); };
    stopButton.onClick = [this]
    {
        if (voiceCheck)
            voiceCheck->stop();
        refresh();
    };
    saveButton.onClick = [this] { chooseSaveFile(); };
    holdButton.onClick = [this] { toggleHold(); };
    setSize (720, 560);
    if (inputChoice.getSelectedId() != 0)
        inputChosen();
    refresh();
    startTimer (5);
}

VoiceCheckComponent::~VoiceCheckComponent()
{
    stopTimer();
    assistant.reset();
    voiceCheck.reset();
    input->close();
}

void VoiceCheckComponent::resized()
{
    auto area = getLocalBounds().reduced (12);
    auto row = area.removeFromTop (26);
    inputLabel.setBounds (row.removeFromLeft (50));
    inputChoice.setBounds (row);
    area.removeFromTop (8);
    row = area.removeFromTop (28);
    for (auto* button : {&startButton, &stopButton, &saveButton})
    {
        button->setBounds (row.removeFromLeft (120));
        row.removeFromLeft (8);
    }
    progressLabel.setBounds (row);
    area.removeFromTop (8);
    auto bottom = area.removeFromBottom (44);
    trimLabel.setBounds (bottom.removeFromLeft (80));
    trimVoice.setBounds (bottom.removeFromLeft (90).reduced (0, 8));
    bottom.removeFromLeft (8);
    holdButton.setBounds (bottom.removeFromLeft (110).reduced (0, 8));
    cents.setBounds (bottom);
    area.removeFromBottom (8);
    report.setBounds (area);
}

void VoiceCheckComponent::paint (juce::Graphics& g)
{
    g.fillAll (getLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId));
}

void VoiceCheckComponent::inputChosen()
{
    const int chosen = inputChoice.getSelectedId() - 1;
    if (chosen < 0 || static_cast<size_t> (chosen) >= devices.size())
        return;
    assistant.reset();
    input->close();
    std::string whyNot;
    if (!input->open (devices[static_cast<size_t> (chosen)].id, whyNot))
        report.setText (juce::String::fromUTF8 (whyNot.c_str()));
    else
        store.storeRecordingInput (devices[static_cast<size_t> (chosen)].id);
    refresh();
}

void VoiceCheckComponent::start()
{
    assistant.reset();
    voiceCheck = std::make_unique<VoiceCheck> (*input, synthOutput, VoiceCheck::Settings{});
    voiceCheck->onChange = [this] { finished(); };
    report.setText ("Checking the voices: about " + juce::String (std::lround (voiceCheck->seconds())) + " seconds.");
    voiceCheck->start (Clock::now());
    refresh();
}

void VoiceCheckComponent::finished()
{
    if (voiceCheck->phase() == VoiceCheck::Phase::stopped)
    {
        report.setText ("Stopped.");
        refresh();
        return;
    }
    if (!voiceCheck->problem().empty())
        report.setText (voiceCheck->problem());
    else
        report.setText (voiceCheck->report().text());
    trimVoice.clear (juce::dontSendNotification);
    const auto& rotation = voiceCheck->report().rotation;
    if (rotation.toldApart)
    {
        for (int v = 1; v <= rotation.voices; ++v)
            trimVoice.addItem ("Voice " + juce::String (v), v);
        trimVoice.setSelectedId (1, juce::dontSendNotification);
        TrimAssistant::Setup setup;
        setup.voices = rotation.voices;
        setup.nextVoice = voiceCheck->notesPlayed() % rotation.voices;
        setup.referenceHz = voiceCheck->referenceHz();
        setup.patch = VoiceCheck::testPatch (VoiceCheck::Settings{}.lowFreq, VoiceCheck::Settings{}.resonance, 0);
        assistant = std::make_unique<TrimAssistant> (*input, synthOutput, setup);
        assistant->onReading = [this] (std::optional<double> reading)
        {
            cents.setText (reading ? (*reading >= 0 ? "+" : "") + juce::String (*reading, 1) + " cents"
                                   : juce::String ("no sound"),
                           juce::dontSendNotification);
        };
    }
    refresh();
}

void VoiceCheckComponent::toggleHold()
{
    if (!assistant)
        return;
    if (assistant->isHolding())
        assistant->release();
    else
        assistant->hold (trimVoice.getSelectedId() - 1, Clock::now());
    refresh();
}

bool VoiceCheckComponent::saveResults (const std::string& path)
{
    if (!voiceCheck || voiceCheck->phase() != VoiceCheck::Phase::finished)
        return false;
    const std::string text = voiceCheck->problem().empty() ? voiceCheck->report().text() : voiceCheck->problem() + "\n";
    const auto written = FileBytes::replaceFile (path, reinterpret_cast<const uint8_t*> (text.data()), text.size());
    if (!written)
        progressLabel.setText ("Save failed: " + juce::String::fromUTF8 (written.reason.c_str()),
                               juce::dontSendNotification);
    return written.ok;
}

void VoiceCheckComponent::chooseSaveFile()
{
    chooser = std::make_unique<juce::FileChooser> (
        "Save the voice check's results",
        juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile ("voice-check.txt"),
        "*.txt");
    chooser->launchAsync (juce::FileBrowserComponent::saveMode | juce::FileBrowserComponent::canSelectFiles,
                          [this] (const juce::FileChooser& chosen)
                          {
                              const auto file = chosen.getResult();
                              if (file != juce::File() && saveResults (file.getFullPathName().toStdString()))
                                  progressLabel.setText ("Saved " + file.getFileName(), juce::dontSendNotification);
                          });
}

void VoiceCheckComponent::timerCallback()
{
    const auto now = Clock::now();
    if (voiceCheck && voiceCheck->phase() == VoiceCheck::Phase::running)
        voiceCheck->tick (now);
    if (assistant)
        assistant->tick (now);
    if (++ticks % 20 == 0)
        refresh();
}

void VoiceCheckComponent::refresh()
{
    const bool running = voiceCheck && voiceCheck->phase() == VoiceCheck::Phase::running;
    const bool done = voiceCheck && voiceCheck->phase() == VoiceCheck::Phase::finished;
    startButton.setEnabled (!running && input->isOpen() && !(assistant && assistant->isHolding()));
    stopButton.setEnabled (running);
    saveButton.setEnabled (done);
    inputChoice.setEnabled (!running);
    trimVoice.setEnabled (assistant != nullptr && !assistant->isHolding());
    holdButton.setEnabled (assistant != nullptr && !running);
    holdButton.setButtonText (assistant && assistant->isHolding() ? "Release" : "Hold Note");
    if (running)
        progressLabel.setText (juce::String (std::lround (voiceCheck->progress (Clock::now()) * 100.0)) + " %",
                               juce::dontSendNotification);
    else if (!input->isOpen())
        progressLabel.setText ("Choose the input first.", juce::dontSendNotification);
    if (!assistant || !assistant->isHolding())
        cents.setText ({}, juce::dontSendNotification);
}

VoiceCheckWindow::VoiceCheckWindow (MidiEngine& engine,
                                    RecordSettingsStore& store,
                                    RecordComponent::InputMaker makeInput)
    : DocumentWindow ("Check Voices",
                      juce::LookAndFeel::getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId),
                      DocumentWindow::closeButton),
      component (engine, store, std::move (makeInput))
{
    setUsingNativeTitleBar (true);
    setContentNonOwned (&component, true);
    setResizable (false, false);
    centreWithSize (getWidth(), getHeight());
    setVisible (true);
}

void VoiceCheckWindow::closeButtonPressed()
{
    if (onClose)
        onClose();
}
