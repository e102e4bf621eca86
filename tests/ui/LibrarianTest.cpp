// The BANK list and its actions, the edit history with SAVE, UNDO, CMP and
// EVOLVE, and patches arriving from the synthesizer.

#include "PanelFixture.h"
#include "PatchTestData.h"

using namespace PatchBits;

class LibrarianTest : public PanelTest
{
protected:
    /** Replaces the library with patches of these names (first bytes 1, 2, ...). */
    void useLibrary (std::initializer_list<const char*> names)
    {
        auto& library = EditSessionTestAccess::library (session());
        library.patches.clear();
        uint8_t b = 1;
        for (auto* n : names)
            library.patches.push_back (patchNamed (n, b++));
        EditSessionTestAccess::announce (session(), SessionChange::libraryEdited);
        midi->clearSent();
    }

    void select (int row) { panel->bank.libraryList.listBox.selectRow (row); }
};

TEST_F (LibrarianTest, StartsWithOneInitRowSelectedAndEraseDisabled)
{
    EXPECT_EQ (libraryNames(), std::vector<std::string>{"Init"});
    EXPECT_EQ (panel->bank.libraryList.selectedRow(), 0);
    EXPECT_FALSE (panel->bank.eraseBtn.isEnabledState());
    EXPECT_FALSE (panel->patchBar.undoBtn.isEnabledState());
    EXPECT_FALSE (panel->patchBar.cmpBtn.isEnabledState());
    EXPECT_FALSE (panel->patchBar.changedInd.isLit());
    EXPECT_EQ (title(), "qorv - New Library");
    EXPECT_EQ (panel->patchBar.activePatchLabel.getText(), "Init");
    EXPECT_TRUE (midi->sent.empty());
}

TEST_F (LibrarianTest, DoubleClickActivatesTheRow)
{
    useLibrary ({"Bass", "Pad"});
    UiTest::press (panel->voice.vcfResSlider, 12.0f, 40.0f); // some history to drop
    midi->clearSent();

    panel->bank.libraryList.listBoxItemDoubleClicked (1,
                                                      UiTest::mouseEvent (panel->bank.libraryList, {5.0f, 20.0f}, 2));

    EXPECT_EQ (panel->session().activePatch().name, "Pad");
    EXPECT_EQ (sentDumps(), std::vector<Bytes>{dumpOf (panel->session().library().patches[1])});
    EXPECT_EQ (status(), "Activated: Pad");
    EXPECT_EQ (panel->patchBar.activePatchLabel.getText(), "Pad");
    EXPECT_EQ (panel->voice.lfoRateSlider.getValue(), 2);
    EXPECT_FALSE (panel->patchBar.undoBtn.isEnabledState());
    EXPECT_FALSE (panel->patchBar.cmpBtn.isEnabledState());
    EXPECT_FALSE (panel->bank.eraseBtn.isEnabledState());
}

TEST_F (LibrarianTest, EraseRuleFollowsTheSelection)
{
    useLibrary ({"Bass", "Init"});
    select (1); // the active patch is named Init
    EXPECT_FALSE (panel->bank.eraseBtn.isEnabledState());
    select (0);
    EXPECT_TRUE (panel->bank.eraseBtn.isEnabledState());
    panel->bank.libraryList.listBox.deselectAllRows();
    midi->clearSent();
    UiTest::click (panel->bank.editBtn); // nothing selected: nothing happens
    EXPECT_TRUE (midi->sent.empty());
}

TEST_F (LibrarianTest, NewTwiceAddsUniqueInitsAndKeepsSelectionAndActive)
{
    UiTest::click (panel->bank.newBtn);
    UiTest::click (panel->bank.newBtn);
    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"Init", "Init (1)", "Init (2)"}));
    EXPECT_EQ (panel->bank.libraryList.selectedRow(), 0);
    EXPECT_EQ (panel->session().activePatch().name, "Init");
    EXPECT_TRUE (midi->sent.empty());
    EXPECT_EQ (title(), "qorv - New Library *");
}

TEST_F (LibrarianTest, DuplicateFindsTheFirstFreeSuffix)
{
    useLibrary ({"Bass", "Bass (1)"});
    select (0);
    UiTest::click (panel->bank.x2Btn);
    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"Bass", "Bass (1)", "Bass (2)"}));
    EXPECT_EQ (panel->session().library().patches[2].data, panel->session().library().patches[0].data);
}

