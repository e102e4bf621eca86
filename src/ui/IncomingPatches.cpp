// The MIDI IN section: patches received from the synthesizer wait here until
// SAVE or IGNORE, or go straight into the library while SAVE ALL is on.

#include "ui/MainComponent.h"

namespace
{
const juce::String midiInIdleText ("-------");
}

void MainComponent::installIncomingHandlers()
{
    midiEngine.onPatchReceived = [this] (const PatchModel& p) { patchReceived (p); };
    midiEngine.onParamReceived = [this] (int number, int value) { paramReceived (number, value); };
    midiEngine.onManualReceived = [this] (const PatchModel& p) { manualPatchReceived (p); };
    midiSaveBtn.onClick = [this] { savePendingPatch(); };
    midiIgnoreBtn.onClick = [this] { ignorePendingPatch(); };
    saveAllBtn.onClick = [this] { toggleSaveAll(); };
}

void MainComponent::showMidiInState (bool pending)
{
    patchReceivedInd.setOn (pending);
    midiSaveBtn.setEnabledState (pending);
    midiIgnoreBtn.setEnabledState (pending);
    midiInLabel.setEditable (pending, false, false);
}

void MainComponent::offerReceivedPatch (const PatchModel& received, const std::string& offeredName)
{
    if (saveAllMode)
    {
        PatchModel copy = received;
        const std::string uniqueName = library.uniqueName (offeredName);
        copy.name = uniqueName;
        library.addPatch (copy);
        libraryChanged();
        midiInLabel.setText (toDisplayString (uniqueName), juce::dontSendNotification);
        return;
    }

    receivedPatch = std::make_unique<PatchModel> (received);
    receivedPatch->name = offeredName;
    midiInLabel.setText (toDisplayString (offeredName), juce::dontSendNotification);
    showMidiInState (true);
}

void MainComponent::patchReceived (const PatchModel& received)
{
    offerReceivedPatch (received, received.name);
}

void MainComponent::manualPatchReceived (const PatchModel& received)
{
    const std::string name = received.name.empty() ? "Manual" : received.name;
    if (!syncManual)
    {
        offerReceivedPatch (received, name);
        return;
    }

    // The synthesizer already plays this sound: nothing is sent back.
    patch = received;
    patch.name = "Manual";
    storedPatch = patch;
    undoStack.clear();
    activePatchLabel.setText ("Manual", juce::dontSendNotification);
    loadPatchToSliders();
}

void MainComponent::paramReceived (int paramNumber, int value)
{
    if (paramNumber > PatchBits::switchesIndex || paramNumber < 0 || !syncCC)
        return;
    pushUndo();
    patch.data[static_cast<size_t> (paramNumber)] = static_cast<uint8_t> (value);
    loadPatchToSliders();
    if (paramNumber < PatchBits::numLevelBytes)
        showControl (paramNames[paramNumber], value);
}

void MainComponent::savePendingPatch()
{
    if (receivedPatch == nullptr)
        return;
    receivedPatch->name = toModelString (midiInLabel.getText (false));
    library.addPatch (*receivedPatch);
    libraryChanged();
    ignorePendingPatch();
}

void MainComponent::ignorePendingPatch()
{
    receivedPatch.reset();
    midiInLabel.setText (midiInIdleText, juce::dontSendNotification);
    showMidiInState (false);
}

void MainComponent::toggleSaveAll()
{
    saveAllMode = !saveAllMode;
    saveAllInd.setOn (saveAllMode);
}
