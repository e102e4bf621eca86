#pragma once

#include "previews/LibraryPreviews.h"
#include "previews/PreviewPlayback.h"
#include "ui/BankSection.h"

#include <juce_audio_devices/juce_audio_devices.h>

#include <functional>
#include <memory>

/** The window's previews: the BANK list's play marks follow the library's
    file, Space plays the selected row's preview and Escape stops it,
    selecting a row may play its preview or send it to the synthesizer, and
    playback is level-matched or as recorded. JUCE's audio devices serve
    only to play; the output is opened at the first preview played. */
class PreviewCommands : private juce::Timer, private juce::AudioIODeviceCallback
{
public:
    /** What selecting a row in the BANK list does besides selecting it. */
    enum class Selecting
    {
        selects,
        playsPreview,
        sendsToSynthesizer
    };

    PreviewCommands (EditSession& session, BankSection& bank, std::function<void (const juce::String&)> status);
    ~PreviewCommands() override;

    /** The library's file or content changed: the marks follow. */
    void libraryChanged();
    /** Reads the previews folder again (after recording). */
    void refresh();

    /** Plays the preview of a row's sound; says so in STATUS when it has none. */
    void playRow (int row);
    void playSelected() { playRow (bank.libraryList.selectedRow()); }
    void stop();
    bool isPlaying() const { return playback.isPlaying(); }

    void setSelecting (Selecting what) { selecting = what; }
    Selecting selectingDoes() const { return selecting; }
    void setLevelMatched (bool on) { levelMatched = on; }
    bool isLevelMatched() const { return levelMatched; }

    LibraryPreviews& previews() { return libraryPreviews; }
    /** The last clip asked to play, with the gain it was given; for tests. */
    float lastGain() const { return gainPlayed; }

private:
    void rowSelected (int row);
    bool openOutput();
    void timerCallback() override;
    void audioDeviceIOCallbackWithContext (const float* const* inputs,
                                           int inputCount,
                                           float* const* outputs,
                                           int outputCount,
                                           int frames,
                                           const juce::AudioIODeviceCallbackContext& context) override;
    void audioDeviceAboutToStart (juce::AudioIODevice* device) override;
    void audioDeviceStopped() override {}

    EditSession& session;
    BankSection& bank;
    std::function<void (const juce::String&)> showStatus;
    LibraryPreviews libraryPreviews;
    PreviewPlayback playback;
    std::unique_ptr<juce::AudioDeviceManager> devices;
    std::atomic<double> outputRate{48000.0};
    Selecting selecting = Selecting::selects;
    bool levelMatched = true;
    float gainPlayed = 1.0f;
    std::function<void (int)> previousSelectionHandler;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PreviewCommands)
};
