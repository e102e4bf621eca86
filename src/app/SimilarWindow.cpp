#include "app/SimilarWindow.h"

#include "ui/PanelText.h"

SimilarComponent::SimilarComponent() : list ({}, this)
{
    heading.setFont (juce::Font (15.0f, juce::Font::bold));
    addAndMakeVisible (heading);
    list.setRowHeight (20);
    addAndMakeVisible (list);
    setSize (420, 520);
}

SimilarComponent::~SimilarComponent()
{
    list.setModel (nullptr);
}

void SimilarComponent::findNearest (const LibraryModel& library, int row)
{
    results.clear();
    if (row < 0 || static_cast<size_t> (row) >= library.patches.size())
        return;
    for (const auto& near : SoundDistance::nearest (library.patches, static_cast<size_t> (row), shownCount))
        results.push_back ({library.patches[near.row].name, near.distance});
    heading.setText ("Nearest to \"" + toDisplayString (library.patches[static_cast<size_t> (row)].name) + "\"",
                     juce::dontSendNotification);
    list.deselectAllRows();
    list.updateContent();
    list.scrollToEnsureRowIsOnscreen (0);
    list.repaint();
}

void SimilarComponent::paint (juce::Graphics& g)
{
    g.fillAll (getLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId));
    g.setColour (getLookAndFeel().findColour (juce::ListBox::textColourId).withAlpha (0.7f));
    g.setFont (juce::Font (13.0f));
    g.drawText ("Distance", columnsArea.withWidth (62), juce::Justification::centredRight, false);
    g.drawText ("Patch", columnsArea.withTrimmedLeft (76), juce::Justification::centredLeft, false);
}

void SimilarComponent::resized()
{
    auto area = getLocalBounds().reduced (12);
    heading.setBounds (area.removeFromTop (24));
    area.removeFromTop (4);
    columnsArea = area.removeFromTop (18);
    list.setBounds (area);
}

int SimilarComponent::getNumRows()
{
    return static_cast<int> (results.size());
}

void SimilarComponent::paintListBoxItem (int row, juce::Graphics& g, int width, int height, bool selected)
{
    if (row < 0 || static_cast<size_t> (row) >= results.size())
        return;
    if (selected)
        g.fillAll (getLookAndFeel().findColour (juce::TextEditor::highlightColourId));
    else if (row % 2 == 1)
        g.fillAll (juce::Colours::white.withAlpha (0.04f));
    const auto& found = results[static_cast<size_t> (row)];
    g.setColour (getLookAndFeel().findColour (juce::ListBox::textColourId));
    g.setFont (juce::Font (14.0f));
    g.drawText (juce::String (found.distance), 6, 0, 56, height, juce::Justification::centredRight, false);
    g.drawText (toDisplayString (found.name), 76, 0, width - 80, height, juce::Justification::centredLeft, true);
}

void SimilarComponent::selectedRowsChanged (int row)
{
    if (row >= 0 && static_cast<size_t> (row) < results.size() && onShow)
        onShow (results[static_cast<size_t> (row)].name);
}

void SimilarComponent::listBoxItemDoubleClicked (int row, const juce::MouseEvent&)
{
    returnKeyPressed (row);
}

void SimilarComponent::returnKeyPressed (int row)
{
    if (row >= 0 && static_cast<size_t> (row) < results.size() && onActivate)
        onActivate (results[static_cast<size_t> (row)].name);
}

//==============================================================================
SimilarWindow::SimilarWindow()
    : DocumentWindow ("Find Similar",
                      juce::LookAndFeel::getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId),
                      DocumentWindow::closeButton,
                      false)
{
    setUsingNativeTitleBar (true);
    setContentNonOwned (&component, true);
    setResizable (false, false);
}

void SimilarWindow::closeButtonPressed()
{
    if (onClose)
        onClose();
}
