#include "plugin/PluginEditor.h"

#include "plugin/PluginProcessor.h"
#include "ui/PanelText.h"

namespace
{
constexpr float scaleFactors[] = {1.0f, 1.25f, 1.5f, 1.75f};
constexpr const char* sizeNames[] = {"Small", "Medium", "Large", "X-Large"};
constexpr int numSizes = 4;
constexpr int disabledItem = 1;
constexpr int firstDeviceItem = 2;
constexpr int directItem = 1;
constexpr int throughHostItem = 2;

void showMenuBeside (juce::PopupMenu menu, juce::Component& beside, std::function<void (int)> chosen)
{
    menu.showMenuAsync (juce::PopupMenu::Options().withTargetComponent (&beside), std::move (chosen));
}
} // namespace

void QorvPluginEditor::DeviceList::showPopup()
{
    if (beforeShowing)
        beforeShowing();
    juce::ComboBox::showPopup();
}

QorvPluginEditor::QorvPluginEditor (QorvPluginProcessor& processorToShow)
    : AudioProcessorEditor (processorToShow), showMenu (showMenuBeside), panel (processorToShow.model()),
      plugin (processorToShow)
{
    for (int n = 1; n <= 16; ++n)
        channelList.addItem ("Ch " + juce::String (n), n);
    wayList.addItem ("Direct (ALSA)", directItem);
    wayList.addItem ("Through the Host", throughHostItem);
    outputList.setTextWhenNothingSelected ("No output");
    outputList.setTooltip ("The synthesizer's MIDI output, through Qorv's own sequencer client");
    wayList.setTooltip ("How messages reach the synthesizer");
    for (juce::Component* child : std::initializer_list<juce::Component*>{&outputList,
                                                                          &channelList,
                                                                          &wayList,
                                                                          &sendButton,
                                                                          &recallButton,
                                                                          &loadButton,
                                                                          &sizeButton,
                                                                          &previewButton,
                                                                          &panel})
        addAndMakeVisible (child);

    outputList.beforeShowing = [this] { fillOutputList(); };
    outputList.onChange = [this] { outputChosen(); };
    channelList.onChange = [this] { plugin.setChannel (channelList.getSelectedId() - 1); };
    wayList.onChange = [this]
    {
        plugin.setWay (wayList.getSelectedId() == throughHostItem ? QorvPluginProcessor::Way::throughHost
                                                                  : QorvPluginProcessor::Way::direct);
    };
    sendButton.onClick = [this] { plugin.sendNow(); };
    recallButton.onClick = [this]
    {
        showMenu (recallMenu(),
                  recallButton,
                  [safe = juce::Component::SafePointer<QorvPluginEditor> (this)] (int item)
                  {
                      if (safe != nullptr)
                          safe->recallChosen (item);
                  });
    };
    sizeButton.onClick = [this]
    {
        showMenu (sizeMenu(),
                  sizeButton,
                  [safe = juce::Component::SafePointer<QorvPluginEditor> (this)] (int item)
                  {
                      if (safe != nullptr && item >= firstSizeItem)
                          safe->applySize (item - firstSizeItem);
                  });
    };
    loadButton.onClick = [this] { chooseLibrary(); };
    previewButton.onClick = [this] { playOrStopPreview(); };
    panel.bank.libraryList.previews = &plugin.previews();
    plugin.onOptionsChanged = [this] { showOptions(); };

    setWantsKeyboardFocus (true);
    showOptions();
    applySize (plugin.sizeIndex);
}

QorvPluginEditor::~QorvPluginEditor()
{
    plugin.onOptionsChanged = nullptr;
}

void QorvPluginEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff2b2d2e));
}

void QorvPluginEditor::resized()
{
    auto strip = getLocalBounds().removeFromTop (stripHeight).reduced (4, 3);
    const auto take = [&strip] (juce::Component& c, int width)
    {
        c.setBounds (strip.removeFromLeft (width));
        strip.removeFromLeft (4);
    };
    const int spare = juce::jmax (0, strip.getWidth() - 706);
    take (outputList, 170 + spare / 2);
    take (channelList, 64);
    take (wayList, 130 + spare / 4);
    take (sendButton, 50);
    take (recallButton, 58);
    take (loadButton, 102 + spare / 4);
    take (previewButton, 62);
    take (sizeButton, juce::jmax (40, strip.getWidth()));
}

void QorvPluginEditor::applySize (int index)
{
    plugin.sizeIndex = juce::jlimit (0, numSizes - 1, index);
    const float factor = scaleFactors[plugin.sizeIndex];
    panel.setTransform (juce::AffineTransform::scale (factor).translated (0.0f, static_cast<float> (stripHeight)));
    setSize (static_cast<int> (factor * MainComponent::panelWidth),
             stripHeight + static_cast<int> (factor * MainComponent::panelHeight));
}

