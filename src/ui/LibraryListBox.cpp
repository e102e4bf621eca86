#include "ui/LibraryListBox.h"

#include "ui/PanelText.h"

namespace
{
const juce::Colour selectedRed (0xFFEA0011);
const juce::Colour selectedBand (0x30CC0011);
} // namespace

LibraryListBox::LibraryListBox (const LibraryModel& libraryToShow) : library (libraryToShow), listBox ({}, this)
{
    listBox.setModel (this);
    listBox.setRowHeight (16);
    listBox.setOpaque (false);
    listBox.setColour (juce::ListBox::backgroundColourId, juce::Colour (0x00000000));
    listBox.setColour (juce::ListBox::outlineColourId, juce::Colour (0xFF530004));
    listBox.setOutlineThickness (0);
    listBox.setMultipleSelectionEnabled (true);

    auto* viewport = listBox.getViewport();
    viewport->setScrollBarThickness (14);
    viewport->getVerticalScrollBar().setColour (juce::ScrollBar::thumbColourId, PanelText::displayRed);
    viewport->getVerticalScrollBar().setColour (juce::ScrollBar::trackColourId, juce::Colour (0xFF330002));

    addAndMakeVisible (listBox);
}

LibraryListBox::~LibraryListBox()
{
    listBox.setModel (nullptr);
}

void LibraryListBox::resized()
{
    listBox.setBounds (getLocalBounds());
}

int LibraryListBox::getNumRows()
{
    return static_cast<int> (library.patches.size());
}

void LibraryListBox::paintListBoxItem (int rowNumber, juce::Graphics& g, int width, int height, bool rowIsSelected)
{
    if (rowNumber < 0 || rowNumber >= getNumRows())
        return;
    if (rowIsSelected)
        g.fillAll (selectedBand);

    const auto& patch = library.patches[static_cast<size_t> (rowNumber)];
    int nameWidth = width - 4;
    if (const PreviewInfo* preview = previews != nullptr ? previews->find (patch.data) : nullptr)
    {
        nameWidth -= previewMarkWidth;
        paintPreviewMark (
            g, *preview, {width - previewMarkWidth, 0, previewMarkWidth, height}, rowNumber == playingRow);
    }
    g.setFont (juce::Font (
        juce::Font::getDefaultMonospacedFontName(), 11.0f, rowIsSelected ? juce::Font::bold : juce::Font::plain));
    g.setColour (rowIsSelected ? selectedRed : PanelText::displayRed);
    g.drawText (toDisplayString (patch.name), 4, 0, nameWidth, height, juce::Justification::centredLeft, true);
}

void LibraryListBox::paintPreviewMark (juce::Graphics& g,
                                       const PreviewInfo& preview,
                                       juce::Rectangle<int> area,
                                       bool playing)
{
    // The waveform, one line per point, then the play mark at the right.
    const auto wave = area.withTrimmedRight (12).reduced (2, 2).toFloat();
    g.setColour (PanelText::displayRed.withAlpha (playing ? 0.9f : 0.55f));
    const float step = wave.getWidth() / static_cast<float> (preview.waveform.size());
    for (size_t i = 0; i < preview.waveform.size(); ++i)
    {
        const float half = std::max (0.5f, wave.getHeight() / 2.0f * static_cast<float> (preview.waveform[i]) / 255.0f);
        const float x = wave.getX() + step * static_cast<float> (i);
        g.drawVerticalLine (static_cast<int> (x), wave.getCentreY() - half, wave.getCentreY() + half);
    }
    juce::Path mark;
    const auto box = area.removeFromRight (12).toFloat().reduced (2.0f, 4.0f);
    mark.addTriangle (box.getX(), box.getY(), box.getX(), box.getBottom(), box.getRight(), box.getCentreY());
    g.setColour (playing ? selectedRed : PanelText::displayRed.withAlpha (0.8f));
    g.fillPath (mark);
}

void LibraryListBox::listBoxItemClicked (int row, const juce::MouseEvent& event)
{
    if (event.mods.isPopupMenu() && onRowMenu)
        onRowMenu (row);
}

void LibraryListBox::listBoxItemDoubleClicked (int row, const juce::MouseEvent&)
{
    if (onRowDoubleClicked)
        onRowDoubleClicked (row);
}

void LibraryListBox::selectedRowsChanged (int lastRowSelected)
{
    if (onSelectionChanged)
        onSelectionChanged (lastRowSelected);
}

void LibraryListBox::returnKeyPressed (int lastRowSelected)
{
    if (onReturnKey)
        onReturnKey (lastRowSelected);
}

void LibraryListBox::refresh()
{
    listBox.updateContent();
    repaint();
}

int LibraryListBox::selectedRow() const
{
    const int last = listBox.getLastRowSelected();
    return last >= 0 && listBox.isRowSelected (last) ? last : listBox.getSelectedRow (0);
}

std::vector<int> LibraryListBox::selectedRows() const
{
    std::vector<int> rows;
    const auto selected = listBox.getSelectedRows();
    for (int i = 0; i < selected.getNumRanges(); ++i)
    {
        const auto range = selected.getRange (i);
        for (int row = range.getStart(); row < range.getEnd(); ++row)
            rows.push_back (row);
    }
    return rows;
}

void LibraryListBox::selectRows (const std::vector<int>& rows)
{
    juce::SparseSet<int> chosen;
    for (const int row : rows)
        chosen.addRange ({row, row + 1});
    listBox.setSelectedRows (chosen);
    if (!rows.empty())
        listBox.scrollToEnsureRowIsOnscreen (rows.front());
}

void LibraryListBox::showRow (int row)
{
    listBox.selectRow (row, false, true);
    listBox.scrollToEnsureRowIsOnscreen (row);
}
