#include "ShellFixture.h"

#include <algorithm>
#include <sys/stat.h>

namespace
{
MidiPlatform::Port port (const std::string& name, uint32_t endpoint)
{
    return {"", name, endpoint}; // listed under its port name
}

using Setting = std::pair<std::string, std::string>;

/** The stored settings as they appear in the file, in file order. */
std::vector<Setting> readSettings (const juce::File& file)
{
    std::vector<Setting> settings;
    const auto xml = juce::XmlDocument::parse (file);
    if (xml == nullptr)
        return settings;
    for (auto* value : xml->getChildWithTagNameIterator ("VALUE"))
        settings.push_back (
            {value->getStringAttribute ("name").toStdString(), value->getStringAttribute ("val").toStdString()});
    return settings;
}

/** A document whose entities expand into one another, `levels` deep, each level ten times the last. */
std::string nestedEntities (int levels)
{
    std::string text = "<?xml version=\"1.0\"?>\n<!DOCTYPE PROPERTIES [\n <!ENTITY l0 \"lol\">\n";
    for (int level = 1; level <= levels; ++level)
    {
        text += " <!ENTITY l" + std::to_string (level) + " \"";
        for (int i = 0; i < 10; ++i)
            text += "&l" + std::to_string (level - 1) + ";";
        text += "\">\n";
    }
    return text + "]>\n<PROPERTIES><VALUE name=\"SCALE\" val=\"&l" + std::to_string (levels) + ";\"/></PROPERTIES>\n";
}

/** A settings file as a person might edit it by hand. */
void writeSettings (const juce::File& file, const std::vector<Setting>& settings)
{
    juce::XmlElement xml ("PROPERTIES");
    for (const auto& [name, value] : settings)
    {
        auto* element = xml.createNewChildElement ("VALUE");
        element->setAttribute ("name", juce::String (name));
        element->setAttribute ("val", juce::String (value));
    }
    ASSERT_TRUE (file.getParentDirectory().createDirectory());
    ASSERT_TRUE (xml.writeTo (file));
}
} // namespace

TEST_F (ShellTest, SettingsFileLivesInTheConfigurationFolder)
{
    EXPECT_EQ (AppState::settingsFile(), settingsFile());

    // An empty or relative XDG_CONFIG_HOME is not a configuration folder.
    for (const char* value : {"", "relative/config"})
    {
        ::setenv ("XDG_CONFIG_HOME", value, 1);
        EXPECT_EQ (AppState::settingsFile(), juce::File ("~/.config/org.qorv.Qorv/qorv.cfg")) << value;
    }
    ::unsetenv ("XDG_CONFIG_HOME");
    EXPECT_EQ (AppState::settingsFile(), juce::File ("~/.config/org.qorv.Qorv/qorv.cfg"));
}

