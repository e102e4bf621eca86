// The BANK list and its actions, the edit history with SAVE, UNDO, CMP and
// EVOLVE, and patches arriving from the synthesizer.

#include "PanelFixture.h"

using namespace PatchBits;

namespace
{
PatchModel namedPatch (const std::string& name, uint8_t firstByte)
{
    PatchModel p;
    p.name = name;
    p.data[0] = firstByte;
    return p;
}
} // namespace

class LibrarianTest : public PanelTest
{
protected:
    /** Replaces the library with patches of these names (first bytes 1, 2, ...). */
    void useLibrary (std::initializer_list<const char*> names)
    {
        panel->library.patches.clear();
        uint8_t b = 1;
        for (auto* n : names)
            panel->library.patches.push_back (namedPatch (n, b++));
        panel->refreshBankList();
        midi->clearSent();
    }

    void select (int row) { panel->libraryList.listBox.selectRow (row); }
};

TEST_F (LibrarianTest, StartsWithOneInitRowSelectedAndEraseDisabled)
{
    EXPECT_EQ (libraryNames(), std::vector<std::string>{"Init"});
    EXPECT_EQ (panel->libraryList.selectedRow(), 0);
    EXPECT_FALSE (panel->eraseBtn.isEnabledState());
    EXPECT_FALSE (panel->undoBtn.isEnabledState());
    EXPECT_FALSE (panel->cmpBtn.isEnabledState());
    EXPECT_FALSE (panel->changedInd.isLit());
    EXPECT_EQ (title(), "qorv - New Library");
    EXPECT_EQ (panel->activePatchLabel.getText(), "Init");
    EXPECT_TRUE (midi->sent.empty());
}

TEST_F (LibrarianTest, DoubleClickActivatesTheRow)
{
    useLibrary ({"Bass", "Pad"});
    UiTest::press (panel->vcfResSlider, 12.0f, 40.0f); // some history to drop
    midi->clearSent();

    panel->libraryList.listBoxItemDoubleClicked (1, UiTest::mouseEvent (panel->libraryList, {5.0f, 20.0f}, 2));

    EXPECT_EQ (panel->patch.name, "Pad");
    EXPECT_EQ (sentDumps(), std::vector<Bytes>{dumpOf (panel->library.patches[1])});
    EXPECT_EQ (status(), "Activated: Pad");
    EXPECT_EQ (panel->activePatchLabel.getText(), "Pad");
    EXPECT_EQ (panel->lfoRateSlider.getValue(), 2);
    EXPECT_FALSE (panel->undoBtn.isEnabledState());
    EXPECT_FALSE (panel->cmpBtn.isEnabledState());
    EXPECT_FALSE (panel->eraseBtn.isEnabledState());
}

TEST_F (LibrarianTest, EraseRuleFollowsTheSelection)
{
    useLibrary ({"Bass", "Init"});
    select (1); // the active patch is named Init
    EXPECT_FALSE (panel->eraseBtn.isEnabledState());
    select (0);
    EXPECT_TRUE (panel->eraseBtn.isEnabledState());
    panel->libraryList.listBox.deselectAllRows();
    midi->clearSent();
    UiTest::click (panel->editBtn); // nothing selected: nothing happens
    EXPECT_TRUE (midi->sent.empty());
}

TEST_F (LibrarianTest, NewTwiceAddsUniqueInitsAndKeepsSelectionAndActive)
{
    UiTest::click (panel->newBtn);
    UiTest::click (panel->newBtn);
    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"Init", "Init (1)", "Init (2)"}));
    EXPECT_EQ (panel->libraryList.selectedRow(), 0);
    EXPECT_EQ (panel->patch.name, "Init");
    EXPECT_TRUE (midi->sent.empty());
    EXPECT_EQ (title(), "qorv - New Library *");
}

TEST_F (LibrarianTest, DuplicateFindsTheFirstFreeSuffix)
{
    useLibrary ({"Bass", "Bass (1)"});
    select (0);
    UiTest::click (panel->x2Btn);
    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"Bass", "Bass (1)", "Bass (2)"}));
    EXPECT_EQ (panel->library.patches[2].data, panel->library.patches[0].data);
}

TEST_F (LibrarianTest, EraseKeepsOneInitAndSelectsTheNextRow)
{
    useLibrary ({"A", "B", "C"});
    select (2);
    UiTest::click (panel->eraseBtn);
    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ (panel->libraryList.selectedRow(), 1);
    EXPECT_EQ (panel->patch.name, "Init"); // the active patch stays on the panel

    useLibrary ({"Solo"});
    select (0);
    UiTest::click (panel->eraseBtn);
    EXPECT_EQ (libraryNames(), std::vector<std::string>{"Init"});
    EXPECT_EQ (panel->libraryList.selectedRow(), 0);
    EXPECT_FALSE (panel->eraseBtn.isEnabledState()); // that Init is named like the active patch
    EXPECT_EQ (title(), "qorv - New Library *");
}

