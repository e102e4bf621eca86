// The editor's rules without a window: edits and the history, SAVE, CMP and
// EVOLVE, the bank actions, received patches and the library's file state.

#include "session/EditSession.h"
#include "EditSessionTestAccess.h"
#include "FactoryPatches.h"
#include "PatchTestData.h"
#include "midi/protocol/JunoMessages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace PatchBits;

namespace
{
using Names = std::vector<std::string>;

/** Records what a session sends, as the synthesizer would hear it. */
class RecordingOutput : public PatchOutput
{
public:
    void sendPatch (const PatchModel& patch) override { sent.push_back (patch); }
    void sendParameter (int byteIndex, uint8_t value) override { parameters.push_back ({byteIndex, value}); }
    std::vector<PatchModel> sent;
    std::vector<std::pair<int, uint8_t>> parameters;
};
} // namespace

class EditSessionTest : public ::testing::Test
{
protected:
    EditSessionTest()
    {
        session.onChange = [this] (SessionChange change) { changes.push_back (change); };
    }

    /** Puts patches of these names (first bytes 1, 2, ...) into the library; the active patch stays. */
    void useLibrary (const Names& names)
    {
        auto& library = EditSessionTestAccess::library (session);
        library.patches.clear();
        uint8_t firstByte = 1;
        for (const auto& name : names)
            library.patches.push_back (patchNamed (name, firstByte++));
    }

    Names names() const
    {
        Names result;
        for (const auto& patch : session.library().patches)
            result.push_back (patch.name);
        return result;
    }

    void forget()
    {
        output.sent.clear();
        changes.clear();
    }

    RecordingOutput output;
    EditSession session{output};
    std::vector<SessionChange> changes;
};

TEST_F (EditSessionTest, StartsWithTheLibrarysInitPatchActiveAndUnmodified)
{
    EXPECT_EQ (names(), Names{"Init"});
    EXPECT_EQ (session.activePatch().name, "Init");
    EXPECT_TRUE (session.activePatch().sameSound (PatchModel()));
    EXPECT_FALSE (session.differsFromStored());
    EXPECT_FALSE (session.history().canUndo());
    EXPECT_FALSE (session.isModified());
    EXPECT_TRUE (session.currentFile().empty());
    EXPECT_EQ (session.pendingPatch(), nullptr);
    EXPECT_TRUE (output.sent.empty());
}

TEST_F (EditSessionTest, EveryPanelEditCallsTheHookThenSendsThenTells)
{
    std::vector<std::string> order;
    EditSessionTestAccess::active (session).onChange = [&] { order.push_back ("hook"); };
    session.onChange = [&] (SessionChange change)
    {
        if (change == SessionChange::patchEdited)
            order.push_back ("told after " + std::to_string (output.sent.size()) + " sent");
    };

    session.setLevel (5, 200);  // limited to 127
    session.setHpfPosition (2); // bits 3-4 hold 3 - position
    session.changeDcoFlags ([] (uint8_t f) { return withRangeBits (f, range4); });
    session.setSwitchBit (vcaGateBit, true);

    const auto& data = session.activePatch().data;
    EXPECT_EQ (data[5], 127);
    EXPECT_EQ (hpfPosition (data[switchesIndex]), 2);
    EXPECT_EQ (rangeFootage (data[dcoFlagsIndex]), 4);
    EXPECT_TRUE (isSet (data[switchesIndex], vcaGateBit));
    ASSERT_EQ (output.sent.size(), 4u);
    EXPECT_TRUE (output.sent.back().sameSound (session.activePatch()));
    EXPECT_EQ (order,
               (std::vector<std::string>{"hook",
                                         "told after 1 sent",
                                         "hook",
                                         "told after 2 sent",
                                         "hook",
                                         "told after 3 sent",
                                         "hook",
                                         "told after 4 sent"}));
}

