#include "plugin/PluginProcessor.h"

#include "files/QorvFileIO.h"
#include "midi/AlsaMidiPlatform.h"
#include "midi/protocol/JunoMessages.h"
#include "plugin/PluginEditor.h"

namespace
{
/** How often the message thread takes the host's moves: a move waits at most this long for the session. */
constexpr int sessionTicksPerSecond = 200;
/** "Send When the Project Opens" waits this long after the state came, so the loading is over. */
constexpr int projectOpenTicks = sessionTicksPerSecond / 2;

std::unique_ptr<MidiPlatform> ownSequencerClient()
{
    const std::string name = "Qorv plugin " + std::to_string (InstanceRegistry::nextClientNumber());
    return std::make_unique<AlsaMidiPlatform> ("default", name.c_str());
}
} // namespace

QorvPluginProcessor::QorvPluginProcessor()
    : AudioProcessor (BusesProperties().withOutput ("Output", juce::AudioChannelSet::stereo(), true)),
      editor (std::make_unique<EditorModel> (ownSequencerClient()))
{
    editor->addListener (*this);
    applyWay();
    mirrorShownPatch();
    storeStateSnapshot();
    startTimerHz (sessionTicksPerSecond);
}

QorvPluginProcessor::~QorvPluginProcessor()
{
    alive->store (false);
    stopTimer();
    editor->removeListener (*this);
}

juce::AudioProcessorEditor* QorvPluginProcessor::createEditor()
{
    return new QorvPluginEditor (*this);
}

bool QorvPluginProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    return layouts.getMainInputChannelSet().isDisabled() &&
           layouts.getMainOutputChannelSet() == juce::AudioChannelSet::stereo();
}

void QorvPluginProcessor::prepareToPlay (double sampleRate, int)
{
    sampleRateForAudio.store (sampleRate);
}

int32_t QorvPluginProcessor::queryIAudioProcessor (const Steinberg::TUID interfaceId, void** object)
{
    return vst3Answer.query (getPlayHead(), interfaceId, object);
}

//==============================================================================
// The audio thread: nothing here allocates, locks or waits.

void QorvPluginProcessor::processBlock (juce::AudioBuffer<float>& audio, juce::MidiBuffer& midi)
{
    juce::ScopedNoDenormals noDenormals;
    audio.clear();
    // A preview, when one plays, is the plugin's only sound.
    previewPlayback.render (audio.getArrayOfWritePointers(),
                            audio.getNumChannels(),
                            audio.getNumSamples(),
                            sampleRateForAudio.load (std::memory_order_relaxed));

    bool playing = false;
    if (auto* head = getPlayHead())
        if (const auto position = head->getPosition())
            playing = position->getIsPlaying();
    const bool sendPatch = recall.transport (playing);

    // The track's own MIDI stays in the buffer and passes through unchanged.
    const auto queued = outgoingFifo.read (outgoingFifo.getNumReady());
    if (!throughHost.load (std::memory_order_relaxed))
    {
        // The plugin's own sequencer client sends: the session takes the moves on the message thread.
        hostParameters.takeMovesForAudio ([] (PanelControl, int) {});
        if (sendPatch)
            patchWanted.store (true);
        return;
    }

    const auto addMessage = [&] (const uint8_t* bytes, size_t size)
    {
        // A VST3 host gets SysEx straight from here, whole and without a copy on the heap.
        if (!vst3Answer.addSysex (bytes, size, 0))
            midi.addEvent (bytes, static_cast<int> (size), 0);
    };
    const auto sendQueued = [&] (int start, int count)
    {
        for (int i = start; i < start + count; ++i)
            addMessage (outgoingSlots[static_cast<size_t> (i)].bytes.data(),
                        outgoingSlots[static_cast<size_t> (i)].size);
    };
    sendQueued (queued.startIndex1, queued.blockSize1);
    sendQueued (queued.startIndex2, queued.blockSize2);

    std::array<uint8_t, PatchBits::numBytes> holds{};
    for (size_t i = 0; i < holds.size(); ++i)
        holds[i] = synthesizerHolds[i].load (std::memory_order_relaxed);
    const int channel = channelForAudio.load (std::memory_order_relaxed);
    if (sendPatch)
    {
        const auto dump = JunoMessages::buildPatchDumpAsIs (holds, channel, 0);
        addMessage (dump.data(), dump.size());
    }

    // The host's moves go out here, where they happened, as parameter changes.
    hostParameters.takeMovesForAudio (
        [&] (PanelControl control, int position)
        {
            const auto change = PanelControls::apply (control, position, holds);
            if (!change || holds[static_cast<size_t> (change->byteIndex)] == change->value)
                return;
            holds[static_cast<size_t> (change->byteIndex)] = change->value;
            synthesizerHolds[static_cast<size_t> (change->byteIndex)].store (change->value, std::memory_order_relaxed);
            const auto message = JunoMessages::buildParamChange (channel, change->byteIndex, change->value);
            addMessage (message.data(), message.size());
        });
}

