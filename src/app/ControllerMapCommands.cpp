#include "app/ControllerMapCommands.h"

#include "app/FileCommands.h"
#include "files/FileBytes.h"
#include "ui/PanelText.h"

namespace
{
const char* const mapPattern = "*.txt;*.map";
}

ControllerMapCommands::ControllerMapCommands (ControllerTranslator& translatorToActOn, StatusHook showStatusMessage)
    : showWarning (FileCommands::showWarningBox), translator (translatorToActOn),
      showStatus (std::move (showStatusMessage))
{
    openDialog = [this] (const FileDialogRequest& request, DialogDone done)
    { desktopDialog.open (request, std::move (done)); };
}

void ControllerMapCommands::chooseMapToImport()
{
    openDialog ({"Import Controller Map",
                 {},
                 mapPattern,
                 juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectFiles},
                [weakThis = juce::WeakReference<ControllerMapCommands> (this)] (const juce::Array<juce::File>& files)
                {
                    if (weakThis != nullptr && !files.isEmpty())
                        weakThis->importMap (files.getFirst());
                });
}

void ControllerMapCommands::chooseMapExport()
{
    const auto suggested =
        juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile ("Qorv controllers.txt");
    openDialog ({"Export Controller Map",
                 suggested,
                 mapPattern,
                 juce::FileBrowserComponent::saveMode | juce::FileBrowserComponent::canSelectFiles |
                     juce::FileBrowserComponent::warnAboutOverwriting},
                [weakThis = juce::WeakReference<ControllerMapCommands> (this)] (const juce::Array<juce::File>& files)
                {
                    if (weakThis != nullptr && !files.isEmpty())
                        weakThis->exportMap (files.getFirst());
                });
}

void ControllerMapCommands::importMap (const juce::File& file)
{
    const auto name = file.getFileName();
    std::vector<uint8_t> bytes;
    if (!FileBytes::readAll (toModelString (file.getFullPathName()), maxMapFileSize, bytes))
    {
        showWarning ("Import failed", "Could not read the controller map " + name + ".");
        return;
    }
    std::string problem;
    if (!translator.importMap (std::string (bytes.begin(), bytes.end()), problem))
    {
        showWarning ("Import failed", name + " is not a controller map: " + toDisplayString (problem) + ".");
        return;
    }
    const auto count = translator.map().learned().size();
    showStatus ("Imported " + juce::String (count) + (count == 1 ? " controller" : " controllers"));
}

void ControllerMapCommands::exportMap (const juce::File& file)
{
    const std::string text = translator.map().toText();
    const auto result = FileBytes::replaceFile (
        toModelString (file.getFullPathName()), reinterpret_cast<const uint8_t*> (text.data()), text.size());
    if (!result)
    {
        showWarning ("Export failed", toDisplayString (result.reason));
        return;
    }
    showStatus ("Exported " + file.getFileName());
}
