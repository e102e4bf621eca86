#pragma once

#include "patch/PatchModel.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class MidiEngineImpl;
class MidiPlatform;

/** The program's only door to MIDI: lists sources and destinations, connects
    one source and one destination, holds the channel, sends the Juno-106
    messages and delivers the received ones on the message thread. Create and
    use it on the message thread only. */
class MidiEngine
{
public:
    struct DeviceInfo
    {
        std::string name;
        uint32_t endpoint = 0;
    };

    // Run on the message thread; an empty one drops what it would have received.
    std::function<void (const PatchModel&)> onPatchReceived;
    std::function<void (const PatchModel&)> onManualReceived;
    std::function<void (int paramNumber, int value)> onParamReceived;
    std::function<void()> onDevicesChanged;

    /** Uses the ALSA sequencer; without one it lists nothing and sends nothing. */
    MidiEngine();
    /** Uses another MIDI layer, for example an in-memory one in tests. */
    explicit MidiEngine (std::unique_ptr<MidiPlatform> platform);
    /** Stops reception and releases the platform; sends nothing. */
    ~MidiEngine();

    MidiEngine (const MidiEngine&) = delete;
    MidiEngine& operator= (const MidiEngine&) = delete;

    std::vector<DeviceInfo> getInputDevices() const;
    std::vector<DeviceInfo> getOutputDevices() const;

    /** Connects only this source; 0 disconnects input. */
    void openInput (uint32_t endpoint);
    /** Sends everything to this destination from now on; 0 disables output. */
    void openOutput (uint32_t endpoint);
    /** The channel of sent patch dumps and of the receive filter, used unchanged. */
    void setMidiChannel (int channel);

    void sendPatch (const PatchModel& patch, int patchNumber);
    void sendNoteOn (int channel, int note, int velocity);
    void sendNoteOff (int channel, int note, int velocity);
    /** The 7-bit value goes out as the most significant byte. */
    void sendPitchBend (int channel, int value);
    void sendCC (int channel, int controller, int value);

private:
    std::unique_ptr<MidiEngineImpl> impl;

public:
    // Written only by the operations above; read by the menus and the settings.
    uint32_t inputEndpoint = 0;
    uint32_t outputEndpoint = 0;
    int midiChannel = 0;
};
