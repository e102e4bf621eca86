#pragma once

#include "app/AppState.h"
#include "app/FileCommands.h"
#include "midi/MidiPlatform.h"
#include "ui/MainComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

/** The one window: the panel at one of four magnifications under the window's
    own menu bar (Linux has no global menu bar), the menus' commands and the
    settings that are restored at start-up and stored at shut-down. */
class MainWindow : public juce::DocumentWindow, public juce::MenuBarModel
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
        exportActivePatchId = 30,
        exportAllPatchesId = 31,
        quitId = 90,
        firstScaleId = 401,
        syncManualId = 501,
        syncCCId = 502,
        inputOffId = 601,
        firstInputId = 602,
        lastInputId = 699,
        outputOffId = 701,
        firstOutputId = 702,
        lastOutputId = 799,
        firstChannelId = 800,
        /** Shared by the devices listed past the last input or output id: shown, never chosen. */
        unavailableDeviceId = 999
    };

    /** A window whose panel talks to the real MIDI service. */
    MainWindow (const juce::String& name, AppState& state);
    /** A window whose panel uses another MIDI layer, for example an in-memory one in tests. */
    MainWindow (const juce::String& name, AppState& state, std::unique_ptr<MidiPlatform> midiPlatform);
    ~MainWindow() override;

    void closeButtonPressed() override;
    bool keyPressed (const juce::KeyPress& key) override;
    /** Notes this window started stop when it loses the focus: their releases would not arrive. */
    void activeWindowStatusChanged() override;

    /** Closes an open file dialog and stops every note this window started; run before quitting. */
    void prepareToQuit();

    juce::StringArray getMenuBarNames() override;
    juce::PopupMenu getMenuForIndex (int topLevelMenuIndex, const juce::String& menuName) override;
    void menuItemSelected (int menuItemID, int topLevelMenuIndex) override;

    /** Magnifies the panel by scaleFactors[index] and sizes the window to fit it
        exactly; the top-left corner stays where it is. */
    void applyScale (int index);

    /** The panel's size at a magnification, truncated as the window uses it. */
    static juce::Rectangle<int> scaledPanelBounds (int index);

    /** Applies the stored settings; run once, at the end of start-up. */
    void loadState();
    /** Stores the settings and writes the file; run once, at shut-down. */
    void saveState();

    /** Makes the panel's MIDI engine report device changes to this window;
        installed last at start-up, after the stored devices are opened. */
    void installDeviceChangeHandler();
    /** Closes an open input or output whose device is no longer listed. */
    void closeGoneDevices();

    /** Asks the application to quit, as the close button and "Quit" do; tests replace it. */
    std::function<void()> requestQuit;

private:
    /** Holds the magnified panel: the window sizes its content itself, so the
        transform lives one level down, on the panel. */
    class PanelHolder : public juce::Component
    {
    public:
        explicit PanelHolder (std::unique_ptr<MidiPlatform> midiPlatform);
        void resized() override {}

        std::unique_ptr<MainComponent> panel;

    private:
        JUCE_DECLARE_NON_COPYABLE (PanelHolder)
    };

    juce::PopupMenu fileMenu() const;
    juce::PopupMenu viewMenu() const;
    juce::PopupMenu midiMenu();
    void openDeviceItem (int menuItemID);

    PanelHolder panelHolder;

public:
    MainComponent* mainComponent; // owned by panelHolder, shown as the window's content
    int scaleIndex = defaultScaleIndex;
    AppState& appState;
    FileCommands fileCommands;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
};