TEST_F (ShellTest, FirstRunUsesTheDefaultsAndSavesEveryKeyInOrder)
{
    closeWindow();
    openWindow ({port ("In", 5)}, {port ("Out", 7)});
    ASSERT_FALSE (settingsFile().exists());
    window->loadState();

    EXPECT_EQ (window->scaleIndex, 2);
    EXPECT_EQ (contentSize(), juce::Rectangle<int> (1092, 720));
    EXPECT_EQ (engine().inputEndpoint, 0u);
    EXPECT_EQ (engine().outputEndpoint, 0u);
    EXPECT_EQ (engine().midiChannel, 0);
    EXPECT_EQ (panel().performance.keyboard.octave, 3);
    EXPECT_TRUE (panel().performance.keyboard.keysEnabled);
    EXPECT_TRUE (panel().performance.keyboard.mouseEnabled);
    EXPECT_TRUE (panel().performance.kybdInd.isLit());
    EXPECT_TRUE (panel().performance.mouseInd.isLit());
    EXPECT_FALSE (panel().session().syncsManualMode());
    EXPECT_FALSE (panel().session().syncsControlChanges());

    window->saveState();
    EXPECT_EQ (readSettings (settingsFile()),
               (std::vector<Setting>{{"MIDI_IN", ""},
                                     {"MIDI_OUT", ""},
                                     {"MIDI_CONTROLLER", ""},
                                     {"MIDI_CHANNEL", "0"},
                                     {"KEYBOARD_OCTAVE", "3"},
                                     {"KEYBOARD_KEYS", "1"},
                                     {"KEYBOARD_MOUSE", "1"},
                                     {"SCALE", "150"},
                                     {"SYNC_MANUAL", "0"},
                                     {"SYNC_CC", "0"},
                                     {"LAST_LIBRARY", ""},
                                     {"RECENT_LIBRARIES", ""}, // the list is stored as an XML element of its own
                                     {"CONTROLLER_MAP", "# Qorv controller map: CHANNEL CC CONTROL\n"},
                                     {"CONTROLLER_DEFAULT_MAP", "1"},
                                     {"CONTROLLER_SOFT_TAKEOVER", "0"},
                                     {"CONTROLLER_THRU", "1"},
                                     {"PREVIEW_SELECTING", "select"},
                                     {"PREVIEW_LEVEL_MATCHED", "1"},
                                     {"ACTIVE_PATCH", "00000000007f000000007f00000000002a19 Init"},
                                     {"STORED_PATCH", "00000000007f000000007f00000000002a19 Init"}}));
}

TEST_F (ShellTest, SmallAndChannelTenComeBackAfterARestart)
{
    window->menuItemSelected (401, 1);
    window->menuItemSelected (809, 2);
    restart();

    EXPECT_EQ (contentSize(), juce::Rectangle<int> (728, 480));
    EXPECT_EQ (tickedIds (window->getMenuForIndex (1, "View")), std::vector<int>{401});
    EXPECT_EQ (engine().midiChannel, 9);
    EXPECT_EQ (tickedIds (submenuOf (window->getMenuForIndex (2, "MIDI"), "Channel")), std::vector<int>{809});

    const auto stored = readSettings (settingsFile());
    EXPECT_NE (std::find (stored.begin(), stored.end(), Setting{"MIDI_CHANNEL", "9"}), stored.end());
    EXPECT_NE (std::find (stored.begin(), stored.end(), Setting{"SCALE", "100"}), stored.end());
}

TEST_F (ShellTest, EverySettingSurvivesARestart)
{
    const Ports inputs{port ("Juno In", 5), port ("Other In", 6)};
    const Ports outputs{port ("Juno Out", 7)};
    closeWindow();
    openWindow (inputs, outputs);
    window->menuItemSelected (603, 2);
    window->menuItemSelected (702, 2);
    window->menuItemSelected (404, 1);
    window->menuItemSelected (501, 2);
    window->menuItemSelected (502, 2);
    panel().performance.octaveUp();
    panel().performance.setKeysEnabled (false);
    panel().performance.setMouseEnabled (false);

    // The devices come back by name, whatever their endpoints are now.
    restart ({port ("Juno In", 15), port ("Other In", 16)}, {port ("Juno Out", 17)});
    EXPECT_EQ (engine().inputEndpoint, 16u);
    EXPECT_EQ (engine().outputEndpoint, 17u);
    EXPECT_EQ (window->scaleIndex, 3);
    EXPECT_EQ (contentSize(), juce::Rectangle<int> (1274, 840));
    EXPECT_TRUE (panel().session().syncsManualMode());
    EXPECT_TRUE (panel().session().syncsControlChanges());
    EXPECT_EQ (panel().performance.keyboard.octave, 4);
    EXPECT_FALSE (panel().performance.keyboard.keysEnabled);
    EXPECT_FALSE (panel().performance.keyboard.mouseEnabled);
    EXPECT_FALSE (panel().performance.kybdInd.isLit());
    EXPECT_FALSE (panel().performance.mouseInd.isLit());

    // A remembered device that is not there stays closed but chosen: its name is kept for the next start,
    // and it opens when it is plugged in.
    restart ({}, {port ("Juno Out", 17)});
    EXPECT_EQ (engine().inputEndpoint, 0u);
    EXPECT_EQ (engine().outputEndpoint, 17u);
    window->saveState();
    EXPECT_EQ (readSettings (settingsFile()).front(), (Setting{"MIDI_IN", "Other In"}));
    midi->inputs = {port ("Other In", 26)};
    midi->announceSetupChange();
    EXPECT_TRUE (pumpMessagesUntil ([this] { return engine().inputEndpoint == 26u; }));
}

