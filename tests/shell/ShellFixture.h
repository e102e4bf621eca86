#pragma once

#include "EditSessionTestAccess.h"
#include "MemoryMidiPlatform.h"
#include "MessageLoop.h"
#include "TempFolder.h"
#include "app/MainWindow.h"
#include "midi/protocol/JunoMessages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

/** A file's path as the file commands take it: its bytes. */
inline std::string pathOf (const juce::File& file)
{
    return file.getFullPathName().toStdString();
}

/** The real window on an in-memory MIDI layer, with its settings in a fresh
    configuration folder. Dialogs, warnings and quitting are recorded instead
    of shown, so each command's outcome can be checked. */
class ShellTest : public ::testing::Test
{
protected:
    using Bytes = std::vector<uint8_t>;
    using Ports = std::vector<MidiPlatform::Port>;

    struct Warning
    {
        std::string title;
        std::string message;
    };

    ShellTest()
    {
        ::setenv ("XDG_CONFIG_HOME", configHome.root.c_str(), 1);
        openWindow();
    }

    ~ShellTest() override { closeWindow(); }

    /** A window as start-up makes it, before the settings are applied. */
    void openWindow (Ports inputs = {}, Ports outputs = {})
    {
        auto platform = std::make_unique<MemoryMidiPlatform>();
        midi = platform.get();
        midi->inputs = std::move (inputs);
        midi->outputs = std::move (outputs);
        state = std::make_unique<AppState>();
        window = std::make_unique<MainWindow> ("Qorv", *state, std::move (platform));
        window->requestQuit = [this] { ++quitRequests; };

        auto& commands = window->fileCommands;
        commands.showWarning = [this] (const juce::String& title, const juce::String& message) {
            warnings.push_back ({title.toStdString(), message.toStdString()});
        };
        commands.openDialog = [this] (const FileCommands::Dialog& dialog, FileCommands::DialogDone done)
        {
            dialogs.push_back (dialog);
            answerDialog = std::move (done);
        };
        commands.askToSave =
            [this] (const juce::String& question, const juce::String& discardLabel, FileCommands::SaveAnswer answer)
        {
            saveQuestions.push_back ({question.toStdString(), discardLabel.toStdString()});
            answerSaveQuestion = std::move (answer);
        };
        commands.askMergeChoice =
            [this] (const juce::String& title, const juce::String& message, FileCommands::MergeAnswer answer)
        {
            questions.push_back ({title.toStdString(), message.toStdString()});
            answerQuestion = std::move (answer);
        };
        commands.askToRecover = [this] (const juce::String& question, FileCommands::RecoverAnswer answer)
        {
            recoverQuestions.push_back (question.toStdString());
            answerRecoverQuestion = std::move (answer);
        };
    }

    /** Shut-down without saving: the window goes, then the settings holder. */
    void closeWindow()
    {
        window.reset();
        state.reset();
    }

    /** Shut-down as the application does it, then a new start-up that applies the settings. */
    void restart (Ports inputs = {}, Ports outputs = {})
    {
        window->saveState();
        closeWindow();
        openWindow (std::move (inputs), std::move (outputs));
        window->loadState();
    }

    MainComponent& panel() { return *window->mainComponent; }
    EditSession& session() { return panel().session(); }
    MidiEngine& engine() { return panel().midiEngine; }

    std::string title() const { return window->getName().toStdString(); }

    juce::Rectangle<int> contentSize() const { return window->getContentComponent()->getLocalBounds(); }

    juce::File settingsFile() const { return juce::File (configHome.path ("org.qorv.Qorv/qorv.cfg")); }

    /** The patch dumps sent so far. */
    std::vector<Bytes> sentDumps() const
    {
        std::vector<Bytes> dumps;
        for (const auto& m : midi->sent)
            if (m.size() == JunoMessages::patchDumpSize && m[0] == 0xF0 && m[2] == 0x30)
                dumps.push_back (m);
        return dumps;
    }

    static Bytes dumpOf (const PatchModel& p, int channel = 0)
    {
        const auto d = JunoMessages::buildPatchDump (p, channel, 0);
        return {d.begin(), d.end()};
    }

    TempFolder configHome;
    std::unique_ptr<AppState> state;
    std::unique_ptr<MainWindow> window;
    MemoryMidiPlatform* midi = nullptr;

    int quitRequests = 0;
    std::vector<Warning> warnings;
    std::vector<FileCommands::Dialog> dialogs;
    FileCommands::DialogDone answerDialog;
    std::vector<Warning> questions;
    FileCommands::MergeAnswer answerQuestion;
    /** The unsaved-changes questions asked: the question and the Discard button's words. */
    std::vector<Warning> saveQuestions;
    FileCommands::SaveAnswer answerSaveQuestion;
    /** The questions about changes a session that ended kept aside. */
    std::vector<std::string> recoverQuestions;
    FileCommands::RecoverAnswer answerRecoverQuestion;
};

/** One menu item as the menu bar would show it. */
struct MenuEntry
{
    enum Kind
    {
        item,
        separator,
        header,
        submenu
    };
    Kind kind;
    int id;
    std::string text;
    bool ticked;
    bool enabled;

    bool operator== (const MenuEntry& other) const
    {
        return kind == other.kind && id == other.id && text == other.text && ticked == other.ticked &&
               enabled == other.enabled;
    }
};

inline std::ostream& operator<< (std::ostream& out, const MenuEntry& e)
{
    static const char* kinds[] = {"item", "separator", "header", "submenu"};
    return out << "{" << kinds[e.kind] << " " << e.id << " \"" << e.text << "\"" << (e.ticked ? " ticked" : "")
               << (e.enabled ? "" : " disabled") << "}";
}

inline MenuEntry menuItem (int id, const std::string& text, bool ticked = false)
{
    return {MenuEntry::item, id, text, ticked, true};
}
inline MenuEntry menuSeparator()
{
    return {MenuEntry::separator, 0, "", false, true};
}
inline MenuEntry menuHeader (const std::string& text)
{
    return {MenuEntry::header, 0, text, false, true};
}
inline MenuEntry menuSubmenu (const std::string& text)
{
    return {MenuEntry::submenu, 0, text, false, true};
}

/** The items of one menu level, in order. */
inline std::vector<MenuEntry> entriesOf (const juce::PopupMenu& menu)
{
    std::vector<MenuEntry> entries;
    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
    {
        const auto& i = it.getItem();
        const auto kind = i.isSeparator          ? MenuEntry::separator
                          : i.isSectionHeader    ? MenuEntry::header
                          : i.subMenu != nullptr ? MenuEntry::submenu
                                                 : MenuEntry::item;
        entries.push_back ({kind, i.itemID, i.text.toStdString(), i.isTicked, i.isEnabled});
    }
    return entries;
}

/** The submenu with that text, which must exist. */
inline juce::PopupMenu submenuOf (const juce::PopupMenu& menu, const std::string& text)
{
    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        if (it.getItem().subMenu != nullptr && it.getItem().text == juce::String (text))
            return *it.getItem().subMenu;
    ADD_FAILURE() << "no submenu " << text;
    return {};
}

/** The ids of the ticked items of one menu level. */
inline std::vector<int> tickedIds (const juce::PopupMenu& menu)
{
    std::vector<int> ids;
    for (const auto& e : entriesOf (menu))
        if (e.ticked)
            ids.push_back (e.id);
    return ids;
}
