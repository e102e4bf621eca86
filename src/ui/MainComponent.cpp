#include "ui/MainComponent.h"

#include "BinaryData.h"
#include "midi/AlsaMidiPlatform.h"

juce::String toDisplayString (const std::string& bytes)
{
    return juce::String::fromUTF8 (bytes.data(), static_cast<int> (bytes.size()));
}

std::string toModelString (const juce::String& text)
{
    return text.toStdString();
}

MainComponent::MainComponent() : MainComponent (std::make_unique<AlsaMidiPlatform>()) {}

MainComponent::MainComponent (std::unique_ptr<MidiPlatform> midiPlatform)
    : midiEngine (std::move (midiPlatform)),
      backgroundImage (loadEmbeddedImage (BinaryData::bg_2_png, BinaryData::bg_2_pngSize)),
      overlayImage (loadEmbeddedImage (BinaryData::bg_hires_layer_png, BinaryData::bg_hires_layer_pngSize))
{
    setSize (panelWidth, panelHeight);

    placeBankList();
    placeParameterControls();
    placeOtherControls();

    installPerformanceHandlers();
    installParameterHandlers();
    updateIndicators();

    if (!library.patches.empty())
    {
        patch = library.patches.front();
        storedPatch = patch;
    }
    loadPatchToSliders();
    eraseBtn.setEnabledState (false);

    styleDisplays();

    installBankHandlers();
    installPatchActionHandlers();
    installIncomingHandlers();
}

void MainComponent::addSlider (BitmapSlider& control, int x, int y, int w, int h)
{
    addAndMakeVisible (control, -1);
    control.setBounds (x, y, w, h);
}

void MainComponent::addBtn (BitmapButton& control, int x, int y, int w, int h)
{
    addAndMakeVisible (control, -1);
    control.setBounds (x, y, w, h);
}

void MainComponent::addInd (BitmapIndicator& control, int x, int y, int w, int h)
{
    addAndMakeVisible (control, -1);
    control.setBounds (x, y, w, h);
}

void MainComponent::addSwitch (BitmapSwitch& control, int x, int y, int w, int h)
{
    addAndMakeVisible (control, -1);
    control.setBounds (x, y, w, h);
}

void MainComponent::placeOtherControls()
{
    addAndMakeVisible (keyboard, -1);
    keyboard.setBounds (280, 420, 432, 56);
    addInd (kybdInd, 576, 376, 12, 12);
    addInd (mouseInd, 540, 376, 12, 12);
    addBtn (eraseBtn, 152, 80, 28, 20);
    addSlider (benderSlider, 220, 420, 12, 56);
    addSlider (lfoTrigSlider, 252, 420, 12, 56);
    addBtn (editBtn, 8, 80, 28, 20);
    addBtn (newBtn, 44, 80, 28, 20);
    addBtn (nameBtn, 80, 80, 28, 20);
    addBtn (x2Btn, 116, 80, 28, 20);
    addBtn (saveBtn, 396, 20, 20, 16);
    addBtn (undoBtn, 429, 20, 20, 16);
    addBtn (cmpBtn, 462, 20, 20, 16);
    addBtn (evolveBtn, 508, 20, 20, 16);
    addBtn (octaveDownBtn, 396, 392, 28, 20);
    addBtn (octaveUpBtn, 432, 392, 28, 20);
    addBtn (mouseBtn, 532, 392, 28, 20);
    addBtn (kybdBtn, 568, 392, 28, 20);
    addBtn (allNotesOffBtn, 664, 392, 28, 20);
    addBtn (midiSaveBtn, 128, 416, 20, 16);
    addBtn (midiIgnoreBtn, 160, 416, 20, 16);
    addBtn (saveAllBtn, 8, 456, 28, 20);
    addInd (changedInd, 376, 4, 12, 12);
    addInd (saveAllInd, 6, 440, 12, 12);
    addInd (patchReceivedInd, 6, 400, 12, 12);

    midiSaveBtn.setEnabledState (false);
    midiIgnoreBtn.setEnabledState (false);
}

void MainComponent::parentHierarchyChanged()
{
    updateWindowTitle();
}

void MainComponent::updateWindowTitle()
{
    auto* window = dynamic_cast<juce::DocumentWindow*> (getTopLevelComponent());
    if (window == nullptr)
        return;

    juce::String title ("qorv");
    if (currentFile.empty())
        title << " - New Library";
    else
        title << " - " << juce::File (toDisplayString (currentFile)).getFileNameWithoutExtension();
    if (libraryModified)
        title << " *";
    window->setName (title);
}

void MainComponent::sendActivePatch()
{
    midiEngine.sendPatch (patch, 0);
}

void MainComponent::paint (juce::Graphics& g)
{
    const float scale = g.getInternalContext().getPhysicalPixelScaleFactor();
    if (composedBackground.isNull() || scale != composedScale)
    {
        composedScale = scale;
        composedBackground = juce::Image (
            juce::Image::RGB, juce::roundToInt (panelWidth * scale), juce::roundToInt (panelHeight * scale), true);
        juce::Graphics composer (composedBackground);
        composer.addTransform (
            juce::AffineTransform::scale (static_cast<float> (composedBackground.getWidth()) / panelWidth,
                                          static_cast<float> (composedBackground.getHeight()) / panelHeight));
        const juce::Rectangle<float> panel (0.0f, 0.0f, panelWidth, panelHeight);
        composer.drawImage (backgroundImage, panel);
        composer.drawImage (overlayImage, panel);
    }

    g.drawImageTransformed (
        composedBackground,
        juce::AffineTransform::scale (static_cast<float> (panelWidth) / composedBackground.getWidth(),
                                      static_cast<float> (panelHeight) / composedBackground.getHeight()));
}
