#pragma once

#include "app/AppState.h"
#include "app/ControllerMapCommands.h"
#include "app/ExploreWindows.h"
#include "app/FileCommands.h"
#include "app/PreviewArchiveCommands.h"
#include "app/PreviewCommands.h"
#include "app/RecentLibraries.h"
#include "app/RecordWindow.h"
#include "app/RestoreWindow.h"
#include "app/VoiceCheckWindow.h"
#include "midi/MidiPlatform.h"
#include "ui/MainComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

/** The one window: the panel at one of four magnifications under the window's
    own menu bar (Linux has no global menu bar), the menus' commands and the
    settings that are restored at start-up and stored at shut-down. It always
    fits inside the usable area of its display, and takes files dropped on it. */
class MainWindow : public juce::DocumentWindow,
                   public juce::MenuBarModel,
                   public RestoreProgressStore,
                   public RecordSettingsStore,
                   private EditorModel::Listener
{
public:
    static constexpr float scaleFactors[] = {1.0f, 1.25f, 1.5f, 1.75f};
    static constexpr int numScales = 4;
    static constexpr int defaultScaleIndex = 2;
    static constexpr int numChannels = 16;

    /** Menu item ids, grouped by hundreds. */
    enum MenuId
    {
        newLibraryId = 10,
        loadLibraryId = 11,
        saveLibraryId = 12,
        saveLibraryAsId = 13,
        importSysexId = 20,
        importPresetId = 21,
        mergeLibraryId = 22,
        importFolderId = 23,
        importArchiveId = 24,
        exportActivePatchId = 30,
        exportAllPatchesId = 31,
        exportBankId = 32,
        exportArchiveId = 35,
        firstRecentId = 40,
        lastRecentId = 49,
        clearRecentId = 50,
        findPatchId = 60,
        findNextId = 61,
        morphId = 62,
        breedId = 63,
        quitId = 90,
        firstScaleId = 401,
        syncManualId = 501,
        syncCCId = 502,
        useDefaultMapId = 503,
        forgetLearnedId = 504,
        softTakeoverId = 505,
        exportMapId = 506,
        importMapId = 507,
        passNotesId = 508,
        writeLibraryId = 550,
        recordPreviewsId = 551,
        checkVoicesId = 552,
        selectingPlaysPreviewId = 553,
        selectingSendsId = 554,
        levelMatchedId = 555,
        inputOffId = 601,
        firstInputId = 602,
        lastInputId = 699,
        outputOffId = 701,
        firstOutputId = 702,
        lastOutputId = 799,
        firstChannelId = 800,
        controllerOffId = 901,
        firstControllerId = 902,
        lastControllerId = 998,
        /** Shared by the devices listed past the last input or output id: shown, never chosen. */
        unavailableDeviceId = 999
    };

    /** A window whose panel talks to the real MIDI service. It is not shown
        until showAtStart(), so it appears once, at its final size and place. */
    MainWindow (const juce::String& name, AppState& state);
    /** A window whose panel uses another MIDI layer, for example an in-memory one in tests. */
    MainWindow (const juce::String& name, AppState& state, std::unique_ptr<MidiPlatform> midiPlatform);
    ~MainWindow() override;

    void closeButtonPressed() override;
    void moved() override;
    bool keyPressed (const juce::KeyPress& key) override;
    /** Notes this window started stop when it loses the focus: their releases would not arrive. */
    void activeWindowStatusChanged() override;

    /** Closes an open file dialog and stops every note this window started; run before quitting. */
    void prepareToQuit();

    juce::StringArray getMenuBarNames() override;
    juce::PopupMenu getMenuForIndex (int topLevelMenuIndex, const juce::String& menuName) override;
    void menuItemSelected (int menuItemID, int topLevelMenuIndex) override;

    /** Magnifies the panel by scaleFactors[index], or by the largest factor
        below it whose window fits the display, and sizes the window to fit it
        exactly; the top-left corner stays where it is unless that would put
        part of the window off the display. */
    void applyScale (int index);
    /** The largest magnification up to `index` whose window fits the usable area of its display. */
    int largestScaleThatFits (int index) const;
    /** The usable area of the window's display, less the window's own frame. */
    juce::Rectangle<int> usableArea() const;

    /** Quits once the library's unsaved changes are saved or given up (Quit, Ctrl+Q, the close button). */
    void quitWhenAllowed();
    /** The session ends under the program (a logout, a shutdown, kill): the
        library's unsaved changes are kept aside for the next start, the
        settings are written, and the program quits without asking. */
    void endSessionNow();
    /** What endSessionNow keeps, without quitting: the library's unsaved
        changes aside (or why they could not be, for the next start) and the
        settings. For an ending that cannot wait for the message loop (the
        display went away). */
    void keepWorkNow();
    /** Start-up after loadState: offers the changes a session that ended under
        the program kept aside, opens the files given (or the library open at
        the last quit), brings back the active patch unless a library was
        given, and shows the window and, one after another, what start-up had
        to say. */
    void start (const std::vector<std::string>& files);
    /** Opens the library that was open at the last quit, if there was one. */
    void reopenLastLibrary();
    /** Brings back the active patch and its stored version kept at the last quit. */
    void restoreActivePatch();
    /** Centres the window on its display and shows it with the start-up notices; once, at the end of start-up. */
    void showAtStart();

    /** The panel's size at a magnification, truncated as the window uses it. */
    static juce::Rectangle<int> scaledPanelBounds (int index);

    /** Applies the stored settings; run once, at the end of start-up. */
    void loadState();
    /** Stores the settings and writes the file; run once, at shut-down. */
    void saveState();

    /** Makes the panel's MIDI engine report device changes to this window;
        installed last at start-up, after the stored devices are opened. */
    void installDeviceChangeHandler();

    /** MIDI > Write Library to Synthesizer...: opens the window, or brings it to the front. */
    void openRestoreWindow();
    /** The progress of a write into the synthesizer, kept in the settings file at once. */
    std::optional<RestoreProgress> loadRestoreProgress() const override;
    void storeRestoreProgress (const std::optional<RestoreProgress>& progress) override;

    /** MIDI > Record Previews... and MIDI > Check Voices...: open the window, or bring it to the front. */
    void openRecordWindow();
    void openVoiceCheckWindow();
    std::optional<Place> loadRecordingPlace() const override;
    void storeRecordingPlace (const std::optional<Place>& place) override;
    std::string recordingInput() const override;
    void storeRecordingInput (const std::string& deviceId) override;
    TakeSettings takeSettings() const override;
    /** What the audio windows capture from: the sound card through ALSA; tests replace it. */
    RecordComponent::InputMaker makeAudioInput;

    /** Asks the application to quit, once nothing unsaved stands in the way; tests replace it. */
    std::function<void()> requestQuit;

private:
    /** Holds the magnified panel: the window sizes its content itself, so the
        transform lives one level down, on the panel. */
    class PanelHolder : public juce::Component, public juce::FileDragAndDropTarget
    {
    public:
        explicit PanelHolder (EditorModel& model);
        void resized() override {}

        bool isInterestedInFileDrag (const juce::StringArray&) override { return true; }
        void filesDropped (const juce::StringArray& files, int x, int y) override;
        std::function<void (const std::vector<std::string>&)> onFilesDropped;

        std::unique_ptr<MainComponent> panel;

    private:
        JUCE_DECLARE_NON_COPYABLE (PanelHolder)
    };

    juce::PopupMenu fileMenu() const;
    juce::PopupMenu editMenu() const;
    juce::PopupMenu recentMenu() const;
    juce::PopupMenu viewMenu() const;
    juce::PopupMenu midiMenu();
    juce::PopupMenu controllersMenu() const;
    /** The previews' options, from and into the settings. */
    void loadPreviewSettings();
    void savePreviewSettings();
    /** Keeps the controller map and its options in the settings as soon as they change: they are the user's work. */
    void storeControllerSettings();
    void openDeviceItem (int menuItemID);
    void controllersChanged (ControllerTranslator::Change change) override;
    /** The BANK list's previews follow the library's file. */
    void sessionChanged (SessionChange change) override;
    int menuBarHeight() const;
    /** STATUS, or during start-up the notices shown once the window is. */
    void showStatus (const juce::String& message);
    /** Opens what start-up opens, once any kept changes were recovered or not. */
    void openAtStart (const std::vector<std::string>& files, bool recovered);
    void showWindow();
    /** The notices start-up collected, two seconds each, the last one staying. */
    void showStartUpNotices();
    /** Says once that the last session's unsaved changes could not be kept, and why. */
    void warnOfLostChanges();

    /** What the window edits: the panel and the menus are views over it. */
    std::unique_ptr<EditorModel> editor;
    PanelHolder panelHolder;
    juce::BorderSize<int> knownFrame;
    bool restoringSettings = false; // what is being restored need not be stored again
    /** While the recovery question waits, nothing is open yet: the settings keep what the last session left. */
    bool awaitingRecoveryAnswer = false;

public:
    MainComponent* mainComponent; // owned by panelHolder, shown as the window's content
    int scaleIndex = defaultScaleIndex;
    AppState& appState;
    FileCommands fileCommands;
    ControllerMapCommands controllerMapCommands;
    RecentLibraries recentLibraries;
    /** The BANK list's previews and their playback. */
    PreviewCommands previewCommands;
    /** A library with its previews as one .zip file, and copying them on Save Library as. */
    PreviewArchiveCommands previewArchive;
    /** Said in STATUS when the window is shown: what start-up did and could not do. */
    juce::StringArray startUpNotices;
    /** While true, what is said in STATUS waits in startUpNotices. */
    bool startingUp = false;
    /** Open while the library is being written into the synthesizer; gone before the panel. */
    std::unique_ptr<RestoreWindow> restoreWindow;
    /** Morph, Breed and Find Similar, beside the panel. */
    ExploreWindows exploreWindows;
    /** Open while previews are recorded, or the voices checked; gone before the panel. */
    std::unique_ptr<RecordWindow> recordWindow;
    std::unique_ptr<VoiceCheckWindow> voiceCheckWindow;

private:
    /** Warnings start-up gave, shown once the window is: one shown before it would end up behind it. */
    std::vector<std::pair<juce::String, juce::String>> startUpWarnings;
    std::function<void (const juce::String&, const juce::String&)> showWarningWhenShown;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
};
