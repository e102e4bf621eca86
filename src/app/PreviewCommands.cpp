#include "app/PreviewCommands.h"

#include "ui/PanelText.h"

#include <cmath>

PreviewCommands::PreviewCommands (EditSession& editSession,
                                  BankSection& bankSection,
                                  std::function<void (const juce::String&)> status)
    : session (editSession), bank (bankSection), showStatus (std::move (status))
{
    bank.libraryList.previews = &libraryPreviews;
    previousSelectionHandler = bank.libraryList.onSelectionChanged;
    bank.libraryList.onSelectionChanged = [this] (int row)
    {
        if (previousSelectionHandler)
            previousSelectionHandler (row);
        rowSelected (row);
    };
    libraryChanged();
}

PreviewCommands::~PreviewCommands()
{
    stopTimer();
    bank.libraryList.onSelectionChanged = previousSelectionHandler;
    bank.libraryList.previews = nullptr;
    bank.libraryList.playingRow = -1;
    if (devices != nullptr)
        devices->removeAudioCallback (this);
    devices.reset();
}

void PreviewCommands::libraryChanged()
{
    libraryPreviews.follow (session.currentFile());
    bank.libraryList.refresh();
}

void PreviewCommands::refresh()
{
    libraryPreviews.refresh();
    bank.libraryList.refresh();
}

void PreviewCommands::rowSelected (int row)
{
    if (selecting == Selecting::playsPreview)
        playRow (row);
    else if (selecting == Selecting::sendsToSynthesizer && session.isRow (row))
        bank.activateRow (row);
}

void PreviewCommands::playRow (int row)
{
    if (!session.isRow (row))
        return;
    const auto& patch = session.library().patches[static_cast<size_t> (row)];
    const PreviewInfo* info = libraryPreviews.find (patch.data);
    if (info == nullptr || libraryPreviews.folder() == nullptr)
    {
        showStatus ("No preview of \"" + toDisplayString (patch.name) + "\"");
        return;
    }
    // Decoded here, on the message thread; the audio callback only reads it.
    VorbisFile::Decoded decoded;
    std::string whyNot;
    if (!libraryPreviews.folder()->load (info->fileName(), decoded, whyNot))
    {
        showStatus ("Preview of \"" + toDisplayString (patch.name) +
                    "\" unreadable: " + juce::String::fromUTF8 (whyNot.c_str()));
        return;
    }
    if (!openOutput())
        return;
    auto clip = std::make_unique<PreviewPlayback::Clip>();
    clip->samples = std::move (decoded.samples);
    clip->sampleRate = decoded.sampleRate;
    clip->gain = levelMatched ? static_cast<float> (std::pow (10.0, info->gain / 20.0)) : 1.0f;
    clip->fileName = info->fileName();
    gainPlayed = clip->gain;
    playback.play (std::move (clip));
    bank.libraryList.playingRow = row;
    bank.libraryList.listBox.repaintRow (row);
    startTimer (50);
}

void PreviewCommands::stop()
{
    playback.stop();
    const int row = bank.libraryList.playingRow;
    bank.libraryList.playingRow = -1;
    bank.libraryList.listBox.repaintRow (row);
}

bool PreviewCommands::openOutput()
{
    if (devices != nullptr && devices->getCurrentAudioDevice() != nullptr)
        return true;
    devices = std::make_unique<juce::AudioDeviceManager>();
    const auto error = devices->initialiseWithDefaultDevices (0, 2);
    if (error.isNotEmpty() || devices->getCurrentAudioDevice() == nullptr)
    {
        showStatus ("No audio output" + (error.isNotEmpty() ? ": " + error : juce::String()));
        devices.reset();
        return false;
    }
    devices->addAudioCallback (this);
    return true;
}

void PreviewCommands::timerCallback()
{
    playback.collect();
    if (!playback.isPlaying())
    {
        stopTimer();
        const int row = bank.libraryList.playingRow;
        bank.libraryList.playingRow = -1;
        bank.libraryList.listBox.repaintRow (row);
    }
}

void PreviewCommands::audioDeviceAboutToStart (juce::AudioIODevice* device)
{
    outputRate = device->getCurrentSampleRate();
}

void PreviewCommands::audioDeviceIOCallbackWithContext (const float* const*,
                                                        int,
                                                        float* const* outputs,
                                                        int outputCount,
                                                        int frames,
                                                        const juce::AudioIODeviceCallbackContext&)
{
    for (int c = 0; c < outputCount; ++c)
        if (outputs[c] != nullptr)
            juce::FloatVectorOperations::clear (outputs[c], frames);
    playback.render (outputs, outputCount, frames, outputRate.load());
}
