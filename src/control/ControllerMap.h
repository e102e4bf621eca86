#pragma once

#include "control/PanelControls.h"

#include <optional>
#include <string>
#include <vector>

/** Which control change moves which control: the mappings the user learned,
    then the default map (CC 102 + p drives the synthesizer's parameter p, on
    any channel). A learned mapping wins over the default one for its control
    change, and each control has at most one learned controller. */
class ControllerMap
{
public:
    /** A learned mapping: a control change on a channel (0-15) moves a control. */
    struct Assignment
    {
        int channel = 0;
        int controller = 0;
        PanelControl control = PanelControl::lfoRate;

        bool operator== (const Assignment& other) const
        {
            return channel == other.channel && controller == other.controller && control == other.control;
        }
    };

    /** The controllers the synthesizer itself answers to (modulation, sustain,
        the channel-mode messages) pass through to it and are never learned. */
    static bool isLearnable (int controller);
    /** The control the default map gives a controller, on any channel. */
    static std::optional<PanelControl> defaultControl (int controller);
    static constexpr int firstDefaultController = 102;

    /** The control a control change moves, or nothing. */
    std::optional<PanelControl> find (int channel, int controller) const;
    /** The learned mapping of a control, if it has one. */
    std::optional<Assignment> learnedFor (PanelControl control) const;

    /** Maps a learnable control change to a control; it replaces the control's
        earlier controller and whatever that control change moved. False for a
        controller that cannot be learned or a channel out of range. */
    bool learn (int channel, int controller, PanelControl control);
    /** Forgets a control's learned controller; false when it had none. */
    bool forget (PanelControl control);
    void forgetAll() { assignments.clear(); }
    const std::vector<Assignment>& learned() const { return assignments; }

    bool usesDefaultMap() const { return defaultMapOn; }
    void setUsesDefaultMap (bool on) { defaultMapOn = on; }

    /** The learned mappings as text, one "CHANNEL CC CONTROL" line each
        (channel 1 to 16, the control by its name), under a comment line. */
    std::string toText() const;

    /** Reads text written by toText (blank lines and lines starting with '#'
        are skipped). All or nothing: on the first wrong line it returns
        nothing and says which line and why in `problem`. */
    static std::optional<std::vector<Assignment>> parse (const std::string& text, std::string& problem);
    /** Replaces the learned mappings (as read by parse) in one step. */
    void replaceLearned (std::vector<Assignment> replacement);

private:
    /** Adds a mapping in place of the control's earlier one and of whatever its control change moved. */
    static void addReplacing (std::vector<Assignment>& list, const Assignment& added);

    std::vector<Assignment> assignments; // in the order they were learned
    bool defaultMapOn = true;
};
