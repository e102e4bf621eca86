#include "plugin/PluginDocument.h"

#include "files/QorvFileIO.h"
#include "midi/AlsaMidiPlatform.h"
#include "plugin/XConnection.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>

namespace
{
/** How often the message thread takes the host's moves: a move waits at most this long for the session. */
constexpr int sessionTicksPerSecond = 200;
/** "Send When the Project Opens" waits this long after the state came, so the loading is over. */
constexpr int projectOpenTicks = sessionTicksPerSecond / 2;

std::unique_ptr<MidiPlatform> ownSequencerClient()
{
    const std::string name = "Qorv plugin " + std::to_string (InstanceRegistry::nextClientNumber());
    // The control port waits until the instance is used; the host's ALSA error handler stays the host's.
    AlsaMidiPlatform::Setup setup;
    setup.controlPort = false;
    setup.silenceWholeProcess = false;
    return std::make_unique<AlsaMidiPlatform> ("default", name.c_str(), setup);
}

std::array<uint8_t, PatchBits::numBytes> correctedBytes (const PatchModel& patch)
{
    std::array<uint8_t, PatchBits::numBytes> bytes{};
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = PatchBits::correctedValue (static_cast<int> (i), patch.data[i]);
    return bytes;
}

juce::String fileName (const std::string& path)
{
    return juce::File (juce::String::fromUTF8 (path.c_str())).getFileName();
}

bool exists (const std::string& path)
{
    struct stat status;
    return ::stat (path.c_str(), &status) == 0 || (errno != ENOENT && errno != ENOTDIR);
}
} // namespace

PluginShared::PluginShared (juce::AudioProcessor& processor) : parameters (processor), project (PluginState().toBytes())
{
}

PluginDocument::PluginDocument (PluginShared& sharedParts)
    : shared (sharedParts), editor (std::make_unique<EditorModel> (ownSequencerClient()))
{
    XConnection::closeWhileNoWindowIsOpen();
    editor->addListener (*this);
    sessionBytes = correctedBytes (editor->session().shownPatch());
    applyWay();
    shared.project.changed (currentState().toBytes());
    startTimerHz (sessionTicksPerSecond);
}

PluginDocument::~PluginDocument()
{
    stopTimer();
    editor->removeListener (*this);
}

void PluginDocument::post (std::weak_ptr<PluginDocument> document, std::function<void (PluginDocument&)> work)
{
    juce::MessageManager::callAsync (
        [document = std::move (document), work = std::move (work)]
        {
            // Destroyed on this thread only: alive here is alive for the whole call.
            if (auto alive = document.lock())
                work (*alive);
        });
}

//==============================================================================
// The host's moves and the audio thread's requests

void PluginDocument::timerCallback()
{
    shared.preview.collect(); // the clips the audio thread is done with are freed here
    applyWaitingRestore();
    const auto now = EditSession::Clock::now();
    auto& session = editor->session();
    const bool host = shared.throughHost.load();
    const juce::ScopedValueSetter<bool> following (takingHostMoves, true);
    shared.parameters.takeMovesForSession (
        [&] (PanelControl control, int position)
        {
            // Through the host, the audio thread has sent it already.
            if (host)
                session.followControl (control, position, now);
            else
                session.moveControl (control, position, now);
        });
    if (shared.patchWanted.exchange (false))
        session.resend();
    if (projectOpenCountdown > 0 && --projectOpenCountdown == 0)
        session.resend();
}

void PluginDocument::sessionChanged (SessionChange change)
{
    auto& session = editor->session();
    sessionBytes = correctedBytes (session.shownPatch());
    // The host's own moves are in its parameters already, perhaps newer ones than the session took;
    // a project waiting to be applied has set them too, and the session is about to follow it.
    if (!takingHostMoves && !shared.project.isRestoreWaiting())
        // A panel edit is a gesture a host can record; UNDO, EVOLVE or another patch move the parameters too.
        shared.parameters.showPatch (session.activePatch().data, change == SessionChange::patchEdited);
    stateChanged();
}

void PluginDocument::sendPatch (const PatchModel& patch)
{
    sessionBytes = correctedBytes (patch);
    shared.line.sendPatch (sessionBytes);
}

void PluginDocument::sendParameter (int byteIndex, uint8_t value)
{
    if (byteIndex < 0 || byteIndex >= PatchBits::numBytes)
        return;
    auto& was = sessionBytes[static_cast<size_t> (byteIndex)];
    const auto corrected = PatchBits::correctedValue (byteIndex, value);
    // A switch byte carries several controls: the line takes only the bits this edit changed.
    const auto changedBits =
        byteIndex < PatchBits::numLevelBytes ? PatchBits::maxLevel : static_cast<uint8_t> (corrected ^ was);
    was = corrected;
    shared.line.sendByte (byteIndex, corrected, changedBits);
}

//==============================================================================
// The options

