#include "app/MainWindow.h"

#include "ui/PanelText.h"

namespace
{
void quitApplication()
{
    if (auto* app = juce::JUCEApplicationBase::getInstance())
        app->systemRequestedQuit();
}

bool isQuitKey (const juce::KeyPress& key)
{
    return key == juce::KeyPress ('q', juce::ModifierKeys::ctrlModifier, 0);
}
} // namespace

MainWindow::PanelHolder::PanelHolder (std::unique_ptr<MidiPlatform> midiPlatform)
    : panel (midiPlatform != nullptr ? std::make_unique<MainComponent> (std::move (midiPlatform))
                                     : std::make_unique<MainComponent>())
{
    addAndMakeVisible (*panel);
}

MainWindow::MainWindow (const juce::String& name, AppState& state) : MainWindow (name, state, nullptr) {}

MainWindow::MainWindow (const juce::String& name, AppState& state, std::unique_ptr<MidiPlatform> midiPlatform)
    : DocumentWindow (name,
                      juce::LookAndFeel::getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId),
                      DocumentWindow::allButtons,
                      true),
      requestQuit (quitApplication), panelHolder (std::move (midiPlatform)), mainComponent (panelHolder.panel.get()),
      appState (state),
      fileCommands (mainComponent->session(),
                    [this] (const juce::String& message) { mainComponent->showStatusMessage (message); })
{
    setUsingNativeTitleBar (true);
    setMenuBar (this);

    // Placing the panel in the window makes it set the window's title.
    setContentNonOwned (&panelHolder, false);

    setResizable (false, false);
    centreWithSize (MainComponent::panelWidth, MainComponent::panelHeight + getMenuBarComponent()->getHeight());
    setVisible (true);
    applyScale (defaultScaleIndex);
}

MainWindow::~MainWindow()
{
    mainComponent->midiEngine.onDevicesChanged = nullptr;
    setMenuBar (nullptr);
    clearContentComponent();
}

void MainWindow::closeButtonPressed()
{
    requestQuit();
}

void MainWindow::activeWindowStatusChanged()
{
    DocumentWindow::activeWindowStatusChanged();
    if (!isActiveWindow())
        mainComponent->performance.keyboard.allNotesOff();
}

void MainWindow::prepareToQuit()
{
    fileCommands.closeDialogs();
    mainComponent->performance.keyboard.allNotesOff();
}

bool MainWindow::keyPressed (const juce::KeyPress& key)
{
    // Reached when no control of the panel wanted the key.
    if (isQuitKey (key))
    {
        requestQuit();
        return true;
    }
    return DocumentWindow::keyPressed (key);
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

//==============================================================================
// Settings

void MainWindow::loadState()
{
    auto& settings = *appState.propertiesFile;
    auto& panel = *mainComponent;
    auto& engine = panel.midiEngine;

    switch (settings.getIntValue (AppState::Keys::scale, 150))
    {
        case 100:
            scaleIndex = 0;
            break;
        case 125:
            scaleIndex = 1;
            break;
        case 150:
            scaleIndex = 2;
            break;
        case 175:
            scaleIndex = 3;
            break;
        default:
            break;
    }
    applyScale (scaleIndex);

    // Devices are remembered by name; the first listed device of that name is opened.
    const auto openByName = [] (const juce::String& stored, const std::vector<MidiEngine::DeviceInfo>& devices)
    {
        const std::string name = stored.toStdString();
        for (const auto& device : devices)
            if (device.name == name)
                return device.endpoint;
        return uint32_t{0};
    };
    const juce::String inputName = settings.getValue (AppState::Keys::midiIn);
    const juce::String outputName = settings.getValue (AppState::Keys::midiOut);
    if (inputName.isNotEmpty())
        if (const auto endpoint = openByName (inputName, engine.getInputDevices()); endpoint != 0)
            engine.openInput (endpoint);
    if (outputName.isNotEmpty())
        if (const auto endpoint = openByName (outputName, engine.getOutputDevices()); endpoint != 0)
            engine.openOutput (endpoint);

    // The program only ever stores 0 to 15; anything else comes from a hand-edited file.
    const int channel = settings.getIntValue (AppState::Keys::midiChannel, 0);
    engine.setMidiChannel (channel >= 0 && channel < numChannels ? channel : 0);

    auto& performance = panel.performance;
    performance.setKeysEnabled (settings.getBoolValue (AppState::Keys::keyboardKeys, true));
    performance.setMouseEnabled (settings.getBoolValue (AppState::Keys::keyboardMouse, true));
    // Stepped as the OCTAVE buttons step, so nothing is left sounding.
    performance.stepToOctave (settings.getIntValue (AppState::Keys::keyboardOctave, 3));

    auto& session = panel.session();
    session.setSyncManual (settings.getBoolValue (AppState::Keys::syncManual, false));
    session.setSyncControlChanges (settings.getBoolValue (AppState::Keys::syncCC, false));
}

void MainWindow::saveState()
{
    auto& settings = *appState.propertiesFile;
    const auto& panel = *mainComponent;
    const auto& engine = panel.midiEngine;

    const auto nameOf = [] (uint32_t endpoint, const std::vector<MidiEngine::DeviceInfo>& devices)
    {
        std::string name;
        for (const auto& device : devices)
            if (device.endpoint == endpoint)
                name = device.name;
        return toDisplayString (name);
    };

    settings.setValue (AppState::Keys::midiIn, nameOf (engine.inputEndpoint, engine.getInputDevices()));
    settings.setValue (AppState::Keys::midiOut, nameOf (engine.outputEndpoint, engine.getOutputDevices()));
    settings.setValue (AppState::Keys::midiChannel, engine.midiChannel);
    const auto& keyboard = panel.performance.keyboard;
    settings.setValue (AppState::Keys::keyboardOctave, keyboard.octave);
    settings.setValue (AppState::Keys::keyboardKeys, keyboard.keysEnabled);
    settings.setValue (AppState::Keys::keyboardMouse, keyboard.mouseEnabled);
    settings.setValue (AppState::Keys::scale, static_cast<int> (scaleFactors[scaleIndex] * 100.0f));
    settings.setValue (AppState::Keys::syncManual, panel.session().syncsManualMode());
    settings.setValue (AppState::Keys::syncCC, panel.session().syncsControlChanges());
    settings.saveIfNeeded();
}
