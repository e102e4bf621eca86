#pragma once

#include "ui/MainComponent.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QorvPluginProcessor;
class PluginDocument;

/** The plugin's window: Qorv's panel at one of its four sizes under a strip of
    what the menu bar holds in the program: the output device and channel, the
    way to the synthesizer, Send, the recall options, Load Library... and the
    size. A view over the processor: it keeps nothing, so closing and opening
    it again, or a host hiding it, loses nothing. */
class QorvPluginEditor final : public juce::AudioProcessorEditor
{
public:
    static constexpr int stripHeight = 28;

    explicit QorvPluginEditor (QorvPluginProcessor& processorToShow);
    ~QorvPluginEditor() override;

    void paint (juce::Graphics& g) override;
    void resized() override;

    /** Magnifies the panel by one of the program's four factors and fits the window to it. */
    void applySize (int index);

    // The strip, public for tests
    /** A list that reads the devices afresh each time it opens. */
    class DeviceList : public juce::ComboBox
    {
    public:
        void showPopup() override;
        std::function<void()> beforeShowing;
    };
    DeviceList outputList;
    juce::ComboBox channelList;
    juce::ComboBox wayList;
    juce::TextButton sendButton{"Send"};
    juce::TextButton recallButton{"Recall"};
    juce::TextButton loadButton{"Load Library..."};
    juce::TextButton controlButton{"Qorv Control"};
    juce::TextButton sizeButton{"Size"};
    /** Plays the selected BANK row's preview (or the active patch's); pressed again, stops. */
    juce::TextButton previewButton{"Preview"};

    /** The recall options' menu: "Send When the Project Opens", "Send at Every Start". */
    juce::PopupMenu recallMenu() const;
    void recallChosen (int itemId);
    juce::PopupMenu sizeMenu() const;
    /** Opens a menu beside a button and calls back with the chosen item (0: none). Tests replace it. */
    std::function<void (juce::PopupMenu, juce::Component& beside, std::function<void (int)>)> showMenu;

    enum MenuItem
    {
        sendWhenOpensItem = 1,
        sendAtEveryStartItem = 2,
        firstSizeItem = 11
    };

    MainComponent panel;

    /** Load Library...'s file, once chosen: loaded, or STATUS says why not. */
    void libraryChosen (const juce::File& file);

private:
    void showOptions();
    void showNotice (const juce::String& text);
    void fillOutputList();
    void outputChosen();
    void chooseLibrary();
    void playOrStopPreview();

    PluginDocument& plugin;
    /** The devices as the output list shows them now: a choice picks from these, whatever came or went since. */
    std::vector<std::string> listedDevices;
    juce::String shownNotice;
    std::unique_ptr<juce::FileChooser> libraryChooser;
    juce::TooltipWindow tooltips{this};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QorvPluginEditor)
};