TEST_F (ShellTest, AStoredNameThatMatchesTwoDevicesOpensTheFirst)
{
    writeSettings (settingsFile(), {{"MIDI_IN", "Juno"}, {"MIDI_OUT", "Juno"}});
    closeWindow();
    openWindow ({port ("Other", 4), port ("Juno", 5), port ("Juno", 6)}, {port ("Juno", 8), port ("Juno", 7)});
    window->loadState();
    EXPECT_EQ (engine().inputEndpoint, 5u);
    EXPECT_EQ (engine().outputEndpoint, 8u);
}

TEST_F (ShellTest, StoredOctaveIsReachedByOctaveSteps)
{
    writeSettings (settingsFile(), {{"KEYBOARD_OCTAVE", "1"}});
    closeWindow();
    openWindow ({}, {port ("Out", 7)});
    engine().openOutput (7);

    // A held computer key sounds until a step lets it go, as the OCTAVE buttons do.
    auto& keyboard = panel().performance.keyboard;
    const int heldKey = QorvKeyboardComponent::keyMap[0];
    keyboard.isKeyDown = [heldKey] (int keyCode) { return keyCode == heldKey; };
    keyboard.keyStateChanged (true);
    ASSERT_EQ (midi->sent.size(), 1u);
    const Bytes noteOn = midi->sent.back();
    keyboard.isKeyDown = [] (int) { return false; };

    window->loadState();
    EXPECT_EQ (keyboard.octave, 1);
    ASSERT_EQ (midi->sent.size(), 2u);
    EXPECT_EQ (midi->sent.back()[0], 0x80);
    EXPECT_EQ (midi->sent.back()[1], noteOn[1]) << "the held note is released";
}

TEST_F (ShellTest, UnusableStoredValuesAreIgnored)
{
    struct Case
    {
        std::string key;
        std::string value;
    };
    const Case cases[] = {{"MIDI_CHANNEL", "16"},
                          {"MIDI_CHANNEL", "-1"},
                          {"MIDI_CHANNEL", "99"},
                          {"MIDI_CHANNEL", "ten"},
                          {"KEYBOARD_OCTAVE", "0"},
                          {"KEYBOARD_OCTAVE", "5"},
                          {"SCALE", "120"},
                          {"SCALE", "1.5"}};
    for (const auto& c : cases)
    {
        closeWindow();
        writeSettings (settingsFile(), {{c.key, c.value}});
        openWindow();
        window->loadState();
        EXPECT_EQ (engine().midiChannel, 0) << c.key << "=" << c.value;
        EXPECT_EQ (panel().performance.keyboard.octave, 3) << c.key << "=" << c.value;
        EXPECT_EQ (window->scaleIndex, 2) << c.key << "=" << c.value;
        EXPECT_EQ (contentSize(), juce::Rectangle<int> (1092, 720)) << c.key << "=" << c.value;
    }

    // An unreadable file gives the defaults too.
    closeWindow();
    ASSERT_TRUE (settingsFile().replaceWithText ("not a settings file"));
    openWindow();
    window->loadState();
    EXPECT_EQ (window->scaleIndex, 2);
    EXPECT_TRUE (panel().performance.keyboard.keysEnabled);
}

