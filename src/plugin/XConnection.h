#pragma once

/** The plugin's connection to the X server. JUCE's plugin client opens one
    for the whole process as its message thread starts, window or not, and
    when the server goes away Xlib ends the process: the host with every track
    in it. So the plugin keeps no connection while none of its windows is
    open; JUCE opens one again as a window opens. */
namespace XConnection
{
/** Closes JUCE's connection if no window of this plugin's JUCE is on the
    screen: at once, for an instance made before any window was. Message thread. */
void closeWhileNoWindowIsOpen();
/** The same once the message thread is past the round it is in, for a
    window that has just gone: X still has that window's last events for it
    to read. Message thread. */
void closeOnceTheWindowHasGone();
} // namespace XConnection
