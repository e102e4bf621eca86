// The edit history, the changed lamp, and SAVE, UNDO, CMP and EVOLVE.

#include "ui/MainComponent.h"

void MainComponent::installPatchActionHandlers()
{
    saveBtn.onClick = [this] { savePatchToLibrary(); };
    undoBtn.onClick = [this] { undo(); };
    // CMP is momentary: the stored patch sounds only while the button is held.
    cmpBtn.onPress = [this]
    {
        loadPatchFromModel (storedPatch);
        midiEngine.sendPatch (storedPatch, 0);
    };
    cmpBtn.onRelease = [this]
    {
        loadPatchFromModel (patch);
        sendActivePatch();
    };
    cmpBtn.onClick = nullptr;
    evolveBtn.onClick = [this] { evolve(); };
}

void MainComponent::pushUndo()
{
    undoStack.push_back (patch);
    if (undoStack.size() > maxUndoSteps)
        undoStack.erase (undoStack.begin());
}

void MainComponent::checkPatchChanged()
{
    const bool differs = !patch.sameSound (storedPatch);
    changedInd.setOn (differs);
    saveBtn.setEnabledState (true);
    cmpBtn.setEnabledState (differs);
    undoBtn.setEnabledState (!undoStack.empty());
}

void MainComponent::savePatchToLibrary()
{
    auto& patches = library.patches;
    const auto existing =
        std::find_if (patches.begin(), patches.end(), [this] (const PatchModel& p) { return p.name == patch.name; });
    if (existing != patches.end())
    {
        existing->data = patch.data;
    }
    else
    {
        library.addPatch (patch);
        refreshBankList();
    }

    storedPatch = patch;
    undoStack.clear();
    checkPatchChanged();
    libraryModified = true;
    updateWindowTitle();
}

void MainComponent::undo()
{
    if (undoStack.empty())
        return;
    patch.data = undoStack.back().data;
    undoStack.pop_back();
    loadPatchToSliders();
    sendActivePatch();
}

void MainComponent::evolve()
{
    pushUndo();
    patch.randomize();
    loadPatchToSliders();
    sendActivePatch();
}
