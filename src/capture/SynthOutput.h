#pragma once

#include "patch/PatchModel.h"

/** What a recording or a voice check sends to the synthesizer: whole patches
    and notes, on its channel. EngineSynthOutput (src/editor) sends them
    through the MIDI engine; tests record them. */
class SynthOutput
{
public:
    virtual ~SynthOutput() = default;
    virtual void sendPatch (const PatchModel& patch) = 0;
    virtual void noteOn (int note) = 0;
    virtual void noteOff (int note) = 0;
};
