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
    if (!noWindowIsOpen())
        return;
    // JUCE's event loop gathers every ready descriptor's callback first and
    // then calls them in the order of their numbers, so a close made from the
    // message queue's callback would leave the X connection's own callback,
    // gathered in that same round, reading a display already closed. The close
    // is made instead from a descriptor numbered above the connection's: in a
    // round that finds both ready, the connection's reading goes first, and
    // closing unregisters it from every later round.
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
                                                  if (noWindowIsOpen())
                                                      // Made again, and connected, the next time a window needs it.
                                                      juce::XWindowSystem::deleteInstance();
                                              });
    ::eventfd_write (wake, 1);
}
} // namespace XConnection
