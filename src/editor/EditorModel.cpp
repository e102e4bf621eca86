#include "editor/EditorModel.h"

#include "midi/AlsaMidiPlatform.h"

#include <algorithm>

EditorModel::EditorModel() : EditorModel (std::make_unique<AlsaMidiPlatform>()) {}

EditorModel::EditorModel (std::unique_ptr<MidiPlatform> platform)
    : midiEngine (std::move (platform)), editSession (*this), translator (editSession)
{
    editSession.onChange = [this] (SessionChange change)
    { tellListeners ([change] (Listener& l) { l.sessionChanged (change); }); };
    translator.onChange = [this] (ControllerTranslator::Change change)
    { tellListeners ([change] (Listener& l) { l.controllersChanged (change); }); };

    midiEngine.onPatchReceived = [this] (const PatchModel& p) { editSession.patchReceived (p); };
    midiEngine.onManualReceived = [this] (const PatchModel& p) { editSession.manualPatchReceived (p); };
    midiEngine.onParamReceived = [this] (int number, int value) { parameterChangeReceived (number, value); };
    midiEngine.onControlChange = [this] (int channel, int controller, int value)
    { controlChangeReceived (channel, controller, value); };
}

EditorModel::~EditorModel()
{
    // Nothing is told any more while the members go.
    listeners.clear();
    midiEngine.close();
}

void EditorModel::addListener (Listener& listener)
{
    if (std::find (listeners.begin(), listeners.end(), &listener) == listeners.end())
        listeners.push_back (&listener);
}

void EditorModel::removeListener (Listener& listener)
{
    listeners.erase (std::remove (listeners.begin(), listeners.end(), &listener), listeners.end());
}

template <typename Call> void EditorModel::tellListeners (Call call)
{
    // A listener may remove itself (a panel closing) while it is told.
    const auto current = listeners;
    for (auto* listener : current)
        if (std::find (listeners.begin(), listeners.end(), listener) != listeners.end())
            call (*listener);
}

void EditorModel::sendPatch (const PatchModel& patch)
{
    if (soundRoute != nullptr)
        soundRoute->sendPatch (patch);
    else
        midiEngine.sendPatch (patch, 0);
}

void EditorModel::sendParameter (int byteIndex, uint8_t value)
{
    if (soundRoute != nullptr)
        soundRoute->sendParameter (byteIndex, value);
    else
        midiEngine.sendParameterChange (byteIndex, value);
}

void EditorModel::controlChangeReceived (int channel, int controller, int value)
{
    const auto outcome = translator.controlChange (channel, controller, value, EditSession::Clock::now());
    tellListeners ([&] (Listener& l) { l.controlChangeTranslated (channel, controller, value, outcome); });
}

void EditorModel::parameterChangeReceived (int paramNumber, int value)
{
    if (editSession.paramReceived (paramNumber, value))
        tellListeners ([&] (Listener& l) { l.parameterReceived (paramNumber, value); });
}
