#pragma once

/** Qorv on the command line: list, convert, ports, send, capture and monitor,
    run without a display and without starting the window, on the same core
    as the window (formats, library rules, the edit session, the MIDI engine). */
namespace QorvCli
{
/** Whether the program's first argument asks for the command line (a command
    name, --help, -h or --version) rather than the window. */
bool handles (const char* firstArgument);

/** Runs the command line and returns the exit status: 0 when the work is
    done, 1 when it failed, 2 when the command line is wrong. Messages name
    the file or port concerned and why, on standard error. */
int run (int argc, const char* const* argv);
} // namespace QorvCli
