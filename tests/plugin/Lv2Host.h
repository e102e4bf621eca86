#pragma once

// A bare LV2 host of our own on lilv: it loads the built Qorv.lv2 as any LV2
// host does, makes instances on whatever thread calls it, feeds their control
// port with patch:Set messages (a host's automation) and MIDI, reads their
// MIDI output, and saves and restores their state through the state
// interface with texts of its choosing.

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Lv2Test
{
using Bytes = std::vector<uint8_t>;

/** The URIs a host and its plugins share, numbered; any thread. */
class UridMap
{
public:
    LV2_URID map (const char* uri);
    const char* unmap (LV2_URID urid);
    LV2_URID_Map mapFeature{
        this, [] (LV2_URID_Map_Handle self, const char* uri) { return static_cast<UridMap*> (self)->map (uri); }};
    LV2_URID_Unmap unmapFeature{
        this, [] (LV2_URID_Unmap_Handle self, LV2_URID urid) { return static_cast<UridMap*> (self)->unmap (urid); }};

private:
    std::mutex lock;
    std::map<std::string, LV2_URID> byUri;
    std::vector<std::string> uris;
};

class Instance;

/** The world with the bundle loaded, and the features every instance gets. */
class Host
{
public:
    static constexpr int blockSize = 64;
    static constexpr double sampleRate = 48000.0;

    Host (const std::string& bundleFolder, const std::string& pluginUri);
    ~Host();

    bool found() const { return plugin != nullptr; }
    /** A new instance, made on the calling thread; nullptr when it could not be made. */
    std::unique_ptr<Instance> instantiate();

    UridMap urids;

    Host (const Host&) = delete;
    Host& operator= (const Host&) = delete;

private:
    friend class Instance;
    LilvWorld* world = nullptr;
    const LilvPlugin* plugin = nullptr;
    std::string uri;
    int32_t maxBlock = blockSize;
    int32_t sequenceSize = 65536;
    std::vector<LV2_Options_Option> options;
    LV2_Feature mapFeature{}, unmapFeature{}, optionsFeature{}, boundedFeature{};
    std::vector<const LV2_Feature*> features;
};

/** One instance with its buffers connected. Destroyed on the thread that destroys this. */
class Instance
{
public:
    Instance (Host& host, LilvInstance* instance);
    ~Instance();

    /** A host's move of a parameter (by its id, "vcfFreq"), in the next block, as its plain value. */
    void automate (const std::string& parameterId, float value);
    /** A MIDI message into the next block. */
    void sendMidi (const Bytes& message);
    /** Whether the host has the plugin enabled (lv2:enabled). */
    void setEnabled (bool on) { enabled = on ? 1.0f : 0.0f; }
    /** Runs one block; returns the MIDI the plugin put out, each message whole. */
    std::vector<Bytes> runBlock();

    /** Restores the plugin's state from this text, as a host reopening a project. */
    LV2_State_Status restoreText (const std::string& stateText);
    /** Saves the plugin's state, as a host saving the project: the state text. */
    std::string savedText();

    /** The parameters' values the plugin reported in its last blocks, by id. */
    std::map<std::string, float> reported;

    Instance (const Instance&) = delete;
    Instance& operator= (const Instance&) = delete;

private:
    Host& host;
    LilvInstance* instance;
    std::vector<float> left, right;
    std::vector<uint64_t> input, output; // atom sequences, 8-byte aligned
    float latency = 0.0f, freeWheeling = 0.0f, enabled = 1.0f;
    LV2_Atom_Forge forge{};
    LV2_Atom_Forge_Frame sequenceFrame{};
    bool sequenceOpen = false;
    LV2_URID stateString, atomString, patchSet, patchProperty, patchValue, atomFloat, midiEvent, atomObject;

    void openSequence();
};
} // namespace Lv2Test
