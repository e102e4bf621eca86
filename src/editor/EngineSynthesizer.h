#pragma once

#include "midi/MidiEngine.h"
#include "session/RestoreGuide.h"

/** The synthesizer at the far end of the engine's output, as a write into its
    memories sees it: each patch goes out as one dump numbered as its memory. */
class EngineSynthesizer final : public RestoreGuide::Synthesizer
{
public:
    explicit EngineSynthesizer (MidiEngine& midiEngine) : engine (midiEngine) {}
    void sendPatch (const PatchModel& patch, int memory) override { engine.sendPatch (patch, memory); }
    bool loopsBack() const override { return engine.inputIsOutputsLoop(); }

private:
    MidiEngine& engine;
};
