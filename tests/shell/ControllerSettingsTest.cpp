// The controller map and its options through the real window: the menu
// items, the map file exported and imported, and everything kept in the
// settings file across a restart.

#include "ShellFixture.h"

#include "control/PanelControls.h"

namespace
{
using Id = MainWindow::MenuId;
}

TEST_F (ShellTest, ControllerMappingsAndOptionsSurviveARestartAndTheMapFileRoundTrips)
{
    FileDialogRequest mapDialog;
    ControllerMapCommands::DialogDone answerMapDialog;
    window->controllerMapCommands.openDialog =
        [&] (const FileDialogRequest& request, ControllerMapCommands::DialogDone done)
    {
        mapDialog = request;
        answerMapDialog = std::move (done);
    };
    window->controllerMapCommands.showWarning = [this] (const juce::String& title, const juce::String& message) {
        warnings.push_back ({title.toStdString(), message.toStdString()});
    };

    auto& controllers = window->mainComponent->model().controllers();
    controllers.startLearning (PanelControl::vcfFreq);
    controllers.controlChange (0, 74, 0, {});
    controllers.startLearning (PanelControl::range8);
    controllers.controlChange (9, 20, 0, {});
    window->menuItemSelected (Id::softTakeoverId, 2);
    window->menuItemSelected (Id::useDefaultMapId, 2);
    window->menuItemSelected (Id::passNotesId, 2);
    EXPECT_TRUE (controllers.softTakeover());
    EXPECT_FALSE (controllers.map().usesDefaultMap());
    EXPECT_FALSE (engine().passesThrough());

    // Export, forget, import: the same two mappings.
    window->menuItemSelected (Id::exportMapId, 2);
    ASSERT_TRUE (answerMapDialog != nullptr);
    const auto mapFile = juce::File (configHome.path ("my controllers.txt"));
    answerMapDialog ({pathOf (mapFile)});
    EXPECT_EQ (mapFile.loadFileAsString(),
               "# Qorv controller map: CHANNEL CC CONTROL\n1 74 VCF Freq\n10 20 Range 8'\n");
    window->menuItemSelected (Id::forgetLearnedId, 2);
    EXPECT_TRUE (controllers.map().learned().empty());
    window->menuItemSelected (Id::importMapId, 2);
    answerMapDialog ({pathOf (mapFile)});
    EXPECT_EQ (controllers.map().learned().size(), 2u);
    EXPECT_EQ (panel().patchBar.statusLabel.getText(), "Imported 2 controllers");

    // A map with a wrong line is refused whole and named with its reason.
    const auto wrong = juce::File (configHome.path ("wrong.txt"));
    ASSERT_TRUE (wrong.replaceWithText ("1 30 Attack\n1 121 Decay\n"));
    window->controllerMapCommands.importMap (pathOf (wrong));
    ASSERT_EQ (warnings.size(), 1u);
    EXPECT_EQ (warnings[0].message,
               "wrong.txt is not a controller map: line 2: CC 121 passes to the synthesizer and cannot be mapped.");
    EXPECT_EQ (controllers.map().learned().size(), 2u);

    // Killed rather than quit: what was learned is in the settings already.
    closeWindow();
    openWindow();
    window->loadState();
    const auto& restored = window->mainComponent->model().controllers();
    EXPECT_EQ (restored.map().find (0, 74), PanelControl::vcfFreq);
    EXPECT_EQ (restored.map().find (9, 20), PanelControl::range8);
    EXPECT_TRUE (restored.softTakeover());
    EXPECT_FALSE (restored.map().usesDefaultMap());
    EXPECT_FALSE (engine().passesThrough());
    EXPECT_EQ (tickedIds (submenuOf (window->getMenuForIndex (2, "MIDI"), "Controllers")),
               std::vector<int>{Id::softTakeoverId});
}

TEST_F (ShellTest, AControllerDeviceIsRememberedByNameAndReopened)
{
    closeWindow();
    openWindow ({{"", "Keystation", 5}, {"", "Juno", 6}}, {});
    window->menuItemSelected (Id::firstControllerId, 2);
    EXPECT_EQ (engine().controllerEndpoint, 5u);

    restart ({{"", "Juno", 6}, {"", "Keystation", 9}});
    EXPECT_EQ (engine().chosenControllerName(), "Keystation");
    EXPECT_EQ (engine().controllerEndpoint, 9u);
    EXPECT_EQ (midi->controlSources, std::vector<uint32_t>{9});
}

TEST_F (ShellTest, EscapeGivesUpLearningWhereverTheFocusIs)
{
    auto& controllers = window->mainComponent->model().controllers();
    controllers.startLearning (PanelControl::attack);
    EXPECT_EQ (panel().patchBar.statusLabel.getText(), "Move a controller for Attack");
    EXPECT_TRUE (window->keyPressed (juce::KeyPress (juce::KeyPress::escapeKey)));
    EXPECT_FALSE (controllers.learningControl().has_value());
    EXPECT_FALSE (window->keyPressed (juce::KeyPress (juce::KeyPress::escapeKey))) << "nothing to give up";
}
