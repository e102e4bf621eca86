// The BANK list and its buttons EDIT, NEW, NAME, X2 and ERASE.

#include "ui/MainComponent.h"

namespace
{
bool isRowOf (const LibraryModel& library, int row)
{
    return row >= 0 && static_cast<size_t> (row) < library.patches.size();
}
} // namespace

void MainComponent::placeBankList()
{
    addAndMakeVisible (libraryList);
    libraryList.setBounds (8, 105, 172, 248);
    libraryList.listBox.setBounds (libraryList.getLocalBounds());
    libraryList.showRow (0);
}

void MainComponent::installBankHandlers()
{
    libraryList.onSelectionChanged = [this] (int) { applyEraseRule (libraryList.selectedRow()); };
    libraryList.onRowDoubleClicked = [this] (int row) { activateRow (row); };
    editBtn.onClick = [this] { activateRow (libraryList.selectedRow()); };
    newBtn.onClick = [this] { newPatch(); };
    nameBtn.onClick = [this] { showRenameDialog(); };
    x2Btn.onClick = [this] { duplicatePatch(); };
    eraseBtn.onClick = [this] { erasePatch(); };
}

void MainComponent::refreshBankList()
{
    libraryList.refresh();
}

void MainComponent::libraryChanged()
{
    refreshBankList();
    libraryModified = true;
    updateWindowTitle();
}

void MainComponent::applyEraseRule (int row)
{
    const bool rowIsActivePatch =
        isRowOf (library, row) && library.patches[static_cast<size_t> (row)].name == patch.name;
    eraseBtn.setEnabledState (!rowIsActivePatch);
}

void MainComponent::makeActivePatch (const PatchModel& source)
{
    patch = source;
    storedPatch = patch;
    undoStack.clear();
    activePatchLabel.setText (toDisplayString (patch.name), juce::dontSendNotification);
    loadPatchToSliders();
    sendActivePatch();
}

void MainComponent::activateRow (int row)
{
    if (!isRowOf (library, row))
        return;
    makeActivePatch (library.patches[static_cast<size_t> (row)]);
    eraseBtn.setEnabledState (false);
    showControl ("Activated", patch.name.c_str());
}

void MainComponent::newPatch()
{
    PatchModel fresh;
    fresh.init();
    fresh.name = library.uniqueName ("Init");
    library.addPatch (fresh);
    libraryChanged();
}

void MainComponent::duplicatePatch()
{
    const int row = libraryList.selectedRow();
    if (!isRowOf (library, row))
        return;
    PatchModel copy = library.patches[static_cast<size_t> (row)];
    copy.name = library.uniqueName (copy.name);
    library.addPatch (copy);
    libraryChanged();
}

void MainComponent::erasePatch()
{
    const int row = libraryList.selectedRow();
    if (!isRowOf (library, row))
        return;
    library.patches.erase (library.patches.begin() + row);
    if (library.onChange)
        library.onChange();
    if (library.patches.empty())
    {
        PatchModel fresh;
        fresh.init();
        fresh.name = "Init";
        library.patches.push_back (fresh);
    }
    libraryChanged();

    const int count = static_cast<int> (library.patches.size());
    const int newRow = row < count ? row : count - 1;
    libraryList.showRow (newRow);
    applyEraseRule (newRow);
}

void MainComponent::showRenameDialog()
{
    const int row = libraryList.selectedRow();
    if (!isRowOf (library, row))
        return;
    const std::string oldName = library.patches[static_cast<size_t> (row)].name;

    auto dialog = std::make_shared<juce::AlertWindow> ("Rename Patch", "", juce::MessageBoxIconType::NoIcon, nullptr);
    dialog->addTextEditor ("name", toDisplayString (oldName), "Name:", false);
    dialog->addButton ("OK", 1);
    dialog->addButton ("Cancel", 0);
    dialog->enterModalState (true,
                             juce::ModalCallbackFunction::create (
                                 [this, dialog, row, oldName] (int result)
                                 {
                                     if (result == 1)
                                         renamePatch (
                                             row, oldName, toModelString (dialog->getTextEditorContents ("name")));
                                 }),
                             false);
}

void MainComponent::renamePatch (int row, const std::string& oldName, const std::string& newName)
{
    if (newName.empty() || newName == oldName)
        return;

    // The library may have changed while the dialog was open: rename the patch
    // the user chose, not whatever now sits in its old row.
    auto& patches = library.patches;
    const auto namedOld = [&oldName] (const PatchModel& p) { return p.name == oldName; };
    if (!isRowOf (library, row) || !namedOld (patches[static_cast<size_t> (row)]))
    {
        const auto found = std::find_if (patches.begin(), patches.end(), namedOld);
        if (found == patches.end())
            return;
        row = static_cast<int> (found - patches.begin());
    }

    PatchModel renamed = patches[static_cast<size_t> (row)];
    patches.erase (patches.begin() + row);
    if (library.onChange)
        library.onChange();
    const std::string uniqueName = library.uniqueName (newName);
    renamed.name = uniqueName;
    library.addPatch (renamed);
    libraryChanged();

    if (patch.name == oldName)
    {
        patch.name = uniqueName;
        storedPatch.name = uniqueName;
        activePatchLabel.setText (toDisplayString (uniqueName), juce::dontSendNotification);
    }
}
