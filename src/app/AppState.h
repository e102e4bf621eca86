#pragma once

#include "session/SessionRecovery.h"

#include <juce_data_structures/juce_data_structures.h>

#include <memory>

/** Owns the settings file: qorv.cfg in the program's own folder under the
    user's configuration folder. The file is read here, once, and only when
    XmlGuard takes it; only the main window's loadState and saveState use its
    values. Beside it lies the library a session that ended under the program
    kept aside. */
class AppState
{
public:
    /** The keys, in the order saveState writes them. */
    struct Keys
    {
        static constexpr const char* midiIn = "MIDI_IN";
        static constexpr const char* midiOut = "MIDI_OUT";
        static constexpr const char* midiController = "MIDI_CONTROLLER";
        static constexpr const char* midiChannel = "MIDI_CHANNEL";
        static constexpr const char* keyboardOctave = "KEYBOARD_OCTAVE";
        static constexpr const char* keyboardKeys = "KEYBOARD_KEYS";
        static constexpr const char* keyboardMouse = "KEYBOARD_MOUSE";
        static constexpr const char* scale = "SCALE";
        static constexpr const char* syncManual = "SYNC_MANUAL";
        static constexpr const char* syncCC = "SYNC_CC";
        static constexpr const char* lastLibrary = "LAST_LIBRARY";
        static constexpr const char* recentLibraries = "RECENT_LIBRARIES";
        static constexpr const char* controllerMap = "CONTROLLER_MAP";
        static constexpr const char* controllerDefaultMap = "CONTROLLER_DEFAULT_MAP";
        static constexpr const char* controllerSoftTakeover = "CONTROLLER_SOFT_TAKEOVER";
        static constexpr const char* controllerThru = "CONTROLLER_THRU";
        static constexpr const char* activePatch = "ACTIVE_PATCH";
        static constexpr const char* storedPatch = "STORED_PATCH";
        /** Why the last session's unsaved changes could not be kept; said once at the next start. */
        static constexpr const char* recoveryFailure = "RECOVERY_FAILURE";

        // Where a write into the synthesizer stands: stored as it goes, and
        // only while one is unfinished.
        static constexpr const char* restoreLibrary = "RESTORE_LIBRARY";
        static constexpr const char* restoreStart = "RESTORE_START";
        static constexpr const char* restoreRows = "RESTORE_ROWS";
        static constexpr const char* restoreStates = "RESTORE_STATES";
        static constexpr const char* restoreNext = "RESTORE_NEXT";
        static constexpr const char* restoreFingerprint = "RESTORE_FINGERPRINT";

        // The previews: what selecting a row does, the playback level, the
        // input recorded from, and where a recording stands while unfinished.
        static constexpr const char* previewSelecting = "PREVIEW_SELECTING";
        static constexpr const char* previewLevelMatched = "PREVIEW_LEVEL_MATCHED";
        static constexpr const char* recordInput = "RECORD_INPUT";
        static constexpr const char* recordLibrary = "RECORD_LIBRARY";
        static constexpr const char* recordRows = "RECORD_ROWS";
        static constexpr const char* recordPhrase = "RECORD_PHRASE";
        // A take's steps, for calibrating against the instrument; never
        // written by Qorv, read when present (see the README).
        static constexpr const char* takeQuietMarginDb = "TAKE_QUIET_MARGIN_DB";
        static constexpr const char* takeQuietLimitSeconds = "TAKE_QUIET_LIMIT_S";
        static constexpr const char* takeFlushMs = "TAKE_FLUSH_MS";
        static constexpr const char* takeSettleMs = "TAKE_SETTLE_MS";
        static constexpr const char* takeTailQuietMs = "TAKE_TAIL_QUIET_MS";
        static constexpr const char* takeTailLimitSeconds = "TAKE_TAIL_LIMIT_S";
        static constexpr const char* takeOnsetMarginDb = "TAKE_ONSET_MARGIN_DB";
        static constexpr const char* takeOnsetLowestDb = "TAKE_ONSET_LOWEST_DB";
    };

    static constexpr const char* folderName = "org.qorv.Qorv";

    /** Opens (or prepares to create) the settings file at settingsFile(). */
    AppState();

    static juce::PropertiesFile::Options options();

    /** $XDG_CONFIG_HOME/org.qorv.Qorv/qorv.cfg, with ~/.config standing in
        when the variable is unset, empty or not an absolute path. JUCE's own
        Linux default would put the folder in the home folder itself. */
    static juce::File settingsFile();

    std::unique_ptr<juce::PropertiesFile> propertiesFile;
    /** What went wrong with the settings file, for STATUS; empty when nothing did. */
    juce::String problem;
    /** The library kept aside beside the settings when a session ended under the program. */
    SessionRecovery recovery{settingsFile().getParentDirectory().getFullPathName().toStdString()};

private:
    JUCE_DECLARE_NON_COPYABLE (AppState)
};
