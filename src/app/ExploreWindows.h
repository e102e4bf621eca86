#pragma once

#include "app/BreedWindow.h"
#include "app/MorphWindow.h"
#include "app/SimilarWindow.h"
#include "ui/MainComponent.h"

#include <memory>
#include <vector>

/** The windows that explore sounds beside the panel: Morph and Breed from the
    Edit menu, Morph With... and Find Similar from the BANK's right-click
    menu. Each opens once and comes to the front when asked again; closing it
    lets it go. They edit through the panel's session and speak in its STATUS. */
class ExploreWindows
{
public:
    /** `besides` is the window they open next to. */
    ExploreWindows (MainComponent& panel, juce::Component& besides);
    ~ExploreWindows();

    /** Edit > Morph...: the active patch and the patches selected in the BANK on the corners. */
    void openMorph();
    /** Morph With...: the corners afresh, as Morph... chooses them, the window open or not. */
    void morphWith();
    /** Edit > Breed...: a first generation from the active patch and the patches selected in the BANK. */
    void openBreed();
    /** Find Similar on a BANK row. */
    void findSimilar (int row);

    /** The patches selected in the BANK, the active patch's entry left out. */
    std::vector<PatchModel> selectedPatches() const;

    std::unique_ptr<MorphWindow> morphWindow;
    std::unique_ptr<BreedWindow> breedWindow;
    std::unique_ptr<SimilarWindow> similarWindow;

    ExploreWindows (const ExploreWindows&) = delete;
    ExploreWindows& operator= (const ExploreWindows&) = delete;

private:
    /** Shows a window next to the main one, where it fits, and lets it go when closed. */
    template <typename Window> void show (std::unique_ptr<Window>& window);
    void showStatus (const juce::String& name, const juce::String& value);
    /** The BANK row of a name; -1 when the library no longer has it. */
    int rowNamed (const std::string& name) const;

    MainComponent& panel;
    juce::Component& mainWindow;
};
