#include "ShellFixture.h"

namespace
{
MidiPlatform::Port port (const std::string& name, uint32_t endpoint)
{
    return {"", name, endpoint}; // listed under its port name
}

using Id = MainWindow::MenuId;
} // namespace

TEST_F (ShellTest, MenuBarHasFileEditViewAndMidiAndIgnoresOtherNames)
{
    EXPECT_EQ (window->getMenuBarNames(), juce::StringArray ({"File", "Edit", "View", "MIDI"}));
    EXPECT_EQ (window->getMenuForIndex (0, "Help").getNumItems(), 0);
    // Menus are found by name, not by position.
    EXPECT_EQ (entriesOf (window->getMenuForIndex (2, "View")).front(), menuItem (401, "Small"));
}

TEST_F (ShellTest, FileMenuItemsAndIds)
{
    const auto file = window->getMenuForIndex (0, "File");
    const std::vector<MenuEntry> expected{menuItem (10, "New Library"),
                                          menuItem (11, "Load Library (.106)..."),
                                          menuSubmenu ("Open Recent"),
                                          menuItem (12, "Save Library"),
                                          menuItem (13, "Save Library as..."),
                                          menuSeparator(),
                                          menuSubmenu ("Import"),
                                          menuSubmenu ("Export"),
                                          menuSeparator(),
                                          menuItem (90, "Quit")};
    EXPECT_EQ (entriesOf (file), expected);

    EXPECT_EQ (entriesOf (submenuOf (file, "Import")),
               (std::vector<MenuEntry>{menuItem (20, "Binary Sysex (.syx)..."),
                                       menuItem (21, "Juno Editor Preset (.jep)..."),
                                       menuItem (22, "Patches from other Library (.106)..."),
                                       menuItem (23, "Folder..."),
                                       menuItem (24, "Library with Previews (.zip)...")}));
    EXPECT_EQ (entriesOf (submenuOf (file, "Export")),
               (std::vector<MenuEntry>{menuItem (30, "Active Patch as .syx..."),
                                       menuItem (31, "All Patches as .syx files..."),
                                       menuItem (32, "Library as SysEx Bank (.syx)..."),
                                       menuItem (35, "Library with Previews (.zip)...")}));

    juce::PopupMenu::MenuItemIterator it (file);
    while (it.next() && it.getItem().itemID != Id::quitId)
    {
    }
    EXPECT_EQ (it.getItem().shortcutKeyDescription, "Ctrl+Q");
}

TEST_F (ShellTest, ViewSizesResizeTheWindowAndMoveTheTick)
{
    const std::pair<int, juce::Rectangle<int>> sizes[] = {
        {401, {728, 480}}, {402, {910, 600}}, {403, {1092, 720}}, {404, {1274, 840}}, {401, {728, 480}}};

    EXPECT_EQ (tickedIds (window->getMenuForIndex (1, "View")), std::vector<int>{403});
    for (const auto& [id, size] : sizes)
    {
        const auto topLeft = window->getPosition();
        window->menuItemSelected (id, 1);
        EXPECT_EQ (contentSize(), size) << id;
        EXPECT_EQ (window->getPosition(), topLeft) << id;
        EXPECT_EQ (panel().getBoundsInParent(), size) << "the panel fills the window at " << id;
        EXPECT_EQ (tickedIds (window->getMenuForIndex (1, "View")), std::vector<int>{id});
    }
}