TEST_F (EditSessionTest, ButtonsSwitchesAndFaderGesturesEachMakeOneUndoStep)
{
    session.beginFaderGesture();
    for (int value : {10, 20, 30})
        session.setLevel (6, value);
    session.setLevel (6, 31); // a wheel step: no gesture, no step
    EXPECT_EQ (session.history().size(), 1u);

    session.changeDcoFlags ([] (uint8_t f) { return static_cast<uint8_t> (f ^ sawBit); });
    session.setSwitchBit (pwmManBit, false);
    EXPECT_EQ (session.history().size(), 3u);

    session.undo();
    session.undo();
    session.undo();
    EXPECT_TRUE (session.activePatch().sameSound (PatchModel()));
    EXPECT_FALSE (session.differsFromStored());
    EXPECT_TRUE (output.sent.back().sameSound (PatchModel()));

    forget();
    session.undo(); // nothing left: nothing happens
    EXPECT_TRUE (output.sent.empty());
    EXPECT_TRUE (changes.empty());
}

TEST_F (EditSessionTest, HistoryKeepsTheFiftyNewestStates)
{
    for (int i = 0; i < 60; ++i)
    {
        session.beginFaderGesture();
        session.setLevel (0, i + 1);
    }
    ASSERT_EQ (session.history().size(), EditHistory::maxSteps);
    EXPECT_EQ (session.history().oldest().data[0], 10); // the state before gesture 11
    EXPECT_EQ (session.history().newest().data[0], 59);
}

TEST_F (EditSessionTest, ChangedLampFollowsTheSoundNotTheHistory)
{
    session.beginFaderGesture();
    session.setLevel (6, 64);
    EXPECT_TRUE (session.differsFromStored());
    session.setLevel (6, 0); // back to the stored value
    EXPECT_FALSE (session.differsFromStored());
    EXPECT_TRUE (session.history().canUndo());
}

TEST_F (EditSessionTest, SaveStoresIntoTheEntryOfTheSameNameOrAddsItAgain)
{
    useLibrary ({"Bass", "Pad"});
    ASSERT_TRUE (session.activateRow (1));
    session.setLevel (6, 64);
    forget();

    session.saveToLibrary();
    EXPECT_EQ (session.library().patches[1].data[6], 64);
    EXPECT_EQ (names(), (Names{"Bass", "Pad"}));
    EXPECT_FALSE (session.differsFromStored());
    EXPECT_FALSE (session.history().canUndo());
    EXPECT_TRUE (session.isModified());
    EXPECT_TRUE (output.sent.empty());

    session.eraseRow (1);
    session.setLevel (6, 65);
    session.saveToLibrary();
    EXPECT_EQ (names(), (Names{"Bass", "Pad"}));
    EXPECT_EQ (session.library().patches[1].data[6], 65);
}

TEST_F (EditSessionTest, CompareSoundsTheStoredVersionWhileHeld)
{
    session.setLevel (5, 64);
    forget();

    session.setComparing (true);
    EXPECT_EQ (session.shownPatch().data[5], 127);
    session.setComparing (false);
    EXPECT_EQ (session.shownPatch().data[5], 64);

    ASSERT_EQ (output.sent.size(), 2u);
    EXPECT_TRUE (output.sent[0].sameSound (session.storedPatch()));
    EXPECT_TRUE (output.sent[1].sameSound (session.activePatch()));
    EXPECT_EQ (changes,
               (std::vector<SessionChange>{SessionChange::comparisonChanged, SessionChange::comparisonChanged}));
}

TEST_F (EditSessionTest, EvolveIsOneUndoStepAndKeepsTheName)
{
    const auto before = session.activePatch().data;
    session.evolve();
    EXPECT_EQ (session.history().size(), 1u);
    EXPECT_EQ (session.activePatch().name, "Init");
    ASSERT_EQ (output.sent.size(), 1u);
    EXPECT_TRUE (output.sent[0].sameSound (session.activePatch()));
    session.undo();
    EXPECT_EQ (session.activePatch().data, before);
}

