#include "ui/BankSection.h"

#include "ui/PanelText.h"

#include <memory>

BankSection::BankSection (EditSession& sessionToEdit) : libraryList (sessionToEdit.library()), session (sessionToEdit)
{
    addAndMakeVisible (libraryList);
    libraryList.setBounds (8, 105, 172, 248);
    libraryList.listBox.setBounds (libraryList.getLocalBounds());
    libraryList.showRow (0);

    for (auto [button, x] :
         {std::pair<BitmapButton*, int>{&eraseBtn, 152}, {&editBtn, 8}, {&newBtn, 44}, {&nameBtn, 80}, {&x2Btn, 116}})
        place (*button, x, 80, 28, 20);
    eraseBtn.setEnabledState (false);

    libraryList.onSelectionChanged = [this] (int) { applyEraseRule(); };
    libraryList.onRowDoubleClicked = [this] (int row) { activateRow (row); };
    libraryList.onReturnKey = [this] (int row) { activateRow (row); };
    editBtn.onClick = [this] { activateRow (libraryList.selectedRow()); };
    newBtn.onClick = [this] { session.newPatch(); };
    nameBtn.onClick = [this] { showRenameDialog(); };
    x2Btn.onClick = [this] { session.duplicateRow (libraryList.selectedRow()); };
    eraseBtn.onClick = [this] { erase(); };
}

void BankSection::refresh()
{
    libraryList.refresh();
    applyEraseRule();
}

void BankSection::showRow (int row)
{
    libraryList.showRow (row);
    applyEraseRule();
}

void BankSection::applyEraseRule()
{
    eraseBtn.setEnabledState (session.canErase (libraryList.selectedRow()));
}

void BankSection::activateRow (int row)
{
    if (!session.isRow (row))
        return;
    // A double click has selected the row already; the selection names the active patch.
    if (libraryList.selectedRow() != row)
        libraryList.listBox.selectRow (row, true);
    session.activateRow (row);
    if (showAction)
        showAction ("Activated", toDisplayString (session.activePatch().name));
}

void BankSection::erase()
{
    const int nextRow = session.eraseRow (libraryList.selectedRow());
    if (nextRow >= 0)
        showRow (nextRow);
}

void BankSection::cancelRename()
{
    if (renameDialog != nullptr)
        renameDialog->exitModalState (0);
    renameDialog = nullptr;
}

int BankSection::rowHolding (const juce::String& text, int start) const
{
    const auto& patches = session.library().patches;
    const int count = static_cast<int> (patches.size());
    for (int step = 0; step < count; ++step)
    {
        const int row = (start + step) % count;
        if (toDisplayString (patches[static_cast<size_t> (row)].name).containsIgnoreCase (text))
            return row;
    }
    return -1;
}

bool BankSection::findFirst (const juce::String& text)
{
    // Nothing typed is nothing asked: no search, and the last one is kept for Find Next.
    if (text.isEmpty())
        return false;
    lastSearch = text;
    return showFound (rowHolding (text, 0));
}

bool BankSection::findNext()
{
    if (lastSearch.isEmpty())
        return false;
    return showFound (rowHolding (lastSearch, libraryList.selectedRow() + 1));
}

bool BankSection::showFound (int row)
{
    if (row < 0)
    {
        if (showAction)
            showAction ("Not found", lastSearch);
        return false;
    }
    showRow (row);
    return true;
}

void BankSection::showFindDialog()
{
    auto dialog = std::make_shared<juce::AlertWindow> ("Find Patch", "", juce::MessageBoxIconType::NoIcon, nullptr);
    dialog->addTextEditor ("text", lastSearch, "Name contains:", false);
    dialog->addButton ("Find", 1, juce::KeyPress (juce::KeyPress::returnKey));
    dialog->addButton ("Cancel", 0, juce::KeyPress (juce::KeyPress::escapeKey));
    dialog->enterModalState (true,
                             juce::ModalCallbackFunction::create (
                                 [safeThis = juce::Component::SafePointer<BankSection> (this), dialog] (int result)
                                 {
                                     if (result == 1 && safeThis != nullptr)
                                         safeThis->findFirst (dialog->getTextEditorContents ("text"));
                                 }),
                             false);
}

void BankSection::showRenameDialog()
{
    const int row = libraryList.selectedRow();
    if (!session.isRow (row))
        return;
    const std::string oldName = session.library().patches[static_cast<size_t> (row)].name;

    auto dialog = std::make_shared<juce::AlertWindow> ("Rename Patch", "", juce::MessageBoxIconType::NoIcon, nullptr);
    dialog->addTextEditor ("name", toDisplayString (oldName), "Name:", false);
    dialog->getTextEditor ("name")->setInputFilter (&PanelText::typedNameFilter(), false);
    dialog->addButton ("OK", 1);
    dialog->addButton ("Cancel", 0);
    renameDialog = dialog.get();
    dialog->enterModalState (true,
                             juce::ModalCallbackFunction::create (
                                 [this, dialog, row, oldName] (int result)
                                 {
                                     if (result == 1)
                                         session.renamePatch (
                                             row, oldName, toModelString (dialog->getTextEditorContents ("name")));
                                 }),
                             false);
}
