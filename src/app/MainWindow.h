#pragma once

#include "app/AppState.h"
#include "ui/MainComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

/** The one window: the panel at one of four magnifications under the window's
    own menu bar (Linux has no global menu bar). */
class MainWindow : public juce::DocumentWindow, public juce::MenuBarModel
{
public:
    static constexpr float scaleFactors[] = {1.0f, 1.25f, 1.5f, 1.75f};
    static constexpr int numScales = 4;
    static constexpr int defaultScaleIndex = 2;

    MainWindow (const juce::String& name, AppState& state);
    ~MainWindow() override;

    void closeButtonPressed() override;

    juce::StringArray getMenuBarNames() override;
    juce::PopupMenu getMenuForIndex (int topLevelMenuIndex, const juce::String& menuName) override;
    void menuItemSelected (int menuItemID, int topLevelMenuIndex) override;

    /** Magnifies the panel by scaleFactors[index] and sizes the window to fit it
        exactly; the top-left corner stays where it is. */
    void applyScale (int index);

    /** The panel's size at a magnification, truncated as the window uses it. */
    static juce::Rectangle<int> scaledPanelBounds (int index);

    MainComponent* mainComponent = nullptr;
    int scaleIndex = defaultScaleIndex;
    AppState& appState;

private:
    /** Holds the magnified panel: the window sizes its content itself, so the
        transform lives one level down, on the panel. */
    class PanelHolder : public juce::Component
    {
    public:
        explicit PanelHolder (std::unique_ptr<MainComponent> panelToHold);
        void resized() override {}

    private:
        std::unique_ptr<MainComponent> panel;
    };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
};