TEST_F (EditSessionTest, AMorphDragIsOneUndoStepWithADumpForEachNewSound)
{
    const auto before = session.activePatch().data;
    auto blend = before;
    forget();
    session.beginFaderGesture();
    for (const uint8_t freq : {100, 90, 90, 80})
    {
        blend[5] = freq;
        session.setSound (blend);
    }
    ASSERT_EQ (output.sent.size(), 3u); // the repeated sound is not sent again
    EXPECT_EQ (output.sent[0].data[5], 100);
    EXPECT_EQ (output.sent[2].data[5], 80);
    EXPECT_EQ (changes, std::vector<SessionChange> (3, SessionChange::patchReloaded));
    EXPECT_EQ (session.activePatch().name, "Init");
    EXPECT_TRUE (session.differsFromStored());
    EXPECT_EQ (session.history().size(), 1u);
    session.undo();
    EXPECT_EQ (session.activePatch().data, before);
}

TEST_F (EditSessionTest, EachTriedSoundIsOneUndoStepAndIsSentEvenWhenHeardAlready)
{
    const auto init = session.activePatch().data;
    auto first = init;
    first[0] = 40;
    auto second = init;
    second[13] = 9;
    session.trySound (first);
    session.trySound (second);
    session.trySound (second); // clicked again: heard again, no new step
    EXPECT_EQ (session.history().size(), 2u);
    ASSERT_EQ (output.sent.size(), 3u);
    EXPECT_EQ (output.sent[2].data, second);
    EXPECT_TRUE (session.storedPatch().sameSound (PatchModel()));
    session.undo();
    EXPECT_EQ (session.activePatch().data, first);
    session.undo();
    EXPECT_EQ (session.activePatch().data, init);
}

TEST_F (EditSessionTest, AnAddedPatchGetsAUniqueCorrectedEntryAndMarksTheLibrary)
{
    useLibrary ({"Brass b1", "Pad"});
    PatchModel made = patchNamed ("Brass b1", 9);
    made.data[3] = 200; // a level a patch cannot hold
    forget();
    EXPECT_EQ (session.addPatch (made), "Brass b1 (1)");
    EXPECT_EQ (names(), (Names{"Brass b1", "Brass b1 (1)", "Pad"}));
    EXPECT_EQ (session.library().patches[1].data[3], 127);
    EXPECT_TRUE (session.isModified());
    EXPECT_TRUE (output.sent.empty());
    EXPECT_EQ (session.activePatch().name, "Init");
}

TEST_F (EditSessionTest, ErasingSeveralRowsKeepsTheActivePatchAndTheOrder)
{
    useLibrary ({"A", "B", "C", "D", "E"});
    session.activateRow (2); // C
    int next = -2;
    EXPECT_EQ (session.eraseRows ({4, 2, 1, 1, 9, -1}, next), 2u);
    EXPECT_EQ (names(), (Names{"A", "C", "D"}));
    EXPECT_EQ (next, 1);
    EXPECT_TRUE (session.isModified());

    EXPECT_EQ (session.eraseRows ({1}, next), 0u); // the active patch's row stays
    EXPECT_EQ (next, -1);
    EXPECT_EQ (session.eraseRows ({2}, next), 1u);
    EXPECT_EQ (next, 1); // past the end: the last row

    // A library left empty gets one Init patch.
    useLibrary ({"X", "Y"});
    EXPECT_EQ (session.eraseRows ({0, 1}, next), 2u);
    EXPECT_EQ (names(), Names{"Init"});
    EXPECT_EQ (next, 0);
}

//==============================================================================
TEST_F (EditSessionTest, ActivatingARowMakesACopyActiveAndSendsIt)
{
    useLibrary ({"Bass", "Pad"});
    session.beginFaderGesture();
    forget();

    EXPECT_FALSE (session.activateRow (2));
    EXPECT_FALSE (session.activateRow (-1));
    EXPECT_TRUE (output.sent.empty());

    EXPECT_TRUE (session.activateRow (1));
    EXPECT_EQ (session.activePatch().name, "Pad");
    EXPECT_TRUE (session.storedPatch().sameSound (session.activePatch()));
    EXPECT_FALSE (session.history().canUndo());
    ASSERT_EQ (output.sent.size(), 1u);
    EXPECT_EQ (output.sent[0].data[0], 2);
    EXPECT_EQ (changes, std::vector<SessionChange>{SessionChange::activePatchReplaced});

    session.setLevel (0, 99); // edits the copy, not the library's entry
    EXPECT_EQ (session.library().patches[1].data[0], 2);
}