TEST_F (LibrarianTest, EraseKeepsOneInitAndSelectsTheNextRow)
{
    useLibrary ({"A", "B", "C"});
    select (2);
    UiTest::click (panel->bank.eraseBtn);
    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ (panel->bank.libraryList.selectedRow(), 1);
    EXPECT_EQ (panel->session().activePatch().name, "Init"); // the active patch stays on the panel

    useLibrary ({"Solo"});
    select (0);
    UiTest::click (panel->bank.eraseBtn);
    EXPECT_EQ (libraryNames(), std::vector<std::string>{"Init"});
    EXPECT_EQ (panel->bank.libraryList.selectedRow(), 0);
    EXPECT_FALSE (panel->bank.eraseBtn.isEnabledState()); // that Init is named like the active patch
    EXPECT_EQ (title(), "qorv - New Library *");
}

TEST_F (LibrarianTest, RenameToATakenNameFollowsTheActivePatch)
{
    useLibrary ({"Bass", "Pad"});
    panel->bank.activateRow (1);
    panel->session().renamePatch (1, "Pad", "Bass");
    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"Bass", "Bass (1)"}));
    EXPECT_EQ (panel->session().activePatch().name, "Bass (1)");
    EXPECT_EQ (panel->session().storedPatch().name, "Bass (1)");
    EXPECT_EQ (panel->patchBar.activePatchLabel.getText(), "Bass (1)");

    // SAVE now stores into the renamed entry
    UiTest::press (panel->voice.vcfResSlider, 12.0f, 48.0f);
    UiTest::click (panel->patchBar.saveBtn);
    EXPECT_EQ (panel->session().library().patches[1].data[6], 64);
    EXPECT_EQ (panel->session().library().patches.size(), 2u);
}

TEST_F (LibrarianTest, RenameThatChangesNothingLeavesTheLibraryUnmodified)
{
    useLibrary ({"Bass"});
    for (const char* typed : {"", "Bass"})
        panel->session().renamePatch (0, "Bass", typed);
    EXPECT_EQ (libraryNames(), std::vector<std::string>{"Bass"});
    EXPECT_FALSE (panel->session().isModified());

    panel->session().renamePatch (0, "Bass", "bass"); // case matters
    EXPECT_EQ (libraryNames(), std::vector<std::string>{"bass"});
}

TEST_F (LibrarianTest, RenameLandsOnTheChosenPatchAfterTheLibraryChanged)
{
    useLibrary ({"Brass", "Pad"});
    // The dialog opened on row 1 (Pad); meanwhile a patch arrived and sorted in before it.
    EditSessionTestAccess::library (session()).addPatch (patchNamed ("Choir", 9));
    ASSERT_EQ (libraryNames(), (std::vector<std::string>{"Brass", "Choir", "Pad"}));

    panel->session().renamePatch (1, "Pad", "Strings");
    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"Brass", "Choir", "Strings"}));
    EXPECT_EQ (panel->session().library().patches[1].data[0], 9);

    panel->session().renamePatch (0, "Gone", "Other"); // the chosen patch was erased meanwhile
    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"Brass", "Choir", "Strings"}));
}

TEST_F (LibrarianTest, HistoryKeepsFiftyGesturesAndWheelAddsNone)
{
    for (int i = 0; i < 60; ++i)
        dragFader (panel->voice.vcfFreqSlider, {static_cast<float> (i % 80 + 8)});
    for (int i = 0; i < 5; ++i)
        UiTest::wheel (panel->voice.vcfFreqSlider, 1.0f);
    EXPECT_EQ (panel->session().history().size(), 50u);

    int undos = 0;
    while (panel->patchBar.undoBtn.isEnabledState())
    {
        UiTest::click (panel->patchBar.undoBtn);
        ++undos;
    }
    EXPECT_EQ (undos, 50);
    // The first ten gestures are gone: the oldest state left is the one after gesture ten.
    EXPECT_EQ (panel->voice.vcfFreqSlider.getValue(), panel->voice.vcfFreqSlider.valueForPosition (9 % 80 + 8));
}

