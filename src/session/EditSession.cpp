#include "session/EditSession.h"

#include "files/QorvFileIO.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

using namespace PatchBits;

static_assert (EditSession::maxTypedNameBytes + 32 <= QorvFileIO::maxStringLength,
               "a typed name with a \" (n)\" suffix must still fit in a library file");

std::string EditSession::limitTypedName (const std::string& name)
{
    if (name.size() <= maxTypedNameBytes)
        return name;
    size_t cut = maxTypedNameBytes;
    while (cut > 0 && (static_cast<uint8_t> (name[cut]) & 0xC0) == 0x80)
        --cut; // back to the first byte of the sequence that would be split
    return name.substr (0, cut);
}

EditSession::EditSession (PatchOutput& patchOutput) : output (patchOutput)
{
    if (!patches.patches.empty())
    {
        active = patches.patches.front();
        stored = active;
    }
}

void EditSession::announce (SessionChange change)
{
    if (onChange)
        onChange (change);
}

void EditSession::pushUndoStep()
{
    controlRun.reset();
    undoSteps.push (active);
}

void EditSession::clearHistory()
{
    controlRun.reset();
    undoSteps.clear();
}

bool EditSession::isRow (int row) const
{
    return row >= 0 && static_cast<size_t> (row) < patches.patches.size();
}

bool EditSession::canErase (int row) const
{
    return isRow (row) && patches.patches[static_cast<size_t> (row)].name != active.name;
}

//==============================================================================
// The panel's edits of the active patch

void EditSession::sendSound (const PatchModel& sound)
{
    output.sendPatch (sound);
    synthesizer.sent();
}

std::array<uint8_t, PatchBits::numBytes> EditSession::synthesizerSound() const
{
    return synthesizer.sound (shownPatch().data);
}

bool EditSession::canMoveControl (PanelControl control) const
{
    return !PanelControls::sharesItsByte (control) || synthesizer.knows (PanelControls::byteIndex (control));
}

void EditSession::finishPanelEdit()
{
    if (active.onChange)
        active.onChange();
    sendSound (active);
    announce (SessionChange::patchEdited);
}

void EditSession::beginFaderGesture()
{
    pushUndoStep();
}

void EditSession::setLevel (int byteIndex, int value)
{
    if (byteIndex < 0 || byteIndex >= numLevelBytes)
        return;
    active.data[static_cast<size_t> (byteIndex)] = static_cast<uint8_t> (std::clamp (value, 0, 127));
    finishPanelEdit();
}

void EditSession::setHpfPosition (int position)
{
    active.data[switchesIndex] = withHpfPosition (active.data[switchesIndex], position);
    finishPanelEdit();
}

void EditSession::changeDcoFlags (uint8_t (*change) (uint8_t))
{
    pushUndoStep();
    active.data[dcoFlagsIndex] = change (active.data[dcoFlagsIndex]);
    finishPanelEdit();
}

void EditSession::setSwitchBit (uint8_t bit, bool set)
{
    pushUndoStep();
    active.data[switchesIndex] = withBit (active.data[switchesIndex], bit, set);
    finishPanelEdit();
}

//==============================================================================
// Edits from outside the panel

bool EditSession::moveControl (PanelControl control, int position, Clock::time_point now)
{
    return applyControl (control, position, now, true);
}

bool EditSession::followControl (PanelControl control, int position, Clock::time_point now)
{
    return applyControl (control, position, now, false);
}

bool EditSession::applyControl (PanelControl control, int position, Clock::time_point now, bool send)
{
    if (send && !canMoveControl (control))
        return false;
    // What goes out keeps the synthesizer's own bits of the byte; a move it heard already keeps the panel's.
    const auto base = send ? synthesizerSound() : active.data;
    const auto change = PanelControls::apply (control, position, base);
    const auto index = change ? static_cast<size_t> (change->byteIndex) : 0;
    if (!change || (active.data[index] == change->value && base[index] == change->value))
        return false;

    const bool continuesRun =
        controlRun && controlRun->control == control && now - controlRun->lastMove < controlRunGap;
    if (!continuesRun)
        pushUndoStep();
    controlRun = ControlRun{control, now};
    lastMoved = control;

    active.data[index] = change->value;
    if (active.onChange)
        active.onChange();
    if (send)
    {
        output.sendParameter (change->byteIndex, change->value);
        synthesizer.sent (change->byteIndex);
    }
    announce (SessionChange::controlMoved);
    return true;
}