TEST_F (ShellTest, MidiMenuListsDevicesAndTicksByEndpoint)
{
    closeWindow();
    // Two inputs of one name: both listed, the tick follows the endpoint.
    openWindow ({port ("Juno", 5), port ("Juno", 6)}, {port ("USB MIDI", 7)});
    engine().openInput (6);
    engine().setMidiChannel (3);
    session().setSyncControlChanges (true);

    const auto menu = window->getMenuForIndex (2, "MIDI");
    EXPECT_EQ (entriesOf (menu),
               (std::vector<MenuEntry>{menuSubmenu ("Device"),
                                       menuSubmenu ("Channel"),
                                       menuSubmenu ("Controllers"),
                                       menuSeparator(),
                                       menuItem (501, "Sync to Manual Mode", false),
                                       menuItem (502, "Sync to Control Changes", true),
                                       menuSeparator(),
                                       menuItem (550, "Write Library to Synthesizer..."),
                                       menuSeparator(),
                                       menuItem (551, "Record Previews..."),
                                       menuItem (552, "Check Voices..."),
                                       menuItem (553, "Selecting a row plays its preview", false),
                                       menuItem (554, "Selecting a row sends it to the synthesizer", false),
                                       menuItem (555, "Play Previews Level-Matched", true)}));
    EXPECT_EQ (entriesOf (submenuOf (menu, "Device")),
               (std::vector<MenuEntry>{menuHeader ("Input"),
                                       menuItem (601, "Disabled", false),
                                       menuItem (602, "Juno", false),
                                       menuItem (603, "Juno", true),
                                       menuSeparator(),
                                       menuHeader ("Output"),
                                       menuItem (701, "Disabled", true),
                                       menuItem (702, "USB MIDI", false),
                                       menuSeparator(),
                                       menuHeader ("Controller"),
                                       menuItem (901, "Disabled", true),
                                       menuItem (902, "Juno", false),
                                       menuItem (903, "Juno", false)}));
    EXPECT_EQ (entriesOf (submenuOf (menu, "Controllers")),
               (std::vector<MenuEntry>{menuItem (503, "Use Default Map", true),
                                       {MenuEntry::item, 504, "Forget Learned Controllers", false, false},
                                       menuItem (505, "Soft Takeover", false),
                                       menuSeparator(),
                                       menuItem (506, "Export Map..."),
                                       menuItem (507, "Import Map..."),
                                       menuSeparator(),
                                       menuItem (508, "Pass Notes to the Synthesizer", true)}));

    const auto channels = entriesOf (submenuOf (menu, "Channel"));
    ASSERT_EQ (channels.size(), 16u);
    for (int n = 0; n < 16; ++n)
        EXPECT_EQ (channels[static_cast<size_t> (n)], menuItem (800 + n, std::to_string (n + 1), n == 3));
}

TEST_F (ShellTest, DeviceItemsOpenAndCloseTheEngineEnds)
{
    closeWindow();
    openWindow ({port ("A", 5), port ("B", 6)}, {port ("Out", 7)});

    window->menuItemSelected (602, 2);
    EXPECT_EQ (engine().inputEndpoint, 5u);
    window->menuItemSelected (603, 2);
    EXPECT_EQ (engine().inputEndpoint, 6u);
    EXPECT_EQ (midi->source, 6u) << "only one input is connected";
    window->menuItemSelected (604, 2); // no third input: nothing opens
    EXPECT_EQ (engine().inputEndpoint, 6u);
    window->menuItemSelected (601, 2);
    EXPECT_EQ (engine().inputEndpoint, 0u);

    window->menuItemSelected (702, 2);
    EXPECT_EQ (engine().outputEndpoint, 7u);
    engine().sendPatch (panel().session().activePatch(), 0);
    EXPECT_EQ (sentDumps().size(), 1u);

    window->menuItemSelected (701, 2);
    EXPECT_EQ (engine().outputEndpoint, 0u);
    engine().sendPatch (panel().session().activePatch(), 0);
    EXPECT_EQ (sentDumps().size(), 1u) << "\"Disabled\" stops all sending";
    EXPECT_EQ (tickedIds (submenuOf (window->getMenuForIndex (2, "MIDI"), "Device")),
               (std::vector<int>{601, 701, 901}));

    window->menuItemSelected (903, 2);
    EXPECT_EQ (engine().controllerEndpoint, 6u);
    EXPECT_EQ (midi->controlSources, std::vector<uint32_t>{6}) << "connected to the control port";
    window->menuItemSelected (902, 2);
    EXPECT_EQ (midi->controlSources, std::vector<uint32_t>{5}) << "one controller device at a time";
    window->menuItemSelected (901, 2);
    EXPECT_TRUE (midi->controlSources.empty());
    EXPECT_EQ (engine().chosenControllerName(), "");
}

TEST_F (ShellTest, ChannelAndSyncItems)
{
    closeWindow();
    openWindow ({}, {port ("Out", 7)});
    window->menuItemSelected (702, 2);

    window->menuItemSelected (815, 2);
    EXPECT_EQ (engine().midiChannel, 15);
    engine().sendPatch (panel().session().activePatch(), 0);
    ASSERT_FALSE (sentDumps().empty());
    EXPECT_EQ (sentDumps().back(), dumpOf (panel().session().activePatch(), 15));
    EXPECT_EQ (tickedIds (submenuOf (window->getMenuForIndex (2, "MIDI"), "Channel")), std::vector<int>{815});

    window->menuItemSelected (501, 2);
    EXPECT_TRUE (panel().session().syncsManualMode());
    EXPECT_FALSE (panel().session().syncsControlChanges());
    window->menuItemSelected (502, 2);
    window->menuItemSelected (501, 2);
    EXPECT_FALSE (panel().session().syncsManualMode());
    EXPECT_TRUE (panel().session().syncsControlChanges());
}

