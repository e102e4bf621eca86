#pragma once

#include <string>

namespace QorvCli
{
/** The program's own help: how to start the window, and the commands. */
extern const char* const programHelp;

/** A command's help, or nullptr for a name that is no command. */
const char* commandHelp (const std::string& command);
} // namespace QorvCli
