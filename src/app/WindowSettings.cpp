// The settings: restored at start-up, stored at shut-down, and the library
// that was open at the last quit.

#include "app/MainWindow.h"

#include "ui/PanelText.h"

void MainWindow::loadState()
{
    auto& settings = *appState.propertiesFile;
    auto& panel = *mainComponent;
    auto& engine = panel.midiEngine;

    switch (settings.getIntValue (AppState::Keys::scale, 150))
    {
        case 100:
            scaleIndex = 0;
            break;
        case 125:
            scaleIndex = 1;
            break;
        case 150:
            scaleIndex = 2;
            break;
        case 175:
            scaleIndex = 3;
            break;
        default:
            break;
    }
    applyScale (scaleIndex);

    // Devices are remembered by name: the first listed device of that name is
    // opened, or it is opened when it appears.
    const auto inputName = toModelString (settings.getValue (AppState::Keys::midiIn));
    const auto outputName = toModelString (settings.getValue (AppState::Keys::midiOut));
    const auto controllerName = toModelString (settings.getValue (AppState::Keys::midiController));
    if (!inputName.empty())
        engine.chooseInput (inputName);
    if (!outputName.empty())
        engine.chooseOutput (outputName);
    if (!controllerName.empty())
        engine.chooseController (controllerName);
    engine.setPassThrough (settings.getBoolValue (AppState::Keys::controllerThru, true));

    auto& controllers = editor->controllers();
    const juce::ScopedValueSetter<bool> restoring (restoringSettings, true);
    controllers.setUsesDefaultMap (settings.getBoolValue (AppState::Keys::controllerDefaultMap, true));
    controllers.setSoftTakeover (settings.getBoolValue (AppState::Keys::controllerSoftTakeover, false));
    std::string mapProblem;
    if (!controllers.importMap (toModelString (settings.getValue (AppState::Keys::controllerMap)), mapProblem))
        startUpNotices.add ("Controller map reset");
    if (!engine.isAvailable())
        startUpNotices.add ("MIDI unavailable");

    // The program only ever stores 0 to 15; anything else comes from a hand-edited file.
    const int channel = settings.getIntValue (AppState::Keys::midiChannel, 0);
    engine.setMidiChannel (channel >= 0 && channel < numChannels ? channel : 0);

    auto& performance = panel.performance;
    performance.setKeysEnabled (settings.getBoolValue (AppState::Keys::keyboardKeys, true));
    performance.setMouseEnabled (settings.getBoolValue (AppState::Keys::keyboardMouse, true));
    // Stepped as the OCTAVE buttons step, so nothing is left sounding.
    performance.stepToOctave (settings.getIntValue (AppState::Keys::keyboardOctave, 3));

    auto& session = panel.session();
    session.setSyncManual (settings.getBoolValue (AppState::Keys::syncManual, false));
    session.setSyncControlChanges (settings.getBoolValue (AppState::Keys::syncCC, false));

    recentLibraries.restoreFrom (settings, AppState::Keys::recentLibraries);
    if (appState.problem.isNotEmpty())
        startUpNotices.add (appState.problem);
}

void MainWindow::reopenLastLibrary()
{
    const auto path = appState.propertiesFile->getValue (AppState::Keys::lastLibrary);
    if (!juce::File::isAbsolutePath (path))
        return;
    const juce::File file (path);
    if (!file.existsAsFile())
    {
        startUpNotices.add ("Not found: " + file.getFileNameWithoutExtension());
        return;
    }
    fileCommands.loadLibrary (file);
}

void MainWindow::saveState()
{
    auto& settings = *appState.propertiesFile;
    const auto& panel = *mainComponent;
    const auto& engine = panel.midiEngine;

    // The chosen devices, even while they are unplugged.
    settings.setValue (AppState::Keys::midiIn, toDisplayString (engine.chosenInputName()));
    settings.setValue (AppState::Keys::midiOut, toDisplayString (engine.chosenOutputName()));
    settings.setValue (AppState::Keys::midiController, toDisplayString (engine.chosenControllerName()));
    settings.setValue (AppState::Keys::midiChannel, engine.midiChannel);
    const auto& keyboard = panel.performance.keyboard;
    settings.setValue (AppState::Keys::keyboardOctave, keyboard.octave);
    settings.setValue (AppState::Keys::keyboardKeys, keyboard.keysEnabled);
    settings.setValue (AppState::Keys::keyboardMouse, keyboard.mouseEnabled);
    settings.setValue (AppState::Keys::scale, static_cast<int> (scaleFactors[scaleIndex] * 100.0f));
    settings.setValue (AppState::Keys::syncManual, panel.session().syncsManualMode());
    settings.setValue (AppState::Keys::syncCC, panel.session().syncsControlChanges());
    settings.setValue (AppState::Keys::lastLibrary, toDisplayString (panel.session().currentFile()));
    recentLibraries.storeIn (settings, AppState::Keys::recentLibraries);
    storeControllerSettings();
}

void MainWindow::storeControllerSettings()
{
    auto& settings = *appState.propertiesFile;
    const auto& controllers = editor->controllers();
    settings.setValue (AppState::Keys::controllerMap, toDisplayString (controllers.map().toText()));
    settings.setValue (AppState::Keys::controllerDefaultMap, controllers.map().usesDefaultMap());
    settings.setValue (AppState::Keys::controllerSoftTakeover, controllers.softTakeover());
    settings.setValue (AppState::Keys::controllerThru, editor->engine().passesThrough());
    settings.saveIfNeeded();
}

std::optional<RestoreProgress> MainWindow::loadRestoreProgress() const
{
    const auto& settings = *appState.propertiesFile;
    RestoreProgress::Text text;
    text.libraryFile = toModelString (settings.getValue (AppState::Keys::restoreLibrary));
    text.firstMemory = settings.getValue (AppState::Keys::restoreStart).toStdString();
    text.rows = settings.getValue (AppState::Keys::restoreRows).toStdString();
    text.states = settings.getValue (AppState::Keys::restoreStates).toStdString();
    text.next = settings.getValue (AppState::Keys::restoreNext).toStdString();
    text.fingerprint = settings.getValue (AppState::Keys::restoreFingerprint).toStdString();
    return RestoreProgress::fromText (text);
}

void MainWindow::storeRestoreProgress (const std::optional<RestoreProgress>& progress)
{
    auto& settings = *appState.propertiesFile;
    using Keys = AppState::Keys;
    if (!progress)
    {
        for (const char* key : {Keys::restoreLibrary,
                                Keys::restoreStart,
                                Keys::restoreRows,
                                Keys::restoreStates,
                                Keys::restoreNext,
                                Keys::restoreFingerprint})
            settings.removeValue (key);
    }
    else
    {
        const auto text = progress->toText();
        settings.setValue (Keys::restoreLibrary, toDisplayString (text.libraryFile));
        settings.setValue (Keys::restoreStart, juce::String (text.firstMemory));
        settings.setValue (Keys::restoreRows, juce::String (text.rows));
        settings.setValue (Keys::restoreStates, juce::String (text.states));
        settings.setValue (Keys::restoreNext, juce::String (text.next));
        settings.setValue (Keys::restoreFingerprint, juce::String (text.fingerprint));
    }
    // Written at once: the place is kept even should Qorv end without quitting.
    settings.saveIfNeeded();
}
