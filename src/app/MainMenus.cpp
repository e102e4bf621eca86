// The menu bar: File, Edit, View and MIDI, and the handler that follows MIDI
// devices coming and going.

#include "app/MainWindow.h"

#include "files/Utf8Text.h"
#include "ui/PanelText.h"

#include <algorithm>
#include <sys/stat.h>

namespace
{
const char* const scaleNames[MainWindow::numScales] = {"Small", "Medium", "Large", "X-Large"};

/** Longest item of Open Recent, in characters. */
constexpr size_t maxRecentItemLength = 60;

/** One device item per listed device; past the last id the menu can hand
    back, a device is still shown but cannot be chosen. */
void addDevices (juce::PopupMenu& menu,
                 const std::vector<MidiEngine::DeviceInfo>& devices,
                 uint32_t openEndpoint,
                 int firstId,
                 int lastId)
{
    for (size_t i = 0; i < devices.size(); ++i)
    {
        const int id = firstId + static_cast<int> (i);
        const bool selectable = id <= lastId;
        menu.addItem (selectable ? id : MainWindow::unavailableDeviceId,
                      toDisplayString (devices[i].name),
                      selectable,
                      devices[i].endpoint == openEndpoint);
    }
}
} // namespace

juce::StringArray MainWindow::getMenuBarNames()
{
    return {"File", "Edit", "View", "MIDI"};
}

juce::PopupMenu MainWindow::getMenuForIndex (int, const juce::String& menuName)
{
    if (menuName == "File")
        return fileMenu();
    if (menuName == "Edit")
        return editMenu();
    if (menuName == "View")
        return viewMenu();
    if (menuName == "MIDI")
        return midiMenu();
    return {};
}

juce::PopupMenu MainWindow::fileMenu() const
{
    juce::PopupMenu menu;
    menu.addItem (newLibraryId, "New Library");
    menu.addItem (loadLibraryId, "Load Library (.106)...");
    menu.addSubMenu ("Open Recent", recentMenu());
    menu.addItem (saveLibraryId, "Save Library");
    menu.addItem (saveLibraryAsId, "Save Library as...");
    menu.addSeparator();

    juce::PopupMenu importMenu;
    importMenu.addItem (importSysexId, "Binary Sysex (.syx)...");
    importMenu.addItem (importPresetId, "Juno Editor Preset (.jep)...");
    importMenu.addItem (mergeLibraryId, "Patches from other Library (.106)...");
    importMenu.addItem (importFolderId, "Folder...");
    importMenu.addItem (importArchiveId, "Library with Previews (.zip)...");
    menu.addSubMenu ("Import", importMenu);

    juce::PopupMenu exportMenu;
    exportMenu.addItem (exportActivePatchId, "Active Patch as .syx...");
    exportMenu.addItem (exportAllPatchesId, "All Patches as .syx files...");
    exportMenu.addItem (exportBankId, "Library as SysEx Bank (.syx)...");
    exportMenu.addItem (exportArchiveId, "Library with Previews (.zip)...");
    menu.addSubMenu ("Export", exportMenu);

    // Linux has no application menu to hold Quit, so the File menu does.
    menu.addSeparator();
    juce::PopupMenu::Item quit ("Quit");
    quit.itemID = quitId;
    quit.shortcutKeyDescription = "Ctrl+Q"; // the key itself is handled by keyPressed
    menu.addItem (std::move (quit));
    return menu;
}

juce::PopupMenu MainWindow::editMenu() const
{
    juce::PopupMenu menu;
    juce::PopupMenu::Item find ("Find Patch...");
    find.itemID = findPatchId;
    find.shortcutKeyDescription = "Ctrl+F"; // the keys themselves are handled by keyPressed
    menu.addItem (std::move (find));
    juce::PopupMenu::Item next ("Find Next");
    next.itemID = findNextId;
    next.shortcutKeyDescription = "Ctrl+G";
    menu.addItem (std::move (next));
    menu.addSeparator();
    menu.addItem (morphId, "Morph...");
    menu.addItem (breedId, "Breed...");
    return menu;
}

