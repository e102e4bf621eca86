#include "app/ControllerMapCommands.h"

#include "app/FileCommands.h"
#include "app/FileWork.h"
#include "files/FileBytes.h"
#include "files/FilePath.h"
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
                [weakThis = juce::WeakReference<ControllerMapCommands> (this)] (const std::vector<std::string>& paths)
                {
                    if (weakThis != nullptr && !paths.empty())
                        weakThis->importMap (paths.front());
                });
}

void ControllerMapCommands::chooseMapExport()
{
    const auto suggested =
        juce::File::getSpecialLocation (juce::File::userHomeDirectory).getFullPathName().toStdString() +
        "/Qorv controllers.txt";
    openDialog ({"Export Controller Map",
                 suggested,
                 mapPattern,
                 juce::FileBrowserComponent::saveMode | juce::FileBrowserComponent::canSelectFiles |
                     juce::FileBrowserComponent::warnAboutOverwriting},
                [weakThis = juce::WeakReference<ControllerMapCommands> (this)] (const std::vector<std::string>& paths)
                {
                    if (weakThis != nullptr && !paths.empty())
                        weakThis->exportMap (paths.front());
                });
}

void ControllerMapCommands::importMap (const std::string& path)
{
    const auto name = FileWork::shownPath (std::string (FilePath::fileName (path)));
    std::vector<uint8_t> bytes;
    if (!FileBytes::readAll (path, maxMapFileSize, bytes))
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

void ControllerMapCommands::exportMap (const std::string& path)
{
    const std::string text = translator.map().toText();
    const auto result = FileBytes::replaceFile (path, reinterpret_cast<const uint8_t*> (text.data()), text.size());
    if (!result)
    {
        showWarning ("Export failed", toDisplayString (result.reason));
        return;
    }
    showStatus ("Exported " + FileWork::shownPath (std::string (FilePath::fileName (path))));
}
