#include "ui/MainComponent.h"

#include "files/FilePath.h"
#include "patch/PatchParameters.h"
#include "ui/PanelBackground.h"
#include "ui/PanelText.h"

static_assert (MainComponent::panelWidth == PanelBackground::panelWidth &&
                   MainComponent::panelHeight == PanelBackground::panelHeight,
               "the stored backgrounds are composed for the panel's size");

MainComponent::MainComponent (EditorModel& modelToShow)
    : editor (modelToShow), midiEngine (editor.engine()), editSession (editor.session()), patchBar (editSession),
      voice (editSession, editor.controllers()), bank (editSession), midiIn (editSession), performance (midiEngine)
{
    setSize (panelWidth, panelHeight);
    for (juce::Component* section :
         std::initializer_list<juce::Component*>{&bank, &voice, &performance, &patchBar, &midiIn})
    {
        addAndMakeVisible (section);
        section->setBounds (getLocalBounds());
    }

    voice.showEdit = [this] (const juce::String& name, const juce::String& value)
    { patchBar.showControl (name, value); };
    bank.showAction = [this] (const juce::String& name, const juce::String& value)
    { patchBar.showControl (name, value); };
    editor.addListener (*this);

    showWholeModel();
}

MainComponent::~MainComponent()
{
    editor.removeListener (*this);
    // Nothing this panel started may sound on after it is gone.
    performance.keyboard.allNotesOff();
}

void MainComponent::showWholeModel()
{
    patchBar.showActiveName (editSession.activePatch().name);
    showActivePatch();
    bank.refresh();
    bank.applyEraseRule();
    midiIn.showReceived();
    midiIn.showSaveAll();
}

void MainComponent::showActivePatch()
{
    const auto& active = editSession.activePatch();
    voice.showPatch (active);
    voice.showLamps (active.data[PatchBits::dcoFlagsIndex]);
    patchBar.showEditState();
}

void MainComponent::sessionChanged (SessionChange change)
{
    const auto& active = editSession.activePatch();
    switch (change)
    {
        case SessionChange::patchEdited:
            voice.showLamps (active.data[PatchBits::dcoFlagsIndex]);
            patchBar.showEditState();
            break;
        case SessionChange::patchReloaded:
            showActivePatch();
            break;
        case SessionChange::controlMoved:
            if (controlDisplay.changed (FrameLimiter::Clock::now()))
                showControlMove();
            else if (!isTimerRunning())
                startTimer (1000 / 60);
            break;
        case SessionChange::activePatchReplaced:
            patchBar.showActiveName (active.name);
            showActivePatch();
            bank.applyEraseRule();
            break;
        case SessionChange::activePatchRenamed:
            patchBar.showActiveName (active.name);
            bank.applyEraseRule();
            break;
        case SessionChange::storedPatchChanged:
            patchBar.showEditState();
            break;
        case SessionChange::comparisonChanged:
            voice.showPatch (editSession.shownPatch());
            break;
        case SessionChange::libraryEdited:
            bank.refresh();
            break;
        case SessionChange::libraryReplaced:
            bank.cancelRename();
            bank.refresh();
            bank.showRow (0);
            break;
        case SessionChange::fileStateChanged:
            updateWindowTitle();
            break;
        case SessionChange::receivedChanged:
            midiIn.showReceived();
            break;
        case SessionChange::saveAllChanged:
            midiIn.showSaveAll();
            break;
    }
}

void MainComponent::showControlMove()
{
    showActivePatch();
    const auto shown = PanelControls::shown (editSession.lastMovedControl(), editSession.activePatch().data);
    patchBar.showControl (juce::String::fromUTF8 (shown.name.c_str()), juce::String::fromUTF8 (shown.value.c_str()));
}

void MainComponent::timerCallback()
{
    if (controlDisplay.tick (FrameLimiter::Clock::now()))
        showControlMove();
    if (!controlDisplay.due().has_value())
        stopTimer();
}

void MainComponent::parameterReceived (int paramNumber, int value)
{
    if (paramNumber < PatchBits::numLevelBytes)
        patchBar.showControl (PatchParameters::paramNames[paramNumber], juce::String (value));
}

void MainComponent::controllersChanged (ControllerTranslator::Change change)
{
    const auto& controllers = editor.controllers();
    switch (change)
    {
        case ControllerTranslator::Change::learningStarted:
            patchBar.showMessage ("Move a controller for " +
                                  juce::String (PanelControls::name (*controllers.learningControl())));
            break;
        case ControllerTranslator::Change::learned:
        {
            const auto& learned = controllers.map().learned().back();
            patchBar.showControl (PanelControls::name (learned.control),
                                  "CC " + juce::String (learned.controller) + " ch " +
                                      juce::String (learned.channel + 1));
            break;
        }
        case ControllerTranslator::Change::learningCancelled:
            patchBar.showControl ("Learn", "cancelled");
            break;
        case ControllerTranslator::Change::mapChanged:
            break;
    }
}

void MainComponent::showStatusMessage (const juce::String& text)
{
    patchBar.showMessage (text);
}

bool MainComponent::keyPressed (const juce::KeyPress& key)
{
    if (key == juce::KeyPress::escapeKey && editor.controllers().learningControl().has_value())
    {
        editor.controllers().cancelLearning();
        return true;
    }
    return false;
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

    const auto& file = editSession.currentFile();
    juce::String title ("qorv");
    if (file.empty())
        title << " - " << EditSession::newLibraryName;
    else
        title << " - " << PanelText::shownName (FilePath::stem (file));
    if (editSession.isModified())
        title << " *";
    window->setName (title);
}

void MainComponent::paint (juce::Graphics& g)
{
    const auto size = PanelBackground::pixelSize (g.getInternalContext().getPhysicalPixelScaleFactor());
    if (size != backgroundSize)
    {
        backgroundSize = size;
        background = juce::Image(); // the previous size's pixels go before the next are decoded
        background = PanelBackground::forSize (size);
    }
    if (background.isNull())
        return;

    g.drawImageTransformed (background,
                            juce::AffineTransform::scale (static_cast<float> (panelWidth) / background.getWidth(),
                                                          static_cast<float> (panelHeight) / background.getHeight()));
}
