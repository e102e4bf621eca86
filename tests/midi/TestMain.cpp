#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

// The engine posts its deliveries to the JUCE message thread: the test thread
// is that thread.
int main (int argc, char** argv)
{
    testing::InitGoogleTest (&argc, argv);
    juce::MessageManager::getInstance();
    const int result = RUN_ALL_TESTS();
    juce::DeletedAtShutdown::deleteAll();
    juce::MessageManager::deleteInstance();
    return result;
}