//==============================================================================
// Whole sounds tried on the active patch

void EditSession::setSound (const std::array<uint8_t, numBytes>& data)
{
    if (active.data == data)
        return;
    controlRun.reset();
    active.data = data;
    if (active.onChange)
        active.onChange();
    output.sendPatch (active);
    announce (SessionChange::patchReloaded);
}

void EditSession::trySound (const std::array<uint8_t, numBytes>& data)
{
    if (active.data != data)
    {
        pushUndoStep();
        active.data = data;
        if (active.onChange)
            active.onChange();
        announce (SessionChange::patchReloaded);
    }
    output.sendPatch (active);
}

//==============================================================================
// Patch actions

void EditSession::saveToLibrary()
{
    auto& list = patches.patches;
    const auto existing =
        std::find_if (list.begin(), list.end(), [this] (const PatchModel& p) { return p.name == active.name; });
    if (existing != list.end())
    {
        existing->data = active.data;
    }
    else
    {
        patches.addPatch (active);
        announce (SessionChange::libraryEdited);
    }

    stored = active;
    clearHistory();
    announce (SessionChange::storedPatchChanged);
    modified = true;
    announce (SessionChange::fileStateChanged);
}

void EditSession::undo()
{
    if (!undoSteps.canUndo())
        return;
    controlRun.reset();
    active.data = undoSteps.pop().data;
    announce (SessionChange::patchReloaded);
    sendSound (active);
}

void EditSession::evolve()
{
    pushUndoStep();
    active.randomize();
    announce (SessionChange::patchReloaded);
    sendSound (active);
}

void EditSession::resend()
{
    sendSound (shownPatch());
}

void EditSession::setComparing (bool held)
{
    comparing = held;
    announce (SessionChange::comparisonChanged);
    sendSound (shownPatch());
}

//==============================================================================
// Bank actions

void EditSession::makeActive (const PatchModel& source)
{
    active = source;
    stored = active;
    clearHistory();
    announce (SessionChange::activePatchReplaced);
    sendSound (active);
}

bool EditSession::activateRow (int row)
{
    if (!isRow (row))
        return false;
    makeActive (patches.patches[static_cast<size_t> (row)]);
    return true;
}

void EditSession::libraryEdited()
{
    announce (SessionChange::libraryEdited);
    modified = true;
    announce (SessionChange::fileStateChanged);
}

void EditSession::newPatch()
{
    PatchModel fresh;
    fresh.init();
    fresh.name = patches.uniqueName ("Init");
    patches.addPatch (fresh);
    libraryEdited();
}

void EditSession::duplicateRow (int row)
{
    if (!isRow (row))
        return;
    PatchModel copy = patches.patches[static_cast<size_t> (row)];
    copy.name = patches.uniqueName (copy.name);
    patches.addPatch (copy);
    libraryEdited();
}

std::string EditSession::addPatch (PatchModel patch)
{
    patch.correctValues();
    patch.name = patches.uniqueName (limitTypedName (patch.name));
    const std::string name = patch.name;
    patches.addPatch (std::move (patch));
    libraryEdited();
    return name;
}

