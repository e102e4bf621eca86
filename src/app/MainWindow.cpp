#include "app/MainWindow.h"

#include "files/FilePath.h"

#include <algorithm>

namespace
{
bool isCtrl (const juce::KeyPress& key, char letter)
{
    return key == juce::KeyPress (letter, juce::ModifierKeys::ctrlModifier, 0);
}
} // namespace

MainWindow::PanelHolder::PanelHolder (EditorModel& model) : panel (std::make_unique<MainComponent> (model))
{
    addAndMakeVisible (*panel);
}

void MainWindow::PanelHolder::filesDropped (const juce::StringArray& paths, int, int)
{
    // The desktop hands over each path's bytes as they are; they are kept so.
    std::vector<std::string> files;
    const std::string workingFolder = FilePath::workingFolder();
    for (const auto& path : paths)
        files.push_back (FilePath::absolute (path.toStdString(), workingFolder));
    if (onFilesDropped)
        onFilesDropped (files);
}

MainWindow::MainWindow (const juce::String& name, AppState& state) : MainWindow (name, state, nullptr) {}

MainWindow::MainWindow (const juce::String& name, AppState& state, std::unique_ptr<MidiPlatform> midiPlatform)
    : DocumentWindow (name,
                      juce::LookAndFeel::getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId),
                      DocumentWindow::allButtons,
                      false),
      requestQuit ([] { juce::JUCEApplicationBase::quit(); }),
      editor (midiPlatform != nullptr ? std::make_unique<EditorModel> (std::move (midiPlatform))
                                      : std::make_unique<EditorModel>()),
      panelHolder (*editor), mainComponent (panelHolder.panel.get()), appState (state),
      fileCommands (mainComponent->session(), [this] (const juce::String& message) { showStatus (message); }),
      controllerMapCommands (editor->controllers(),
                             [this] (const juce::String& message) { mainComponent->showStatusMessage (message); }),
      previewCommands (mainComponent->session(),
                       mainComponent->bank,
                       [this] (const juce::String& message) { mainComponent->showStatusMessage (message); }),
      previewArchive (mainComponent->session(),
                      fileCommands,
                      previewCommands.previews(),
                      [this] (const juce::String& message) { showStatus (message); }),
      exploreWindows (*mainComponent, *this)
{
    setUsingNativeTitleBar (true);
    setMenuBar (this);

    // Placing the panel in the window makes it set the window's title.
    setContentNonOwned (&panelHolder, false);
    setResizable (false, false);

    editor->addListener (*this);
    panelHolder.onFilesDropped = [this] (const std::vector<std::string>& files) { fileCommands.openFiles (files); };
    fileCommands.menuChannel = [this] { return mainComponent->midiEngine.midiChannel; };
    fileCommands.libraryFileUsed = [this] (const std::string& path)
    {
        recentLibraries.add (path);
        menuItemsChanged();
    };

    applyScale (defaultScaleIndex);
    const auto area = usableArea();
    if (!area.isEmpty())
        setTopLeftPosition (area.getCentre() - juce::Point<int> (getWidth() / 2, getHeight() / 2));
}

MainWindow::~MainWindow()
{
    restoreWindow.reset(); // it gives the engine's received dumps back to the panel
    recordWindow.reset();
    voiceCheckWindow.reset();
    editor->removeListener (*this);
    mainComponent->midiEngine.onDevicesChanged = nullptr;
    setMenuBar (nullptr);
    clearContentComponent();
}

void MainWindow::start (const std::vector<std::string>& files)
{
    startingUp = true;
    showWarningWhenShown = fileCommands.showWarning;
    fileCommands.showWarning = [this] (const juce::String& title, const juce::String& message)
    { startUpWarnings.emplace_back (title, message); };
    warnOfLostChanges();
    if (!appState.recovery.findWaiting())
    {
        openAtStart (files, false);
        showAtStart();
        return;
    }
    // The question needs the window behind it; what opens waits for its answer, and until
    // then the settings keep the library and the patch the last session left.
    awaitingRecoveryAnswer = true;
    showWindow();
    fileCommands.offerRecovery (appState.recovery,
                                [weakThis = juce::Component::SafePointer<MainWindow> (this), files] (bool recovered)
                                {
                                    if (weakThis == nullptr)
                                        return;
                                    weakThis->awaitingRecoveryAnswer = false;
                                    weakThis->openAtStart (files, recovered);
                                    weakThis->showStartUpNotices();
                                });
}

void MainWindow::warnOfLostChanges()
{
    auto& settings = *appState.propertiesFile;
    const auto why = settings.getValue (AppState::Keys::recoveryFailure);
    if (why.isEmpty())
        return;
    settings.removeValue (AppState::Keys::recoveryFailure);
    settings.saveIfNeeded();
    fileCommands.showWarning ("Unsaved changes lost",
                              "When the last session ended, its unsaved changes could not be kept: " + why);
}

void MainWindow::openAtStart (const std::vector<std::string>& files, bool recovered)
{
    // Files given to the program win over the library open at the last quit.
    if (!files.empty())
        fileCommands.openFiles (files);
    else if (!recovered)
        reopenLastLibrary();
    // The active patch as it was, unless a library was asked for by name.
    const bool libraryGiven = std::any_of (
        files.begin(), files.end(), [] (const std::string& f) { return FilePath::extension (f) == ".106"; });
    if (!libraryGiven)
        restoreActivePatch();
}

void MainWindow::showStatus (const juce::String& message)
{
    if (startingUp)
        startUpNotices.add (message);
    else
        mainComponent->showStatusMessage (message);
}

