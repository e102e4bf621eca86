#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);

    // Desktop windows are made as in the program, which JUCE knows to be a
    // standalone application: Xlib set up for threads and X errors ignored.
    // Without that, a window manager's property missing from the virtual X
    // server ends the process. The function itself is never called.
    juce::JUCEApplicationBase::createInstance = []() -> juce::JUCEApplicationBase* { return nullptr; };

    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