size_t EditSession::eraseRows (std::vector<int> rows, int& nextRow)
{
    nextRow = -1;
    std::sort (rows.begin(), rows.end());
    rows.erase (std::unique (rows.begin(), rows.end()), rows.end());
    rows.erase (std::remove_if (rows.begin(), rows.end(), [this] (int row) { return !canErase (row); }), rows.end());
    if (rows.empty())
        return 0;

    // Kept rows close up in their order, as erasing them one by one would leave them.
    auto& list = patches.patches;
    std::vector<PatchModel> kept;
    kept.reserve (list.size() - rows.size());
    auto erased = rows.begin();
    for (size_t row = 0; row < list.size(); ++row)
    {
        if (erased != rows.end() && static_cast<size_t> (*erased) == row)
            ++erased;
        else
            kept.push_back (std::move (list[row]));
    }
    if (kept.empty())
    {
        PatchModel fresh;
        fresh.name = "Init";
        kept.push_back (fresh);
    }
    patches.replacePatches (std::move (kept));
    libraryEdited();

    const int count = static_cast<int> (list.size());
    const int first = rows.front();
    nextRow = first < count ? first : count - 1;
    return rows.size();
}

int EditSession::eraseRow (int row)
{
    if (!isRow (row))
        return -1;
    patches.erasePatch (static_cast<size_t> (row));
    if (patches.patches.empty())
    {
        PatchModel fresh;
        fresh.init();
        fresh.name = "Init";
        patches.replacePatches ({fresh});
    }
    libraryEdited();

    const int count = static_cast<int> (patches.patches.size());
    return row < count ? row : count - 1;
}

void EditSession::renamePatch (int row, const std::string& oldName, const std::string& typedName)
{
    const std::string newName = limitTypedName (typedName);
    if (newName.empty() || newName == oldName)
        return;

    // The library may have changed while the name was being typed: rename the
    // patch the user chose, not whatever now sits in its old row.
    auto& list = patches.patches;
    const auto namedOld = [&oldName] (const PatchModel& p) { return p.name == oldName; };
    if (!isRow (row) || !namedOld (list[static_cast<size_t> (row)]))
    {
        const auto found = std::find_if (list.begin(), list.end(), namedOld);
        if (found == list.end())
            return;
        row = static_cast<int> (found - list.begin());
    }

    PatchModel renamed = list[static_cast<size_t> (row)];
    patches.erasePatch (static_cast<size_t> (row));
    const std::string uniqueName = patches.uniqueName (newName);
    renamed.name = uniqueName;
    patches.addPatch (renamed);
    libraryEdited();

    if (active.name == oldName)
    {
        active.name = uniqueName;
        stored.name = uniqueName;
        announce (SessionChange::activePatchRenamed);
    }
}

//==============================================================================
// What the synthesizer sends

void EditSession::offerReceived (const PatchModel& received, const std::string& offeredName)
{
    if (saveAll)
    {
        // A bank sent twice, or the patch the synthesizer leaves on every
        // patch change, is not stored again.
        PatchModel offered = received;
        offered.name = offeredName;
        if (patches.holdsIdentical (offered))
        {
            if (!pending)
            {
                shownReceivedName = offeredName;
                announce (SessionChange::receivedChanged);
            }
            return;
        }

        PatchModel copy = received;
        const std::string uniqueName = patches.uniqueName (offeredName);
        copy.name = uniqueName;
        patches.addPatch (copy);
        libraryEdited();
        // A patch waiting in MIDI IN keeps its name on show until it is saved or ignored.
        if (!pending)
        {
            shownReceivedName = uniqueName;
            announce (SessionChange::receivedChanged);
        }
        return;
    }

    pending = received;
    pending->name = offeredName;
    shownReceivedName = offeredName;
    announce (SessionChange::receivedChanged);
}

void EditSession::patchReceived (const PatchModel& received)
{
    synthesizer.heard (received.data);
    offerReceived (received, received.name);
}

void EditSession::manualPatchReceived (const PatchModel& received)
{
    synthesizer.heard (received.data);
    const std::string name = received.name.empty() ? manualPatchName : received.name;
    if (!syncManual)
    {
        offerReceived (received, name);
        return;
    }

    // The synthesizer already plays this sound: nothing is sent back.
    active = received;
    active.name = manualPatchName;
    stored = active;
    clearHistory();
    announce (SessionChange::activePatchReplaced);
}