TEST_F (EditSessionTest, EraseIsAllowedForEveryRowButTheActivePatchs)
{
    useLibrary ({"Bass", "Init", "Pad"});
    const std::vector<std::pair<int, bool>> cases = {{-1, false}, {0, true}, {1, false}, {2, true}, {3, false}};
    for (const auto& [row, allowed] : cases)
        EXPECT_EQ (session.canErase (row), allowed) << "row " << row;
}

TEST_F (EditSessionTest, NewAndDuplicateAddUniqueNamesAndMarkTheLibrary)
{
    session.newPatch();
    session.newPatch();
    EXPECT_EQ (names(), (Names{"Init", "Init (1)", "Init (2)"}));
    EXPECT_TRUE (session.isModified());
    EXPECT_EQ (session.activePatch().name, "Init");

    useLibrary ({"Bass", "Bass (1)"});
    session.duplicateRow (0);
    EXPECT_EQ (names(), (Names{"Bass", "Bass (1)", "Bass (2)"}));
    EXPECT_EQ (session.library().patches[2].data, session.library().patches[0].data);
    session.duplicateRow (7); // no such row
    EXPECT_EQ (names().size(), 3u);
    EXPECT_TRUE (output.sent.empty());
}

TEST_F (EditSessionTest, EraseSaysWhichRowComesNextAndNeverLeavesTheLibraryEmpty)
{
    useLibrary ({"A", "B", "C"});
    EXPECT_EQ (session.eraseRow (2), 1);
    EXPECT_EQ (session.eraseRow (0), 0);
    EXPECT_EQ (names(), Names{"B"});
    EXPECT_EQ (session.eraseRow (0), 0);
    EXPECT_EQ (names(), Names{"Init"});
    EXPECT_TRUE (session.library().patches[0].sameSound (PatchModel()));
    EXPECT_EQ (session.eraseRow (5), -1);
    EXPECT_TRUE (session.isModified());
    EXPECT_EQ (session.activePatch().name, "Init"); // the active patch stays
}

TEST_F (EditSessionTest, RenameFollowsTheActivePatchAndTheChosenEntry)
{
    useLibrary ({"Brass", "Pad"});
    session.activateRow (1);
    session.renamePatch (1, "Pad", "Brass");
    EXPECT_EQ (names(), (Names{"Brass", "Brass (1)"}));
    EXPECT_EQ (session.activePatch().name, "Brass (1)");
    EXPECT_EQ (session.storedPatch().name, "Brass (1)");

    // The entry moved while the name was typed: the chosen patch is renamed.
    EditSessionTestAccess::library (session).addPatch (patchNamed ("Alto", 9));
    session.renamePatch (1, "Brass (1)", "Strings");
    EXPECT_EQ (names(), (Names{"Alto", "Brass", "Strings"}));
    EXPECT_EQ (session.library().patches[2].data[0], 2);

    forget();
    for (const auto& [row, oldName, newName] :
         std::vector<std::tuple<int, std::string, std::string>>{{0, "Alto", ""}, {0, "Alto", "Alto"}, {0, "Gone", "X"}})
        session.renamePatch (row, oldName, newName);
    EXPECT_EQ (names(), (Names{"Alto", "Brass", "Strings"}));
    EXPECT_TRUE (changes.empty());

    session.renamePatch (0, "Alto", "alto"); // case matters
    EXPECT_EQ (names(), (Names{"Brass", "Strings", "alto"}));
}

