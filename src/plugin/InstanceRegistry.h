#pragma once

#include <string>

/** The plugin instances in one process (a DAW loads them all into its own):
    each gets a number for its sequencer client ("Qorv plugin 1", "Qorv plugin
    2" ...), and each knows whether another one sends to the same device on the
    same channel, where two would fight over the synthesizer's sound. */
namespace InstanceRegistry
{
/** 1 for the first instance of the process, then 2, 3 ... */
int nextClientNumber();

/** One instance's device and channel, for as long as it lives. */
class Binding
{
public:
    Binding();
    ~Binding();

    /** Binds to a device (by name; empty: none) and a channel; returns how
        many other instances are bound to the same device and channel. */
    int bind (const std::string& device, int channel);
    /** How many other instances share this binding now. */
    int sharedWith() const;

    Binding (const Binding&) = delete;
    Binding& operator= (const Binding&) = delete;

private:
    const int id;
};
} // namespace InstanceRegistry
