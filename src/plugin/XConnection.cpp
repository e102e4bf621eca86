// JUCE's X11 headers, for its window system.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_gui_basics/juce_gui_basics.h>

#include "plugin/XConnection.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace XConnection
{
namespace
{
    bool noWindowIsOpen()
    {
        return juce::XWindowSystem::getInstanceWithoutCreating() != nullptr &&
               juce::Desktop::getInstance().getNumComponents() == 0;
    }
} // namespace

void closeWhileNoWindowIsOpen()
{
    if (noWindowIsOpen())
        // Made again, and connected, the next time a window needs it.
        juce::XWindowSystem::deleteInstance();
}

void closeOnceTheWindowHasGone()
{
    if (juce::XWindowSystem::getInstanceWithoutCreating() == nullptr)
        return;
    // JUCE's event loop gathers the callbacks of every descriptor it finds
    // ready, then calls them in the order of their numbers. A close made from
    // the message queue's callback could leave the connection's own callback,
    // gathered in the same round, reading a display already closed (a window
    // going leaves events to read). So the close is made from a descriptor
    // numbered above the connection's: in a round that finds both ready the
    // connection's reading goes first, and the close takes it out of every
    // later round.
    const int connection =
        juce::X11Symbols::getInstance()->xConnectionNumber (juce::XWindowSystem::getInstance()->getDisplay());
    const int made = ::eventfd (0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (made < 0)
        return;
    const int wake = ::fcntl (made, F_DUPFD_CLOEXEC, connection + 1);
    ::close (made);
    if (wake < 0)
        return;
    juce::LinuxEventLoop::registerFdCallback (wake,
                                              [wake] (int)
                                              {
                                                  juce::LinuxEventLoop::unregisterFdCallback (wake);
                                                  ::close (wake);
                                                  // A window may have opened meanwhile; then it stays.
                                                  closeWhileNoWindowIsOpen();
                                              });
    ::eventfd_write (wake, 1);
}
} // namespace XConnection
