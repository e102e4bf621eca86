#pragma once

#include "patch/PatchModel.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class MidiEngineImpl;
class MidiPlatform;

/** The program's only door to MIDI: lists sources and destinations, follows
    the chosen input and output device by name (closed while gone, opened
    again when back), holds the channel, sends the Juno-106 messages without
    ever waiting for the link, and delivers the received ones on the message
    thread. Create and use it on the message thread only. */
class MidiEngine
{
public:
    struct DeviceInfo
    {
        std::string name;
        uint32_t endpoint = 0;
        bool loopsBack = false; // a through port: what is sent to it comes straight back out of it
    };

    // Run on the message thread; an empty one drops what it would have received.
    std::function<void (const PatchModel&)> onPatchReceived;
    std::function<void (const PatchModel&)> onManualReceived;
    std::function<void (int paramNumber, int value)> onParamReceived;
    /** Devices came or went; the engine has already closed or reopened the chosen ones. */
    std::function<void()> onDevicesChanged;
    /** A control change from a control input (channel 0-15): the control port,
        which anything may connect to, or the chosen controller device. The
        controllers the synthesizer answers to itself (1, 64, 120 to 127) never
        come here: they pass through with the notes (setPassThrough). */
    std::function<void (int channel, int controller, int value)> onControlChange;

    using MessageWatcher = std::function<void (const std::vector<uint8_t>& message)>;
    /** From now on also hands every whole message from the open input (SysEx
        or not, recognised or not, running status restored) to the watcher on
        the message thread, in arrival order, as a monitor shows them; the
        callbacks above still run. An empty watcher ends it. Off by default,
        so that nothing a window does not need crosses threads. */
    void watchEveryMessage (MessageWatcher watcher);

    /** The name of the port controllers connect to, always there while the engine is. */
    static constexpr const char* controlPortName = "Qorv Control";

    /** The longest that closing spends delivering notes and controllers still waiting for the link. */
    static constexpr std::chrono::milliseconds closingTimeLimit{250};

    /** Uses the ALSA sequencer; without one it lists nothing, sends nothing and says so. */
    MidiEngine();
    /** Uses another MIDI layer, for example an in-memory one in tests. */
    explicit MidiEngine (std::unique_ptr<MidiPlatform> platform);
    /** Closes (see close()) and releases the platform. */
    ~MidiEngine();

    MidiEngine (const MidiEngine&) = delete;
    MidiEngine& operator= (const MidiEngine&) = delete;

    /** False when there is no MIDI at all (no sequencer); the engine then lists and sends nothing. */
    bool isAvailable() const;
    /** Why MIDI is unavailable, for the menu ("MIDI unavailable: no ALSA sequencer"); empty when available. */
    std::string unavailableReason() const;

    std::vector<DeviceInfo> getInputDevices() const;
    std::vector<DeviceInfo> getOutputDevices() const;

    /** Connects only this source and chooses its device by name; 0 disconnects and chooses none. */
    void openInput (uint32_t endpoint);
    /** Sends everything to this destination from now on and chooses its device
        by name; 0 disables output and chooses none. Notes and controllers still
        waiting for the link go to the previous destination first. */
    void openOutput (uint32_t endpoint);
    /** Chooses the input by name (as getInputDevices() names it; empty: none):
        opens the first listed device of that name now, or when one appears. */
    void chooseInput (const std::string& name);
    /** Chooses the output by name, as chooseInput() does the input. */
    void chooseOutput (const std::string& name);
    /** Connects this source to the control port as the controller device and
        chooses it by name; 0 disconnects and chooses none. */
    void openController (uint32_t endpoint);
    /** Chooses the controller device by name, as chooseInput() does the input. */
    void chooseController (const std::string& name);
    /** Where the control port is, as a source would connect to it; 0 without MIDI or while it is closed. */
    uint32_t controlPortEndpoint() const;
    /** Opens or closes the control port (open from the start unless the
        platform was made without it). Closing it ends every connection to
        it; opening it again connects the controller device again. */
    void setControlPortOpen (bool open);
    /** Connects one more source to the control port, for as long as it is there. */
    void addControlSource (uint32_t endpoint);
    /** The chosen devices' names, which the settings store; empty when none is chosen. */
    std::string chosenInputName() const;
    std::string chosenOutputName() const;
    std::string chosenControllerName() const;
    bool isInputOpen() const { return inputEndpoint != 0; }
    /** The open input and output are one through port: everything sent comes straight back in. */
    bool inputIsOutputsLoop() const;
    bool isOutputOpen() const { return outputEndpoint != 0; }

    /** Whether notes, pitch bend, modulation, sustain and the channel-mode
        messages from the control inputs go on to the synthesizer, moved to its
        channel, in their order. On at first. */
    void setPassThrough (bool on);
    bool passesThrough() const;

    /** The channel of sent patch dumps and of the receive filter, used unchanged. */
    void setMidiChannel (int channel);

    void sendPatch (const PatchModel& patch, int patchNumber);
    /** One byte of the patch (0 to 17) as a parameter change. While the link
        is busy only the latest value of each parameter waits, and a dump takes
        the place of every parameter change still waiting. */
    void sendParameterChange (int paramNumber, int value);
    void sendNoteOn (int channel, int note, int velocity);
    void sendNoteOff (int channel, int note, int velocity);
    /** The 7-bit value goes out as the most significant byte. */
    void sendPitchBend (int channel, int value);
    void sendCC (int channel, int controller, int value);

    /** Ends MIDI for good, as the program quits: stops reception, forgets what
        was received but not yet delivered, and delivers the notes and
        controllers still waiting for the link (a waiting patch dump is dropped)
        within closingTimeLimit. Afterwards the engine sends and opens nothing.
        The destructor does this too; calling it earlier is harmless. */
    void close();

private:
    std::unique_ptr<MidiEngineImpl> impl;

public:
    // Written only by the operations above; read by the menus and the settings.
    uint32_t inputEndpoint = 0;      // the open source; 0 while none is open
    uint32_t outputEndpoint = 0;     // the open destination; 0 while none is open
    uint32_t controllerEndpoint = 0; // the open controller device; 0 while none is open
    int midiChannel = 0;
};
