// Morph, Breed and Find Similar in the real window on the in-memory MIDI
// layer: what each sends, the UNDO steps, the generations, locks, Keep, and
// how the BANK and the windows follow each other.

#include "FactoryPatches.h"
#include "ShellFixture.h"
#include "UiTestSupport.h"
#include "explore/Breeding.h"
#include "explore/SoundDistance.h"
#include "files/QorvFileIO.h"

namespace
{
using Section = SoundControls::Section;

class ExploreWindowsTest : public ShellTest
{
protected:
    ExploreWindowsTest()
    {
        for (const auto& row : loadFactoryPatches())
            factory.push_back (row.patch);
        LibraryModel library;
        library.patches.assign (factory.begin(), factory.begin() + 16);
        EXPECT_TRUE (QorvFileIO::save (libraryPath, library));

        closeWindow();
        openWindow ({}, {{"", "Juno", 1}});
        engine().openOutput (1);
        EXPECT_TRUE (window->fileCommands.loadLibrary (libraryPath));
        sorted = session().library().patches; // the library's own order
        midi->clearSent();
    }

    /** The BANK's selection, as Ctrl+clicks leave it. */
    void selectRows (const std::vector<int>& rows) { panel().bank.libraryList.selectRows (rows); }

    std::string status() const { return window->mainComponent->patchBar.statusLabel.getText().toStdString(); }

    MorphComponent& openMorph()
    {
        window->menuItemSelected (MainWindow::morphId, 1);
        EXPECT_NE (window->exploreWindows.morphWindow, nullptr);
        return window->exploreWindows.morphWindow->content();
    }

    BreedComponent& openBreed()
    {
        window->menuItemSelected (MainWindow::breedId, 1);
        EXPECT_NE (window->exploreWindows.breedWindow, nullptr);
        return window->exploreWindows.breedWindow->content();
    }

    /** A button clicked as the mouse clicks it, its work done. */
    void click (juce::Button& button)
    {
        button.triggerClick();
        EXPECT_TRUE (runPostedMessages());
    }

    /** Every message sent since the last clearSent. */
    std::vector<Bytes> sent() const { return midi->sent; }

    TempFolder files;
    const std::string libraryPath = files.path ("Factory.106");
    std::vector<PatchModel> factory;
    std::vector<PatchModel> sorted;
};
} // namespace

TEST_F (ExploreWindowsTest, TheEditMenuOpensEachWindowOnce)
{
    const auto edit = entriesOf (window->getMenuForIndex (1, "Edit"));
    EXPECT_EQ (std::vector<MenuEntry> (edit.end() - 3, edit.end()),
               (std::vector<MenuEntry>{menuSeparator(),
                                       menuItem (MainWindow::morphId, "Morph..."),
                                       menuItem (MainWindow::breedId, "Breed...")}));
    auto& morph = openMorph();
    EXPECT_EQ (&openMorph(), &morph) << "the menu brings the open window to the front";
    EXPECT_EQ (window->exploreWindows.morphWindow->getName(), "Morph");
    auto& breed = openBreed();
    EXPECT_EQ (&openBreed(), &breed);
    EXPECT_EQ (breed.run().count(), 1u) << "opened again, it keeps its generations";

    window->exploreWindows.breedWindow->closeButtonPressed();
    EXPECT_TRUE (pumpMessagesUntil ([this] { return window->exploreWindows.breedWindow == nullptr; }));
}