//==============================================================================
TEST_F (EditSessionTest, AReceivedPatchWaitsUntilSavedUnderTheTypedNameOrIgnored)
{
    useLibrary ({"Bass"});
    session.patchReceived (patchNamed ("A11", 11));
    session.patchReceived (patchNamed ("B11", 22)); // replaces the first
    ASSERT_NE (session.pendingPatch(), nullptr);
    EXPECT_EQ (session.pendingPatch()->data[0], 22);
    EXPECT_EQ (session.receivedName(), "B11");
    EXPECT_EQ (names(), Names{"Bass"});

    session.saveReceived ("Bass");
    EXPECT_EQ (names(), (Names{"Bass", "Bass (1)"}));
    EXPECT_EQ (session.library().patches[1].data[0], 22);
    EXPECT_EQ (session.pendingPatch(), nullptr);
    EXPECT_TRUE (session.receivedName().empty());
    EXPECT_TRUE (session.isModified());

    EditSessionTestAccess::modified (session) = false;
    session.patchReceived (patchNamed ("A12", 33));
    session.ignoreReceived();
    EXPECT_EQ (session.pendingPatch(), nullptr);
    EXPECT_EQ (names(), (Names{"Bass", "Bass (1)"}));
    EXPECT_FALSE (session.isModified());
    EXPECT_TRUE (output.sent.empty());
}

TEST_F (EditSessionTest, SaveAllStoresEveryReceivedPatchAtOnce)
{
    session.setSaveAll (true);
    session.patchReceived (patchNamed ("A11", 1));
    session.patchReceived (patchNamed ("A11", 2));
    session.manualPatchReceived (patchNamed ("", 3));
    EXPECT_EQ (names(), (Names{"A11", "A11 (1)", "Init", "Manual"}));
    EXPECT_EQ (session.receivedName(), "Manual");
    EXPECT_EQ (session.pendingPatch(), nullptr);
    EXPECT_TRUE (session.isModified());
}

TEST_F (EditSessionTest, AWaitingPatchKeepsItsNameWhileSaveAllStoresOthers)
{
    session.patchReceived (patchNamed ("A11", 1));
    session.setSaveAll (true);
    session.patchReceived (patchNamed ("A11", 2));
    EXPECT_EQ (session.receivedName(), "A11");
    ASSERT_NE (session.pendingPatch(), nullptr);
    session.saveReceived (session.receivedName());
    EXPECT_EQ (names(), (Names{"A11", "A11 (1)", "Init"}));
    EXPECT_EQ (session.library().patches[1].data[0], 1);
}

TEST_F (EditSessionTest, TypedNamesAreCutToWhatALibraryFileCanHoldOnACharacterBoundary)
{
    std::string twoByteLetters;
    for (int i = 0; i < 2500; ++i)
        twoByteLetters += "\xc3\xa9";
    const std::string oneByteThenTwo = "x" + twoByteLetters; // the cut falls inside a letter

    session.renamePatch (0, "Init", oneByteThenTwo);
    const std::string stored = session.library().patches[0].name;
    EXPECT_EQ (stored.size(), EditSession::maxTypedNameBytes - 1);
    EXPECT_EQ (stored, oneByteThenTwo.substr (0, EditSession::maxTypedNameBytes - 1));

    session.patchReceived (patchNamed ("A11", 1));
    session.saveReceived (std::string (5000, 'y'));
    EXPECT_EQ (session.library().patches.back().name, std::string (EditSession::maxTypedNameBytes, 'y'));
}