TEST_F (LibrarianTest, RenameToATakenNameFollowsTheActivePatch)
{
    useLibrary ({"Bass", "Pad"});
    panel->activateRow (1);
    panel->renamePatch (1, "Pad", "Bass");
    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"Bass", "Bass (1)"}));
    EXPECT_EQ (panel->patch.name, "Bass (1)");
    EXPECT_EQ (panel->storedPatch.name, "Bass (1)");
    EXPECT_EQ (panel->activePatchLabel.getText(), "Bass (1)");

    // SAVE now stores into the renamed entry
    UiTest::press (panel->vcfResSlider, 12.0f, 48.0f);
    UiTest::click (panel->saveBtn);
    EXPECT_EQ (panel->library.patches[1].data[6], 64);
    EXPECT_EQ (panel->library.patches.size(), 2u);
}

TEST_F (LibrarianTest, RenameThatChangesNothingLeavesTheLibraryUnmodified)
{
    useLibrary ({"Bass"});
    for (const char* typed : {"", "Bass"})
        panel->renamePatch (0, "Bass", typed);
    EXPECT_EQ (libraryNames(), std::vector<std::string>{"Bass"});
    EXPECT_FALSE (panel->libraryModified);

    panel->renamePatch (0, "Bass", "bass"); // case matters
    EXPECT_EQ (libraryNames(), std::vector<std::string>{"bass"});
}

TEST_F (LibrarianTest, RenameLandsOnTheChosenPatchAfterTheLibraryChanged)
{
    useLibrary ({"Brass", "Pad"});
    // The dialog opened on row 1 (Pad); meanwhile a patch arrived and sorted in before it.
    panel->library.addPatch (namedPatch ("Choir", 9));
    ASSERT_EQ (libraryNames(), (std::vector<std::string>{"Brass", "Choir", "Pad"}));

    panel->renamePatch (1, "Pad", "Strings");
    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"Brass", "Choir", "Strings"}));
    EXPECT_EQ (panel->library.patches[1].data[0], 9);

    panel->renamePatch (0, "Gone", "Other"); // the chosen patch was erased meanwhile
    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"Brass", "Choir", "Strings"}));
}

TEST_F (LibrarianTest, HistoryKeepsFiftyGesturesAndWheelAddsNone)
{
    for (int i = 0; i < 60; ++i)
        dragFader (panel->vcfFreqSlider, {static_cast<float> (i % 80 + 8)});
    for (int i = 0; i < 5; ++i)
        UiTest::wheel (panel->vcfFreqSlider, 1.0f);
    EXPECT_EQ (panel->undoStack.size(), 50u);

    int undos = 0;
    while (panel->undoBtn.isEnabledState())
    {
        UiTest::click (panel->undoBtn);
        ++undos;
    }
    EXPECT_EQ (undos, 50);
    // The first ten gestures are gone: the oldest state left is the one after gesture ten.
    EXPECT_EQ (panel->vcfFreqSlider.getValue(), panel->vcfFreqSlider.valueForPosition (9 % 80 + 8));
}

TEST_F (LibrarianTest, EvolveThenUndoRestoresAndSendsTheBytes)
{
    const auto before = panel->patch.data;
    UiTest::click (panel->evolveBtn);
    EXPECT_EQ (panel->undoStack.size(), 1u);
    EXPECT_EQ (panel->patch.name, "Init");
    midi->clearSent();
    UiTest::click (panel->undoBtn);
    EXPECT_EQ (panel->patch.data, before);
    EXPECT_EQ (sentDumps(), std::vector<Bytes>{dumpOf (panel->patch)});
    EXPECT_FALSE (panel->changedInd.isLit());
}

TEST_F (LibrarianTest, CompareSendsStoredThenActiveAndLeavesTheLamps)
{
    UiTest::press (panel->vcfFreqSlider, 12.0f, 48.0f);
    UiTest::click (panel->range4Btn);
    ASSERT_TRUE (panel->cmpBtn.isEnabledState());
    midi->clearSent();

    UiTest::press (panel->cmpBtn, 5.0f, 5.0f);
    EXPECT_EQ (panel->vcfFreqSlider.getValue(), 127);
    EXPECT_TRUE (panel->range4Ind.isLit());
    UiTest::release (panel->cmpBtn, 300.0f, 300.0f); // released off the button
    EXPECT_EQ (panel->vcfFreqSlider.getValue(), 64);

    EXPECT_EQ (sentDumps(), (std::vector<Bytes>{dumpOf (panel->storedPatch), dumpOf (panel->patch)}));
    EXPECT_EQ (panel->undoStack.size(), 2u);
}