TEST_F (LibrarianTest, EvolveThenUndoRestoresAndSendsTheBytes)
{
    const auto before = panel->session().activePatch().data;
    UiTest::click (panel->patchBar.evolveBtn);
    EXPECT_EQ (panel->session().history().size(), 1u);
    EXPECT_EQ (panel->session().activePatch().name, "Init");
    midi->clearSent();
    UiTest::click (panel->patchBar.undoBtn);
    EXPECT_EQ (panel->session().activePatch().data, before);
    EXPECT_EQ (sentDumps(), std::vector<Bytes>{dumpOf (panel->session().activePatch())});
    EXPECT_FALSE (panel->patchBar.changedInd.isLit());
}

TEST_F (LibrarianTest, CompareSendsStoredThenActiveAndLeavesTheLamps)
{
    UiTest::press (panel->voice.vcfFreqSlider, 12.0f, 48.0f);
    UiTest::click (panel->voice.range4Btn);
    ASSERT_TRUE (panel->patchBar.cmpBtn.isEnabledState());
    midi->clearSent();

    UiTest::press (panel->patchBar.cmpBtn, 5.0f, 5.0f);
    EXPECT_EQ (panel->voice.vcfFreqSlider.getValue(), 127);
    EXPECT_TRUE (panel->voice.range4Ind.isLit());
    UiTest::release (panel->patchBar.cmpBtn, 300.0f, 300.0f); // released off the button
    EXPECT_EQ (panel->voice.vcfFreqSlider.getValue(), 64);

    EXPECT_EQ (sentDumps(),
               (std::vector<Bytes>{dumpOf (panel->session().storedPatch()), dumpOf (panel->session().activePatch())}));
    EXPECT_EQ (panel->session().history().size(), 2u);
}

TEST_F (LibrarianTest, SaveWithoutAChangeStillMarksTheLibrary)
{
    UiTest::click (panel->patchBar.saveBtn);
    EXPECT_TRUE (panel->session().isModified());
    EXPECT_EQ (title(), "qorv - New Library *");
    EXPECT_EQ (libraryNames(), std::vector<std::string>{"Init"});
    EXPECT_TRUE (midi->sent.empty());
}

TEST_F (LibrarianTest, SaveAddsTheActivePatchAgainWhenItsEntryWasErased)
{
    useLibrary ({"Bass", "Pad"});
    panel->bank.activateRow (1);
    select (1);
    session().eraseRow (1);
    UiTest::press (panel->voice.vcfResSlider, 12.0f, 48.0f);
    UiTest::click (panel->patchBar.saveBtn);
    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"Bass", "Pad"}));
    EXPECT_EQ (panel->session().library().patches[1].data[6], 64);
    EXPECT_FALSE (panel->patchBar.changedInd.isLit());
    EXPECT_FALSE (panel->patchBar.undoBtn.isEnabledState());
}

TEST_F (LibrarianTest, FaderBackToTheStoredValueTurnsTheLampOff)
{
    ASSERT_EQ (panel->voice.vcfResSlider.getValue(), 0);
    UiTest::press (panel->voice.vcfResSlider, 12.0f, 48.0f);
    EXPECT_TRUE (panel->patchBar.changedInd.isLit());
    EXPECT_TRUE (panel->patchBar.cmpBtn.isEnabledState());
    UiTest::press (panel->voice.vcfResSlider, 12.0f, 90.0f); // back to 0
    EXPECT_FALSE (panel->patchBar.changedInd.isLit());
    EXPECT_FALSE (panel->patchBar.cmpBtn.isEnabledState());
    EXPECT_TRUE (panel->patchBar.undoBtn.isEnabledState());
}

