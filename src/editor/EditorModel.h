#pragma once

#include "control/ControllerTranslator.h"
#include "midi/MidiEngine.h"
#include "session/EditSession.h"

#include <memory>
#include <vector>

class MidiPlatform;

/** The synthesizer's editor without a view: the MIDI engine, the edit session
    whose sound goes out through it, and the translation of the controllers'
    control changes, wired together in one place. The program's window, the
    plugin's processor and `qorv control` each own one; a panel is a view over
    it that can come and go. Create and use it on the message thread. */
class EditorModel final : private PatchOutput
{
public:
    /** Told of every change, on the message thread, in the order they happen. */
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void sessionChanged (SessionChange) {}
        virtual void controllersChanged (ControllerTranslator::Change) {}
        /** A parameter change from the synthesizer edited the active patch. */
        virtual void parameterReceived (int /*paramNumber*/, int /*value*/) {}
        /** What a control change from a control input did. */
        virtual void
        controlChangeTranslated (int /*channel*/, int /*controller*/, int /*value*/, ControllerTranslator::Outcome)
        {
        }
    };

    /** On the ALSA sequencer as the client "Qorv". */
    EditorModel();
    /** On another MIDI layer: an in-memory one in tests, a client of another name in a plugin. */
    explicit EditorModel (std::unique_ptr<MidiPlatform> platform);
    ~EditorModel() override;

    MidiEngine& engine() { return midiEngine; }
    const MidiEngine& engine() const { return midiEngine; }
    EditSession& session() { return editSession; }
    const EditSession& session() const { return editSession; }
    ControllerTranslator& controllers() { return translator; }
    const ControllerTranslator& controllers() const { return translator; }

    void addListener (Listener& listener);
    void removeListener (Listener& listener);

    /** Sends the session's sound somewhere other than the engine (a plugin's
        host); nullptr sends it through the engine again. */
    void routeSoundTo (PatchOutput* output) { soundRoute = output; }

    EditorModel (const EditorModel&) = delete;
    EditorModel& operator= (const EditorModel&) = delete;

private:
    void sendPatch (const PatchModel& patch) override;
    void sendParameter (int byteIndex, uint8_t value) override;

    void controlChangeReceived (int channel, int controller, int value);
    void parameterChangeReceived (int paramNumber, int value);
    template <typename Call> void tellListeners (Call call);

    MidiEngine midiEngine; // first: everything below sends through it
    EditSession editSession;
    ControllerTranslator translator;
    PatchOutput* soundRoute = nullptr;
    std::vector<Listener*> listeners;
};
