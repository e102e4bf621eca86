#include "app/MainWindow.h"

MainWindow::PanelHolder::PanelHolder (std::unique_ptr<MainComponent> panelToHold) : panel (std::move (panelToHold))
{
    addAndMakeVisible (*panel);
}

MainWindow::MainWindow (const juce::String& name, AppState& state)
    : DocumentWindow (name,
                      juce::LookAndFeel::getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId),
                      DocumentWindow::allButtons,
                      true),
      appState (state)
{
    setUsingNativeTitleBar (true);
    setMenuBar (this);

    auto panel = std::make_unique<MainComponent>();
    mainComponent = panel.get();
    setContentOwned (new PanelHolder (std::move (panel)), false);

    setResizable (false, false);
    centreWithSize (MainComponent::panelWidth, MainComponent::panelHeight + getMenuBarComponent()->getHeight());
    setVisible (true);
    applyScale (defaultScaleIndex);
}

MainWindow::~MainWindow()
{
    setMenuBar (nullptr);
    clearContentComponent();
}

void MainWindow::closeButtonPressed()
{
    juce::JUCEApplication::getInstance()->systemRequestedQuit();
}

juce::Rectangle<int> MainWindow::scaledPanelBounds (int index)
{
    const float factor = scaleFactors[index];
    return {static_cast<int> (factor * static_cast<float> (MainComponent::panelWidth)),
            static_cast<int> (factor * static_cast<float> (MainComponent::panelHeight))};
}

void MainWindow::applyScale (int index)
{
    scaleIndex = index;
    mainComponent->setTransform (juce::AffineTransform::scale (scaleFactors[index]));

    const auto size = scaledPanelBounds (index);
    const auto topLeft = getPosition();
    setContentComponentSize (size.getWidth(), size.getHeight());
    setTopLeftPosition (topLeft);
}

juce::StringArray MainWindow::getMenuBarNames()
{
    return {"File", "View", "MIDI"};
}

juce::PopupMenu MainWindow::getMenuForIndex (int, const juce::String&)
{
    return {};
}

void MainWindow::menuItemSelected (int, int) {}