void QorvPluginEditor::playOrStopPreview()
{
    if (plugin.isPlayingPreview())
    {
        plugin.stopPreview();
        return;
    }
    const auto& session = panel.session();
    const int row = panel.bank.libraryList.selectedRow();
    const PatchModel& patch =
        session.isRow (row) ? session.library().patches[static_cast<size_t> (row)] : session.activePatch();
    std::string whyNot;
    if (!plugin.playPreview (patch, whyNot))
        panel.showStatusMessage (juce::String::fromUTF8 (whyNot.c_str()));
}

juce::PopupMenu QorvPluginEditor::recallMenu() const
{
    juce::PopupMenu menu;
    menu.addItem (sendWhenOpensItem, "Send When the Project Opens", true, plugin.sendsWhenProjectOpens());
    menu.addItem (sendAtEveryStartItem, "Send at Every Start", true, plugin.sendsAtEveryStart());
    return menu;
}

void QorvPluginEditor::recallChosen (int itemId)
{
    if (itemId == sendWhenOpensItem)
        plugin.setSendWhenProjectOpens (!plugin.sendsWhenProjectOpens());
    else if (itemId == sendAtEveryStartItem)
        plugin.setSendAtEveryStart (!plugin.sendsAtEveryStart());
}

juce::PopupMenu QorvPluginEditor::sizeMenu() const
{
    juce::PopupMenu menu;
    for (int i = 0; i < numSizes; ++i)
        menu.addItem (firstSizeItem + i, sizeNames[i], true, plugin.sizeIndex == i);
    return menu;
}

void QorvPluginEditor::fillOutputList()
{
    // Rebuilt without telling: only a choice the user makes is an edit.
    outputList.clear (juce::dontSendNotification);
    outputList.addItem ("No output", disabledItem);
    const auto& chosen = plugin.outputDevice();
    const auto& engine = plugin.model().engine();
    int chosenItem = chosen.empty() ? disabledItem : 0;
    const auto devices = engine.getOutputDevices();
    for (size_t i = 0; i < devices.size(); ++i)
    {
        const int item = firstDeviceItem + static_cast<int> (i);
        outputList.addItem (toDisplayString (devices[i].name), item);
        if (chosenItem == 0 && devices[i].name == chosen)
            chosenItem = item;
    }
    if (chosenItem == 0)
    {
        // Chosen, but not there now: kept by name, and shown so.
        chosenItem = firstDeviceItem + static_cast<int> (devices.size());
        outputList.addItem (toDisplayString (chosen) + " (not connected)", chosenItem);
    }
    outputList.setSelectedId (chosenItem, juce::dontSendNotification);
    if (!engine.isAvailable())
        outputList.setTooltip (toDisplayString (engine.unavailableReason()));
}

void QorvPluginEditor::outputChosen()
{
    const int item = outputList.getSelectedId();
    if (item == disabledItem)
    {
        plugin.chooseOutputDevice ({});
        return;
    }
    const auto devices = plugin.model().engine().getOutputDevices();
    const auto index = static_cast<size_t> (item - firstDeviceItem);
    if (index < devices.size())
        plugin.chooseOutputDevice (devices[index].name);
}

void QorvPluginEditor::showOptions()
{
    fillOutputList();
    channelList.setSelectedId (plugin.channel() + 1, juce::dontSendNotification);
    wayList.setSelectedId (plugin.way() == QorvPluginProcessor::Way::throughHost ? throughHostItem : directItem,
                           juce::dontSendNotification);
    outputList.setEnabled (plugin.way() == QorvPluginProcessor::Way::direct);
    if (plugin.notice().isNotEmpty())
        panel.showStatusMessage (plugin.notice());
}

void QorvPluginEditor::chooseLibrary()
{
    const auto last = plugin.libraryPath();
    const juce::File start = last.empty() ? juce::File::getSpecialLocation (juce::File::userHomeDirectory)
                                          : juce::File (toDisplayString (last));
    libraryChooser = std::make_unique<juce::FileChooser> ("Load Library", start, "*.106");
    libraryChooser->launchAsync (
        juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectFiles,
        [safe = juce::Component::SafePointer<QorvPluginEditor> (this)] (const juce::FileChooser& chooser)
        {
            if (safe == nullptr || chooser.getResult() == juce::File())
                return;
            const auto file = chooser.getResult();
            std::string whyNot;
            if (safe->plugin.loadLibrary (toModelString (file.getFullPathName()), whyNot))
                safe->panel.showStatusMessage (file.getFileNameWithoutExtension());
            else
                safe->panel.showStatusMessage ("Load failed: " + file.getFileName());
        });
}