TEST_F (ExploreWindowsTest, AMorphDragSendsEachBlendAndIsOneUndoStep)
{
    selectRows ({0, 2}); // the active patch and another
    auto& morph = openMorph();
    ASSERT_EQ (morph.corners().size(), 2u);
    EXPECT_EQ (morph.corners()[0].data, sorted[0].data);
    EXPECT_EQ (morph.corners()[1].data, sorted[2].data);
    EXPECT_TRUE (sent().empty()) << "opening changes no sound";

    // Press on A (its own sound: nothing new to send), drag across, let go.
    auto& pad = morph.pad;
    const auto a = pad.positionOf ({});
    const auto b = pad.positionOf ({SoundMorph::unit, 0});
    std::vector<juce::Point<float>> path;
    for (int step = 0; step <= 4; ++step)
        path.push_back (a + (b - a) * (static_cast<float> (step) / 4.0f));
    path.push_back (b + juce::Point<float> (50.0f, 30.0f)); // past the end of the line: B
    UiTest::press (pad, path[0].x, path[0].y);
    for (size_t i = 1; i < path.size(); ++i)
        UiTest::drag (pad, path[i].x, path[i].y);
    UiTest::release (pad, path.back().x, path.back().y);

    std::vector<Bytes> expected;
    SoundControls::Bytes last = sorted[0].data;
    for (const auto& position : path)
    {
        const auto blend = SoundMorph::blend ({sorted[0].data, sorted[2].data}, pad.pointFor (position));
        if (blend != last)
        {
            PatchModel patch;
            patch.data = blend;
            expected.push_back (dumpOf (patch));
        }
        last = blend;
    }
    EXPECT_EQ (sentDumps(), expected);
    EXPECT_EQ (session().activePatch().data, sorted[2].data);
    EXPECT_EQ (session().activePatch().name, sorted[0].name);
    EXPECT_TRUE (panel().patchBar.changedInd.isLit());
    EXPECT_EQ (status(), "Morph: A0 B100");
    EXPECT_EQ (morph.weightsLabel.getText(), "A 0%  B 100%");

    EXPECT_EQ (session().history().size(), 1u);
    panel().patchBar.undoBtn.onClick();
    EXPECT_EQ (session().activePatch().data, sorted[0].data);
}

TEST_F (ExploreWindowsTest, MorphWithTakesTheActivePatchAndTheSelectedRowsAsCorners)
{
    selectRows ({3, 5, 9});
    panel().bank.rowMenuChosen (BankSection::morphWithId, 5);
    ASSERT_NE (window->exploreWindows.morphWindow, nullptr);
    auto& morph = window->exploreWindows.morphWindow->content();
    std::vector<std::string> names;
    for (const auto& corner : morph.corners())
        names.push_back (corner.name);
    EXPECT_EQ (names, (std::vector<std::string>{sorted[0].name, sorted[3].name, sorted[5].name, sorted[9].name}));
    EXPECT_EQ (morph.cornerButtons[3].getButtonText().toStdString(), "D: " + sorted[9].name);

    // The centre of three corners: a quarter each of A and B, half of C.
    morph.setCorner (3, nullptr);
    ASSERT_EQ (morph.corners().size(), 3u);
    morph.pad.onDragStart();
    morph.moveTo (SoundMorph::pointAt (0.5, 0.5));
    EXPECT_EQ (session().activePatch().data,
               SoundMorph::blend ({sorted[0].data, sorted[3].data, sorted[5].data}, SoundMorph::pointAt (0.5, 0.5)));
    EXPECT_EQ (status(), "Morph: A25 B25 C50");

    // With one corner there is nothing to blend: the pad takes no drag.
    morph.setCorners ({sorted[0]});
    midi->clearSent();
    UiTest::press (morph.pad, 100.0f, 100.0f);
    EXPECT_TRUE (sent().empty());
    EXPECT_FALSE (morph.cornerButtons[2].isEnabled());
}

