#pragma once

#include "control/PanelControls.h"
#include "patch/LibraryModel.h"
#include "patch/PatchModel.h"
#include "session/EditHistory.h"
#include "session/SynthesizerCopy.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

/** Where a session's sound goes: the synthesizer, or nowhere at all. */
class PatchOutput
{
public:
    virtual ~PatchOutput() = default;
    /** Sends the patch as one whole dump; never waits for the link. */
    virtual void sendPatch (const PatchModel& patch) = 0;
    /** Sends one byte of the patch as a parameter change (0 to 15 the faders,
        16 the DCO flags, 17 the switches); never waits for the link. */
    virtual void sendParameter (int byteIndex, uint8_t value) = 0;
};

/** What one step of a session operation changed, so a view updates only that. */
enum class SessionChange
{
    patchEdited,         // the panel edited the active patch: its controls already show the edit
    controlMoved,        // a controller or the host moved one control (see lastMovedControl)
    patchReloaded,       // the active patch's sound changed from elsewhere (UNDO, EVOLVE, the synthesizer)
    activePatchReplaced, // another patch became the active one: name, sound, stored version and history
    activePatchRenamed,  // the active patch kept its sound under a new name
    storedPatchChanged,  // SAVE made the active patch its own stored version
    comparisonChanged,   // CMP pressed or released: the stored or the active patch sounds
    libraryEdited,       // patches added, removed, renamed or stored
    libraryReplaced,     // a whole new library (New, Load)
    fileStateChanged,    // the current file or the modified mark
    receivedChanged,     // the patch waiting in MIDI IN, or the name shown there
    saveAllChanged,
};

/** Everything the editor works on, without a window: the active patch and its
    stored version, the edit history, the library with its file and modified
    mark, the patch received from the synthesizer and the options that decide
    what received messages do. Each user intent is one operation; each rule is
    kept here once. Sound goes out through a PatchOutput and every change is
    told through onChange. Use it on one thread. */
class EditSession
{
public:
    /** How a merge treats an incoming patch whose name the library already has. */
    using MergeChoice = LibraryModel::ClashRule;

    static constexpr const char* newLibraryName = "New Library";
    /** The longest name a user may type, in bytes: with any " (n)" the
        unique-name rule adds, it still fits in a library file. */
    static constexpr size_t maxTypedNameBytes = 4000;
    static constexpr const char* manualPatchName = "Manual";

    using Clock = std::chrono::steady_clock;
    /** Moves of one control by a controller that come closer together than
        this make one UNDO step, as one drag of a fader does. */
    static constexpr Clock::duration controlRunGap = std::chrono::milliseconds (500);

    explicit EditSession (PatchOutput& output);

    /** Told after each change, in the order the changes happen. */
    std::function<void (SessionChange)> onChange;

    // What is there
    const PatchModel& activePatch() const { return active; }
    const PatchModel& storedPatch() const { return stored; }
    /** The patch the panel shows: the stored version while CMP is held. */
    const PatchModel& shownPatch() const { return comparing ? stored : active; }
    const LibraryModel& library() const { return patches; }
    const EditHistory& history() const { return undoSteps; }
    /** The library's file; empty while it has none. */
    const std::string& currentFile() const { return file; }
    bool isModified() const { return modified; }
    /** The received patch waiting for SAVE or IGNORE, or nullptr. */
    const PatchModel* pendingPatch() const { return pending ? &*pending : nullptr; }
    /** The name MIDI IN shows: the waiting patch's, or the one SAVE ALL last
        stored; empty when there is nothing to show. */
    const std::string& receivedName() const { return shownReceivedName; }
    bool isSaveAllOn() const { return saveAll; }
    bool syncsManualMode() const { return syncManual; }
    bool syncsControlChanges() const { return syncControlChanges; }
    bool isComparing() const { return comparing; }

    // Rules
    /** The active patch sounds different from its stored version (the changed lamp, CMP). */
    bool differsFromStored() const { return !active.sameSound (stored); }
    bool isRow (int row) const;
    /** ERASE may remove a row that holds a patch other than the active one. */
    bool canErase (int row) const;

