#pragma once

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

/** Waits (up to five seconds) until a reader such as amidi has opened the
    input of hw:0,0, as the card's proc file tells, so nothing sent before it
    listens is lost. */
inline bool rawInputOpened()
{
    using namespace std::chrono_literals;
    for (int i = 0; i < 250; ++i)
    {
        std::ifstream proc ("/proc/asound/card0/midi0");
        const std::string text ((std::istreambuf_iterator<char> (proc)), std::istreambuf_iterator<char>());
        const auto input = text.find ("Input 0\n");
        if (input != std::string::npos && text.find ("Owner PID", input) < text.find ("Input 1\n", input))
            return true;
        std::this_thread::sleep_for (20ms);
    }
    return false;
}
