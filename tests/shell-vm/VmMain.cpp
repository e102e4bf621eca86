#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdio>
#include <unistd.h>

// These tests need the kernel sequencer with virtual raw MIDI ports, as the
// virtual machine of tools/alsa-vm provides, and a display; elsewhere they
// fail at once.
int main (int argc, char** argv)
{
    testing::InitGoogleTest (&argc, argv);
    if (::access ("/dev/snd/seq", R_OK | W_OK) != 0)
    {
        std::fprintf (stderr, "No ALSA sequencer here: run through tools/alsa-vm/alsa-vm run -- %s\n", argv[0]);
        return 1;
    }

    // Windows are made as in the program (see tests/shell/TestMain.cpp).
    juce::JUCEApplicationBase::createInstance = []() -> juce::JUCEApplicationBase* { return nullptr; };
    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