//==============================================================================
TEST_F (LibrarianTest, ReceivedPatchWaitsAndALaterOneReplacesIt)
{
    const auto activeBefore = panel->session().activePatch().data;
    receive (incomingDump (0x30, 0x00, patchNamed ("x", 11)));
    EXPECT_EQ (panel->midiIn.midiInLabel.getText(), "A11");
    EXPECT_TRUE (panel->midiIn.patchReceivedInd.isLit());
    EXPECT_TRUE (panel->midiIn.midiSaveBtn.isEnabledState());
    EXPECT_TRUE (panel->midiIn.midiIgnoreBtn.isEnabledState());
    EXPECT_TRUE (panel->midiIn.midiInLabel.isEditableOnSingleClick());

    receive (incomingDump (0x30, 0x40, patchNamed ("x", 22)));
    ASSERT_NE (panel->session().pendingPatch(), nullptr);
    EXPECT_EQ (panel->session().pendingPatch()->name, "B11");
    EXPECT_EQ (panel->session().pendingPatch()->data[0], 22);
    EXPECT_EQ (panel->session().activePatch().data, activeBefore);
    EXPECT_TRUE (midi->sent.empty());
    EXPECT_EQ (libraryNames(), std::vector<std::string>{"Init"});
}

TEST_F (LibrarianTest, SaveStoresThePendingPatchUnderTheTypedName)
{
    useLibrary ({"Bass"});
    receive (incomingDump (0x30, 0x05, patchNamed ("x", 33)));
    panel->midiIn.midiInLabel.setText ("Bass", juce::dontSendNotification); // typed over the name
    UiTest::click (panel->midiIn.midiSaveBtn);

    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"Bass", "Bass (1)"}));
    EXPECT_EQ (panel->session().library().patches[1].data[0], 33);
    EXPECT_EQ (panel->session().pendingPatch(), nullptr);
    EXPECT_EQ (panel->midiIn.midiInLabel.getText(), "-------");
    EXPECT_FALSE (panel->midiIn.patchReceivedInd.isLit());
    EXPECT_FALSE (panel->midiIn.midiSaveBtn.isEnabledState());
    EXPECT_FALSE (panel->midiIn.midiInLabel.isEditableOnSingleClick());
    EXPECT_EQ (title(), "qorv - New Library *");
}

TEST_F (LibrarianTest, IgnoreDropsThePendingPatch)
{
    receive (incomingDump (0x30, 0x05, patchNamed ("x", 33)));
    UiTest::click (panel->midiIn.midiIgnoreBtn);
    EXPECT_EQ (panel->session().pendingPatch(), nullptr);
    EXPECT_EQ (panel->midiIn.midiInLabel.getText(), "-------");
    EXPECT_EQ (libraryNames(), std::vector<std::string>{"Init"});
    EXPECT_FALSE (panel->session().isModified());
}

TEST_F (LibrarianTest, SaveAllAddsEveryReceivedPatchAndKeepsAPendingOne)
{
    receive (incomingDump (0x30, 0x00, patchNamed ("x", 1)));
    UiTest::click (panel->midiIn.saveAllBtn);
    EXPECT_TRUE (panel->midiIn.saveAllInd.isLit());

    receive (incomingDump (0x30, 0x00, patchNamed ("x", 2)));
    receive (incomingDump (0x31, 0x00, patchNamed ("x", 3)));
    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"A11", "Init", "Manual"}));
    EXPECT_EQ (title(), "qorv - New Library *");
    ASSERT_NE (panel->session().pendingPatch(), nullptr); // entered before SAVE ALL: still pending
    EXPECT_TRUE (panel->midiIn.patchReceivedInd.isLit());
    EXPECT_EQ (panel->midiIn.midiInLabel.getText(), "A11"); // the waiting patch keeps its own name

    UiTest::click (panel->midiIn.midiSaveBtn); // stored under its own name, made unique
    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"A11", "A11 (1)", "Init", "Manual"}));
    EXPECT_EQ (panel->session().library().patches[1].data[0], 1);

    receive (incomingDump (0x30, 0x01, patchNamed ("x", 4))); // nothing waits: the last stored name shows
    EXPECT_EQ (panel->midiIn.midiInLabel.getText(), "A12");
}

