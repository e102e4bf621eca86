#pragma once

#include "app/DesktopFileDialog.h"
#include "control/ControllerTranslator.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <string>
#include <vector>

/** MIDI > Controllers > "Export Map..." and "Import Map...": the learned
    mappings as a plain text file, one "CHANNEL CC CONTROL" line each. A file
    that cannot be read, or holds a wrong line, changes nothing and is named
    with its reason. */
class ControllerMapCommands
{
public:
    using StatusHook = std::function<void (const juce::String& message)>;
    /** The chosen paths, as bytes. */
    using DialogDone = std::function<void (const std::vector<std::string>&)>;

    /** Far more than 28 controls' lines; a bigger file is not a map. */
    static constexpr size_t maxMapFileSize = 1 << 16;

    ControllerMapCommands (ControllerTranslator& translatorToActOn, StatusHook showStatusMessage);

    void chooseMapToImport();
    void chooseMapExport();
    void importMap (const std::string& path);
    void exportMap (const std::string& path);
    void closeDialog() { desktopDialog.close(); }

    // Where the commands meet the user; tests replace them.
    std::function<void (const FileDialogRequest&, DialogDone)> openDialog;
    std::function<void (const juce::String& title, const juce::String& message)> showWarning;

private:
    ControllerTranslator& translator;
    StatusHook showStatus;
    DesktopFileDialog desktopDialog;

    JUCE_DECLARE_WEAK_REFERENCEABLE (ControllerMapCommands)
    JUCE_DECLARE_NON_COPYABLE (ControllerMapCommands)
};