TEST_F (ShellTest, IdsOutsideTheMenusDoNothing)
{
    closeWindow();
    openWindow ({port ("A", 5)}, {port ("Out", 7)});
    engine().openInput (5);
    engine().openOutput (7);
    engine().setMidiChannel (4);

    for (const int id : {0, 1, 9, 14, 33, 89, 91, 400, 405, 500, 509, 600, 700, 800 + 16, 999, 1000})
    {
        window->menuItemSelected (id, 0);
        EXPECT_EQ (engine().inputEndpoint, 5u) << id;
        EXPECT_EQ (engine().outputEndpoint, 7u) << id;
        EXPECT_EQ (engine().midiChannel, 4) << id;
        EXPECT_EQ (window->scaleIndex, 2) << id;
        EXPECT_FALSE (panel().session().syncsManualMode() || panel().session().syncsControlChanges()) << id;
    }
    EXPECT_TRUE (dialogs.empty());
    EXPECT_EQ (quitRequests, 0);
}

TEST_F (ShellTest, DevicesPastTheLastIdAreListedButUnavailable)
{
    Ports inputs, outputs;
    for (uint32_t i = 0; i < 100; ++i)
    {
        inputs.push_back (port ("In " + std::to_string (i), 1000 + i));
        outputs.push_back (port ("Out " + std::to_string (i), 2000 + i));
    }
    closeWindow();
    openWindow (inputs, outputs);

    const auto devices = entriesOf (submenuOf (window->getMenuForIndex (2, "MIDI"), "Device"));
    ASSERT_EQ (devices.size(), 3 * (2u + 100u) + 2u);
    for (size_t i = 0; i < 100; ++i)
    {
        const bool available = i < 98;
        const auto& in = devices[2 + i];
        const auto& out = devices[2 + 100 + 3 + i];
        const auto& controller = devices[2 * (2 + 100 + 1) + 2 + i];
        EXPECT_EQ (in.text, "In " + std::to_string (i));
        EXPECT_EQ (out.text, "Out " + std::to_string (i));
        EXPECT_EQ (controller.text, "In " + std::to_string (i));
        EXPECT_EQ (in.enabled, available) << i;
        EXPECT_EQ (out.enabled, available) << i;
        EXPECT_EQ (controller.enabled, i < 97) << i;
        EXPECT_EQ (in.id, available ? 602 + static_cast<int> (i) : Id::unavailableDeviceId);
        EXPECT_EQ (out.id, available ? 702 + static_cast<int> (i) : Id::unavailableDeviceId);
        EXPECT_EQ (controller.id, i < 97 ? 902 + static_cast<int> (i) : Id::unavailableDeviceId);
    }

    window->menuItemSelected (699, 2);
    EXPECT_EQ (engine().inputEndpoint, 1097u);
    window->menuItemSelected (799, 2);
    EXPECT_EQ (engine().outputEndpoint, 2097u);
    window->menuItemSelected (998, 2);
    EXPECT_EQ (engine().controllerEndpoint, 1096u);
}

TEST_F (ShellTest, TheMidiMenuShowsAChosenDeviceThatIsAwayUntilItComesBack)
{
    closeWindow();
    openWindow ({port ("In", 5)}, {port ("Out", 7)});
    window->installDeviceChangeHandler();
    engine().openInput (5);
    engine().openOutput (7);

    midi->inputs.clear();
    midi->outputs.clear();
    midi->announceSetupChange();
    ASSERT_TRUE (pumpMessagesUntil ([this] { return engine().outputEndpoint == 0; }));
    const auto away = entriesOf (submenuOf (window->getMenuForIndex (2, "MIDI"), "Device"));
    EXPECT_EQ (away,
               (std::vector<MenuEntry>{menuHeader ("Input"),
                                       menuItem (601, "Disabled"),
                                       {MenuEntry::item, Id::unavailableDeviceId, "In (not connected)", true, false},
                                       menuSeparator(),
                                       menuHeader ("Output"),
                                       menuItem (701, "Disabled"),
                                       {MenuEntry::item, Id::unavailableDeviceId, "Out (not connected)", true, false},
                                       menuSeparator(),
                                       menuHeader ("Controller"),
                                       menuItem (901, "Disabled", true)}));

    // Plugged in again, on another endpoint, it is opened without a click.
    midi->outputs = {port ("Out", 9)};
    midi->announceSetupChange();
    ASSERT_TRUE (pumpMessagesUntil ([this] { return engine().outputEndpoint == 9; }));
    EXPECT_EQ (tickedIds (submenuOf (window->getMenuForIndex (2, "MIDI"), "Device")),
               (std::vector<int>{Id::unavailableDeviceId, 702, 901}));
}