//==============================================================================
// The message thread

void QorvPluginProcessor::timerCallback()
{
    previewPlayback.collect(); // the clips the audio thread is done with are freed here
    const auto now = EditSession::Clock::now();
    auto& session = editor->session();
    const bool host = throughHost.load();
    hostParameters.takeMovesForSession (
        [&] (PanelControl control, int position)
        {
            // Through the host, the audio thread has sent it already.
            if (host)
                session.followControl (control, position, now);
            else
                session.moveControl (control, position, now);
        });
    if (patchWanted.exchange (false))
        session.resend();
    if (projectOpenCountdown > 0 && --projectOpenCountdown == 0)
        session.resend();
}

void QorvPluginProcessor::sessionChanged (SessionChange change)
{
    mirrorShownPatch();
    // A panel edit is a gesture a host can record; UNDO, EVOLVE or another patch move the parameters too.
    hostParameters.showPatch (editor->session().activePatch().data, change == SessionChange::patchEdited);
    storeStateSnapshot();
}

void QorvPluginProcessor::mirrorShownPatch()
{
    const auto& shown = editor->session().shownPatch().data;
    for (size_t i = 0; i < shown.size(); ++i)
        synthesizerHolds[i].store (PatchBits::correctedValue (static_cast<int> (i), shown[i]));
}

void QorvPluginProcessor::sendPatch (const PatchModel& patch)
{
    const auto dump = JunoMessages::buildPatchDump (patch, options.channel, 0);
    queueForHost (dump.data(), dump.size());
}

void QorvPluginProcessor::sendParameter (int byteIndex, uint8_t value)
{
    const auto message = JunoMessages::buildParamChange (options.channel, byteIndex, value);
    queueForHost (message.data(), message.size());
}

void QorvPluginProcessor::queueForHost (const uint8_t* bytes, size_t size)
{
    // A full line (the host has stopped calling the audio callback) drops the newest.
    const auto slot = outgoingFifo.write (1);
    if (slot.blockSize1 == 0)
        return;
    auto& outgoing = outgoingSlots[static_cast<size_t> (slot.startIndex1)];
    outgoing.size = static_cast<uint8_t> (std::min (size, outgoing.bytes.size()));
    std::copy (bytes, bytes + outgoing.size, outgoing.bytes.begin());
}

void QorvPluginProcessor::applyWay()
{
    const bool host = options.way == Way::throughHost;
    throughHost.store (host);
    channelForAudio.store (options.channel);
    editor->routeSoundTo (host ? static_cast<PatchOutput*> (this) : nullptr);
    auto& engine = editor->engine();
    engine.setMidiChannel (options.channel);
    engine.chooseOutput (host ? std::string() : options.outputDevice);

    const int others = binding.bind (host ? std::string() : options.outputDevice, options.channel);
    if (others > 0)
        setNotice ("Another Qorv plugin sends to " + juce::String::fromUTF8 (options.outputDevice.c_str()) +
                   " on channel " + juce::String (options.channel + 1));
    else if (currentNotice.startsWith ("Another Qorv plugin"))
        setNotice ({});
}

void QorvPluginProcessor::chooseOutputDevice (const std::string& name)
{
    options.outputDevice = name;
    applyWay();
    optionsChanged();
}

void QorvPluginProcessor::setChannel (int newChannel)
{
    options.channel = juce::jlimit (0, 15, newChannel);
    applyWay();
    optionsChanged();
}

void QorvPluginProcessor::setWay (Way newWay)
{
    options.way = newWay;
    applyWay();
    optionsChanged();
}

void QorvPluginProcessor::setSendWhenProjectOpens (bool on)
{
    recall.setSendWhenProjectOpens (on);
    optionsChanged();
}

void QorvPluginProcessor::setSendAtEveryStart (bool on)
{
    recall.setSendAtEveryStart (on);
    optionsChanged();
}

void QorvPluginProcessor::sendNow()
{
    editor->session().resend();
}

bool QorvPluginProcessor::loadLibrary (const std::string& path, std::string& whyNot)
{
    LibraryModel library;
    if (!QorvFileIO::load (path, library))
    {
        whyNot = "not a library Qorv can read";
        return false;
    }
    // The BANK list picks the project's patch; loading alone changes nothing the synthesizer holds.
    editor->session().openLibrary (std::move (library), path, EditSession::FirstPatch::leftAlone);
    options.libraryPath = path;
    libraryPreviews.follow (path);
    optionsChanged();
    return true;
}

