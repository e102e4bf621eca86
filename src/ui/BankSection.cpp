#include "ui/BankSection.h"

#include "explore/SoundDistance.h"
#include "ui/PanelText.h"

#include <algorithm>
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
    libraryList.onRowMenu = [this] (int row) { showRowMenu (row); };
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
    const auto rows = libraryList.selectedRows();
    eraseBtn.setEnabledState (
        std::any_of (rows.begin(), rows.end(), [this] (int row) { return session.canErase (row); }));
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
    std::vector<int> rows = libraryList.selectedRows();
    rows.erase (std::remove_if (rows.begin(), rows.end(), [this] (int row) { return !session.canErase (row); }),
                rows.end());
    if (rows.size() <= 1)
    {
        const int nextRow = session.eraseRow (rows.empty() ? -1 : rows.front());
        if (nextRow >= 0)
            showRow (nextRow);
        return;
    }

    // Many patches go at once only when the user says so.
    const juce::String count (static_cast<int> (rows.size()));
    auto question = std::make_shared<juce::AlertWindow> (
        "Erase " + count + " Patches",
        "Erase the " + count + " selected patches from the library?" +
            (rows.size() < libraryList.selectedRows().size() ? " The active patch stays." : ""),
        juce::MessageBoxIconType::QuestionIcon,
        nullptr);
    question->addButton ("Erase", 1, juce::KeyPress (juce::KeyPress::returnKey));
    question->addButton ("Cancel", 0, juce::KeyPress (juce::KeyPress::escapeKey));
    eraseQuestion = question.get();
    question->enterModalState (
        true,
        juce::ModalCallbackFunction::create (
            [safeThis = juce::Component::SafePointer<BankSection> (this), question, rows] (int result)
            {
                if (result == 1 && safeThis != nullptr)
                    safeThis->eraseRows (rows);
            }),
        false);
}

void BankSection::eraseRows (const std::vector<int>& rows)
{
    int nextRow = -1;
    const size_t erased = session.eraseRows (rows, nextRow);
    if (nextRow >= 0)
        showRow (nextRow);
    if (showAction && erased > 0)
        showAction ("Erased", juce::String (static_cast<int> (erased)) + " patches");
}

juce::PopupMenu BankSection::rowMenu() const
{
    juce::PopupMenu menu;
    if (onMorphWith)
        menu.addItem (morphWithId, "Morph With...");
    if (onFindSimilar)
        menu.addItem (findSimilarId, "Find Similar");
    if (onMorphWith || onFindSimilar)
        menu.addSeparator();
    menu.addItem (selectDuplicatesId, "Select Duplicates...");
    return menu;
}

void BankSection::showRowMenu (int row)
{
    if (!session.isRow (row))
        return;
    rowMenu().showMenuAsync (juce::PopupMenu::Options().withTargetComponent (&libraryList).withMousePosition(),
                             [safeThis = juce::Component::SafePointer<BankSection> (this), row] (int chosen)
                             {
                                 if (safeThis != nullptr)
                                     safeThis->rowMenuChosen (chosen, row);
                             });
}

void BankSection::rowMenuChosen (int itemId, int row)
{
    // The library may have changed while the menu was open.
    if (!session.isRow (row))
        return;
    if (itemId == morphWithId && onMorphWith)
        onMorphWith (row);
    else if (itemId == findSimilarId && onFindSimilar)
        onFindSimilar (row);
    else if (itemId == selectDuplicatesId)
        showSelectDuplicatesDialog();
}

void BankSection::showSelectDuplicatesDialog()
{
    auto dialog = std::make_shared<juce::AlertWindow> ("Select Duplicates",
                                                       "Patches that sound the same as one before them, or within this "
                                                       "distance of it (0: exactly the same), are selected for ERASE.",
                                                       juce::MessageBoxIconType::NoIcon,
                                                       nullptr);
    dialog->addTextEditor ("within", juce::String (duplicateDistance), "Within distance:", false);
    dialog->getTextEditor ("within")->setInputRestrictions (5, "0123456789");
    dialog->addButton ("Select", 1, juce::KeyPress (juce::KeyPress::returnKey));
    dialog->addButton ("Cancel", 0, juce::KeyPress (juce::KeyPress::escapeKey));
    duplicatesDialog = dialog.get();
    dialog->enterModalState (true,
                             juce::ModalCallbackFunction::create (
                                 [safeThis = juce::Component::SafePointer<BankSection> (this), dialog] (int result)
                                 {
                                     if (result != 1 || safeThis == nullptr)
                                         return;
                                     const auto text = dialog->getTextEditorContents ("within").trim();
                                     if (text.isNotEmpty())
                                         safeThis->duplicateDistance = text.getIntValue();
                                     safeThis->selectDuplicates (safeThis->duplicateDistance);
                                 }),
                             false);
}

size_t BankSection::selectDuplicates (int within)
{
    const auto groups = SoundDistance::duplicates (session.library().patches, within);
    std::vector<int> rows;
    for (const auto& group : groups)
        for (const auto& other : group.others)
            rows.push_back (static_cast<int> (other.row));
    std::sort (rows.begin(), rows.end());
    if (rows.empty())
    {
        if (showAction)
            showAction ("Duplicates", "none");
        return 0;
    }
    libraryList.selectRows (rows);
    applyEraseRule();
    if (showAction)
        showAction ("Duplicates", juce::String (static_cast<int> (rows.size())) + " selected");
    return rows.size();
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
