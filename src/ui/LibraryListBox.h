#pragma once

#include "patch/LibraryModel.h"
#include "previews/LibraryPreviews.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <vector>

/** The BANK list: one row per patch of the library, read from the library on
    every paint. After the library changes, call refresh(). */
class LibraryListBox : public juce::Component, public juce::ListBoxModel
{
public:
    explicit LibraryListBox (const LibraryModel& libraryToShow);
    ~LibraryListBox() override;

    void resized() override;

    int getNumRows() override;
    void paintListBoxItem (int rowNumber, juce::Graphics&, int width, int height, bool rowIsSelected) override;
    void listBoxItemClicked (int row, const juce::MouseEvent&) override;
    void listBoxItemDoubleClicked (int row, const juce::MouseEvent&) override;
    void selectedRowsChanged (int lastRowSelected) override;
    void returnKeyPressed (int lastRowSelected) override;

    /** Re-reads the library: the list's content is updated and repainted. */
    void refresh();
    /** Selects one row (deselecting others), scrolling it into view. */
    void showRow (int row);
    /** The row the user last selected, or the first selected; -1 for none. */
    int selectedRow() const;
    /** Every selected row, in order (Ctrl and Shift select several). */
    std::vector<int> selectedRows() const;
    /** Selects these rows and no others, the first of them scrolled into view. */
    void selectRows (const std::vector<int>& rows);

    std::function<void (int)> onSelectionChanged;
    std::function<void (int)> onRowDoubleClicked;
    /** The right button (or its equivalent) pressed on a row, which is selected by then. */
    std::function<void (int)> onRowMenu;
    /** Enter pressed while the list has the keyboard focus. */
    std::function<void (int)> onReturnKey;
    const LibraryModel& library;
    juce::ListBox listBox;
    /** The previews whose rows show a play mark and a small waveform; none when null. */
    const LibraryPreviews* previews = nullptr;
    /** The row whose preview is playing, its mark lit; -1 for none. */
    int playingRow = -1;

    /** Room a row with a preview keeps for its waveform and play mark. */
    static constexpr int previewMarkWidth = 46;

private:
    static void
    paintPreviewMark (juce::Graphics& g, const PreviewInfo& preview, juce::Rectangle<int> area, bool playing);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LibraryListBox)
};