TEST_F (ShellTest, ASettingsFileThatCannotBeReadSanelyIsSetAsideAndTheDefaultsUsed)
{
    struct Case
    {
        const char* what;
        std::string content;
    };
    std::string deep = "<PROPERTIES>";
    for (int i = 0; i < 35000; ++i)
        deep += "<a>";
    const std::vector<Case> cases = {
        {"35,000 nested elements", deep},
        {"not XML", "SCALE=100\n"},
        {"another document", "<?xml version=\"1.0\"?><html><VALUE name=\"SCALE\" val=\"100\"/></html>"},
        {"nested entities", nestedEntities (4)},
        {"deeper nested entities", nestedEntities (9)},
        {"a document type read from /dev/zero",
         "<!DOCTYPE PROPERTIES SYSTEM \"/dev/zero\"><PROPERTIES><VALUE name=\"SCALE\" val=\"&a;\"/></PROPERTIES>"},
        {"JUCE's compressed binary form", std::string ("CPRP\0\0\0\0\x1f\x8b", 10)},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        closeWindow();
        ASSERT_TRUE (settingsFile().getParentDirectory().createDirectory());
        writeBytes (settingsFile().getFullPathName().toStdString(), {c.content.begin(), c.content.end()});

        openWindow();
        window->loadState();
        window->showAtStart();
        EXPECT_EQ (window->scaleIndex, 2);
        EXPECT_EQ (panel().patchBar.statusLabel.getText(), "Settings reset");
        EXPECT_FALSE (settingsFile().exists());
        const auto aside = settingsFile().getSiblingFile ("qorv.cfg.unreadable");
        ASSERT_TRUE (aside.existsAsFile()); // kept for whoever wants it, never read again
        EXPECT_EQ (readBytes (aside.getFullPathName().toStdString()),
                   std::vector<uint8_t> (c.content.begin(), c.content.end()));
        ASSERT_TRUE (aside.deleteFile());
    }

    // A good file is read as always.
    closeWindow();
    writeSettings (settingsFile(), {{"SCALE", "100"}});
    openWindow();
    window->loadState();
    EXPECT_EQ (window->scaleIndex, 0);
    EXPECT_TRUE (settingsFile().existsAsFile());

    // Anything but a regular file is set aside without being opened: a pipe would never answer.
    closeWindow();
    ASSERT_TRUE (settingsFile().deleteFile());
    ASSERT_EQ (::mkfifo (settingsFile().getFullPathName().toRawUTF8(), 0600), 0);
    openWindow();
    EXPECT_EQ (state->problem, "Settings reset");
    EXPECT_FALSE (settingsFile().exists());
}

TEST_F (ShellTest, AValueThatWouldBeParsedAsAHostileDocumentIsNeverKept)
{
    // Stored as text, the value would be parsed as a document when the settings are saved.
    writeSettings (settingsFile(), {{"SCALE", "100"}, {"MIDI_IN", nestedEntities (9)}, {"MIDI_OUT", "Juno <1>"}});
    closeWindow();
    openWindow();
    EXPECT_EQ (state->problem, "");
    EXPECT_FALSE (state->propertiesFile->containsKey ("MIDI_IN"));
    EXPECT_EQ (state->propertiesFile->getValue ("MIDI_OUT"), "Juno <1>");

    // A device may be named anything; such a name is not stored.
    state->propertiesFile->setValue ("MIDI_IN", juce::String (" " + nestedEntities (9)));
    EXPECT_FALSE (state->propertiesFile->containsKey ("MIDI_IN"));
    window->loadState();
    EXPECT_EQ (window->scaleIndex, 0);
    window->saveState();
    const auto stored = readSettings (settingsFile());
    EXPECT_EQ (std::count_if (stored.begin(), stored.end(), [] (const Setting& s) { return s.first == "MIDI_IN"; }), 1)
        << "the chosen device, none, is stored in its place";
}
