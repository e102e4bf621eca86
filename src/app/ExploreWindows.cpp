#include "app/ExploreWindows.h"

ExploreWindows::ExploreWindows (MainComponent& panelToUse, juce::Component& besides)
    : panel (panelToUse), mainWindow (besides)
{
    panel.bank.onMorphWith = [this] (int) { morphWith(); };
    panel.bank.onFindSimilar = [this] (int row) { findSimilar (row); };
}

ExploreWindows::~ExploreWindows()
{
    panel.bank.onMorphWith = nullptr;
    panel.bank.onFindSimilar = nullptr;
}

std::vector<PatchModel> ExploreWindows::selectedPatches() const
{
    const auto& session = panel.session();
    std::vector<PatchModel> patches;
    for (const int row : panel.bank.libraryList.selectedRows())
        if (session.isRow (row) &&
            session.library().patches[static_cast<size_t> (row)].name != session.activePatch().name)
            patches.push_back (session.library().patches[static_cast<size_t> (row)]);
    return patches;
}

void ExploreWindows::showStatus (const juce::String& name, const juce::String& value)
{
    panel.patchBar.showControl (name, value);
}

int ExploreWindows::rowNamed (const std::string& name) const
{
    const auto& patches = panel.session().library().patches;
    for (size_t row = 0; row < patches.size(); ++row)
        if (patches[row].name == name)
            return static_cast<int> (row);
    return -1;
}

template <typename Window> void ExploreWindows::show (std::unique_ptr<Window>& window)
{
    // Let go of after the close button's own work is done.
    window->onClose = [&window]
    {
        juce::MessageManager::callAsync (
            [safeWindow = juce::Component::SafePointer<Window> (window.get()), &window]
            {
                if (safeWindow != nullptr)
                    window.reset();
            });
    };
    // Beside the main window where the screen has room, else as near it as the screen allows.
    const auto* display = juce::Desktop::getInstance().getDisplays().getDisplayForRect (mainWindow.getScreenBounds());
    const auto room = display != nullptr ? display->userArea : juce::Rectangle<int>();
    const auto main = mainWindow.getScreenBounds();
    const auto right = window->getBounds().withPosition (main.getRight() + 8, main.getY());
    const auto left = window->getBounds().withPosition (main.getX() - 8 - window->getWidth(), main.getY());
    if (room.isEmpty())
        window->centreAroundComponent (&mainWindow, window->getWidth(), window->getHeight());
    else if (room.contains (right))
        window->setBounds (right);
    else if (room.contains (left))
        window->setBounds (left);
    else
        window->setBounds (right.constrainedWithin (room));
    window->addToDesktop();
    window->setVisible (true);
}

void ExploreWindows::openMorph()
{
    if (morphWindow == nullptr)
    {
        morphWindow = std::make_unique<MorphWindow> (
            panel.session(),
            [this] { return selectedPatches(); },
            [this] (const juce::String& name, const juce::String& value) { showStatus (name, value); });
        morphWith();
        show (morphWindow);
    }
    morphWindow->toFront (true);
}

void ExploreWindows::morphWith()
{
    if (morphWindow == nullptr)
    {
        openMorph();
        return;
    }
    std::vector<PatchModel> corners{panel.session().activePatch()};
    for (auto& patch : selectedPatches())
        corners.push_back (std::move (patch));
    morphWindow->content().setCorners (std::move (corners));
    morphWindow->toFront (true);
}

void ExploreWindows::openBreed()
{
    if (breedWindow == nullptr)
    {
        breedWindow = std::make_unique<BreedWindow> (
            panel.session(),
            panel.midiEngine,
            [this] { return selectedPatches(); },
            [this] (const juce::String& name, const juce::String& value) { showStatus (name, value); });
        breedWindow->content().breedFromPanel();
        show (breedWindow);
    }
    breedWindow->toFront (true);
}

void ExploreWindows::findSimilar (int row)
{
    if (similarWindow == nullptr)
    {
        similarWindow = std::make_unique<SimilarWindow>();
        auto& content = similarWindow->content();
        content.onShow = [this] (const std::string& name)
        {
            if (const int found = rowNamed (name); found >= 0)
                panel.bank.showRow (found);
        };
        content.onActivate = [this] (const std::string& name)
        {
            if (const int found = rowNamed (name); found >= 0)
                panel.bank.activateRow (found);
        };
        show (similarWindow);
    }
    similarWindow->content().findNearest (panel.session().library(), row);
    similarWindow->toFront (true);
}
