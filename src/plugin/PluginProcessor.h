#pragma once

#include "editor/EditorModel.h"
#include "files/PluginState.h"
#include "plugin/HostParameters.h"
#include "plugin/InstanceRegistry.h"
#include "plugin/Vst3CompleteSysex.h"
#include "previews/LibraryPreviews.h"
#include "previews/PreviewPlayback.h"
#include "session/PatchRecall.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

/** Qorv inside a DAW: the document of one plugin instance. It owns the editor
    model (the engine on a sequencer client of its own, the session, the
    controller translation), the 24 host parameters and the options the
    project keeps; its window is a view that may come and go. Sound reaches
    the synthesizer one of two ways: through the plugin's own sequencer client,
    paced for a DIN link (the default), or through the host, as complete
    messages in the plugin's MIDI output. The audio callback never allocates,
    locks or waits: host moves reach the session through a lock-free mailbox,
    the session's messages reach the audio thread through a lock-free FIFO. */
class QorvPluginProcessor final : public juce::AudioProcessor,
                                  public juce::VST3ClientExtensions,
                                  private EditorModel::Listener,
                                  private PatchOutput,
                                  private juce::Timer
{
public:
    using Way = PluginState::Way;

    QorvPluginProcessor();
    ~QorvPluginProcessor() override;

    // juce::AudioProcessor
    const juce::String getName() const override { return "Qorv"; }
    void prepareToPlay (double sampleRate, int samplesPerBlock) override;
    void releaseResources() override {}
    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;
    void processBlock (juce::AudioBuffer<float>& audio, juce::MidiBuffer& midi) override;
    using juce::AudioProcessor::processBlock;
    bool acceptsMidi() const override { return true; }
    bool producesMidi() const override { return true; }
    double getTailLengthSeconds() const override { return 0.0; }
    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram (int) override {}
    const juce::String getProgramName (int) override { return {}; }
    void changeProgramName (int, const juce::String&) override {}
    bool hasEditor() const override { return true; }
    juce::AudioProcessorEditor* createEditor() override;
    void getStateInformation (juce::MemoryBlock& destination) override;
    void setStateInformation (const void* data, int sizeInBytes) override;
    // juce::VST3ClientExtensions: every SysEx message reaches a VST3 host whole.
    int32_t queryIAudioProcessor (const Steinberg::TUID interfaceId, void** object) override;

    // What the plugin's window shows and does (message thread)
    EditorModel& model() { return *editor; }
    const std::string& outputDevice() const { return options.outputDevice; }
    int channel() const { return options.channel; }
    Way way() const { return options.way; }
    bool sendsWhenProjectOpens() const { return recall.sendsWhenProjectOpens(); }
    bool sendsAtEveryStart() const { return recall.sendsAtEveryStart(); }
    const std::string& libraryPath() const { return options.libraryPath; }

    void chooseOutputDevice (const std::string& name);
    void setChannel (int channel);
    void setWay (Way way);
    void setSendWhenProjectOpens (bool on);
    void setSendAtEveryStart (bool on);
    /** Send: the patch as the panel shows it, whole, now. */
    void sendNow();
    /** Loads a library whose BANK list picks the project's patch; false, with why, when it cannot be read. */
    bool loadLibrary (const std::string& path, std::string& whyNot);

    /** Plays the preview of the patch's sound through the plugin's output, so a
        project can be auditioned with the synthesizer off; false, with why,
        when the library's folder holds none. Decoded here, on the message
        thread; the audio callback only plays what it is handed. */
    bool playPreview (const PatchModel& patch, std::string& whyNot);
    void stopPreview() { previewPlayback.stop(); }
    bool isPlayingPreview() const { return previewPlayback.isPlaying(); }
    /** The previews of the library loaded, for the BANK list's marks. */
    const LibraryPreviews& previews() const { return libraryPreviews; }

    /** The window's size, one of the panel's four magnifications; not kept in the project. */
    int sizeIndex = 2;

    /** What the window's STATUS should say of the plugin itself (a state it
        could not restore, a second instance on one device and channel). */
    const juce::String& notice() const { return currentNotice; }
    /** Told when the options or the notice change, for an open window. */
    std::function<void()> onOptionsChanged;

    /** The state the project would keep now, as getStateInformation gives it. */
    PluginState currentState() const;

private:
    struct Options
    {
        std::string outputDevice;
        int channel = 0;
        Way way = Way::direct;
        std::string libraryPath;
    };

    /** One message for the host's MIDI output, on its way from the message thread. */
    struct Outgoing
    {
        uint8_t size = 0;
        std::array<uint8_t, 24> bytes{};
    };

    // EditorModel::Listener
    void sessionChanged (SessionChange change) override;
    // PatchOutput, while the way is through the host
    void sendPatch (const PatchModel& patch) override;
    void sendParameter (int byteIndex, uint8_t value) override;
    // juce::Timer: the host's moves and the audio thread's requests, on the message thread
    void timerCallback() override;

    void applyState (const PluginState& state);
    void refuseState (const std::string& whyNot);
    void applyWay();
    void optionsChanged();
    void setNotice (const juce::String& text);
    void storeStateSnapshot();
    void mirrorShownPatch();
    void queueForHost (const uint8_t* bytes, size_t size);

    Options options;
    PatchRecall recall;
    std::unique_ptr<EditorModel> editor;
    HostParameters hostParameters{*this};
    InstanceRegistry::Binding binding;
    juce::String currentNotice;

    // Shared with the audio thread
    std::array<std::atomic<uint8_t>, PatchBits::numBytes> synthesizerHolds{}; // what the synthesizer was last sent
    std::atomic<bool> throughHost{false};
    std::atomic<bool> patchWanted{false}; // the audio thread asks the message thread to send the patch
    std::atomic<int> channelForAudio{0};
    juce::AbstractFifo outgoingFifo{256};
    std::array<Outgoing, 256> outgoingSlots{};
    Vst3CompleteSysex::Answer vst3Answer;

    // getStateInformation may come on any thread: it reads this copy.
    mutable std::mutex stateLock;
    std::vector<uint8_t> stateSnapshot;
    int projectOpenCountdown = 0; // timer ticks until "Send When the Project Opens" sends

    // Previews: decoded on the message thread, played by the audio thread.
    LibraryPreviews libraryPreviews;
    PreviewPlayback previewPlayback;
    std::atomic<double> sampleRateForAudio{48000.0};

    std::shared_ptr<std::atomic<bool>> alive = std::make_shared<std::atomic<bool>> (true);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QorvPluginProcessor)
};