TEST_F (ExploreWindowsTest, ABredCandidateClickedIsSentAndHeardWithANote)
{
    selectRows ({0, 4});
    auto& breed = openBreed();
    const auto* first = breed.run().shown();
    ASSERT_NE (first, nullptr);
    ASSERT_EQ (first->parents.size(), 2u);
    EXPECT_EQ (first->parents[1].name, sorted[4].name);
    EXPECT_EQ (first->candidates, Breeding::children ({sorted[0].data, sorted[4].data}, {}, first->seed, 12));
    EXPECT_EQ (breed.seedEditor.getText().toStdString(), std::to_string (first->seed));
    EXPECT_EQ (breed.parentsLabel.getText().toStdString(), "Parents: " + sorted[0].name + ", " + sorted[4].name);

    // Each click sends exactly that candidate and is one UNDO step.
    UiTest::click (breed.tiles[2], 20.0f, 60.0f);
    UiTest::click (breed.tiles[7], 20.0f, 60.0f);
    PatchModel heard;
    heard.data = first->candidates[2];
    Bytes dumpOf2 = dumpOf (heard);
    heard.data = first->candidates[7];
    EXPECT_EQ (sentDumps(), (std::vector<Bytes>{dumpOf2, dumpOf (heard)}));
    EXPECT_EQ (session().history().size(), 2u);
    EXPECT_EQ (session().activePatch().name, sorted[0].name);
    EXPECT_EQ (status(), "Candidate: 8 of G1");

    // With Play a Note, a note follows the dump and ends after its length.
    midi->clearSent();
    breed.playNote.setToggleState (true, juce::dontSendNotification);
    breed.noteSlider.setValue (48);
    breed.velocitySlider.setValue (90);
    breed.lengthSlider.setValue (80);
    UiTest::click (breed.tiles[5], 20.0f, 60.0f);
    heard.data = first->candidates[5];
    ASSERT_GE (sent().size(), 2u);
    EXPECT_EQ (sent()[0], dumpOf (heard));
    EXPECT_EQ (sent()[1], (Bytes{0x90, 48, 90}));
    EXPECT_TRUE (pumpMessagesUntil ([this] { return sent().size() == 3; }));
    EXPECT_EQ (sent().back(), (Bytes{0x80, 48, 0}));

    // Clicked again, it is sent again, with no new UNDO step.
    midi->clearSent();
    breed.playNote.setToggleState (false, juce::dontSendNotification);
    UiTest::click (breed.tiles[5], 20.0f, 60.0f);
    EXPECT_EQ (sent(), std::vector<Bytes>{dumpOf (heard)});
    EXPECT_EQ (session().history().size(), 3u);
}

TEST_F (ExploreWindowsTest, TickedCandidatesBreedTheNextGenerationAndBackReturns)
{
    auto& breed = openBreed();
    const auto first = *breed.run().shown();
    EXPECT_FALSE (breed.nextButton.isEnabled());

    click (breed.tiles[1].parentTick);
    click (breed.tiles[6].parentTick);
    EXPECT_TRUE (breed.nextButton.isEnabled());
    // A fourth parent is refused and its tick undone.
    click (breed.tiles[8].parentTick);
    click (breed.tiles[9].parentTick);
    EXPECT_FALSE (breed.tiles[9].parentTick.getToggleState());
    EXPECT_EQ (status(), "Parents: three at most");
    click (breed.tiles[8].parentTick); // unticked again

    click (breed.nextButton);
    const auto* second = breed.run().shown();
    ASSERT_EQ (breed.run().shownNumber(), 2u);
    EXPECT_EQ (second->candidates,
               Breeding::children ({first.candidates[1], first.candidates[6]}, {}, second->seed, 12));
    EXPECT_EQ (breed.parentsLabel.getText(), "Parents: candidates 2, 7 of generation 1");
    EXPECT_EQ (breed.generationLabel.getText(), "Generation 2 of 2, Subtle");
    EXPECT_FALSE (breed.tiles[1].parentTick.getToggleState());

    // Back shows the first generation with its ticks; Forward the second again.
    click (breed.backButton);
    EXPECT_EQ (breed.run().shownNumber(), 1u);
    EXPECT_TRUE (breed.tiles[1].parentTick.getToggleState());
    EXPECT_EQ (breed.seedEditor.getText().toStdString(), std::to_string (first.seed));
    EXPECT_FALSE (breed.backButton.isEnabled());
    click (breed.forwardButton);
    EXPECT_EQ (breed.run().shownNumber(), 2u);

    // A typed seed breeds the shown generation's parents again, as a new generation.
    breed.seedEditor.setText ("424242");
    breed.breedWithTypedSeed();
    EXPECT_EQ (breed.run().count(), 3u);
    EXPECT_EQ (breed.run().shown()->seed, 424242u);
    EXPECT_EQ (breed.run().shown()->candidates,
               Breeding::children ({first.candidates[1], first.candidates[6]}, {}, 424242, 12));
}

