// The library at the scale musicians reach (10,000 patches): file save and
// load, Export All, the Auto-rename merge path, and recognising a long stream
// of dumps.

#include "files/QorvFileIO.h"
#include "files/SafeFileName.h"
#include "files/SyxFileIO.h"
#include "midi/protocol/JunoMessages.h"

#if __has_include("midi/protocol/SysexAssembler.h")
#include "midi/protocol/SysexAssembler.h"
#define QORV_BENCH_ASSEMBLER 1
#endif

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <unistd.h>

namespace
{
constexpr int librarySize = 10000;

std::string patchName (int i)
{
    char name[32];
    std::snprintf (name, sizeof (name), "Patch %05d", i);
    return name;
}

PatchModel randomPatch (std::mt19937& random, std::string name)
{
    PatchModel patch;
    patch.name = std::move (name);
    for (auto& byte : patch.data)
        byte = static_cast<uint8_t> (random() & 0x7F);
    return patch;
}

/** A sorted library of distinct names, as addPatch leaves it. */
LibraryModel bigLibrary()
{
    std::mt19937 random (1);
    LibraryModel library;
    library.name = "Big";
    library.patches.clear();
    for (int i = 0; i < librarySize; ++i)
        library.patches.push_back (randomPatch (random, patchName (i)));
    library.sortPatches();
    return library;
}

/** A file path under the temporary folder, removed afterwards. */
class TemporaryPath
{
public:
    TemporaryPath()
        : path ((std::filesystem::temp_directory_path() / ("qorv-bench-" + std::to_string (::getpid()) + ".106"))
                    .string())
    {
    }
    ~TemporaryPath() { std::filesystem::remove (path); }
    TemporaryPath (const TemporaryPath&) = delete;
    TemporaryPath& operator= (const TemporaryPath&) = delete;

    const std::string path;
};

void saveLibrary (benchmark::State& state)
{
    const LibraryModel library = bigLibrary();
    const TemporaryPath file;
    for (auto _ : state)
        if (!QorvFileIO::save (file.path, library))
            state.SkipWithError ("save failed");
    state.counters["bytes"] = static_cast<double> (std::filesystem::file_size (file.path));
}

void loadLibrary (benchmark::State& state)
{
    const TemporaryPath file;
    if (!QorvFileIO::save (file.path, bigLibrary()))
        state.SkipWithError ("save failed");
    for (auto _ : state)
    {
        LibraryModel loaded;
        if (!QorvFileIO::load (file.path, loaded) || loaded.patches.size() != librarySize)
            state.SkipWithError ("load failed");
        benchmark::DoNotOptimize (loaded);
    }
}

/** Export All of the first 128 patches into one folder, named as the window
    names them; after the first round every file replaces an earlier one. */
void exportPatches (benchmark::State& state)
{
    const LibraryModel library = bigLibrary();
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("qorv-bench-export-" + std::to_string (::getpid()));
    std::filesystem::create_directories (folder);
    for (auto _ : state)
    {
        ExportFileNames names (".syx");
        for (size_t i = 0; i < 128; ++i)
            if (!SyxFileIO::saveIntoFolder (
                    folder.string(), names.next (library.patches[i].name), library.patches[i], 0))
                state.SkipWithError ("export failed");
    }
    std::filesystem::remove_all (folder);
    state.SetItemsProcessed (state.iterations() * 128);
}

/** File names for an export where every name clashes with the ones before. */
void exportFileNames (benchmark::State& state)
{
    for (auto _ : state)
    {
        ExportFileNames names (".syx");
        for (int i = 0; i < librarySize; ++i)
            benchmark::DoNotOptimize (names.next ("Init"));
    }
    state.SetItemsProcessed (state.iterations() * librarySize);
}

/** The in-memory halves alone, to tell format cost from disk cost. */
void libraryImageRoundTrip (benchmark::State& state)
{
    const LibraryModel library = bigLibrary();
    for (auto _ : state)
    {
        std::vector<uint8_t> image;
        LibraryModel loaded;
        if (!QorvFileIO::toBytes (library, image) || !QorvFileIO::fromBytes (image.data(), image.size(), loaded))
            state.SkipWithError ("image round trip failed");
        benchmark::DoNotOptimize (loaded);
    }
}

/** The Auto-rename merge: every incoming name clashes; each gets uniqueName,
    then addPatch. Argument 0: each clashes with its own patch; 1: all are
    named like one patch, so each needs a longer suffix search. */
void clashingAdditions (benchmark::State& state)
{
    const LibraryModel original = bigLibrary();
    std::mt19937 random (2);
    std::vector<PatchModel> incoming;
    for (int i = 0; i < librarySize; ++i)
        incoming.push_back (randomPatch (random, state.range (0) == 0 ? patchName (i) : patchName (0)));

    for (auto _ : state)
    {
        state.PauseTiming();
        LibraryModel library = original;
        state.ResumeTiming();
        for (PatchModel patch : incoming)
        {
            patch.name = library.uniqueName (patch.name);
            library.addPatch (std::move (patch));
        }
        benchmark::DoNotOptimize (library);
    }
}

void recogniseDumpStream (benchmark::State& state)
{
    constexpr int dumps = 100000;
    std::mt19937 random (3);
    std::vector<uint8_t> stream;
    stream.reserve (dumps * JunoMessages::patchDumpSize);
    for (int i = 0; i < dumps; ++i)
    {
        const auto dump = JunoMessages::buildPatchDump (randomPatch (random, {}), 0, i & 0x7F);
        stream.insert (stream.end(), dump.begin(), dump.end());
    }

    for (auto _ : state)
    {
        int recognised = 0;
        const auto recogniseOne = [&recognised] (const uint8_t* message, size_t length) {
            recognised +=
                JunoMessages::recognise (message, length, 0).kind == JunoMessages::Recognised::Kind::patchDump;
        };
#ifdef QORV_BENCH_ASSEMBLER
        // The receive path: raw bytes in chunks, assembled, then recognised.
        SysexAssembler assembler (recogniseOne);
        constexpr size_t chunk = 256;
        for (size_t at = 0; at < stream.size(); at += chunk)
            assembler.processRawBytes (stream.data() + at, std::min (chunk, stream.size() - at));
#else
        for (size_t at = 0; at < stream.size(); at += JunoMessages::patchDumpSize)
            recogniseOne (stream.data() + at, JunoMessages::patchDumpSize);
#endif
        if (recognised != dumps)
            state.SkipWithError ("not every dump was recognised");
    }
    state.SetItemsProcessed (state.iterations() * dumps);
}
} // namespace

BENCHMARK (saveLibrary)->Name ("save 10000-patch library")->Unit (benchmark::kMillisecond);
BENCHMARK (loadLibrary)->Name ("load 10000-patch library")->Unit (benchmark::kMillisecond);
BENCHMARK (exportPatches)->Name ("export 128 patches as .syx files")->Unit (benchmark::kMillisecond);
BENCHMARK (exportFileNames)->Name ("10000 clashing export file names")->Unit (benchmark::kMillisecond);
BENCHMARK (libraryImageRoundTrip)->Name ("10000-patch image build+parse")->Unit (benchmark::kMillisecond);
BENCHMARK (clashingAdditions)
    ->Name ("10000 clashing uniqueName+addPatch into 10000")
    ->Arg (0)
    ->Arg (1)
    ->Unit (benchmark::kMillisecond)
    ->Iterations (3);
BENCHMARK (recogniseDumpStream)->Name ("recognise 100000 dumps")->Unit (benchmark::kMillisecond);
