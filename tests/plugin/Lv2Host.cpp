#include "Lv2Host.h"

#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>

#include <cstring>

namespace Lv2Test
{
namespace
{
    constexpr const char* stateStringSuffix = ":StateString";
    constexpr size_t sequenceBytes = 65536;

    /** A retrieve or store call's view of the one text a host keeps for the plugin. */
    struct StateText
    {
        LV2_URID key;
        LV2_URID type;
        std::string text; // with the NUL a host keeps, as JUCE stores it
        bool stored = false;
    };
} // namespace

LV2_URID UridMap::map (const char* uri)
{
    const std::lock_guard<std::mutex> guard (lock);
    const auto found = byUri.find (uri);
    if (found != byUri.end())
        return found->second;
    uris.emplace_back (uri);
    const auto urid = static_cast<LV2_URID> (uris.size());
    byUri.emplace (uri, urid);
    return urid;
}

const char* UridMap::unmap (LV2_URID urid)
{
    const std::lock_guard<std::mutex> guard (lock);
    return urid >= 1 && urid <= uris.size() ? uris[urid - 1].c_str() : nullptr;
}

Host::Host (const std::string& bundleFolder, const std::string& pluginUri) : uri (pluginUri)
{
    world = lilv_world_new();
    LilvNode* bundle = lilv_new_file_uri (world, nullptr, (bundleFolder + "/").c_str());
    lilv_world_load_bundle (world, bundle);
    lilv_node_free (bundle);
    LilvNode* wanted = lilv_new_uri (world, pluginUri.c_str());
    plugin = lilv_plugins_get_by_uri (lilv_world_get_all_plugins (world), wanted);
    lilv_node_free (wanted);

    const auto intType = urids.map (LV2_ATOM__Int);
    for (const auto& [key, value] : {std::pair<const char*, const int32_t*>{LV2_BUF_SIZE__maxBlockLength, &maxBlock},
                                     {LV2_BUF_SIZE__minBlockLength, &maxBlock},
                                     {LV2_BUF_SIZE__sequenceSize, &sequenceSize}})
        options.push_back ({LV2_OPTIONS_INSTANCE, 0, urids.map (key), sizeof (int32_t), intType, value});
    options.push_back ({LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr});

    mapFeature = {LV2_URID__map, &urids.mapFeature};
    unmapFeature = {LV2_URID__unmap, &urids.unmapFeature};
    optionsFeature = {LV2_OPTIONS__options, options.data()};
    boundedFeature = {LV2_BUF_SIZE__boundedBlockLength, nullptr};
    features = {&mapFeature, &unmapFeature, &optionsFeature, &boundedFeature, nullptr};
}

Host::~Host()
{
    lilv_world_free (world);
}

std::unique_ptr<Instance> Host::instantiate()
{
    if (plugin == nullptr)
        return nullptr;
    LilvInstance* made = lilv_plugin_instantiate (plugin, sampleRate, features.data());
    if (made == nullptr)
        return nullptr;
    return std::make_unique<Instance> (*this, made);
}

Instance::Instance (Host& owner, LilvInstance* made)
    : host (owner), instance (made), left (Host::blockSize), right (Host::blockSize),
      input (sequenceBytes / sizeof (uint64_t)), output (sequenceBytes / sizeof (uint64_t))
{
    auto& urids = host.urids;
    stateString = urids.map ((host.uri + stateStringSuffix).c_str());
    atomString = urids.map (LV2_ATOM__String);
    patchSet = urids.map (LV2_PATCH__Set);
    patchProperty = urids.map (LV2_PATCH__property);
    patchValue = urids.map (LV2_PATCH__value);
    atomFloat = urids.map (LV2_ATOM__Float);
    midiEvent = urids.map (LV2_MIDI__MidiEvent);
    atomObject = urids.map (LV2_ATOM__Object);
    lv2_atom_forge_init (&forge, &urids.mapFeature);

    const auto connect = [this] (const char* symbol, void* buffer)
    {
        LilvNode* name = lilv_new_string (host.world, symbol);
        if (const LilvPort* port = lilv_plugin_get_port_by_symbol (host.plugin, name))
            lilv_instance_connect_port (instance, lilv_port_get_index (host.plugin, port), buffer);
        lilv_node_free (name);
    };
    connect ("audio_out_1", left.data());
    connect ("audio_out_2", right.data());
    connect ("in", input.data());
    connect ("out", output.data());
    connect ("latency", &latency);
    connect ("freeWheeling", &freeWheeling);
    connect ("enabled", &enabled);
    lilv_instance_activate (instance);
}

Instance::~Instance()
{
    lilv_instance_deactivate (instance);
    lilv_instance_free (instance);
}

void Instance::openSequence()
{
    if (sequenceOpen)
        return;
    lv2_atom_forge_set_buffer (&forge, reinterpret_cast<uint8_t*> (input.data()), sequenceBytes);
    lv2_atom_forge_sequence_head (&forge, &sequenceFrame, 0);
    sequenceOpen = true;
}

void Instance::automate (const std::string& parameterId, float value)
{
    openSequence();
    lv2_atom_forge_frame_time (&forge, 0);
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_object (&forge, &object, 0, patchSet);
    lv2_atom_forge_key (&forge, patchProperty);
    lv2_atom_forge_urid (&forge, host.urids.map ((host.uri + ":" + parameterId).c_str()));
    lv2_atom_forge_key (&forge, patchValue);
    lv2_atom_forge_float (&forge, value);
    lv2_atom_forge_pop (&forge, &object);
}

void Instance::sendMidi (const Bytes& message)
{
    openSequence();
    lv2_atom_forge_frame_time (&forge, 0);
    lv2_atom_forge_atom (&forge, static_cast<uint32_t> (message.size()), midiEvent);
    lv2_atom_forge_write (&forge, message.data(), static_cast<uint32_t> (message.size()));
}

std::vector<Bytes> Instance::runBlock()
{
    openSequence();
    lv2_atom_forge_pop (&forge, &sequenceFrame);
    sequenceOpen = false;
    auto* out = reinterpret_cast<LV2_Atom_Sequence*> (output.data());
    out->atom.type = 0;
    out->atom.size = static_cast<uint32_t> (sequenceBytes - sizeof (LV2_Atom));

    lilv_instance_run (instance, Host::blockSize);

    std::vector<Bytes> midi;
    LV2_ATOM_SEQUENCE_FOREACH (out, event)
    {
        const auto* body = reinterpret_cast<const uint8_t*> (LV2_ATOM_BODY_CONST (&event->body));
        if (event->body.type == midiEvent)
        {
            midi.emplace_back (body, body + event->body.size);
        }
        else if (event->body.type == atomObject)
        {
            const LV2_Atom* property = nullptr;
            const LV2_Atom* value = nullptr;
            lv2_atom_object_get (reinterpret_cast<const LV2_Atom_Object*> (&event->body),
                                 patchProperty,
                                 &property,
                                 patchValue,
                                 &value,
                                 0);
            if (property != nullptr && value != nullptr && value->type == atomFloat)
            {
                const std::string uri = host.urids.unmap (reinterpret_cast<const LV2_Atom_URID*> (property)->body);
                reported[uri.substr (uri.rfind (':') + 1)] = reinterpret_cast<const LV2_Atom_Float*> (value)->body;
            }
        }
    }
    return midi;
}

LV2_State_Status Instance::restoreText (const std::string& stateText)
{
    const auto* state =
        static_cast<const LV2_State_Interface*> (lilv_instance_get_extension_data (instance, LV2_STATE__interface));
    if (state == nullptr)
        return LV2_STATE_ERR_UNKNOWN;
    StateText kept{stateString, atomString, stateText + '\0'};
    const auto retrieve =
        [] (LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) -> const void*
    {
        const auto& text = *static_cast<const StateText*> (handle);
        if (key != text.key)
            return nullptr;
        *size = text.text.size();
        *type = text.type;
        *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
        return text.text.data();
    };
    return state->restore (lilv_instance_get_handle (instance), retrieve, &kept, 0, nullptr);
}

std::string Instance::savedText()
{
    const auto* state =
        static_cast<const LV2_State_Interface*> (lilv_instance_get_extension_data (instance, LV2_STATE__interface));
    if (state == nullptr)
        return {};
    StateText kept{stateString, atomString, {}};
    const auto store =
        [] (LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type, uint32_t)
        -> LV2_State_Status
    {
        auto& text = *static_cast<StateText*> (handle);
        if (key != text.key || type != text.type)
            return LV2_STATE_ERR_NO_PROPERTY;
        text.text.assign (static_cast<const char*> (value), size);
        text.stored = true;
        return LV2_STATE_SUCCESS;
    };
    state->save (lilv_instance_get_handle (instance), store, &kept, 0, nullptr);
    // As the host would keep it: the text without its closing NUL.
    if (!kept.text.empty() && kept.text.back() == '\0')
        kept.text.pop_back();
    return kept.text;
}
} // namespace Lv2Test

#if defined(__SANITIZE_THREAD__)
// The plugin is loaded with dlopen, so ALSA's thread-locals live in blocks
// glibc allocates on first use. GCC 12's ThreadSanitizer sizes such a block
// from a header glibc stopped writing in 2.25; whenever the block starts 16
// bytes into a page it reads hundreds of terabytes there and stops with
// "failed to allocate". The blocks come from malloc, which the sanitizer
// already tracks, so its own handling of them is turned off.
extern "C" const char* __tsan_default_options()
{
    return "intercept_tls_get_addr=0";
}
#endif
