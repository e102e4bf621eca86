#pragma once

#include "explore/SoundDistance.h"
#include "patch/LibraryModel.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <string>
#include <vector>

/** Find Similar: the library's patches nearest in sound to one, nearest
    first, with their distance. The list is what was found when asked (names
    and distances); a click shows the patch in the BANK, a double click or
    Return makes it active. */
class SimilarComponent : public juce::Component, private juce::ListBoxModel
{
public:
    static constexpr size_t shownCount = 40;

    struct Found
    {
        std::string name;
        int distance = 0;
    };

    SimilarComponent();
    ~SimilarComponent() override;

    /** The patches nearest to `row` of the library. */
    void findNearest (const LibraryModel& library, int row);
    const std::vector<Found>& found() const { return results; }

    void resized() override;
    void paint (juce::Graphics&) override;

    /** A found patch picked (a click) or to be made active (a double click, Return), by name. */
    std::function<void (const std::string&)> onShow;
    std::function<void (const std::string&)> onActivate;

    juce::Label heading;
    juce::ListBox list;

private:
    int getNumRows() override;
    void paintListBoxItem (int row, juce::Graphics&, int width, int height, bool selected) override;
    void selectedRowsChanged (int lastRowSelected) override;
    void listBoxItemDoubleClicked (int row, const juce::MouseEvent&) override;
    void returnKeyPressed (int row) override;

    std::vector<Found> results;
    juce::Rectangle<int> columnsArea;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SimilarComponent)
};

/** The window around a SimilarComponent, beside the panel. */
class SimilarWindow : public juce::DocumentWindow
{
public:
    SimilarWindow();

    void closeButtonPressed() override;
    SimilarComponent& content() { return component; }

    std::function<void()> onClose;

private:
    SimilarComponent component;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SimilarWindow)
};