TEST_F (LibrarianTest, SaveWithoutAChangeStillMarksTheLibrary)
{
    UiTest::click (panel->saveBtn);
    EXPECT_TRUE (panel->libraryModified);
    EXPECT_EQ (title(), "qorv - New Library *");
    EXPECT_EQ (libraryNames(), std::vector<std::string>{"Init"});
    EXPECT_TRUE (midi->sent.empty());
}

TEST_F (LibrarianTest, SaveAddsTheActivePatchAgainWhenItsEntryWasErased)
{
    useLibrary ({"Bass", "Pad"});
    panel->activateRow (1);
    select (1);
    panel->erasePatch();
    UiTest::press (panel->vcfResSlider, 12.0f, 48.0f);
    UiTest::click (panel->saveBtn);
    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"Bass", "Pad"}));
    EXPECT_EQ (panel->library.patches[1].data[6], 64);
    EXPECT_FALSE (panel->changedInd.isLit());
    EXPECT_FALSE (panel->undoBtn.isEnabledState());
}

TEST_F (LibrarianTest, FaderBackToTheStoredValueTurnsTheLampOff)
{
    ASSERT_EQ (panel->vcfResSlider.getValue(), 0);
    UiTest::press (panel->vcfResSlider, 12.0f, 48.0f);
    EXPECT_TRUE (panel->changedInd.isLit());
    EXPECT_TRUE (panel->cmpBtn.isEnabledState());
    UiTest::press (panel->vcfResSlider, 12.0f, 90.0f); // back to 0
    EXPECT_FALSE (panel->changedInd.isLit());
    EXPECT_FALSE (panel->cmpBtn.isEnabledState());
    EXPECT_TRUE (panel->undoBtn.isEnabledState());
}

//==============================================================================
TEST_F (LibrarianTest, ReceivedPatchWaitsAndALaterOneReplacesIt)
{
    const auto activeBefore = panel->patch.data;
    receive (incomingDump (0x30, 0x00, namedPatch ("x", 11)));
    EXPECT_EQ (panel->midiInLabel.getText(), "A11");
    EXPECT_TRUE (panel->patchReceivedInd.isLit());
    EXPECT_TRUE (panel->midiSaveBtn.isEnabledState());
    EXPECT_TRUE (panel->midiIgnoreBtn.isEnabledState());
    EXPECT_TRUE (panel->midiInLabel.isEditableOnSingleClick());

    receive (incomingDump (0x30, 0x40, namedPatch ("x", 22)));
    ASSERT_NE (panel->receivedPatch, nullptr);
    EXPECT_EQ (panel->receivedPatch->name, "B11");
    EXPECT_EQ (panel->receivedPatch->data[0], 22);
    EXPECT_EQ (panel->patch.data, activeBefore);
    EXPECT_TRUE (midi->sent.empty());
    EXPECT_EQ (libraryNames(), std::vector<std::string>{"Init"});
}

TEST_F (LibrarianTest, SaveStoresThePendingPatchUnderTheTypedName)
{
    useLibrary ({"Bass"});
    receive (incomingDump (0x30, 0x05, namedPatch ("x", 33)));
    panel->midiInLabel.setText ("Bass", juce::dontSendNotification); // typed over the name
    UiTest::click (panel->midiSaveBtn);

    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"Bass", "Bass (1)"}));
    EXPECT_EQ (panel->library.patches[1].data[0], 33);
    EXPECT_EQ (panel->receivedPatch, nullptr);
    EXPECT_EQ (panel->midiInLabel.getText(), "-------");
    EXPECT_FALSE (panel->patchReceivedInd.isLit());
    EXPECT_FALSE (panel->midiSaveBtn.isEnabledState());
    EXPECT_FALSE (panel->midiInLabel.isEditableOnSingleClick());
    EXPECT_EQ (title(), "qorv - New Library *");
}

TEST_F (LibrarianTest, IgnoreDropsThePendingPatch)
{
    receive (incomingDump (0x30, 0x05, namedPatch ("x", 33)));
    UiTest::click (panel->midiIgnoreBtn);
    EXPECT_EQ (panel->receivedPatch, nullptr);
    EXPECT_EQ (panel->midiInLabel.getText(), "-------");
    EXPECT_EQ (libraryNames(), std::vector<std::string>{"Init"});
    EXPECT_FALSE (panel->libraryModified);
}

