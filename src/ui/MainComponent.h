#pragma once

#include "midi/MidiEngine.h"
#include "patch/LibraryModel.h"
#include "patch/PatchModel.h"
#include "ui/BitmapControls.h"
#include "ui/LibraryListBox.h"
#include "ui/QorvKeyboardComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>
#include <string>
#include <vector>

class MidiPlatform;

/** The whole editor panel, 728 x 480 logical pixels. It owns everything the
    editor works on: the MIDI engine, the active patch, the library, the edit
    history and every control. The window magnifies it with a transform, so it
    never reacts to its own size. */
class MainComponent : public juce::Component
{
public:
    static constexpr int panelWidth = 728;
    static constexpr int panelHeight = 480;
    static constexpr size_t maxUndoSteps = 50;
    static constexpr int statusRevertMs = 2000;
    static const char* const paramNames[PatchBits::numBytes];

    /** A panel that talks to the real MIDI service. */
    MainComponent();
    /** A panel on another MIDI layer, for example an in-memory one in tests. */
    explicit MainComponent (std::unique_ptr<MidiPlatform> midiPlatform);
    ~MainComponent() override = default;

    void parentHierarchyChanged() override;
    void paint (juce::Graphics&) override;
    void resized() override {}

    // Parameter controls
    void updateIndicators();
    void loadPatchToSliders();

    // Value display
    void showControl (const char* name, const char* value);
    void showControl (const char* name, int value);
    void startControlTimer();

    // Edit history and patch actions
    void pushUndo();
    void checkPatchChanged();
    void loadPatchFromModel (const PatchModel& source);
    void updateWindowTitle();
    void savePatchToLibrary();
    void undo();
    void evolve();

    // Library list and bank actions
    /** Makes a copy of the patch the active one and the reference for the
        edit history, shows it and sends it. */
    void makeActivePatch (const PatchModel& source);
    void activateRow (int row);
    void newPatch();
    void showRenameDialog();
    /** The rename dialog's work once it closes with OK. */
    void renamePatch (int row, const std::string& oldName, const std::string& newName);
    void duplicatePatch();
    void erasePatch();
    void applyEraseRule (int row);
    void refreshBankList();
    /** After an edit of the library's patches: the BANK list, the modified mark and the title. */
    void libraryChanged();

    // Incoming patches
    void offerReceivedPatch (const PatchModel& received, const std::string& offeredName);
    void patchReceived (const PatchModel& received);
    void manualPatchReceived (const PatchModel& received);
    void paramReceived (int paramNumber, int value);
    void savePendingPatch();
    void ignorePendingPatch();
    void toggleSaveAll();

    // Keyboard and performance controls
    void octaveDown();
    void octaveUp();
    void toggleMouse();
    void toggleKeys();

    /** One-shot timer that puts the STATUS display back to dashes. */
    class ControlTimer : public juce::Timer
    {
    public:
        ~ControlTimer() override = default;
        void timerCallback() override;
        std::function<void()> callback;
    };

    MidiEngine midiEngine;
    PatchModel patch;
    LibraryModel library;
    LibraryListBox libraryList{library};
    QorvKeyboardComponent keyboard{midiEngine};
    BitmapIndicator kybdInd{PanelImages::lamp()};
    BitmapIndicator mouseInd{PanelImages::lamp()};
    juce::Label activePatchLabel;
    juce::Label statusLabel;
    std::string currentFile;
    bool syncManual = false;
    bool syncCC = false;
    bool loadingPatch = false;
    std::vector<PatchModel> undoStack;
    PatchModel storedPatch;
    BitmapButton eraseBtn{PanelImages::greyButton()};
    bool libraryModified = false;
    ControlTimer controlTimer;
    juce::Image backgroundImage;
    juce::Image overlayImage;