bool QorvPluginProcessor::playPreview (const PatchModel& patch, std::string& whyNot)
{
    libraryPreviews.follow (options.libraryPath);
    const PreviewInfo* info = libraryPreviews.find (patch.data);
    VorbisFile::Decoded decoded;
    if (info == nullptr || libraryPreviews.folder() == nullptr)
    {
        whyNot = "No preview of \"" + patch.name + "\"";
        return false;
    }
    if (!libraryPreviews.folder()->load (info->fileName(), decoded, whyNot))
        return false;
    auto clip = std::make_unique<PreviewPlayback::Clip>();
    clip->samples = std::move (decoded.samples);
    clip->sampleRate = decoded.sampleRate;
    clip->gain = static_cast<float> (std::pow (10.0, info->gain / 20.0)); // level-matched
    clip->fileName = info->fileName();
    previewPlayback.play (std::move (clip));
    return true;
}

void QorvPluginProcessor::setNotice (const juce::String& text)
{
    currentNotice = text;
    if (onOptionsChanged)
        onOptionsChanged();
}

void QorvPluginProcessor::optionsChanged()
{
    storeStateSnapshot();
    if (onOptionsChanged)
        onOptionsChanged();
}

//==============================================================================
// The project's state

PluginState QorvPluginProcessor::currentState() const
{
    PluginState state;
    const auto& session = editor->session();
    state.active = session.activePatch();
    state.stored = session.storedPatch();
    state.outputDevice = options.outputDevice;
    state.channel = options.channel;
    state.way = options.way;
    state.sendWhenProjectOpens = recall.sendsWhenProjectOpens();
    state.sendAtEveryStart = recall.sendsAtEveryStart();
    state.libraryPath = options.libraryPath;
    return state;
}

void QorvPluginProcessor::storeStateSnapshot()
{
    auto bytes = currentState().toBytes();
    const std::lock_guard<std::mutex> guard (stateLock);
    stateSnapshot = std::move (bytes);
}

void QorvPluginProcessor::getStateInformation (juce::MemoryBlock& destination)
{
    const std::lock_guard<std::mutex> guard (stateLock);
    destination.replaceAll (stateSnapshot.data(), stateSnapshot.size());
}

void QorvPluginProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    std::string whyNot = "the saved state is damaged";
    std::optional<PluginState> state;
    if (data != nullptr && sizeInBytes > 0)
        state = PluginState::fromBytes (static_cast<const uint8_t*> (data), static_cast<size_t> (sizeInBytes), whyNot);

    auto apply = [this, state = std::move (state), whyNot]
    {
        if (state)
            applyState (*state);
        else
            refuseState (whyNot);
    };
    if (juce::MessageManager::existsAndIsCurrentThread())
    {
        apply();
        return;
    }
    // The session lives on the message thread.
    juce::MessageManager::callAsync (
        [stillAlive = alive, apply = std::move (apply)]
        {
            if (stillAlive->load())
                apply();
        });
}

void QorvPluginProcessor::applyState (const PluginState& state)
{
    options.outputDevice = state.outputDevice;
    options.channel = state.channel;
    options.way = state.way;
    options.libraryPath = state.libraryPath;
    recall.setSendAtEveryStart (state.sendAtEveryStart);
    recall.setSendWhenProjectOpens (state.sendWhenProjectOpens);
    currentNotice.clear();

    auto& session = editor->session();
    if (!state.libraryPath.empty())
    {
        LibraryModel library;
        if (QorvFileIO::load (state.libraryPath, library))
            session.openLibrary (std::move (library), state.libraryPath, EditSession::FirstPatch::leftAlone);
        else
            currentNotice =
                "Library not found: " +
                juce::File (juce::String::fromUTF8 (state.libraryPath.c_str())).getFileNameWithoutExtension();
    }
    // Brought back without a sound: the host is loading the project.
    session.restoreActivePatch (state.active, state.stored);
    applyWay();
    if (recall.stateRestored())
        projectOpenCountdown = projectOpenTicks;
    optionsChanged();
}

void QorvPluginProcessor::refuseState (const std::string& whyNot)
{
    const PatchModel init;
    editor->session().restoreActivePatch (init, init);
    setNotice ("Not restored: " + juce::String::fromUTF8 (whyNot.c_str()));
    storeStateSnapshot();
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new QorvPluginProcessor();
}