bool EditSession::paramReceived (int paramNumber, int value)
{
    if (paramNumber > switchesIndex || paramNumber < 0)
        return false;
    const uint8_t corrected = correctedValue (paramNumber, static_cast<uint8_t> (value));
    synthesizer.heard (paramNumber, corrected);
    if (!syncControlChanges)
        return false;
    pushUndoStep();
    active.data[static_cast<size_t> (paramNumber)] = corrected;
    announce (SessionChange::patchReloaded);
    return true;
}

void EditSession::saveReceived (const std::string& name)
{
    if (!pending)
        return;
    pending->name = limitTypedName (name);
    patches.addPatch (*pending);
    libraryEdited();
    ignoreReceived();
}

void EditSession::ignoreReceived()
{
    pending.reset();
    shownReceivedName.clear();
    announce (SessionChange::receivedChanged);
}

void EditSession::setSaveAll (bool on)
{
    saveAll = on;
    announce (SessionChange::saveAllChanged);
}

void EditSession::restoreActivePatch (const PatchModel& activeToRestore, const PatchModel& storedToRestore)
{
    active = activeToRestore;
    stored = storedToRestore;
    stored.name = active.name;
    clearHistory();
    announce (SessionChange::activePatchReplaced);
}

//==============================================================================
// The library and its file

int EditSession::correctIncoming (std::vector<PatchModel>& incoming)
{
    int corrected = 0;
    for (auto& patch : incoming)
        corrected += patch.correctValues();
    return corrected;
}

void EditSession::newLibrary()
{
    patches.name = newLibraryName;
    patches.replacePatches ({PatchModel()});
    announce (SessionChange::libraryReplaced);

    file.clear();
    modified = false;
    announce (SessionChange::fileStateChanged);

    makeActive (patches.patches.front());
}

int EditSession::openLibrary (LibraryModel loaded, const std::string& path, FirstPatch first)
{
    const int corrected = correctIncoming (loaded.patches);
    // Name and list only: the library object and its hook stay this session's.
    patches.name = std::move (loaded.name);
    patches.replacePatches (std::move (loaded.patches));
    announce (SessionChange::libraryReplaced);

    file = path;
    modified = corrected > 0; // what is shown is no longer what the file holds
    announce (SessionChange::fileStateChanged);

    if (first == FirstPatch::becomesActive && !patches.patches.empty())
        makeActive (patches.patches.front());
    return corrected;
}

int EditSession::recoverLibrary (LibraryModel recovered, const std::string& path)
{
    const int corrected = openLibrary (std::move (recovered), path);
    modified = true;
    announce (SessionChange::fileStateChanged);
    return corrected;
}

void EditSession::librarySaved (const std::string& path)
{
    file = path;
    modified = false;
    announce (SessionChange::fileStateChanged);
}

int EditSession::importPatches (std::vector<PatchModel> imported)
{
    if (imported.empty())
        return 0;
    const int corrected = correctIncoming (imported);
    patches.addPatches (std::move (imported));
    libraryEdited();
    return corrected;
}

size_t EditSession::countClashes (const LibraryModel& other) const
{
    std::unordered_set<std::string> namesHere;
    for (const auto& existing : patches.patches)
        namesHere.insert (existing.name);
    return static_cast<size_t> (std::count_if (other.patches.begin(),
                                               other.patches.end(),
                                               [&] (const PatchModel& incoming)
                                               { return namesHere.count (incoming.name) > 0; }));
}

int EditSession::merge (const LibraryModel& other, MergeChoice choice)
{
    std::vector<PatchModel> incoming = other.patches;
    const int corrected = correctIncoming (incoming);
    const auto summary = patches.mergePatches (std::move (incoming), choice);
    if (summary.added > 0 || summary.overwritten > 0)
        libraryEdited();
    return corrected;
}
