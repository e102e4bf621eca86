// The real window on the real sequencer, inside the small virtual machine: a
// controller chosen in MIDI > Device moves the panel, and the synthesizer gets
// the parameter changes.

#include "ControllerSweep.h"
#include "LinkPeer.h"
#include "MessageLoop.h"
#include "RawMidiPort.h"
#include "TempFolder.h"
#include "app/MainWindow.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

namespace
{
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Id = MainWindow::MenuId;

/** The menu item of a device in MIDI > Device, under a section's header. */
int deviceItem (MainWindow& window, const std::string& section, const std::string& device)
{
    const auto menu = window.getMenuForIndex (3, "MIDI");
    for (juce::PopupMenu::MenuItemIterator top (menu); top.next();)
    {
        if (top.getItem().text != "Device" || top.getItem().subMenu == nullptr)
            continue;
        bool inSection = false;
        for (juce::PopupMenu::MenuItemIterator it (*top.getItem().subMenu); it.next();)
        {
            const auto& item = it.getItem();
            if (item.isSectionHeader)
                inSection = item.text == juce::String (section);
            else if (inSection && item.text == juce::String (device))
                return item.itemID;
        }
    }
    return 0;
}

class WindowSequencerTest : public testing::Test
{
protected:
    WindowSequencerTest()
    {
        ::setenv ("XDG_CONFIG_HOME", configHome.root.c_str(), 1);
        state = std::make_unique<AppState>();
        window = std::make_unique<MainWindow> ("Qorv", *state); // the ALSA sequencer
        window->loadState();
        std::this_thread::sleep_for (200ms); // the peer arms its port
    }

    ~WindowSequencerTest() override
    {
        window.reset();
        state.reset();
    }

    MainComponent& panel() { return *window->mainComponent; }

    TempFolder configHome;
    LinkPeer peer{"hw:0,0"};
    RawMidiPort controller{"hw:0,1"};
    std::unique_ptr<AppState> state;
    std::unique_ptr<MainWindow> window;
};
} // namespace

TEST_F (WindowSequencerTest, AControllerChosenInTheMenuMovesThePanelAndTheSynthesizerGetsEveryLastValue)
{
    ASSERT_TRUE (peer.isOpen());
    const int output = deviceItem (*window, "Output", "Virtual Raw MIDI 0-0 VirMIDI 0-0");
    const int controllerItem = deviceItem (*window, "Controller", "Virtual Raw MIDI 0-1 VirMIDI 0-1");
    ASSERT_NE (output, 0);
    ASSERT_NE (controllerItem, 0);
    window->menuItemSelected (output, 3);
    window->menuItemSelected (controllerItem, 3);
    window->menuItemSelected (Id::firstChannelId + 4, 3); // channel 5

    controller.write ({0xB0, 107, 64});
    ASSERT_TRUE (pumpMessagesUntil ([&] { return peer.arrivalCount() == 1; }, 10000));
    EXPECT_EQ (peer.arrivals()[0].message, (Bytes{0xF0, 0x41, 0x32, 0x04, 0x05, 0x40, 0xF7}));

    ControllerSweep sweep;
    EXPECT_TRUE (sweep.play (controller,
                             peer,
                             [] (const std::function<bool()>& condition)
                             { return pumpMessagesUntil (condition, 15000); }));
    pumpMessagesUntil ([] { return false; }, 100); // a frame of the panel and more
    auto arrivals = peer.arrivals();
    arrivals.erase (arrivals.begin());
    std::chrono::steady_clock::time_point lastIn{};
    EXPECT_TRUE (sweep.arrivedInOrder (arrivals, 4, lastIn));

    // The panel ends showing the last values, and STATUS the last control moved.
    const auto last = sweep.lastValues();
    auto& voice = panel().voice;
    EXPECT_EQ (voice.lfoRateSlider.getValue(), last[0]);
    EXPECT_EQ (voice.lfoDelaySlider.getValue(), last[1]);
    EXPECT_EQ (voice.vcfFreqSlider.getValue(), last[2]);
    EXPECT_EQ (voice.vcfResSlider.getValue(), last[3]);
    EXPECT_EQ (panel().patchBar.statusLabel.getText(), "VCF Res: " + juce::String (last[3]));
    EXPECT_TRUE (panel().patchBar.changedInd.isLit());
}
