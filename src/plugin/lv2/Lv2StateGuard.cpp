// The LV2 plugin's entry point: JUCE's own descriptor, with its state
// interface checked before JUCE reads a project's text.
//
// JUCE 7.0.5 keeps the state as "<count>.<digits>" and, restoring, makes a
// block of <count> bytes as written: a negative count, or one of 2^31 and
// more, throws std::bad_alloc out of the host's restore and takes the host
// down. So a text whose count its digits cannot carry is never handed on:
// JUCE gets an empty state, which the plugin refuses as damaged and keeps as
// it is; the host's text itself is kept here, and the next save writes it back
// unchanged for as long as the plugin's state is still that refusal.

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

// JUCE's own entry point, renamed where its wrapper is compiled (cmake/QorvPlugin.cmake).
extern "C" const LV2_Descriptor* qorvJuceLv2Descriptor (uint32_t index);

namespace
{
/** What JUCE writes for an empty state, and what it is handed instead of a damaged one. */
constexpr char emptyStateText[] = "0.";

/** Whether JUCE can read this text safely: the count, in plain decimal digits,
    is no more than the digits after the dot carry, six bits each. */
bool countIsCarried (const char* text, size_t size)
{
    size_t at = 0;
    uint64_t count = 0;
    for (; at < size && text[at] != '.'; ++at)
    {
        if (text[at] < '0' || text[at] > '9')
            return false;
        count = count * 10 + static_cast<uint64_t> (text[at] - '0');
        if (count >= (uint64_t{1} << 31))
            return false;
    }
    if (at == size)
        return false; // no dot: JUCE refuses it itself, and so does the plugin
    uint64_t digits = 0;
    for (++at; at < size && text[at] != '\0'; ++at)
        ++digits;
    return count * 8 <= digits * 6;
}

/** Per instance: the URID of an atom string, and the damaged text kept for the next save. */
struct Instance
{
    LV2_URID stringType = 0;
    bool keepsText = false;
    std::string keptText; // as the host gave it, its size included
};

std::mutex instancesLock;
std::map<LV2_Handle, Instance> instances;

Instance instanceOf (LV2_Handle handle)
{
    const std::lock_guard<std::mutex> guard (instancesLock);
    const auto found = instances.find (handle);
    return found != instances.end() ? found->second : Instance{};
}

void keepText (LV2_Handle handle, const char* text, size_t size, bool keep)
{
    const std::lock_guard<std::mutex> guard (instancesLock);
    auto& instance = instances[handle];
    instance.keepsText = keep;
    instance.keptText = keep ? std::string (text, size) : std::string();
}

const LV2_Descriptor& juceDescriptor()
{
    static const LV2_Descriptor* const descriptor = qorvJuceLv2Descriptor (0);
    return *descriptor;
}

const LV2_State_Interface& juceState()
{
    static const auto* const state =
        static_cast<const LV2_State_Interface*> (juceDescriptor().extension_data (LV2_STATE__interface));
    return *state;
}

/** The host's retrieve (or store) and its handle, with the instance asking. */
template <typename Function> struct Call
{
    Function function;
    LV2_State_Handle handle;
    LV2_Handle instance;
    LV2_URID stringType;
};

const void* checkedRetrieve (LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags)
{
    const auto& call = *static_cast<const Call<LV2_State_Retrieve_Function>*> (handle);
    const void* value = call.function (call.handle, key, size, type, flags);
    if (value == nullptr || call.stringType == 0 || *type != call.stringType)
        return value;
    const auto* text = static_cast<const char*> (value);
    const bool readable = countIsCarried (text, *size);
    keepText (call.instance, text, *size, !readable);
    if (readable)
        return value;
    *size = sizeof (emptyStateText);
    return emptyStateText;
}

LV2_State_Status
checkedStore (LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type, uint32_t flags)
{
    const auto& call = *static_cast<const Call<LV2_State_Store_Function>*> (handle);
    const auto instance = instanceOf (call.instance);
    const bool stillRefused = instance.keepsText && type == call.stringType && size == sizeof (emptyStateText) &&
                              std::memcmp (value, emptyStateText, size) == 0;
    if (!stillRefused)
        return call.function (call.handle, key, value, size, type, flags);
    return call.function (call.handle, key, instance.keptText.data(), instance.keptText.size(), type, flags);
}

LV2_State_Status save (LV2_Handle instance,
                       LV2_State_Store_Function store,
                       LV2_State_Handle handle,
                       uint32_t flags,
                       const LV2_Feature* const* features)
{
    const Call<LV2_State_Store_Function> call{store, handle, instance, instanceOf (instance).stringType};
    return juceState().save (
        instance, checkedStore, const_cast<Call<LV2_State_Store_Function>*> (&call), flags, features);
}

LV2_State_Status restore (LV2_Handle instance,
                          LV2_State_Retrieve_Function retrieve,
                          LV2_State_Handle handle,
                          uint32_t flags,
                          const LV2_Feature* const* features)
{
    const Call<LV2_State_Retrieve_Function> call{retrieve, handle, instance, instanceOf (instance).stringType};
    return juceState().restore (
        instance, checkedRetrieve, const_cast<Call<LV2_State_Retrieve_Function>*> (&call), flags, features);
}

LV2_Handle
instantiate (const LV2_Descriptor*, double sampleRate, const char* bundle, const LV2_Feature* const* features)
{
    const auto& juce = juceDescriptor();
    LV2_Handle handle = juce.instantiate (&juce, sampleRate, bundle, features);
    if (handle == nullptr)
        return nullptr;
    Instance instance;
    for (auto* feature = features; feature != nullptr && *feature != nullptr; ++feature)
        if (std::strcmp ((*feature)->URI, LV2_URID__map) == 0)
        {
            const auto* map = static_cast<const LV2_URID_Map*> ((*feature)->data);
            instance.stringType = map->map (map->handle, LV2_ATOM__String);
        }
    const std::lock_guard<std::mutex> guard (instancesLock);
    instances[handle] = instance;
    return handle;
}

void cleanup (LV2_Handle handle)
{
    {
        const std::lock_guard<std::mutex> guard (instancesLock);
        instances.erase (handle);
    }
    juceDescriptor().cleanup (handle);
}

const void* extensionData (const char* uri)
{
    static const LV2_State_Interface checkedState{save, restore};
    if (std::strcmp (uri, LV2_STATE__interface) == 0)
        return &checkedState;
    return juceDescriptor().extension_data (uri);
}
} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor (uint32_t index)
{
    if (index != 0 || qorvJuceLv2Descriptor (0) == nullptr)
        return nullptr;
    static const LV2_Descriptor guarded = []
    {
        LV2_Descriptor descriptor = juceDescriptor();
        descriptor.instantiate = instantiate;
        descriptor.cleanup = cleanup;
        descriptor.extension_data = extensionData;
        return descriptor;
    }();
    return &guarded;
}