TEST_F (ShellTest, WithoutASequencerTheDeviceMenuSaysSoInOneGreyedLine)
{
    closeWindow();
    openWindow();
    midi->unavailable = "MIDI unavailable: no ALSA sequencer";
    EXPECT_EQ (entriesOf (submenuOf (window->getMenuForIndex (2, "MIDI"), "Device")),
               (std::vector<MenuEntry>{
                   {MenuEntry::item, Id::unavailableDeviceId, "MIDI unavailable: no ALSA sequencer", false, false}}));
    window->loadState();
    window->showAtStart();
    EXPECT_EQ (panel().patchBar.statusLabel.getText(), "MIDI unavailable");
}

TEST_F (ShellTest, DeviceChangeHandlerClosesGoneDevicesOnly)
{
    closeWindow();
    openWindow ({port ("In", 5)}, {port ("Out", 7), port ("Other", 8)});
    window->installDeviceChangeHandler();
    engine().openInput (5);
    engine().openOutput (7);

    midi->outputs = {port ("Other", 8)};
    midi->announceSetupChange();
    EXPECT_TRUE (pumpMessagesUntil ([this] { return engine().outputEndpoint == 0; }));
    EXPECT_EQ (engine().inputEndpoint, 5u) << "a device still listed stays open";

    midi->outputs = {port ("Out", 7), port ("Other", 8)};
    midi->announceSetupChange();
    ASSERT_TRUE (runPostedMessages());
    EXPECT_EQ (engine().outputEndpoint, 7u) << "the engine reopens a chosen device that comes back";
}

TEST_F (ShellTest, QuitItemCloseButtonAndCtrlQAllAskToQuit)
{
    window->menuItemSelected (Id::quitId, 0);
    EXPECT_EQ (quitRequests, 1);
    window->closeButtonPressed();
    EXPECT_EQ (quitRequests, 2);

    EXPECT_TRUE (window->keyPressed (juce::KeyPress ('q', juce::ModifierKeys::ctrlModifier, 0)));
    EXPECT_EQ (quitRequests, 3);
    EXPECT_FALSE (window->keyPressed (juce::KeyPress ('q')));
    EXPECT_FALSE (window->keyPressed (juce::KeyPress ('w', juce::ModifierKeys::ctrlModifier, 0)));
    EXPECT_EQ (quitRequests, 3);
}

namespace
{
/** Counts the menu bar's rebuild requests. */
struct MenuChangeCounter : juce::MenuBarModel::Listener
{
    void menuBarItemsChanged (juce::MenuBarModel*) override { ++changes; }
    void menuCommandInvoked (juce::MenuBarModel*, const juce::ApplicationCommandTarget::InvocationInfo&) override {}
    int changes = 0;
};
} // namespace

TEST_F (ShellTest, EveryTickChangeAsksForTheMenusToBeRebuilt)
{
    closeWindow();
    openWindow ({port ("In", 5)}, {port ("Out", 7)});
    window->installDeviceChangeHandler();
    MenuChangeCounter counter;
    window->addListener (&counter);

    for (const int id : {401, 404, 501, 502, 602, 601, 702, 701, 800, 815})
    {
        counter.changes = 0;
        window->menuItemSelected (id, 0);
        EXPECT_TRUE (pumpMessagesUntil ([&] { return counter.changes > 0; })) << id;
    }

    engine().openOutput (7);
    counter.changes = 0;
    midi->outputs.clear();
    midi->announceSetupChange();
    EXPECT_TRUE (pumpMessagesUntil ([&] { return counter.changes > 0; })) << "a device change rebuilds the device list";
    window->removeListener (&counter);
}