TEST_F (EditSessionTest, SaveAllBacksUpABankOnceThoughTheSynthesizerSendsEachPatchItLeaves)
{
    const auto factory = loadFactoryPatches();
    EditSessionTestAccess::library (session).replacePatches ({});
    session.setSaveAll (true);

    // Stepping through the memories, the synthesizer sends the patch it leaves, then the one it enters.
    const auto received = [] (const FactoryPatch& row, uint8_t number)
    {
        PatchModel patch = row.patch;
        patch.name = JunoMessages::patchNameFromNumber (number);
        return patch;
    };
    for (size_t i = 0; i < factory.size(); ++i)
    {
        if (i > 0)
            session.patchReceived (received (factory[i - 1], static_cast<uint8_t> (i - 1)));
        session.patchReceived (received (factory[i], static_cast<uint8_t> (i)));
    }
    session.patchReceived (received (factory[5], 5)); // a bank sent twice adds nothing either

    const auto& library = session.library().patches;
    ASSERT_EQ (library.size(), 128u);
    for (size_t i = 0; i < factory.size(); ++i)
    {
        EXPECT_EQ (library[i].name, JunoMessages::patchNameFromNumber (static_cast<uint8_t> (i)));
        EXPECT_TRUE (library[i].sameSound (factory[i].patch)) << library[i].name;
    }

    // A changed sound under a taken name is new, and kept.
    PatchModel edited = received (factory[0], 0);
    edited.data[5] ^= 1;
    session.patchReceived (edited);
    EXPECT_EQ (library.size(), 129u);
}

TEST_F (EditSessionTest, ValuesAPatchCannotHoldAreCorrectedAsAFileComesIn)
{
    PatchModel loud = patchNamed ("Loud", 200);
    loud.data[PatchBits::switchesIndex] = 0xFF;
    LibraryModel fromFile;
    fromFile.patches = {loud};

    EXPECT_EQ (session.openLibrary (fromFile, "/x/loud.106"), 2);
    EXPECT_EQ (session.library().patches[0].data[0], 127);
    EXPECT_EQ (session.library().patches[0].data[PatchBits::switchesIndex], 0x1F);
    EXPECT_EQ (session.activePatch().data[0], 127);
    EXPECT_TRUE (session.isModified()); // the library shown is no longer the file's

    EXPECT_EQ (session.importPatches ({loud}), 2);
    EXPECT_EQ (session.merge (fromFile, EditSession::MergeChoice::overwrite), 2);
    for (const auto& patch : session.library().patches)
        EXPECT_EQ (patch.data[0], 127) << patch.name;
}

TEST_F (EditSessionTest, ManualDumpsAreOfferedOrBecomeTheActivePatchWithSync)
{
    session.manualPatchReceived (patchNamed ("", 44));
    ASSERT_NE (session.pendingPatch(), nullptr);
    EXPECT_EQ (session.pendingPatch()->name, "Manual");
    session.ignoreReceived();

    session.setSyncManual (true);
    session.beginFaderGesture();
    session.setLevel (6, 64);
    forget();
    session.manualPatchReceived (patchNamed ("", 44));
    EXPECT_EQ (session.activePatch().name, "Manual");
    EXPECT_EQ (session.activePatch().data[0], 44);
    EXPECT_FALSE (session.differsFromStored());
    EXPECT_FALSE (session.history().canUndo());
    EXPECT_EQ (session.pendingPatch(), nullptr);
    EXPECT_TRUE (output.sent.empty()); // the synthesizer plays it already
}

TEST_F (EditSessionTest, ParameterChangesEditTheActivePatchOnlyWithSync)
{
    EXPECT_FALSE (session.paramReceived (5, 64));
    session.setSyncControlChanges (true);

    struct Case
    {
        int number;
        int value;
        bool applies;
    };
    for (const auto& c :
         std::vector<Case>{{5, 64, true}, {16, 0x44, true}, {17, 0x07, true}, {18, 1, false}, {-1, 1, false}})
    {
        const auto before = session.activePatch().data;
        EXPECT_EQ (session.paramReceived (c.number, c.value), c.applies) << c.number;
        if (c.applies)
            EXPECT_EQ (session.activePatch().data[static_cast<size_t> (c.number)], c.value);
        else
            EXPECT_EQ (session.activePatch().data, before);
    }
    EXPECT_EQ (session.history().size(), 3u);
    EXPECT_TRUE (session.differsFromStored());
    EXPECT_TRUE (output.sent.empty());
}

