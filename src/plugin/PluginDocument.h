#pragma once

#include "editor/EditorModel.h"
#include "files/PluginState.h"
#include "plugin/HostParameters.h"
#include "plugin/InstanceRegistry.h"
#include "previews/LibraryPreviews.h"
#include "previews/PreviewPlayback.h"
#include "session/HostMidiLine.h"
#include "session/PatchRecall.h"
#include "session/ProjectState.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

/** What a plugin instance shares between the host's threads, its audio
    thread and the message thread; every part is safe to use from any of them. */
struct PluginShared
{
    explicit PluginShared (juce::AudioProcessor& processor);

    HostParameters parameters;
    HostMidiLine line; // through the host: the audio thread writes it
    PatchRecall recall;
    ProjectState project;
    std::atomic<bool> throughHost{false};
    std::atomic<bool> patchWanted{false}; // the audio thread asks the message thread to send the patch its own way
    PreviewPlayback preview;              // the message thread asks, the audio thread plays
    std::atomic<double> sampleRate{48000.0};
};

/** The message thread's half of a plugin instance: the editor model (the
    engine on a sequencer client of its own, the session, the controller
    translation), the options the project keeps, what STATUS says of the
    instance, and a 200 Hz timer that takes the host's moves and applies a
    project handed over on another thread. Made, used and destroyed on the
    message thread only; another thread reaches it only through post(),
    whose call does nothing once the document is gone. */
class PluginDocument final : private EditorModel::Listener, private PatchOutput, private juce::Timer
{
public:
    using Way = PluginState::Way;

    explicit PluginDocument (PluginShared& shared);
    ~PluginDocument() override;

    /** Calls `work` with the document on the message thread, unless it is gone by then. Any thread. */
    static void post (std::weak_ptr<PluginDocument> document, std::function<void (PluginDocument&)> work);

    EditorModel& model() { return *editor; }
    const std::string& outputDevice() const { return options.outputDevice; }
    int channel() const { return options.channel; }
    Way way() const { return options.way; }
    bool sendsWhenProjectOpens() const { return shared.recall.sendsWhenProjectOpens(); }
    bool sendsAtEveryStart() const { return shared.recall.sendsAtEveryStart(); }
    const std::string& libraryPath() const { return options.libraryPath; }
    /** The "Qorv Control" option: the port opens once the instance is used. */
    bool wantsControlPort() const { return options.controlPort; }

    void chooseOutputDevice (const std::string& name);
    void setChannel (int channel);
    void setWay (Way way);
    void setSendWhenProjectOpens (bool on);
    void setSendAtEveryStart (bool on);
    void setControlPort (bool on);
    /** Send: the patch as the panel shows it, whole, now. */
    void sendNow();
    /** Loads a library whose BANK list picks the project's patch; false, with why, when it cannot be read. */
    bool loadLibrary (const std::string& path, std::string& whyNot);

    /** Plays the preview of the patch's sound through the plugin's output, so a
        project can be auditioned with the synthesizer off; false, with why,
        when the library's folder holds none. Decoded here, on the message
        thread; the audio callback only plays what it is handed. */
    bool playPreview (const PatchModel& patch, std::string& whyNot);
    void stopPreview() { shared.preview.stop(); }
    bool isPlayingPreview() const { return shared.preview.isPlaying(); }
    /** The previews of the library loaded, for the BANK list's marks. */
    const LibraryPreviews& previews() const { return libraryPreviews; }

    /** The instance is used (the host prepares it to play, or its window
        opens), not only made to be scanned: the control port opens now, if chosen. */
    void startUsing();
    /** Applies the project a host handed over, if one waits. */
    void applyWaitingRestore();

    /** The window's size, one of the panel's four magnifications; not kept in the project. */
    int sizeIndex = 2;

    /** What the window should say of the instance itself (a state it could
        not restore, a library it could not read, a second instance on one
        device and channel), whole. */
    const juce::String& notice() const { return currentNotice; }
    /** Told when the options or the notice change, for an open window. */
    std::function<void()> onOptionsChanged;

    /** The state the project keeps of this instance now, as the instance itself writes it. */
    PluginState currentState() const;

    PluginDocument (const PluginDocument&) = delete;
    PluginDocument& operator= (const PluginDocument&) = delete;

private:
    struct Options
    {
        std::string outputDevice;
        int channel = 0;
        Way way = Way::direct;
        std::string libraryPath;
        bool controlPort = true;
    };

    // EditorModel::Listener
    void sessionChanged (SessionChange change) override;
    // PatchOutput, while the way is through the host
    void sendPatch (const PatchModel& patch) override;
    void sendParameter (int byteIndex, uint8_t value) override;
    // juce::Timer
    void timerCallback() override;

    void apply (const ProjectState::Restore& restore);
    void openProjectLibrary (const std::string& path);
    void applyWay();
    void applyControlPort();
    void optionsChanged();
    void setNotice (const juce::String& text);
    void stateChanged();

    PluginShared& shared;
    Options options;
    std::unique_ptr<EditorModel> editor;
    InstanceRegistry::Binding binding;
    juce::String currentNotice;
    LibraryPreviews libraryPreviews;
    bool used = false;
    bool takingHostMoves = false; // the session follows the host: its parameters need not be told
    bool wasThroughHost = false;
    int projectOpenCountdown = 0; // timer ticks until "Send When the Project Opens" sends
    /** The session's sound as it last went to the line: a switch byte's change carries only the bits it changed. */
    std::array<uint8_t, PatchBits::numBytes> sessionBytes{};
};
