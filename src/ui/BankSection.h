#pragma once

#include "session/EditSession.h"
#include "ui/BitmapControls.h"
#include "ui/LibraryListBox.h"
#include "ui/PanelSection.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <string>

/** The BANK section: the list of the library's patches and its buttons EDIT,
    NEW, NAME (with the rename dialog), X2 and ERASE, and the list's
    right-click menu. */
class BankSection : public PanelSection
{
public:
    explicit BankSection (EditSession& sessionToEdit);
    ~BankSection() override = default;

    /** The list re-reads the library; ERASE follows. */
    void refresh();
    /** Selects one row, scrolled into view; ERASE follows. */
    void showRow (int row);
    /** ERASE is enabled for the selected row as the session's rule says. */
    void applyEraseRule();

    /** Makes a row's patch active (EDIT, a double click). */
    void activateRow (int row);
    void showRenameDialog();
    /** Closes an open rename dialog as Cancel would: its patch belongs to a library that has gone. */
    void cancelRename();

    /** Asks for text to find (Find Patch...). */
    void showFindDialog();
    /** Selects and shows the first patch whose name holds the text, ignoring
        case; false (and a word in STATUS) when none does. Empty text does nothing. */
    bool findFirst (const juce::String& text);
    /** The next patch after the selected one whose name holds the last text found, from the top again past the end. */
    bool findNext();

    /** The right-click menu of a row: Morph With... and Find Similar when
        the window provides them, and Select Duplicates... */
    void showRowMenu (int row);
    enum RowMenuId
    {
        morphWithId = 1,
        findSimilarId,
        selectDuplicatesId
    };
    juce::PopupMenu rowMenu() const;
    /** What choosing an item of a row's menu does. */
    void rowMenuChosen (int itemId, int row);
    /** Asks for the distance within which sounds count as the same, then selects the duplicates. */
    void showSelectDuplicatesDialog();
    /** Selects every patch that sounds the same as, or within `within` of,
        one kept before it (SoundDistance::duplicates), and says how many in
        STATUS; ERASE then removes them. Returns how many were selected. */
    size_t selectDuplicates (int within);
    /** What Select Duplicates asks with at first, and the last distance given. */
    int duplicateDistance = 4;

    /** Morph With... and Find Similar on a row, when the window offers them. */
    std::function<void (int row)> onMorphWith;
    std::function<void (int row)> onFindSimilar;

    /** Shows what a bank action did in STATUS. */
    std::function<void (const juce::String& name, const juce::String& value)> showAction;

    LibraryListBox libraryList;
    BitmapButton editBtn{PanelImages::blueButton()};
    BitmapButton newBtn{PanelImages::greyButton()};
    BitmapButton nameBtn{PanelImages::greyButton()};
    BitmapButton x2Btn{PanelImages::greyButton()};
    BitmapButton eraseBtn{PanelImages::greyButton()};

private:
    /** ERASE: the selected row, or after a question the selected rows. */
    void erase();
    void eraseRows (const std::vector<int>& rows);
    /** The first row from `start` on, going round once, whose name holds the text; -1 when none. */
    int rowHolding (const juce::String& text, int start) const;
    /** Selects a found row, or says in STATUS that the last text was not found (row -1). */
    bool showFound (int row);

    EditSession& session;
    juce::Component::SafePointer<juce::AlertWindow> renameDialog;
    juce::Component::SafePointer<juce::AlertWindow> duplicatesDialog;
    juce::Component::SafePointer<juce::AlertWindow> eraseQuestion;
    juce::String lastSearch;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BankSection)
};
