// JUCE's X11 headers, for its window system.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_gui_basics/juce_gui_basics.h>

#include "plugin/XConnection.h"

namespace XConnection
{
void closeWhileNoWindowIsOpen()
{
    if (juce::XWindowSystem::getInstanceWithoutCreating() == nullptr ||
        juce::Desktop::getInstance().getNumComponents() > 0)
        return;
    // Made again, and connected, the next time a window needs it.
    juce::XWindowSystem::deleteInstance();
}
} // namespace XConnection