    // The panel's edits of the active patch
    /** A fader gesture starts: the state before it becomes one UNDO step. */
    void beginFaderGesture();
    /** A level fader moved: byte 0 to 15, the value limited to 0 to 127. */
    void setLevel (int byteIndex, int value);
    /** The HPF fader moved to a position 0 to 3. */
    void setHpfPosition (int position);
    /** A DCO button: its change of the flags byte, as one UNDO step. */
    void changeDcoFlags (uint8_t (*change) (uint8_t dcoFlags));
    /** A switch moved: one bit of the switches byte, as one UNDO step. */
    void setSwitchBit (uint8_t bit, bool set);

    // What the synthesizer holds
    /** Its sound as far as the session knows: what the session sent, but for
        the bytes heard from the synthesizer since, whatever the sync options. */
    std::array<uint8_t, PatchBits::numBytes> synthesizerSound() const;
    /** Whether the session knows the byte: at first it does (it holds the
        sound it sends), until forgetSynthesizerSound(); then once the byte is
        sent or heard. */
    bool knowsSynthesizerByte (int byteIndex) const { return synthesizer.knows (byteIndex); }
    /** The synthesizer plays a sound set before the session (a command that
        starts without sending): every byte is unknown until sent or heard. */
    void forgetSynthesizerSound() { synthesizer.forget(); }
    /** Whether moveControl can move the control now: one that shares its byte
        with other controls needs that byte known, or it would send the
        session's guess of their bits. */
    bool canMoveControl (PanelControl control) const;

    // Edits from outside the panel: a controller, a host's automation
    /** Puts a control at a position (see PanelControls), keeping the other
        bits of its byte as the synthesizer holds them; the byte goes out as
        one parameter change, not a dump, and the active patch takes it.
        Nothing happens when neither would change, or while canMoveControl()
        says no. Returns whether it changed. */
    bool moveControl (PanelControl control, int position, Clock::time_point now);
    /** As moveControl, for a move the synthesizer has heard already (a host's
        automation that went out with its audio): the patch, the panel and UNDO
        follow it, and nothing is sent. */
    bool followControl (PanelControl control, int position, Clock::time_point now);
    /** The control moveControl last moved, for STATUS. */
    PanelControl lastMovedControl() const { return lastMoved; }

    // Whole sounds tried on the active patch (a morph, a bred candidate)
    /** One move of a gesture that sets every byte at once (a morph drag,
        begun with beginFaderGesture): sent as one dump; nothing happens when
        the sound is the same. The name and the stored version stay. */
    void setSound (const std::array<uint8_t, PatchBits::numBytes>& data);
    /** Another sound heard on the active patch as one UNDO step (a bred
        candidate clicked), sent whole even when it is the sound already. */
    void trySound (const std::array<uint8_t, PatchBits::numBytes>& data);

    // Patch actions
    /** SAVE: stores the active patch into the library entry of its name, or adds it. */
    void saveToLibrary();
    void undo();
    void evolve();
    /** CMP held (the stored version sounds) or released (the active patch sounds again). */
    void setComparing (bool held);
    /** Sends the patch the panel shows once more, whole (a plugin's Send, a project's recall). */
    void resend();

    // Bank actions
    /** Makes a copy of a row's patch active and sends it; false when there is no such row. */
    bool activateRow (int row);
    void newPatch();
    void duplicateRow (int row);
    /** Adds a sound made here (a bred candidate kept) under its name made
        unique; returns the name it got. */
    std::string addPatch (PatchModel patch);
    /** Removes a row (a library left empty gets one Init patch); returns the
        row to select next, or -1 when there was no such row. */
    int eraseRow (int row);
    /** ERASE of several rows at once: each that canErase is removed (a
        library left empty gets one Init patch). Returns how many were removed
        and, through nextRow, the row to select next (-1 when none was). */
    size_t eraseRows (std::vector<int> rows, int& nextRow);
    /** Renames the patch chosen as row `row` named `oldName`: if the library
        changed meanwhile, the first patch still named `oldName`, or nothing.
        The typed name is limited to maxTypedNameBytes and made unique; the
        active patch follows its entry. */
    void renamePatch (int row, const std::string& oldName, const std::string& typedName);