TEST_F (LibrarianTest, ManualDumpFollowsTheSyncOption)
{
    receive (incomingDump (0x31, 0x00, patchNamed ("x", 44)));
    ASSERT_NE (panel->session().pendingPatch(), nullptr);
    EXPECT_EQ (panel->midiIn.midiInLabel.getText(), "Manual");
    UiTest::click (panel->midiIn.midiIgnoreBtn);

    session().setSyncManual (true);
    UiTest::press (panel->voice.vcfResSlider, 12.0f, 48.0f);
    midi->clearSent();
    receive (incomingDump (0x31, 0x00, patchNamed ("x", 44)));
    EXPECT_EQ (panel->session().activePatch().name, "Manual");
    EXPECT_EQ (panel->session().activePatch().data[0], 44);
    EXPECT_EQ (panel->voice.lfoRateSlider.getValue(), 44);
    EXPECT_EQ (panel->patchBar.activePatchLabel.getText(), "Manual");
    EXPECT_FALSE (panel->patchBar.undoBtn.isEnabledState());
    EXPECT_FALSE (panel->patchBar.cmpBtn.isEnabledState());
    EXPECT_FALSE (panel->patchBar.changedInd.isLit());
    EXPECT_EQ (panel->session().pendingPatch(), nullptr);
    EXPECT_TRUE (midi->sent.empty());
}

TEST_F (LibrarianTest, ParameterChangesEditTheActivePatchOnlyWithSync)
{
    receive (sysex ({0xF0, 0x41, 0x32, 0x00, 5, 64, 0xF7}));
    EXPECT_EQ (panel->session().activePatch().data[5], 127);

    session().setSyncControlChanges (true);
    receive (sysex ({0xF0, 0x41, 0x32, 0x00, 5, 64, 0xF7}));
    EXPECT_EQ (panel->session().activePatch().data[5], 64);
    EXPECT_EQ (panel->voice.vcfFreqSlider.getValue(), 64);
    EXPECT_EQ (status(), "VCF Freq: 64");
    EXPECT_TRUE (panel->patchBar.undoBtn.isEnabledState());
    EXPECT_TRUE (panel->patchBar.changedInd.isLit());

    receive (sysex ({0xF0, 0x41, 0x32, 0x00, 16, 0x44, 0xF7}));
    receive (sysex ({0xF0, 0x41, 0x32, 0x00, 17, 0x07, 0xF7}));
    EXPECT_EQ (panel->session().activePatch().data[dcoFlagsIndex], 0x44);
    EXPECT_EQ (panel->session().activePatch().data[switchesIndex], 0x07);
    EXPECT_TRUE (panel->voice.range4Ind.isLit());
    EXPECT_EQ (panel->voice.hpfSlider.getValue(), 3);
    EXPECT_EQ (status(), "VCF Freq: 64"); // the flag bytes show nothing

    const auto before = panel->session().activePatch().data;
    receive (sysex ({0xF0, 0x41, 0x32, 0x00, 18, 0x01, 0xF7}));
    EXPECT_EQ (panel->session().activePatch().data, before);
    EXPECT_EQ (panel->session().history().size(), 3u);
    EXPECT_TRUE (midi->sent.empty());
}

TEST_F (LibrarianTest, ManyReceivedChangesKeepTheFiftyLatestStates)
{
    session().setSyncControlChanges (true);
    for (uint8_t v = 0; v < 60; ++v)
        ASSERT_TRUE (midi->inject ({0xF0, 0x41, 0x32, 0x00, 0, v, 0xF7}));
    ASSERT_TRUE (runPostedMessages());
    ASSERT_EQ (panel->session().history().size(), 50u);
    EXPECT_EQ (panel->session().history().oldest().data[0], 9); // the state before change 10
    EXPECT_EQ (panel->session().history().newest().data[0], 58);
}

TEST_F (LibrarianTest, EraseFollowsEveryChangeThatMovesTheActivePatchUnderTheSelection)
{
    useLibrary ({"Bass", "Pad"});
    panel->bank.activateRow (1);
    select (0);
    ASSERT_TRUE (panel->bank.eraseBtn.isEnabledState());

    session().renamePatch (0, "Bass", "Zed"); // Pad sorts into the selected row
    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"Pad", "Zed"}));
    EXPECT_FALSE (panel->bank.eraseBtn.isEnabledState());

    session().renamePatch (1, "Zed", "Alto"); // and away again
    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"Alto", "Pad"}));
    EXPECT_TRUE (panel->bank.eraseBtn.isEnabledState());
}

