#include "AllocationCounter.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <execinfo.h>
#include <link.h>
#include <new>
#include <string>
#include <vector>

extern "C" void* __libc_malloc (size_t size);
extern "C" void* __libc_calloc (size_t count, size_t size);
extern "C" void* __libc_realloc (void* pointer, size_t size);
extern "C" void* __libc_memalign (size_t alignment, size_t size);
extern "C" void __libc_free (void* pointer);

namespace
{
thread_local bool counting = false;
thread_local size_t counted = 0;

struct CodeRange
{
    uintptr_t start = 0, end = 0;
    bool holds (uintptr_t address) const { return address >= start && address < end; }
};
// The plugin's code, and the system libraries whose frames say nothing of who allocated.
CodeRange plugin;
std::vector<CodeRange> systemLibraries;

/** Counts an allocation whose nearest caller outside the system libraries is
    the plugin's code: the plugin's own allocations, whether it asked for them
    directly or through the standard library, and not those of a host it calls
    back (its event list growing, say). */
__attribute__ ((noinline)) void note()
{
    if (!counting)
        return;
    counting = false; // what follows may allocate itself
    void* frames[64];
    const int depth = backtrace (frames, 64);
    // frames[0] is this function, frames[1] the replaced allocator.
    for (int i = 2; i < depth; ++i)
    {
        const auto address = reinterpret_cast<uintptr_t> (frames[i]);
        if (std::any_of (systemLibraries.begin(),
                         systemLibraries.end(),
                         [address] (const CodeRange& r) { return r.holds (address); }))
            continue;
        if (plugin.holds (address))
        {
            ++counted;
            if (counted <= 3 && std::getenv ("QORV_SHOW_ALLOCATIONS") != nullptr)
                backtrace_symbols_fd (frames, depth, 2);
        }
        break;
    }
    counting = true;
}

/** The executable code of every loaded library whose path holds one of these names. */
std::vector<CodeRange> codeOf (const std::vector<std::string>& names)
{
    struct Search
    {
        const std::vector<std::string>* names;
        std::vector<CodeRange> found;
    } search{&names, {}};
    dl_iterate_phdr (
        [] (dl_phdr_info* info, size_t, void* data)
        {
            auto& s = *static_cast<Search*> (data);
            const std::string path = info->dlpi_name != nullptr ? info->dlpi_name : "";
            if (path.empty() ||
                std::none_of (s.names->begin(),
                              s.names->end(),
                              [&] (const std::string& n) { return path.find (n) != std::string::npos; }))
                return 0;
            for (int i = 0; i < info->dlpi_phnum; ++i)
                if (info->dlpi_phdr[i].p_type == PT_LOAD && (info->dlpi_phdr[i].p_flags & PF_X) != 0)
                {
                    const uintptr_t start = info->dlpi_addr + info->dlpi_phdr[i].p_vaddr;
                    s.found.push_back ({start, start + info->dlpi_phdr[i].p_memsz});
                }
            return 0;
        },
        &search);
    return search.found;
}
} // namespace

extern "C" void* malloc (size_t size)
{
    note();
    return __libc_malloc (size);
}

extern "C" void* calloc (size_t count, size_t size)
{
    note();
    return __libc_calloc (count, size);
}

extern "C" void* realloc (void* pointer, size_t size)
{
    note();
    return __libc_realloc (pointer, size);
}

extern "C" void free (void* pointer)
{
    __libc_free (pointer);
}

void* operator new (size_t size)
{
    note();
    if (void* pointer = __libc_malloc (size == 0 ? 1 : size))
        return pointer;
    throw std::bad_alloc();
}

void* operator new[] (size_t size)
{
    return operator new (size);
}

void* operator new (size_t size, std::align_val_t alignment)
{
    note();
    if (void* pointer = __libc_memalign (static_cast<size_t> (alignment), size == 0 ? 1 : size))
        return pointer;
    throw std::bad_alloc();
}

void operator delete (void* pointer) noexcept
{
    __libc_free (pointer);
}

void operator delete[] (void* pointer) noexcept
{
    __libc_free (pointer);
}

void operator delete (void* pointer, size_t) noexcept
{
    __libc_free (pointer);
}

void operator delete[] (void* pointer, size_t) noexcept
{
    __libc_free (pointer);
}

void operator delete (void* pointer, std::align_val_t) noexcept
{
    __libc_free (pointer);
}

namespace AllocationCounter
{
Counting::Counting (const std::string& libraryPath)
{
    const auto pluginCode = codeOf ({libraryPath});
    plugin = pluginCode.empty() ? CodeRange{} : pluginCode.front();
    systemLibraries = codeOf ({"libstdc++", "libc.so", "libm.so", "libgcc_s"});
    void* warmUp[4];
    backtrace (warmUp, 4); // loads what backtrace needs, outside the count
    counted = 0;
    counting = plugin.start != 0;
}

Counting::~Counting()
{
    counting = false;
}

size_t Counting::allocations() const
{
    return counted;
}
} // namespace AllocationCounter