    // What the synthesizer sends
    void patchReceived (const PatchModel& received);
    void manualPatchReceived (const PatchModel& received);
    /** True when the change edited the active patch. */
    bool paramReceived (int paramNumber, int value);
    /** SAVE in MIDI IN: the waiting patch goes into the library under this
        name, limited to maxTypedNameBytes and made unique. */
    void saveReceived (const std::string& name);
    void ignoreReceived();
    void setSaveAll (bool on);
    void setSyncManual (bool on) { syncManual = on; }
    void setSyncControlChanges (bool on) { syncControlChanges = on; }

    /** Brings back an active patch and its stored version as they were kept
        (a project reopened): the edit history starts afresh and nothing is sent. */
    void restoreActivePatch (const PatchModel& activeToRestore, const PatchModel& storedToRestore);

    // The library and its file
    /** A library with one Init patch, no file and no mark; its patch becomes active. */
    void newLibrary();
    /** What opening a library does to the active patch. */
    enum class FirstPatch
    {
        becomesActive, // made active and sent
        leftAlone      // the active patch stays, nothing is sent (a project's library reopened)
    };
    /** A library read from `path` replaces this one; its first patch becomes
        active (unless told otherwise). Values a patch cannot hold are
        corrected (the library is then marked modified); returns how many were. */
    int openLibrary (LibraryModel loaded, const std::string& path, FirstPatch first = FirstPatch::becomesActive);
    /** A library saved aside with unsaved changes when the last session
        ended replaces this one, under its own file (`path`, empty for one
        that had none) and marked modified: its changes are still unsaved. */
    int recoverLibrary (LibraryModel recovered, const std::string& path);
    /** The library was written to `path`, which is now its file. */
    void librarySaved (const std::string& path);
    /** Adds patches under the library's unique-name rule; the library is
        marked modified. Returns how many values were corrected on the way in. */
    int importPatches (std::vector<PatchModel> imported);
    /** How many of another library's patches carry a name this one has. */
    size_t countClashes (const LibraryModel& other) const;
    /** Adds another library's patches; a name clash goes by `choice`. The
        library is marked modified when anything changed. Returns how many
        values were corrected on the way in. */
    int merge (const LibraryModel& other, MergeChoice choice);

    EditSession (const EditSession&) = delete;
    EditSession& operator= (const EditSession&) = delete;

private:
    friend struct EditSessionTestAccess;

    void announce (SessionChange change);
    bool applyControl (PanelControl control, int position, Clock::time_point now, bool send);
    /** The state before an edit becomes an UNDO step; a controller's run of moves ends. */
    void pushUndoStep();
    void clearHistory();
    /** A typed name cut to maxTypedNameBytes, never inside a UTF-8 sequence. */
    static std::string limitTypedName (const std::string& name);
    /** The one way a dump leaves: what the synthesizer holds follows. */
    void sendSound (const PatchModel& sound);
    /** The change hook, the dump, then the news: every panel edit ends here. */
    void finishPanelEdit();
    void makeActive (const PatchModel& source);
    /** After an edit of the library's patches: the list and the modified mark. */
    void libraryEdited();
    void offerReceived (const PatchModel& received, const std::string& offeredName);
    /** Brings values a patch cannot hold to the nearest it can; returns how many changed. */
    static int correctIncoming (std::vector<PatchModel>& incoming);

    PatchOutput& output;
    PatchModel active;
    PatchModel stored;
    EditHistory undoSteps;
    LibraryModel patches;
    std::string file;
    bool modified = false;
    std::optional<PatchModel> pending;
    std::string shownReceivedName;
    bool saveAll = false;
    bool syncManual = false;
    bool syncControlChanges = false;
    bool comparing = false;

    /** A controller's moves of one control so far, which further close moves join. */
    struct ControlRun
    {
        PanelControl control;
        Clock::time_point lastMove;
    };
    std::optional<ControlRun> controlRun;
    SynthesizerCopy synthesizer;
    PanelControl lastMoved = PanelControl::lfoRate;
};