void MainWindow::showWindow()
{
    const auto area = usableArea();
    if (!area.isEmpty())
        setTopLeftPosition (area.getCentre() - juce::Point<int> (getWidth() / 2, getHeight() / 2));
    addToDesktop();
    setVisible (true);
}

void MainWindow::showAtStart()
{
    showWindow();
    showStartUpNotices();
}

void MainWindow::showStartUpNotices()
{
    startingUp = false;
    if (!startUpNotices.isEmpty())
        mainComponent->patchBar.showMessages (startUpNotices);
    startUpNotices.clear();
    if (showWarningWhenShown)
    {
        fileCommands.showWarning = std::exchange (showWarningWhenShown, nullptr);
        for (const auto& [title, message] : std::exchange (startUpWarnings, {}))
            fileCommands.showWarning (title, message);
    }
}

void MainWindow::closeButtonPressed()
{
    quitWhenAllowed();
}

void MainWindow::quitWhenAllowed()
{
    fileCommands.whenLibraryMayGo (FileCommands::LibraryAction::quit,
                                   [weakThis = juce::Component::SafePointer<MainWindow> (this)]
                                   {
                                       if (weakThis != nullptr && weakThis->requestQuit)
                                           weakThis->requestQuit();
                                   });
}

void MainWindow::endSessionNow()
{
    keepWorkNow();
    if (requestQuit)
        requestQuit();
}

void MainWindow::keepWorkNow()
{
    // Written before anything else happens: the session may be cut short any moment now.
    const auto kept = appState.recovery.keep (mainComponent->session());
    if (!kept)
        appState.propertiesFile->setValue (AppState::Keys::recoveryFailure,
                                           juce::String::fromUTF8 (kept.reason.c_str()));
    saveState();
}

void MainWindow::activeWindowStatusChanged()
{
    DocumentWindow::activeWindowStatusChanged();
    if (!isActiveWindow())
        mainComponent->performance.keyboard.allNotesOff();
}

void MainWindow::prepareToQuit()
{
    fileCommands.closeDialogs();
    controllerMapCommands.closeDialog();
    mainComponent->performance.keyboard.allNotesOff();
    // Delivers the note-offs still waiting for the link, then lets go of the devices.
    mainComponent->midiEngine.close();
}

bool MainWindow::keyPressed (const juce::KeyPress& key)
{
    // Reached when no control of the panel wanted the key, or the panel did not have the focus.
    if (mainComponent->keyPressed (key))
        return true;
    if (isCtrl (key, 'q'))
    {
        quitWhenAllowed();
        return true;
    }
    if (isCtrl (key, 'f'))
    {
        mainComponent->bank.showFindDialog();
        return true;
    }
    if (isCtrl (key, 'g'))
    {
        mainComponent->bank.findNext();
        return true;
    }
    if (key == juce::KeyPress::spaceKey)
    {
        previewCommands.playSelected();
        return true;
    }
    if (key == juce::KeyPress::escapeKey && previewCommands.isPlaying())
    {
        previewCommands.stop();
        return true;
    }
    return DocumentWindow::keyPressed (key);
}

//==============================================================================
// Size and place

juce::Rectangle<int> MainWindow::scaledPanelBounds (int index)
{
    const float factor = scaleFactors[index];
    return {static_cast<int> (factor * static_cast<float> (MainComponent::panelWidth)),
            static_cast<int> (factor * static_cast<float> (MainComponent::panelHeight))};
}

int MainWindow::menuBarHeight() const
{
    if (auto* bar = getMenuBarComponent())
        return bar->getHeight();
    return 0;
}

juce::Rectangle<int> MainWindow::usableArea() const
{
    const auto& displays = juce::Desktop::getInstance().getDisplays();
    const auto* display = displays.getDisplayForRect (getScreenBounds());
    if (display == nullptr)
        display = displays.getPrimaryDisplay();
    if (display == nullptr)
        return {};
    return knownFrame.subtractedFrom (display->userArea);
}

int MainWindow::largestScaleThatFits (int index) const
{
    const auto area = usableArea();
    if (area.isEmpty())
        return index;
    for (int candidate = index; candidate > 0; --candidate)
    {
        const auto panel = scaledPanelBounds (candidate);
        if (panel.getWidth() <= area.getWidth() && panel.getHeight() + menuBarHeight() <= area.getHeight())
            return candidate;
    }
    return 0;
}

void MainWindow::applyScale (int index)
{
    scaleIndex = largestScaleThatFits (juce::jlimit (0, numScales - 1, index));
    mainComponent->setTransform (juce::AffineTransform::scale (scaleFactors[scaleIndex]));

    const auto size = scaledPanelBounds (scaleIndex);
    const auto topLeft = getPosition();
    setContentComponentSize (size.getWidth(), size.getHeight());

    // Kept where it was, unless part of it would leave the display.
    const auto area = usableArea();
    auto bounds = getBounds().withPosition (topLeft);
    if (!area.isEmpty())
        bounds = bounds.constrainedWithin (area);
    setTopLeftPosition (bounds.getPosition());
}

void MainWindow::moved()
{
    DocumentWindow::moved();
    // The window manager says how big its frame is only once the window is
    // shown; with that known, the window must still fit.
    if (auto* peer = getPeer())
    {
        const auto present = peer->getFrameSizeIfPresent();
        const auto frame = present ? *present : juce::BorderSize<int>();
        if (frame != knownFrame)
        {
            knownFrame = frame;
            applyScale (scaleIndex);
        }
    }
}
