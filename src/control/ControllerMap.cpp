#include "control/ControllerMap.h"

#include <algorithm>
#include <sstream>
#include <string_view>

namespace
{
constexpr int numChannels = 16;
constexpr int modulationWheel = 1;
constexpr int sustainPedal = 64;
constexpr int firstChannelMode = 120;

// In parameter order: the 16 faders' bytes, then the two switch bytes.
constexpr PanelControl defaultControls[] = {
    PanelControl::lfoRate,
    PanelControl::lfoDelay,
    PanelControl::dcoLfo,
    PanelControl::dcoPwm,
    PanelControl::noise,
    PanelControl::vcfFreq,
    PanelControl::vcfRes,
    PanelControl::vcfEnv,
    PanelControl::vcfLfo,
    PanelControl::vcfKybd,
    PanelControl::vcaLevel,
    PanelControl::attack,
    PanelControl::decay,
    PanelControl::sustain,
    PanelControl::release,
    PanelControl::subLevel,
    PanelControl::dcoFlags,
    PanelControl::switches,
};

std::string trimmed (const std::string& text)
{
    const auto first = text.find_first_not_of (" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of (" \t\r");
    return text.substr (first, last - first + 1);
}

/** A whole decimal number in [low, high], or nothing. */
std::optional<int> numberIn (const std::string& word, int low, int high)
{
    if (word.empty() || word.size() > 3 ||
        !std::all_of (word.begin(), word.end(), [] (char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int value = std::stoi (word);
    if (value < low || value > high)
        return std::nullopt;
    return value;
}
} // namespace

void ControllerMap::addReplacing (std::vector<Assignment>& list, const Assignment& added)
{
    list.erase (std::remove_if (list.begin(),
                                list.end(),
                                [&] (const Assignment& a) {
                                    return a.control == added.control ||
                                           (a.channel == added.channel && a.controller == added.controller);
                                }),
                list.end());
    list.push_back (added);
}

bool ControllerMap::isLearnable (int controller)
{
    return controller >= 0 && controller < firstChannelMode && controller != modulationWheel &&
           controller != sustainPedal;
}

std::optional<PanelControl> ControllerMap::defaultControl (int controller)
{
    const int parameter = controller - firstDefaultController;
    if (parameter < 0 || parameter >= static_cast<int> (std::size (defaultControls)))
        return std::nullopt;
    return defaultControls[parameter];
}

std::optional<PanelControl> ControllerMap::find (int channel, int controller) const
{
    for (const auto& assignment : assignments)
        if (assignment.channel == channel && assignment.controller == controller)
            return assignment.control;
    if (defaultMapOn)
        return defaultControl (controller);
    return std::nullopt;
}

std::optional<ControllerMap::Assignment> ControllerMap::learnedFor (PanelControl control) const
{
    for (const auto& assignment : assignments)
        if (assignment.control == control)
            return assignment;
    return std::nullopt;
}

bool ControllerMap::learn (int channel, int controller, PanelControl control)
{
    if (!isLearnable (controller) || channel < 0 || channel >= numChannels)
        return false;
    addReplacing (assignments, {channel, controller, control});
    return true;
}

bool ControllerMap::forget (PanelControl control)
{
    const auto before = assignments.size();
    assignments.erase (std::remove_if (assignments.begin(),
                                       assignments.end(),
                                       [control] (const Assignment& a) { return a.control == control; }),
                       assignments.end());
    return assignments.size() != before;
}

std::string ControllerMap::toText() const
{
    std::string text = "# Qorv controller map: CHANNEL CC CONTROL\n";
    for (const auto& assignment : assignments)
        text += std::to_string (assignment.channel + 1) + " " + std::to_string (assignment.controller) + " " +
                PanelControls::name (assignment.control) + "\n";
    return text;
}

std::optional<std::vector<ControllerMap::Assignment>> ControllerMap::parse (const std::string& text,
                                                                            std::string& problem)
{
    std::vector<Assignment> result;
    // Editors on other systems start a UTF-8 file with a byte-order mark; it is no part of the first line.
    constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
    const bool marked = text.compare (0, byteOrderMark.size(), byteOrderMark) == 0;
    std::istringstream lines (marked ? text.substr (byteOrderMark.size()) : text);
    std::string line;
    int lineNumber = 0;
    const auto refuse = [&] (const std::string& why)
    {
        problem = "line " + std::to_string (lineNumber) + ": " + why;
        return std::nullopt;
    };
    while (std::getline (lines, line))
    {
        ++lineNumber;
        const std::string content = trimmed (line);
        if (content.empty() || content.front() == '#')
            continue;

        std::istringstream words (content);
        std::string channelWord, controllerWord;
        words >> channelWord >> controllerWord;
        std::string controlName;
        std::getline (words, controlName);
        controlName = trimmed (controlName);

        const auto channel = numberIn (channelWord, 1, numChannels);
        if (!channel)
            return refuse ("the channel must be 1 to 16, not \"" + channelWord + "\"");
        const auto controller = numberIn (controllerWord, 0, 127);
        if (!controller)
            return refuse ("the controller must be 0 to 127, not \"" + controllerWord + "\"");
        if (!isLearnable (*controller))
            return refuse ("CC " + controllerWord + " passes to the synthesizer and cannot be mapped");
        const auto control = PanelControls::fromName (controlName);
        if (!control)
            return refuse ("no control is named \"" + controlName + "\"");

        // Later lines win, as learning one after another would.
        addReplacing (result, {*channel - 1, *controller, *control});
    }
    return result;
}

void ControllerMap::replaceLearned (std::vector<Assignment> replacement)
{
    assignments = std::move (replacement);
}
