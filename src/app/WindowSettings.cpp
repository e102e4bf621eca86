// The settings: restored at start-up, stored at shut-down, and the library
// that was open at the last quit.

#include "app/MainWindow.h"

#include "app/FileWork.h"
#include "files/FilePath.h"
#include "files/Utf8Text.h"
#include "ui/PanelText.h"

#include <cerrno>
#include <optional>
#include <sys/stat.h>

namespace
{
/** A patch as the settings keep it: its 18 bytes in hexadecimal, a space,
    then its name with escapeBytes' escapes, so any name comes back exactly. */
juce::String toStored (const PatchModel& patch)
{
    juce::String text = juce::String::toHexString (patch.data.data(), static_cast<int> (patch.data.size()), 0);
    const std::string name = Utf8Text::escapeBytes (patch.name);
    return text + " " + juce::String::fromUTF8 (name.data(), static_cast<int> (name.size()));
}

std::optional<PatchModel> patchFromStored (const juce::String& text)
{
    const std::string stored = text.toStdString();
    constexpr size_t hexLength = 2 * PatchBits::numBytes;
    PatchModel patch;
    if (stored.size() <= hexLength || stored[hexLength] != ' ' ||
        !Utf8Text::unescapeBytes (std::string_view (stored).substr (hexLength + 1), patch.name))
        return std::nullopt;
    for (size_t i = 0; i < PatchBits::numBytes; ++i)
    {
        const auto pair = juce::String (stored.substr (2 * i, 2));
        if (!pair.containsOnly ("0123456789abcdefABCDEF"))
            return std::nullopt;
        patch.data[i] = static_cast<uint8_t> (pair.getHexValue32());
    }
    return patch;
}
} // namespace

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
    loadPreviewSettings();
    if (appState.problem.isNotEmpty())
        startUpNotices.add (appState.problem);
}

void MainWindow::reopenLastLibrary()
{
    const auto path = RecentLibraries::fromStored (appState.propertiesFile->getValue (AppState::Keys::lastLibrary));
    if (!path)
        return;
    struct stat info;
    if (::stat (path->c_str(), &info) != 0 && errno == ENOENT)
    {
        startUpNotices.add ("Not found: " + FileWork::shownPath (std::string (FilePath::stem (*path))));
        return;
    }
    fileCommands.loadLibrary (*path); // anything else that keeps it from opening is said in a warning
}

void MainWindow::restoreActivePatch()
{
    const auto& settings = *appState.propertiesFile;
    auto active = patchFromStored (settings.getValue (AppState::Keys::activePatch));
    auto stored = patchFromStored (settings.getValue (AppState::Keys::storedPatch));
    if (!active || !stored)
        return;
    // Kept in a file a person can edit: values a patch cannot hold are corrected as they come in.
    active->correctValues();
    stored->correctValues();
    auto& session = mainComponent->session();
    session.restoreActivePatch (*active, *stored);
    session.resend();
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
    // While the recovery question waits nothing is open: the last session's library and patch stay.
    const bool sessionOpened = !awaitingRecoveryAnswer;
    const auto& currentFile = panel.session().currentFile();
    if (sessionOpened)
        settings.setValue (AppState::Keys::lastLibrary,
                           currentFile.empty() ? juce::String() : RecentLibraries::toStored (currentFile));
    recentLibraries.storeIn (settings, AppState::Keys::recentLibraries);
    storeControllerSettings();
    savePreviewSettings();
    if (sessionOpened)
    {
        // Sound edits not yet stored with SAVE come back at the next start.
        settings.setValue (AppState::Keys::activePatch, toStored (panel.session().activePatch()));
        settings.setValue (AppState::Keys::storedPatch, toStored (panel.session().storedPatch()));
    }
    settings.saveIfNeeded();
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
    text.libraryFile = RecentLibraries::fromStored (settings.getValue (AppState::Keys::restoreLibrary)).value_or ("");
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
        settings.setValue (Keys::restoreLibrary, RecentLibraries::toStored (text.libraryFile));
        settings.setValue (Keys::restoreStart, juce::String (text.firstMemory));
        settings.setValue (Keys::restoreRows, juce::String (text.rows));
        settings.setValue (Keys::restoreStates, juce::String (text.states));
        settings.setValue (Keys::restoreNext, juce::String (text.next));
        settings.setValue (Keys::restoreFingerprint, juce::String (text.fingerprint));
    }
    // Written at once: the place is kept even should Qorv end without quitting.
    settings.saveIfNeeded();
}
