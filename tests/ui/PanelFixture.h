#pragma once

#include "EditSessionTestAccess.h"
#include "MemoryMidiPlatform.h"
#include "MessageLoop.h"
#include "UiTestSupport.h"
#include "midi/protocol/JunoMessages.h"
#include "ui/MainComponent.h"

#include <gtest/gtest.h>

/** The real panel on an in-memory MIDI layer, with its output and input open,
    inside a window that is never shown (so the title can be read). */
class PanelTest : public ::testing::Test
{
protected:
    PanelTest()
    {
        auto platform = std::make_unique<MemoryMidiPlatform>();
        midi = platform.get();
        model = std::make_unique<EditorModel> (std::move (platform));
        panel = std::make_unique<MainComponent> (*model);
        window.setContentNonOwned (panel.get(), false);
        panel->midiEngine.openOutput (1);
        panel->midiEngine.openInput (1);
    }

    ~PanelTest() override { window.clearContentComponent(); }

    using Bytes = std::vector<uint8_t>;

    /** The patch dumps sent so far. */
    std::vector<Bytes> sentDumps() const
    {
        std::vector<Bytes> dumps;
        for (const auto& m : midi->sent)
            if (m.size() == 24 && m[0] == 0xF0 && m[2] == 0x30)
                dumps.push_back (m);
        return dumps;
    }

    static Bytes dumpOf (const PatchModel& p, int channel = 0)
    {
        const auto d = JunoMessages::buildPatchDump (p, channel, 0);
        return {d.begin(), d.end()};
    }

    static Bytes sysex (std::initializer_list<uint8_t> bytes) { return bytes; }

    /** A Juno patch or manual dump as the synthesizer sends it. */
    static Bytes incomingDump (uint8_t command, uint8_t number, const PatchModel& p)
    {
        Bytes d{0xF0, 0x41, command, 0x00, number};
        for (const uint8_t b : p.data)
            d.push_back (b);
        d.push_back (0xF7);
        return d;
    }

    /** Feeds received bytes and runs the message loop until their calls ran. */
    void receive (const Bytes& bytes)
    {
        ASSERT_TRUE (midi->inject (bytes));
        ASSERT_TRUE (runPostedMessages());
    }

    /** A full fader gesture: press, drags through the given heights, release. */
    void dragFader (BitmapSlider& fader, std::initializer_list<float> ys)
    {
        auto y = ys.begin();
        UiTest::press (fader, 12.0f, *y);
        for (++y; y != ys.end(); ++y)
            UiTest::drag (fader, 12.0f, *y);
        UiTest::release (fader, 12.0f, *(ys.end() - 1));
    }

    /** Puts bytes into the active patch as if it had been loaded that way. */
    void loadActive (std::initializer_list<std::pair<int, uint8_t>> bytes)
    {
        auto& active = EditSessionTestAccess::active (session());
        for (auto [index, value] : bytes)
            active.data[static_cast<size_t> (index)] = value;
        EditSessionTestAccess::stored (session()) = active;
        EditSessionTestAccess::announce (session(), SessionChange::patchReloaded);
        midi->clearSent();
    }

    EditSession& session() { return panel->session(); }
    juce::String status() const { return panel->patchBar.statusLabel.getText(); }
    juce::String title() const { return window.getName(); }
    std::vector<std::string> libraryNames() const
    {
        std::vector<std::string> names;
        for (const auto& p : panel->session().library().patches)
            names.push_back (p.name);
        return names;
    }

    juce::DocumentWindow window{"test", juce::Colours::black, 0, false};
    MemoryMidiPlatform* midi = nullptr;
    std::unique_ptr<EditorModel> model;
    std::unique_ptr<MainComponent> panel;
};