void PluginDocument::applyWay()
{
    const bool host = options.way == Way::throughHost;
    if (host && !wasThroughHost)
    {
        // The other way may have sent anything: the line starts from the panel's sound, knowing nothing sent.
        sessionBytes = correctedBytes (editor->session().shownPatch());
        shared.line.restore (sessionBytes);
        shared.line.forgetSent();
    }
    wasThroughHost = host;
    shared.line.setChannel (options.channel);
    shared.throughHost.store (host);
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

void PluginDocument::applyControlPort()
{
    editor->engine().setControlPortOpen (used && options.controlPort);
}

void PluginDocument::startUsing()
{
    if (used)
        return;
    used = true;
    applyControlPort();
}

void PluginDocument::chooseOutputDevice (const std::string& name)
{
    options.outputDevice = name;
    applyWay();
    optionsChanged();
}

void PluginDocument::setChannel (int newChannel)
{
    options.channel = juce::jlimit (0, 15, newChannel);
    applyWay();
    optionsChanged();
}

void PluginDocument::setWay (Way newWay)
{
    options.way = newWay;
    applyWay();
    optionsChanged();
}

void PluginDocument::setSendWhenProjectOpens (bool on)
{
    shared.recall.setSendWhenProjectOpens (on);
    optionsChanged();
}

void PluginDocument::setSendAtEveryStart (bool on)
{
    shared.recall.setSendAtEveryStart (on);
    optionsChanged();
}

void PluginDocument::setControlPort (bool on)
{
    options.controlPort = on;
    applyControlPort();
    optionsChanged();
}

void PluginDocument::sendNow()
{
    editor->session().resend();
}

bool PluginDocument::loadLibrary (const std::string& path, std::string& whyNot)
{
    LibraryModel library;
    if (!QorvFileIO::load (path, library, whyNot))
        return false;
    // The BANK list picks the project's patch; loading alone changes nothing the synthesizer holds.
    editor->session().openLibrary (std::move (library), path, EditSession::FirstPatch::leftAlone);
    options.libraryPath = path;
    libraryPreviews.follow (path);
    optionsChanged();
    return true;
}

bool PluginDocument::playPreview (const PatchModel& patch, std::string& whyNot)
{
    libraryPreviews.follow (options.libraryPath);
    const PreviewInfo* info = libraryPreviews.find (patch.data);
    if (info == nullptr || libraryPreviews.folder() == nullptr)
    {
        whyNot = "No preview of \"" + patch.name + "\"";
        return false;
    }
    VorbisFile::Decoded decoded;
    if (!libraryPreviews.folder()->load (info->fileName(), decoded, whyNot))
        return false;
    auto clip = std::make_unique<PreviewPlayback::Clip>();
    clip->samples = std::move (decoded.samples);
    clip->sampleRate = decoded.sampleRate;
    clip->gain = static_cast<float> (std::pow (10.0, info->gain / 20.0)); // level-matched
    clip->fileName = info->fileName();
    shared.preview.play (std::move (clip));
    return true;
}

void PluginDocument::setNotice (const juce::String& text)
{
    currentNotice = text;
    if (onOptionsChanged)
        onOptionsChanged();
}

void PluginDocument::optionsChanged()
{
    stateChanged();
    if (onOptionsChanged)
        onOptionsChanged();
}

//==============================================================================
// The project's state

PluginState PluginDocument::currentState() const
{
    PluginState state;
    const auto& session = editor->session();
    state.active = session.activePatch();
    state.stored = session.storedPatch();
    state.outputDevice = options.outputDevice;
    state.channel = options.channel;
    state.way = options.way;
    state.sendWhenProjectOpens = shared.recall.sendsWhenProjectOpens();
    state.sendAtEveryStart = shared.recall.sendsAtEveryStart();
    state.libraryPath = options.libraryPath;
    state.controlPort = options.controlPort;
    return state;
}

void PluginDocument::stateChanged()
{
    shared.project.changed (currentState().toBytes());
}

void PluginDocument::applyWaitingRestore()
{
    const auto restore = shared.project.takeRestore();
    if (!restore)
        return;
    apply (*restore);
    shared.project.restoreApplied (currentState().toBytes());
    shared.parameters.showPatch (editor->session().activePatch().data, false);
    if (onOptionsChanged)
        onOptionsChanged();
}

void PluginDocument::apply (const ProjectState::Restore& restore)
{
    auto& session = editor->session();
    currentNotice.clear();
    if (!restore.state)
    {
        // The options stay as they were; the sound is the Init patch, and STATUS says why.
        const PatchModel init;
        session.restoreActivePatch (init, init);
        currentNotice = "Not restored: " + juce::String::fromUTF8 (restore.whyNot.c_str());
        applyWay();
        return;
    }

    const auto& state = *restore.state;
    options.outputDevice = state.outputDevice;
    options.channel = state.channel;
    options.way = state.way;
    options.libraryPath = state.libraryPath;
    options.controlPort = state.controlPort;
    if (!state.libraryPath.empty())
        openProjectLibrary (state.libraryPath);
    // Brought back without a sound: the host is loading the project.
    session.restoreActivePatch (state.active, state.stored);
    applyWay();
    applyControlPort();
    if (state.sendWhenProjectOpens)
        projectOpenCountdown = projectOpenTicks;
}

void PluginDocument::openProjectLibrary (const std::string& path)
{
    LibraryModel library;
    std::string whyNot;
    if (QorvFileIO::load (path, library, whyNot))
    {
        editor->session().openLibrary (std::move (library), path, EditSession::FirstPatch::leftAlone);
        libraryPreviews.follow (path);
        return;
    }
    // The path stays in the project: the library may be back next time.
    if (!exists (path))
        currentNotice = "Library not found: " + fileName (path);
    else
        currentNotice = "Library not read: " + fileName (path) + " " + juce::String::fromUTF8 (whyNot.c_str());
}