TEST_F (LibrarianTest, SaveAllAddsEveryReceivedPatchAndKeepsAPendingOne)
{
    receive (incomingDump (0x30, 0x00, namedPatch ("x", 1)));
    UiTest::click (panel->saveAllBtn);
    EXPECT_TRUE (panel->saveAllInd.isLit());

    receive (incomingDump (0x30, 0x00, namedPatch ("x", 2)));
    receive (incomingDump (0x31, 0x00, namedPatch ("x", 3)));
    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"A11", "Init", "Manual"}));
    EXPECT_EQ (panel->midiInLabel.getText(), "Manual");
    EXPECT_EQ (title(), "qorv - New Library *");
    ASSERT_NE (panel->receivedPatch, nullptr); // entered before SAVE ALL: still pending
    EXPECT_TRUE (panel->patchReceivedInd.isLit());

    UiTest::click (panel->midiSaveBtn); // stored under the name now shown, made unique
    EXPECT_EQ (libraryNames(), (std::vector<std::string>{"A11", "Init", "Manual", "Manual (1)"}));
    EXPECT_EQ (panel->library.patches[3].data[0], 1);
}

TEST_F (LibrarianTest, ManualDumpFollowsTheSyncOption)
{
    receive (incomingDump (0x31, 0x00, namedPatch ("x", 44)));
    ASSERT_NE (panel->receivedPatch, nullptr);
    EXPECT_EQ (panel->midiInLabel.getText(), "Manual");
    UiTest::click (panel->midiIgnoreBtn);

    panel->syncManual = true;
    UiTest::press (panel->vcfResSlider, 12.0f, 48.0f);
    midi->clearSent();
    receive (incomingDump (0x31, 0x00, namedPatch ("x", 44)));
    EXPECT_EQ (panel->patch.name, "Manual");
    EXPECT_EQ (panel->patch.data[0], 44);
    EXPECT_EQ (panel->lfoRateSlider.getValue(), 44);
    EXPECT_EQ (panel->activePatchLabel.getText(), "Manual");
    EXPECT_FALSE (panel->undoBtn.isEnabledState());
    EXPECT_FALSE (panel->cmpBtn.isEnabledState());
    EXPECT_FALSE (panel->changedInd.isLit());
    EXPECT_EQ (panel->receivedPatch, nullptr);
    EXPECT_TRUE (midi->sent.empty());
}

TEST_F (LibrarianTest, ParameterChangesEditTheActivePatchOnlyWithSync)
{
    receive (sysex ({0xF0, 0x41, 0x32, 0x00, 5, 64, 0xF7}));
    EXPECT_EQ (panel->patch.data[5], 127);

    panel->syncCC = true;
    receive (sysex ({0xF0, 0x41, 0x32, 0x00, 5, 64, 0xF7}));
    EXPECT_EQ (panel->patch.data[5], 64);
    EXPECT_EQ (panel->vcfFreqSlider.getValue(), 64);
    EXPECT_EQ (status(), "VCF Freq: 64");
    EXPECT_TRUE (panel->undoBtn.isEnabledState());
    EXPECT_TRUE (panel->changedInd.isLit());

    receive (sysex ({0xF0, 0x41, 0x32, 0x00, 16, 0x44, 0xF7}));
    receive (sysex ({0xF0, 0x41, 0x32, 0x00, 17, 0x07, 0xF7}));
    EXPECT_EQ (panel->patch.data[dcoFlagsIndex], 0x44);
    EXPECT_EQ (panel->patch.data[switchesIndex], 0x07);
    EXPECT_TRUE (panel->range4Ind.isLit());
    EXPECT_EQ (panel->hpfSlider.getValue(), 3);
    EXPECT_EQ (status(), "VCF Freq: 64"); // the flag bytes show nothing

    const auto before = panel->patch.data;
    receive (sysex ({0xF0, 0x41, 0x32, 0x00, 18, 0x01, 0xF7}));
    EXPECT_EQ (panel->patch.data, before);
    EXPECT_EQ (panel->undoStack.size(), 3u);
    EXPECT_TRUE (midi->sent.empty());
}

TEST_F (LibrarianTest, ManyReceivedChangesKeepTheFiftyLatestStates)
{
    panel->syncCC = true;
    for (uint8_t v = 0; v < 60; ++v)
        ASSERT_TRUE (midi->inject ({0xF0, 0x41, 0x32, 0x00, 0, v, 0xF7}));
    ASSERT_TRUE (runPostedMessages());
    ASSERT_EQ (panel->undoStack.size(), 50u);
    EXPECT_EQ (panel->undoStack.front().data[0], 9); // the state before change 10
    EXPECT_EQ (panel->undoStack.back().data[0], 58);
}