juce::PopupMenu MainWindow::recentMenu() const
{
    juce::PopupMenu menu;
    const std::string home =
        juce::File::getSpecialLocation (juce::File::userHomeDirectory).getFullPathName().toStdString() + "/";
    const auto& paths = recentLibraries.list();
    for (size_t i = 0; i < paths.size(); ++i)
    {
        const auto& path = paths[i];
        const std::string shortened = path.rfind (home, 0) == 0 ? "~/" + path.substr (home.size()) : path;
        // A long path keeps its start and its file's name.
        const std::string shown = Utf8Text::elideMiddle (Utf8Text::forDisplay (shortened), maxRecentItemLength);
        struct stat info;
        const bool there = ::stat (path.c_str(), &info) == 0 && S_ISREG (info.st_mode);
        menu.addItem (firstRecentId + static_cast<int> (i),
                      juce::String::fromUTF8 (shown.data(), static_cast<int> (shown.size())),
                      there); // a file that has gone is greyed
    }
    if (!paths.empty())
        menu.addSeparator();
    menu.addItem (clearRecentId, "Clear Recent", !paths.empty());
    return menu;
}

juce::PopupMenu MainWindow::viewMenu() const
{
    juce::PopupMenu menu;
    for (int i = 0; i < numScales; ++i)
        menu.addItem (firstScaleId + i, scaleNames[i], true, scaleIndex == i);
    return menu;
}

juce::PopupMenu MainWindow::midiMenu()
{
    const auto& engine = mainComponent->midiEngine;
    juce::PopupMenu devices;
    if (!engine.isAvailable())
    {
        devices.addItem (unavailableDeviceId, toDisplayString (engine.unavailableReason()), false, false);
    }
    else
    {
        // A chosen device that is away is shown ticked and greyed; it is reopened when it comes back.
        const auto addSide = [&devices] (const char* header,
                                         int offId,
                                         int firstId,
                                         int lastId,
                                         const std::vector<MidiEngine::DeviceInfo>& listed,
                                         uint32_t openEndpoint,
                                         const std::string& chosenName)
        {
            devices.addSectionHeader (header);
            devices.addItem (offId, "Disabled", true, chosenName.empty());
            addDevices (devices, listed, openEndpoint, firstId, lastId);
            if (!chosenName.empty() && openEndpoint == 0)
                devices.addItem (unavailableDeviceId, toDisplayString (chosenName) + " (not connected)", false, true);
        };
        addSide ("Input",
                 inputOffId,
                 firstInputId,
                 lastInputId,
                 engine.getInputDevices(),
                 engine.inputEndpoint,
                 engine.chosenInputName());
        devices.addSeparator();
        addSide ("Output",
                 outputOffId,
                 firstOutputId,
                 lastOutputId,
                 engine.getOutputDevices(),
                 engine.outputEndpoint,
                 engine.chosenOutputName());
        devices.addSeparator();
        addSide ("Controller",
                 controllerOffId,
                 firstControllerId,
                 lastControllerId,
                 engine.getInputDevices(),
                 engine.controllerEndpoint,
                 engine.chosenControllerName());
    }

    juce::PopupMenu channels;
    for (int n = 0; n < numChannels; ++n)
        channels.addItem (firstChannelId + n, juce::String (n + 1), true, engine.midiChannel == n);

    juce::PopupMenu menu;
    menu.addSubMenu ("Device", devices);
    menu.addSubMenu ("Channel", channels);
    menu.addSubMenu ("Controllers", controllersMenu());
    menu.addSeparator();
    const auto& session = mainComponent->session();
    menu.addItem (syncManualId, "Sync to Manual Mode", true, session.syncsManualMode());
    menu.addItem (syncCCId, "Sync to Control Changes", true, session.syncsControlChanges());
    menu.addSeparator();
    menu.addItem (writeLibraryId, "Write Library to Synthesizer...");
    menu.addSeparator();
    menu.addItem (recordPreviewsId, "Record Previews...");
    menu.addItem (checkVoicesId, "Check Voices...");
    const auto selecting = previewCommands.selectingDoes();
    menu.addItem (selectingPlaysPreviewId,
                  "Selecting a row plays its preview",
                  true,
                  selecting == PreviewCommands::Selecting::playsPreview);
    menu.addItem (selectingSendsId,
                  "Selecting a row sends it to the synthesizer",
                  true,
                  selecting == PreviewCommands::Selecting::sendsToSynthesizer);
    menu.addItem (levelMatchedId, "Play Previews Level-Matched", true, previewCommands.isLevelMatched());
    return menu;
}