TEST_F (LibrarianTest, CompareReleasedAfterItWasDisabledEndsTheComparison)
{
    UiTest::press (panel->voice.vcfFreqSlider, 12.0f, 48.0f);
    UiTest::press (panel->patchBar.cmpBtn, 5.0f, 5.0f);
    ASSERT_TRUE (session().isComparing());

    session().setSyncManual (true);
    receive (incomingDump (0x31, 0x00, patchNamed ("x", 1))); // stored and active agree: CMP is disabled
    ASSERT_FALSE (panel->patchBar.cmpBtn.isEnabledState());
    midi->clearSent();

    UiTest::release (panel->patchBar.cmpBtn, 5.0f, 5.0f);
    EXPECT_FALSE (panel->patchBar.cmpBtn.isPressed());
    EXPECT_FALSE (session().isComparing());
    EXPECT_EQ (sentDumps(), std::vector<Bytes>{dumpOf (session().activePatch())});
}

TEST_F (LibrarianTest, ReplacingTheLibraryCancelsAnOpenRename)
{
    useLibrary ({"Bass", "Pad"});
    select (1);
    panel->bank.showRenameDialog();
    auto* dialog = dynamic_cast<juce::AlertWindow*> (juce::Component::getCurrentlyModalComponent());
    ASSERT_NE (dialog, nullptr);
    dialog->getTextEditor ("name")->setText ("Lead");

    LibraryModel other; // another library that happens to hold a "Pad"
    other.patches = {patchNamed ("Pad", 9)};
    session().openLibrary (other, "/nowhere/other.106");
    ASSERT_TRUE (runPostedMessages());
    EXPECT_EQ (juce::Component::getCurrentlyModalComponent(), nullptr);
    EXPECT_EQ (libraryNames(), std::vector<std::string>{"Pad"});
    EXPECT_FALSE (session().isModified());
}

TEST_F (LibrarianTest, TypedNamesStopAtWhatALibraryFileCanHold)
{
    select (0);
    panel->bank.showRenameDialog();
    auto* dialog = dynamic_cast<juce::AlertWindow*> (juce::Component::getCurrentlyModalComponent());
    ASSERT_NE (dialog, nullptr);
    auto* editor = dialog->getTextEditor ("name");
    editor->selectAll();
    editor->insertTextAtCaret (
        juce::String::repeatedString (juce::String::fromUTF8 ("\xc3\xa9"), 3000)); // 2 bytes each
    EXPECT_EQ (static_cast<size_t> (editor->getText().getNumBytesAsUTF8()), EditSession::maxTypedNameBytes);
    dialog->exitModalState (0);
    ASSERT_TRUE (runPostedMessages());

    receive (incomingDump (0x30, 0x00, patchNamed ("x", 1)));
    auto& label = panel->midiIn.midiInLabel;
    label.showEditor();
    ASSERT_NE (label.getCurrentTextEditor(), nullptr);
    label.getCurrentTextEditor()->selectAll();
    label.getCurrentTextEditor()->insertTextAtCaret (juce::String::repeatedString ("x", 5000));
    label.hideEditor (false);
    UiTest::click (panel->midiIn.midiSaveBtn);
    EXPECT_EQ (libraryNames().back(), std::string (EditSession::maxTypedNameBytes, 'x'));
}

TEST_F (LibrarianTest, FindSelectsTheFirstNameHoldingTheTextAndFindNextGoesOnAndRoundAgain)
{
    useLibrary ({"Bass", "Brass Pad", "Lead", "Soft PAD", "Strings"});
    auto& bank = panel->bank;

    EXPECT_TRUE (bank.findFirst ("pad")); // case does not matter
    EXPECT_EQ (bank.libraryList.selectedRow(), 1);
    EXPECT_TRUE (bank.findNext());
    EXPECT_EQ (bank.libraryList.selectedRow(), 3);
    EXPECT_TRUE (bank.findNext()); // past the end: from the top again
    EXPECT_EQ (bank.libraryList.selectedRow(), 1);
    EXPECT_TRUE (panel->bank.eraseBtn.isEnabledState()); // the ERASE rule follows a found row

    EXPECT_FALSE (bank.findFirst ("organ"));
    EXPECT_EQ (status(), "Not found: organ");
    EXPECT_EQ (bank.libraryList.selectedRow(), 1); // the selection stays

    // Nothing typed asks nothing: no word in STATUS, and Find Next goes on with the last search.
    panel->showStatusMessage ("-");
    EXPECT_FALSE (bank.findFirst (""));
    EXPECT_EQ (status(), "-");
    EXPECT_FALSE (bank.findNext());
    EXPECT_EQ (status(), "Not found: organ");

    // Through the dialog, as Ctrl+F opens it.
    bank.showFindDialog();
    auto* dialog = dynamic_cast<juce::AlertWindow*> (juce::Component::getCurrentlyModalComponent());
    ASSERT_NE (dialog, nullptr);
    EXPECT_EQ (dialog->getTextEditorContents ("text"), "organ"); // the last search is offered again
    dialog->getTextEditor ("text")->setText ("STR");
    dialog->exitModalState (1);
    ASSERT_TRUE (runPostedMessages());
    EXPECT_EQ (bank.libraryList.selectedRow(), 4);
}