    BitmapSlider lfoRateSlider{PanelImages::faderHandle(), 127};
    BitmapSlider lfoDelaySlider{PanelImages::faderHandle(), 127};
    BitmapSlider dcoLfoSlider{PanelImages::faderHandle(), 127};
    BitmapSlider dcoPwmSlider{PanelImages::faderHandle(), 127};
    BitmapSlider subSlider{PanelImages::faderHandle(), 127};
    BitmapSlider noiseSlider{PanelImages::faderHandle(), 127};
    BitmapSlider hpfSlider{PanelImages::faderHandle(), 3};
    BitmapSlider vcfFreqSlider{PanelImages::faderHandle(), 127};
    BitmapSlider vcfResSlider{PanelImages::faderHandle(), 127};
    BitmapSlider vcfEnvSlider{PanelImages::faderHandle(), 127};
    BitmapSlider vcfLfoSlider{PanelImages::faderHandle(), 127};
    BitmapSlider vcfKybdSlider{PanelImages::faderHandle(), 127};
    BitmapSlider vcaLevelSlider{PanelImages::faderHandle(), 127};
    BitmapSlider attackSlider{PanelImages::faderHandle(), 127};
    BitmapSlider decaySlider{PanelImages::faderHandle(), 127};
    BitmapSlider sustainSlider{PanelImages::faderHandle(), 127};
    BitmapSlider releaseSlider{PanelImages::faderHandle(), 127};
    BitmapSlider benderSlider{PanelImages::leverHandle(), 127};
    BitmapSlider lfoTrigSlider{PanelImages::leverHandle(), 127};
    BitmapSwitch pwmSwitch{PanelImages::switchHandle()};
    BitmapSwitch vcfPolaritySwitch{PanelImages::switchHandle()};
    BitmapSwitch vcaModeSwitch{PanelImages::switchHandle()};
    BitmapButton range16Btn{PanelImages::greyButton()};
    BitmapButton range8Btn{PanelImages::greyButton()};
    BitmapButton range4Btn{PanelImages::greyButton()};
    BitmapButton pulseBtn{PanelImages::greyButton()};
    BitmapButton sawBtn{PanelImages::greyButton()};
    BitmapButton chorusOffBtn{PanelImages::greyButton()};
    BitmapButton chorus1Btn{PanelImages::orangeButton()};
    BitmapButton chorus2Btn{PanelImages::orangeButton()};
    BitmapButton editBtn{PanelImages::blueButton()};
    BitmapButton newBtn{PanelImages::greyButton()};
    BitmapButton nameBtn{PanelImages::greyButton()};
    BitmapButton x2Btn{PanelImages::greyButton()};
    BitmapButton saveBtn{PanelImages::smallOrangeButton()};
    BitmapButton undoBtn{PanelImages::smallGreyButton()};
    BitmapButton cmpBtn{PanelImages::smallGreyButton()};
    BitmapButton evolveBtn{PanelImages::smallGreyButton()};
    BitmapButton octaveDownBtn{PanelImages::greyButton()};
    BitmapButton octaveUpBtn{PanelImages::greyButton()};
    BitmapButton mouseBtn{PanelImages::greyButton()};
    BitmapButton kybdBtn{PanelImages::greyButton()};
    BitmapButton allNotesOffBtn{PanelImages::blueButton()};
    BitmapButton midiSaveBtn{PanelImages::smallOrangeButton()};
    BitmapButton midiIgnoreBtn{PanelImages::smallGreyButton()};
    BitmapButton saveAllBtn{PanelImages::greyButton()};
    BitmapIndicator range16Ind{PanelImages::lamp()};
    BitmapIndicator range8Ind{PanelImages::lamp()};
    BitmapIndicator range4Ind{PanelImages::lamp()};
    BitmapIndicator pulseInd{PanelImages::lamp()};
    BitmapIndicator sawInd{PanelImages::lamp()};
    BitmapIndicator chorus1Ind{PanelImages::lamp()};
    BitmapIndicator chorus2Ind{PanelImages::lamp()};
    BitmapIndicator changedInd{PanelImages::lamp()};
    BitmapIndicator saveAllInd{PanelImages::lamp()};
    BitmapIndicator patchReceivedInd{PanelImages::lamp()};
    juce::Label midiInLabel;
    std::unique_ptr<PatchModel> receivedPatch;
    bool saveAllMode = false;

    void addSlider (BitmapSlider& control, int x, int y, int w, int h);
    void addBtn (BitmapButton& control, int x, int y, int w, int h);
    void addInd (BitmapIndicator& control, int x, int y, int w, int h);
    void addSwitch (BitmapSwitch& control, int x, int y, int w, int h);

private:
    struct FaderRow;
    struct ButtonRow;
    struct SwitchRow;
    struct LampRow;
    static const FaderRow faderRows[];
    static const ButtonRow buttonRows[];
    static const SwitchRow switchRows[];
    static const LampRow lampRows[];

    // Construction steps, each the share of one area of the panel.
    void placeBankList();
    void placeParameterControls();
    void placeOtherControls();
    void installPerformanceHandlers();
    void installParameterHandlers();
    void styleDisplays();
    void installBankHandlers();
    void installPatchActionHandlers();
    void installIncomingHandlers();

    void faderMoved (const FaderRow& row, int value);
    void buttonClicked (const ButtonRow& row);
    void switchMoved (const SwitchRow& row, int position);
    /** Calls the active patch's change hook, sends it and refreshes the lamps and buttons. */
    void patchEdited();
    void sendActivePatch();
    /** The Idle or Pending look of the MIDI IN section, kept in step with receivedPatch. */
    void showMidiInState (bool pending);

    /** The background and lettering composed once per magnification, so a
        repaint is a copy rather than two resampling draws. */
    juce::Image composedBackground;
    float composedScale = 0.0f;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};

/** A PatchModel name as the panel shows it. */
juce::String toDisplayString (const std::string& bytes);
/** Text typed in the panel as a name for the model. */
std::string toModelString (const juce::String& text);