juce::PopupMenu MainWindow::controllersMenu() const
{
    const auto& controllers = editor->controllers();
    juce::PopupMenu menu;
    menu.addItem (useDefaultMapId, "Use Default Map", true, controllers.map().usesDefaultMap());
    menu.addItem (forgetLearnedId, "Forget Learned Controllers", !controllers.map().learned().empty());
    menu.addItem (softTakeoverId, "Soft Takeover", true, controllers.softTakeover());
    menu.addSeparator();
    menu.addItem (exportMapId, "Export Map...");
    menu.addItem (importMapId, "Import Map...");
    menu.addSeparator();
    menu.addItem (passNotesId, "Pass Notes to the Synthesizer", true, editor->engine().passesThrough());
    return menu;
}

void MainWindow::menuItemSelected (int menuItemID, int)
{
    auto& files = fileCommands;
    auto& panel = *mainComponent;
    switch (menuItemID)
    {
        case newLibraryId:
            files.newLibrary();
            return;
        case loadLibraryId:
            files.chooseLibraryToLoad();
            return;
        case saveLibraryId:
            files.saveLibrary();
            return;
        case saveLibraryAsId:
            // Into another folder, the previews can come along.
            files.chooseSaveLibraryAs (
                [window = SafePointer<MainWindow> (this), old = panel.session().currentFile()] (bool saved)
                {
                    if (window != nullptr && saved)
                        window->previewArchive.offerToCopyPreviews (old);
                });
            return;
        case importArchiveId:
            previewArchive.chooseImport();
            return;
        case exportArchiveId:
            previewArchive.chooseExport();
            return;
        case importSysexId:
            files.chooseSysexToImport();
            return;
        case importPresetId:
            files.choosePresetsToImport();
            return;
        case mergeLibraryId:
            files.chooseLibraryToMerge();
            return;
        case exportActivePatchId:
            files.chooseActivePatchExport();
            return;
        case importFolderId:
            files.chooseFolderToImport();
            return;
        case exportBankId:
            files.chooseBankExport();
            return;
        case exportAllPatchesId:
            files.chooseExportFolder();
            return;
        case quitId:
            quitWhenAllowed();
            return;
        case findPatchId:
            panel.bank.showFindDialog();
            return;
        case findNextId:
            panel.bank.findNext();
            return;
        case morphId:
            exploreWindows.openMorph();
            return;
        case breedId:
            exploreWindows.openBreed();
            return;
        case writeLibraryId:
            openRestoreWindow();
            return;
        case recordPreviewsId:
            openRecordWindow();
            return;
        case checkVoicesId:
            openVoiceCheckWindow();
            return;
        case selectingPlaysPreviewId:
        case selectingSendsId:
        {
            using Selecting = PreviewCommands::Selecting;
            const auto chosen =
                menuItemID == selectingPlaysPreviewId ? Selecting::playsPreview : Selecting::sendsToSynthesizer;
            // Choosing the ticked one again leaves selecting to select only, as it always did.
            previewCommands.setSelecting (previewCommands.selectingDoes() == chosen ? Selecting::selects : chosen);
            break;
        }
        case levelMatchedId:
            previewCommands.setLevelMatched (!previewCommands.isLevelMatched());
            break;
        case clearRecentId:
            recentLibraries.clear();
            break;
        case syncManualId:
            panel.session().setSyncManual (!panel.session().syncsManualMode());
            break;
        case syncCCId:
            panel.session().setSyncControlChanges (!panel.session().syncsControlChanges());
            break;
        case inputOffId:
            panel.midiEngine.openInput (0);
            break;
        case controllerOffId:
            panel.midiEngine.openController (0);
            break;
        case useDefaultMapId:
            editor->controllers().setUsesDefaultMap (!editor->controllers().map().usesDefaultMap());
            return; // the map's news updates the menu
        case forgetLearnedId:
            editor->controllers().forgetAll();
            return;
        case softTakeoverId:
            editor->controllers().setSoftTakeover (!editor->controllers().softTakeover());
            return;
        case exportMapId:
            controllerMapCommands.chooseMapExport();
            return;
        case importMapId:
            controllerMapCommands.chooseMapToImport();
            return;
        case passNotesId:
            panel.midiEngine.setPassThrough (!panel.midiEngine.passesThrough());
            storeControllerSettings();
            break;
        case outputOffId:
            panel.midiEngine.openOutput (0);
            break;
        default:
            if (menuItemID >= firstRecentId && menuItemID <= lastRecentId)
            {
                const auto index = static_cast<size_t> (menuItemID - firstRecentId);
                if (index < recentLibraries.list().size())
                    files.openLibraryFile (recentLibraries.list()[index]);
                return;
            }
            if (menuItemID >= firstScaleId && menuItemID < firstScaleId + numScales)
                applyScale (menuItemID - firstScaleId);
            else if (menuItemID >= firstChannelId && menuItemID < firstChannelId + numChannels)
                panel.midiEngine.setMidiChannel (menuItemID - firstChannelId);
            else if ((menuItemID >= firstInputId && menuItemID <= lastInputId) ||
                     (menuItemID >= firstOutputId && menuItemID <= lastOutputId) ||
                     (menuItemID >= firstControllerId && menuItemID <= lastControllerId))
                openDeviceItem (menuItemID);
            else
                return; // not an item of these menus
            break;
    }
    menuItemsChanged(); // the ticks follow the change
}