TEST_F (LibrarianTest, TheBankListIsAuditionedFromTheComputerKeyboard)
{
    std::initializer_list<const char*> names = {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M",
                                                "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z"};
    useLibrary (names);
    auto& list = panel->bank.libraryList.listBox;
    select (0);
    const auto press = [&list] (int key) { return list.keyPressed (juce::KeyPress (key)); };

    EXPECT_TRUE (press (juce::KeyPress::downKey));
    EXPECT_EQ (panel->bank.libraryList.selectedRow(), 1);
    EXPECT_TRUE (press (juce::KeyPress::endKey));
    EXPECT_EQ (panel->bank.libraryList.selectedRow(), 25);
    EXPECT_TRUE (press (juce::KeyPress::upKey));
    EXPECT_EQ (panel->bank.libraryList.selectedRow(), 24);
    EXPECT_TRUE (press (juce::KeyPress::homeKey));
    EXPECT_EQ (panel->bank.libraryList.selectedRow(), 0);
    EXPECT_TRUE (press (juce::KeyPress::pageDownKey));
    EXPECT_GT (panel->bank.libraryList.selectedRow(), 5); // a list's page: the rows that show at once
    EXPECT_TRUE (press (juce::KeyPress::pageUpKey));
    EXPECT_EQ (panel->bank.libraryList.selectedRow(), 0);

    press (juce::KeyPress::downKey);
    press (juce::KeyPress::downKey);
    midi->clearSent();
    EXPECT_TRUE (press (juce::KeyPress::returnKey)); // Enter makes the selected patch active, as EDIT does
    EXPECT_EQ (session().activePatch().name, "C");
    EXPECT_EQ (sentDumps(), std::vector<Bytes>{dumpOf (session().library().patches[2])});
    EXPECT_EQ (status(), "Activated: C");
    EXPECT_FALSE (panel->bank.eraseBtn.isEnabledState());
}

TEST_F (LibrarianTest, SelectDuplicatesSelectsAllButTheFirstOfEachSoundAndEraseRemovesThemAfterAsking)
{
    // Bass and Bass copy share a sound; Pad 2 is Pad with VCF Freq a step away.
    useLibrary ({"Bass", "Bass copy", "Lead", "Pad", "Pad 2"});
    auto& library = EditSessionTestAccess::library (session());
    library.patches[2].data[5] = 20; // Lead and Pad far from the rest
    library.patches[3].data[13] = 90;
    library.patches[1].data = library.patches[0].data;
    library.patches[4].data = library.patches[3].data;
    library.patches[4].data[5] = static_cast<uint8_t> (library.patches[3].data[5] - 1);
    auto& bank = panel->bank;

    // Through the dialog, with the distance typed.
    bank.showSelectDuplicatesDialog();
    auto* dialog = dynamic_cast<juce::AlertWindow*> (juce::Component::getCurrentlyModalComponent());
    ASSERT_NE (dialog, nullptr);
    EXPECT_EQ (dialog->getTextEditorContents ("within"), "4");
    dialog->getTextEditor ("within")->setText ("0");
    dialog->exitModalState (1);
    ASSERT_TRUE (runPostedMessages());
    EXPECT_EQ (bank.libraryList.selectedRows(), std::vector<int>{1});
    EXPECT_EQ (status(), "Duplicates: 1 selected");
    EXPECT_EQ (bank.duplicateDistance, 0);

    EXPECT_EQ (bank.selectDuplicates (4), 2u);
    EXPECT_EQ (bank.libraryList.selectedRows(), (std::vector<int>{1, 4}));
    EXPECT_EQ (status(), "Duplicates: 2 selected");
    EXPECT_TRUE (bank.eraseBtn.isEnabledState());

    // Several rows go only when the question is answered Erase.
    UiTest::click (bank.eraseBtn);
    auto* question = dynamic_cast<juce::AlertWindow*> (juce::Component::getCurrentlyModalComponent());
    ASSERT_NE (question, nullptr);
    EXPECT_EQ (question->getName(), "Erase 2 Patches");
    question->exitModalState (0);
    ASSERT_TRUE (runPostedMessages());
    EXPECT_EQ (libraryNames().size(), 5u);

    UiTest::click (bank.eraseBtn);
    question = dynamic_cast<juce::AlertWindow*> (juce::Component::getCurrentlyModalComponent());
    ASSERT_NE (question, nullptr);
    question->exitModalState (1);
    ASSERT_TRUE (runPostedMessages());
    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"Bass", "Lead", "Pad"}));
    EXPECT_EQ (status(), "Erased: 2 patches");
    EXPECT_TRUE (session().isModified());

    // Nothing alike: nothing selected, and STATUS says so.
    select (2);
    EXPECT_EQ (bank.selectDuplicates (0), 0u);
    EXPECT_EQ (bank.libraryList.selectedRows(), std::vector<int>{2});
    EXPECT_EQ (status(), "Duplicates: none");
}