//==============================================================================
TEST_F (EditSessionTest, NewLibraryReplacesEverythingAndSendsItsInitPatch)
{
    useLibrary ({"Bass", "Pad"});
    session.activateRow (1);
    session.beginFaderGesture();
    session.librarySaved ("/tmp/mine.106");
    session.newPatch();
    forget();

    session.newLibrary();
    EXPECT_EQ (names(), Names{"Init"});
    EXPECT_EQ (session.library().name, "New Library");
    EXPECT_TRUE (session.currentFile().empty());
    EXPECT_FALSE (session.isModified());
    EXPECT_TRUE (session.activePatch().sameSound (PatchModel()));
    EXPECT_FALSE (session.history().canUndo());
    ASSERT_EQ (output.sent.size(), 1u);
    EXPECT_EQ (changes,
               (std::vector<SessionChange>{SessionChange::libraryReplaced,
                                           SessionChange::fileStateChanged,
                                           SessionChange::activePatchReplaced}));
}

TEST_F (EditSessionTest, OpeningALibraryMakesItsFirstPatchActiveUnlessItIsEmpty)
{
    session.newPatch();
    session.openLibrary (libraryOf ("Strings", {patchNamed ("Cello", 30), patchNamed ("Viola", 31)}), "/x/Strings.106");
    EXPECT_EQ (session.library().name, "Strings");
    EXPECT_EQ (names(), (Names{"Cello", "Viola"}));
    EXPECT_EQ (session.currentFile(), "/x/Strings.106");
    EXPECT_FALSE (session.isModified());
    EXPECT_EQ (session.activePatch().name, "Cello");
    ASSERT_EQ (output.sent.size(), 1u);

    session.beginFaderGesture();
    session.openLibrary (libraryOf ("Empty", {}), "/x/Empty.106");
    EXPECT_TRUE (session.library().patches.empty());
    EXPECT_EQ (session.activePatch().name, "Cello");
    EXPECT_EQ (session.history().size(), 1u);
    EXPECT_EQ (output.sent.size(), 1u);
    EXPECT_FALSE (session.canErase (0));
}

TEST_F (EditSessionTest, ImportAndMergeFollowTheUniqueNameRule)
{
    useLibrary ({"Init", "Lead"});
    session.importPatches ({});
    EXPECT_FALSE (session.isModified()); // nothing came in
    session.importPatches ({patchNamed ("Lead", 7), patchNamed ("Lead", 8)});
    EXPECT_EQ (names(), (Names{"Init", "Lead", "Lead (1)", "Lead (2)"}));
    EXPECT_TRUE (session.isModified());

    const auto other = libraryOf ("Other", {patchNamed ("Lead", 61), patchNamed ("Bass", 62)});
    EXPECT_EQ (session.countClashes (other), 1u);

    struct Case
    {
        EditSession::MergeChoice choice;
        Names names;
        uint8_t leadByte;
        bool changesTheLibrary;
    };
    const std::vector<Case> cases = {
        {EditSession::MergeChoice::autoRename, {"Bass", "Init", "Lead", "Lead (1)"}, 2, true},
        {EditSession::MergeChoice::overwrite, {"Bass", "Init", "Lead"}, 61, true},
        {EditSession::MergeChoice::discard, {"Bass", "Init", "Lead"}, 2, true},
    };
    for (const auto& c : cases)
    {
        useLibrary ({"Init", "Lead"});
        EditSessionTestAccess::modified (session) = false;
        session.merge (other, c.choice);
        EXPECT_EQ (names(), c.names);
        EXPECT_EQ (session.library().patches[2].data[0], c.leadByte);
        EXPECT_EQ (session.isModified(), c.changesTheLibrary);
    }

    // Discarding every clash of a library that holds nothing else changes nothing.
    useLibrary ({"Init", "Lead"});
    EditSessionTestAccess::modified (session) = false;
    session.merge (libraryOf ("Same", {patchNamed ("Lead", 61)}), EditSession::MergeChoice::discard);
    EXPECT_FALSE (session.isModified());
}