void MainWindow::openDeviceItem (int menuItemID)
{
    // The list is fetched again: devices may have come and gone since the menu was built.
    auto& engine = mainComponent->midiEngine;
    const bool isInput = menuItemID <= lastInputId;
    const bool isController = menuItemID >= firstControllerId;
    const auto devices = isInput || isController ? engine.getInputDevices() : engine.getOutputDevices();
    const int firstId = isInput ? firstInputId : isController ? firstControllerId : firstOutputId;
    const size_t index = static_cast<size_t> (menuItemID - firstId);
    if (index >= devices.size())
        return;
    if (isInput)
        engine.openInput (devices[index].endpoint);
    else if (isController)
        engine.openController (devices[index].endpoint);
    else
        engine.openOutput (devices[index].endpoint);
}

void MainWindow::sessionChanged (SessionChange change)
{
    if (change == SessionChange::libraryReplaced || change == SessionChange::fileStateChanged)
        previewCommands.libraryChanged();
}

void MainWindow::controllersChanged (ControllerTranslator::Change change)
{
    if (restoringSettings)
        return;
    if (change == ControllerTranslator::Change::learned || change == ControllerTranslator::Change::mapChanged)
    {
        storeControllerSettings();
        menuItemsChanged();
    }
}

void MainWindow::openRestoreWindow()
{
    if (restoreWindow == nullptr)
    {
        restoreWindow = std::make_unique<RestoreWindow> (editor->session(), editor->engine(), *this);
        // Let go of after the close button's own work is done.
        restoreWindow->onClose = [this]
        {
            juce::MessageManager::callAsync (
                [window = SafePointer<MainWindow> (this)]
                {
                    if (window != nullptr)
                        window->restoreWindow.reset();
                });
        };
        restoreWindow->centreAroundComponent (this, restoreWindow->getWidth(), restoreWindow->getHeight());
        restoreWindow->addToDesktop();
        restoreWindow->setVisible (true);
    }
    restoreWindow->toFront (true);
}

void MainWindow::installDeviceChangeHandler()
{
    // The engine has closed what went and reopened what came back by now.
    mainComponent->midiEngine.onDevicesChanged = [this] { menuItemsChanged(); };
}