TEST_F (LibrarianTest, ErasingASelectionLeavesTheActivePatchsRow)
{
    useLibrary ({"A", "B", "C"});
    panel->bank.activateRow (1);
    panel->bank.libraryList.selectRows ({0, 1});
    ASSERT_TRUE (panel->bank.eraseBtn.isEnabledState());
    UiTest::click (panel->bank.eraseBtn); // one erasable row: no question
    EXPECT_EQ (juce::Component::getCurrentlyModalComponent(), nullptr);
    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"B", "C"}));

    panel->bank.libraryList.selectRows ({0});
    EXPECT_FALSE (panel->bank.eraseBtn.isEnabledState());
}

TEST_F (LibrarianTest, ARowsMenuOffersWhatThePanelCanDo)
{
    useLibrary ({"Bass", "Pad"});
    auto& bank = panel->bank;
    const auto texts = [&bank]
    {
        std::vector<std::string> items;
        const auto menu = bank.rowMenu();
        for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
            items.push_back (it.getItem().isSeparator ? "-" : it.getItem().text.toStdString());
        return items;
    };
    // A panel alone (a plugin's) has no windows to morph or compare in.
    EXPECT_EQ (texts(), std::vector<std::string>{"Select Duplicates..."});

    int morphed = -1, compared = -1;
    bank.onMorphWith = [&morphed] (int row) { morphed = row; };
    bank.onFindSimilar = [&compared] (int row) { compared = row; };
    EXPECT_EQ (texts(), (std::vector<std::string>{"Morph With...", "Find Similar", "-", "Select Duplicates..."}));
    bank.rowMenuChosen (BankSection::morphWithId, 1);
    bank.rowMenuChosen (BankSection::findSimilarId, 0);
    bank.rowMenuChosen (BankSection::findSimilarId, 7); // a row gone while the menu was open
    EXPECT_EQ (morphed, 1);
    EXPECT_EQ (compared, 0);

    // The right button opens a row's menu; the left one does not.
    int menuRow = -1;
    bank.libraryList.onRowMenu = [&menuRow] (int row) { menuRow = row; };
    bank.libraryList.selectRows ({0, 1});
    auto& list = bank.libraryList;
    list.listBoxItemClicked (1, UiTest::mouseEvent (list, {5.0f, 5.0f}));
    EXPECT_EQ (menuRow, -1);
    list.listBoxItemClicked (
        1, UiTest::mouseEvent (list, {5.0f, 5.0f}, 1, juce::ModifierKeys (juce::ModifierKeys::rightButtonModifier)));
    EXPECT_EQ (menuRow, 1);
    EXPECT_EQ (bank.libraryList.selectedRows(), (std::vector<int>{0, 1}));
}
