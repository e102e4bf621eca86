// The previews' windows and settings: MIDI > Record Previews... and
// MIDI > Check Voices..., what selecting a row does, the playback level, the
// input, where a recording stands, and a take's steps for calibration.

#include "app/MainWindow.h"

#include "app/RecentLibraries.h"
#include "capture/alsa/AlsaAudioInput.h"

namespace
{
const char* const selectingNames[] = {"select", "play", "send"};
}

void MainWindow::loadPreviewSettings()
{
    const auto& settings = *appState.propertiesFile;
    const auto selecting = settings.getValue (AppState::Keys::previewSelecting, "select");
    for (int i = 0; i < 3; ++i)
        if (selecting == selectingNames[i])
            previewCommands.setSelecting (static_cast<PreviewCommands::Selecting> (i));
    previewCommands.setLevelMatched (settings.getBoolValue (AppState::Keys::previewLevelMatched, true));
}

void MainWindow::savePreviewSettings()
{
    auto& settings = *appState.propertiesFile;
    settings.setValue (AppState::Keys::previewSelecting,
                       selectingNames[static_cast<int> (previewCommands.selectingDoes())]);
    settings.setValue (AppState::Keys::previewLevelMatched, previewCommands.isLevelMatched());
}

std::optional<RecordSettingsStore::Place> MainWindow::loadRecordingPlace() const
{
    const auto& settings = *appState.propertiesFile;
    Place place;
    place.libraryFile = RecentLibraries::fromStored (settings.getValue (AppState::Keys::recordLibrary)).value_or ("");
    place.rows = settings.getValue (AppState::Keys::recordRows).toStdString();
    place.phrase = settings.getValue (AppState::Keys::recordPhrase).toStdString();
    if (place.libraryFile.empty() || place.rows.empty() || place.phrase.empty())
        return std::nullopt;
    return place;
}

void MainWindow::storeRecordingPlace (const std::optional<Place>& place)
{
    auto& settings = *appState.propertiesFile;
    using Keys = AppState::Keys;
    if (!place)
        for (const char* key : {Keys::recordLibrary, Keys::recordRows, Keys::recordPhrase})
            settings.removeValue (key);
    else
    {
        settings.setValue (Keys::recordLibrary, RecentLibraries::toStored (place->libraryFile));
        settings.setValue (Keys::recordRows, juce::String (place->rows));
        settings.setValue (Keys::recordPhrase, juce::String (place->phrase));
    }
    // Written at once, as the restore's place is: Continue works after any end.
    settings.saveIfNeeded();
}

std::string MainWindow::recordingInput() const
{
    return appState.propertiesFile->getValue (AppState::Keys::recordInput).toStdString();
}

void MainWindow::storeRecordingInput (const std::string& deviceId)
{
    appState.propertiesFile->setValue (AppState::Keys::recordInput, juce::String (deviceId));
}

TakeSettings MainWindow::takeSettings() const
{
    const auto& settings = *appState.propertiesFile;
    using Keys = AppState::Keys;
    TakeSettings take;
    const auto read = [&settings] (const char* key, double fallback, double scale)
    {
        const auto text = settings.getValue (key);
        return text.isEmpty() ? fallback : text.getDoubleValue() * scale;
    };
    take.quietMargin = read (Keys::takeQuietMarginDb, take.quietMargin, 1.0);
    take.quietLimit = read (Keys::takeQuietLimitSeconds, take.quietLimit, 1.0);
    take.flushWait = read (Keys::takeFlushMs, take.flushWait, 0.001);
    take.settle = read (Keys::takeSettleMs, take.settle, 0.001);
    take.tailQuiet = read (Keys::takeTailQuietMs, take.tailQuiet, 0.001);
    take.tailLimit = read (Keys::takeTailLimitSeconds, take.tailLimit, 1.0);
    take.onset.marginOverFloor = read (Keys::takeOnsetMarginDb, take.onset.marginOverFloor, 1.0);
    take.onset.lowestThreshold = read (Keys::takeOnsetLowestDb, take.onset.lowestThreshold, 1.0);
    return take;
}

void MainWindow::openRecordWindow()
{
    if (recordWindow == nullptr)
    {
        auto& list = mainComponent->bank.libraryList.listBox;
        std::vector<int> selected;
        for (int i = 0; i < list.getNumSelectedRows(); ++i)
            selected.push_back (list.getSelectedRow (i));
        std::sort (selected.begin(), selected.end());
        const auto maker = makeAudioInput ? makeAudioInput : [] {
            return std::unique_ptr<AudioInput> (std::make_unique<AlsaAudioInput>());
        };
        recordWindow = std::make_unique<RecordWindow> (
            editor->session(), editor->engine(), previewCommands.previews(), *this, std::move (selected), maker);
        recordWindow->content().onPreviewStored = [this] { previewCommands.refresh(); };
        recordWindow->onClose = [this]
        {
            juce::MessageManager::callAsync (
                [window = SafePointer<MainWindow> (this)]
                {
                    if (window != nullptr)
                    {
                        window->recordWindow.reset();
                        window->previewCommands.refresh();
                    }
                });
        };
    }
    recordWindow->toFront (true);
}

void MainWindow::openVoiceCheckWindow()
{
    if (voiceCheckWindow == nullptr)
    {
        const auto maker = makeAudioInput ? makeAudioInput : [] {
            return std::unique_ptr<AudioInput> (std::make_unique<AlsaAudioInput>());
        };
        voiceCheckWindow = std::make_unique<VoiceCheckWindow> (editor->engine(), *this, maker);
        voiceCheckWindow->onClose = [this]
        {
            juce::MessageManager::callAsync (
                [window = SafePointer<MainWindow> (this)]
                {
                    if (window != nullptr)
                        window->voiceCheckWindow.reset();
                });
        };
    }
    voiceCheckWindow->toFront (true);
}
