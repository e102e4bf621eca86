#pragma once

#include "capture/SynthOutput.h"
#include "midi/MidiEngine.h"

/** The synthesizer at the far end of the engine's output, as a recording
    sees it: patches as dumps (as the window sends every patch) and notes,
    all on the engine's channel, which is the synthesizer's. */
class EngineSynthOutput final : public SynthOutput
{
public:
    explicit EngineSynthOutput (MidiEngine& midiEngine) : engine (midiEngine) {}
    void sendPatch (const PatchModel& patch) override { engine.sendPatch (patch, 0); }
    void noteOn (int note) override { engine.sendNoteOn (engine.midiChannel, note, 100); }
    void noteOff (int note) override { engine.sendNoteOff (engine.midiChannel, note, 0); }

private:
    MidiEngine& engine;
};