TEST_F (ExploreWindowsTest, LockedSectionsStayTheFirstParentsAndKeepAddsTheHeardCandidate)
{
    auto& breed = openBreed();
    breed.amountBox.setSelectedId (static_cast<int> (Breeding::Amount::wild) + 1);
    breed.lockButtons[static_cast<size_t> (Section::lfo)].setToggleState (true, juce::dontSendNotification);
    breed.lockButtons[static_cast<size_t> (Section::env)].setToggleState (true, juce::dontSendNotification);
    click (breed.breedButton); // a new generation from the panel, by these options
    const auto* generation = breed.run().shown();
    ASSERT_EQ (breed.run().count(), 2u);
    EXPECT_EQ (generation->options.amount, Breeding::Amount::wild);
    for (const auto& candidate : generation->candidates)
        for (const auto& control : SoundControls::all())
            if (control.section == Section::lfo || control.section == Section::env)
            {
                EXPECT_EQ (PanelControls::position (control.control, candidate),
                           PanelControls::position (control.control, sorted[0].data))
                    << PanelControls::name (control.control);
            }

    EXPECT_FALSE (breed.keepButton.isEnabled());
    UiTest::click (breed.tiles[4], 20.0f, 60.0f);
    click (breed.keepButton);
    click (breed.keepButton);
    const auto& library = session().library().patches;
    const auto kept = [&library] (const std::string& name)
    { return std::find_if (library.begin(), library.end(), [&name] (const PatchModel& p) { return p.name == name; }); };
    ASSERT_NE (kept (sorted[0].name + " b1"), library.end());
    ASSERT_NE (kept (sorted[0].name + " b2"), library.end());
    EXPECT_EQ (kept (sorted[0].name + " b1")->data, generation->candidates[4]);
    EXPECT_EQ (status(), "Kept: " + sorted[0].name + " b2");
    EXPECT_TRUE (session().isModified());
    EXPECT_EQ (library.size(), 18u);
}

TEST_F (ExploreWindowsTest, FindSimilarListsTheNearestAndShowsOrActivatesThem)
{
    panel().bank.rowMenuChosen (BankSection::findSimilarId, 6);
    ASSERT_NE (window->exploreWindows.similarWindow, nullptr);
    auto& similar = window->exploreWindows.similarWindow->content();
    const auto near = SoundDistance::nearest (sorted, 6, SimilarComponent::shownCount);
    ASSERT_EQ (similar.found().size(), near.size());
    for (size_t i = 0; i < near.size(); ++i)
    {
        EXPECT_EQ (similar.found()[i].name, sorted[near[i].row].name);
        EXPECT_EQ (similar.found()[i].distance, near[i].distance);
    }
    EXPECT_EQ (similar.heading.getText().toStdString(), "Nearest to \"" + sorted[6].name + "\"");

    similar.list.selectRow (0);
    EXPECT_EQ (panel().bank.libraryList.selectedRow(), static_cast<int> (near[0].row));
    EXPECT_TRUE (sent().empty());
    similar.list.getModel()->returnKeyPressed (1);
    EXPECT_EQ (session().activePatch().name, sorted[near[1].row].name);
    EXPECT_EQ (sentDumps(), std::vector<Bytes>{dumpOf (sorted[near[1].row])});

    // Asked for another patch, the open window lists that one's.
    panel().bank.rowMenuChosen (BankSection::findSimilarId, 2);
    EXPECT_EQ (similar.heading.getText().toStdString(), "Nearest to \"" + sorted[2].name + "\"");
}
