#pragma once

#include <string>
#include <vector>

namespace QorvCli
{
class Console;

/** Exit statuses: the work done, the work failed, the command line was wrong. */
constexpr int exitSuccess = 0;
constexpr int exitFailure = 1;
constexpr int exitUsage = 2;

// Each command takes the words after its name and returns the exit status;
// a wrong command line throws UsageError.
int listCommand (const std::vector<std::string>& words, Console& console);
int convertCommand (const std::vector<std::string>& words, Console& console);
int portsCommand (const std::vector<std::string>& words, Console& console);
int sendCommand (const std::vector<std::string>& words, Console& console);
int captureCommand (const std::vector<std::string>& words, Console& console);
int monitorCommand (const std::vector<std::string>& words, Console& console);
int restoreCommand (const std::vector<std::string>& words, Console& console);
int controlCommand (const std::vector<std::string>& words, Console& console);
int morphCommand (const std::vector<std::string>& words, Console& console);
int breedCommand (const std::vector<std::string>& words, Console& console);
int similarCommand (const std::vector<std::string>& words, Console& console);
int duplicatesCommand (const std::vector<std::string>& words, Console& console);
int recordCommand (const std::vector<std::string>& words, Console& console);
int previewsCommand (const std::vector<std::string>& words, Console& console);
int voicecheckCommand (const std::vector<std::string>& words, Console& console);
} // namespace QorvCli
