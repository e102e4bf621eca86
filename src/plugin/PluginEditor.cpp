#include "plugin/PluginEditor.h"

#include "plugin/PluginProcessor.h"
#include "plugin/XConnection.h"
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
    : AudioProcessorEditor (processorToShow), showMenu (showMenuBeside), panel (processorToShow.document().model()),
      plugin (processorToShow.document())
{
    for (int n = 1; n <= 16; ++n)
        channelList.addItem ("Ch " + juce::String (n), n);
    wayList.addItem ("Direct (ALSA)", directItem);
    wayList.addItem ("Through the Host", throughHostItem);
    outputList.setTextWhenNothingSelected ("No output");
    outputList.setTooltip ("The synthesizer's MIDI output, through Qorv's own sequencer client");
    wayList.setTooltip ("How messages reach the synthesizer");
    controlButton.setClickingTogglesState (true);
    // Lit while the port is on, as the panel's own buttons light up.
    controlButton.setColour (juce::TextButton::buttonOnColourId, juce::Colour (0xffc8641e));
    controlButton.setTooltip ("The \"Qorv Control\" port: controllers connected to it move the panel");
    for (juce::Component* child : std::initializer_list<juce::Component*>{&outputList,
                                                                          &channelList,
                                                                          &wayList,
                                                                          &sendButton,
                                                                          &recallButton,
                                                                          &loadButton,
                                                                          &controlButton,
                                                                          &previewButton,
                                                                          &sizeButton,
                                                                          &panel})
        addAndMakeVisible (child);

    outputList.beforeShowing = [this] { fillOutputList(); };
    outputList.onChange = [this] { outputChosen(); };
    channelList.onChange = [this] { plugin.setChannel (channelList.getSelectedId() - 1); };
    wayList.onChange = [this]
    {
        plugin.setWay (wayList.getSelectedId() == throughHostItem ? PluginDocument::Way::throughHost
                                                                  : PluginDocument::Way::direct);
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
    controlButton.onClick = [this] { plugin.setControlPort (controlButton.getToggleState()); };
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
    // Once the host has taken the window down too, nothing keeps the X server's connection.
    XConnection::closeOnceTheWindowHasGone();
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
    // Wider sizes give the lists the room; the smallest takes it from them, so Size stays in the window.
    const int spare = strip.getWidth() - 808;
    take (outputList, juce::jmax (110, 170 + spare / 2));
    take (channelList, 64);
    take (wayList, juce::jmax (100, 130 + spare / 4));
    take (sendButton, 50);
    take (recallButton, 58);
    take (loadButton, juce::jmax (80, 102 + spare / 4));
    take (controlButton, 96);
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
    listedDevices.clear();
    for (const auto& device : engine.getOutputDevices())
    {
        const int item = firstDeviceItem + static_cast<int> (listedDevices.size());
        listedDevices.push_back (device.name);
        outputList.addItem (toDisplayString (device.name), item);
        if (chosenItem == 0 && device.name == chosen)
            chosenItem = item;
    }
    if (chosenItem == 0)
    {
        // Chosen, but not there now: kept by name, and shown so.
        chosenItem = firstDeviceItem + static_cast<int> (listedDevices.size());
        listedDevices.push_back (chosen);
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
    // The list as it was shown when the choice was made, not as the devices are now.
    const auto index = static_cast<size_t> (item - firstDeviceItem);
    if (item >= firstDeviceItem && index < listedDevices.size())
        plugin.chooseOutputDevice (listedDevices[index]);
}

void QorvPluginEditor::showOptions()
{
    fillOutputList();
    channelList.setSelectedId (plugin.channel() + 1, juce::dontSendNotification);
    wayList.setSelectedId (plugin.way() == PluginDocument::Way::throughHost ? throughHostItem : directItem,
                           juce::dontSendNotification);
    outputList.setEnabled (plugin.way() == PluginDocument::Way::direct);
    controlButton.setToggleState (plugin.wantsControlPort(), juce::dontSendNotification);
    if (plugin.notice() != shownNotice)
    {
        shownNotice = plugin.notice();
        if (shownNotice.isNotEmpty())
            showNotice (shownNotice);
    }
}

void QorvPluginEditor::showNotice (const juce::String& text)
{
    panel.patchBar.showInParts (text);
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
            if (safe != nullptr && chooser.getResult() != juce::File())
                safe->libraryChosen (chooser.getResult());
        });
}

void QorvPluginEditor::libraryChosen (const juce::File& file)
{
    std::string whyNot;
    if (plugin.loadLibrary (toModelString (file.getFullPathName()), whyNot))
        panel.showStatusMessage (file.getFileNameWithoutExtension());
    else
        showNotice ("Load failed: " + file.getFileName() + " " + toDisplayString (whyNot));
}
