// The library at the scale musicians reach (10,000 patches) and beyond: file
// save and load (and of a 700,000-patch library), Export All, whole-list merges and additions side by side with
// the per-patch walk they replace, NEW and X2 on 100,000 patches, SysEx bank
// import, and recognising a long stream of dumps.
//
// The per-patch walk is quadratic: on 100,000 patches it takes minutes, so it
// runs there only with QORV_BENCH_SLOW_REFERENCE=1 in the environment.

#include "PerPatchReference.h"
#include "files/FileBytes.h"
#include "files/QorvFileIO.h"
#include "files/SafeFileName.h"
#include "files/SyxBank.h"
#include "files/SyxFileIO.h"
#include "midi/protocol/JunoMessages.h"
#include "session/EditSession.h"

#if __has_include("midi/protocol/SysexAssembler.h")
#include "midi/protocol/SysexAssembler.h"
#define QORV_BENCH_ASSEMBLER 1
#endif

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
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
LibraryModel bigLibrary (int size = librarySize)
{
    std::mt19937 random (1);
    LibraryModel library;
    library.name = "Big";
    library.patches.clear();
    for (int i = 0; i < size; ++i)
        library.patches.push_back (randomPatch (random, patchName (i)));
    library.sortPatches();
    return library;
}

double millisecondsOf (const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli> (std::chrono::steady_clock::now() - start).count();
}

/** The per-patch merge walk is quadratic: minutes on 100,000 patches. */
bool slowReferenceAllowed (int size)
{
    const char* slow = std::getenv ("QORV_BENCH_SLOW_REFERENCE");
    return size <= 10000 || (slow != nullptr && std::string (slow) == "1");
}

/** Reports the per-patch walk's time, measured once, and how many times the
    mean of the timed iterations (`ownMs`) it takes. */
void reportAgainstReference (benchmark::State& state, double ownMs, const std::function<void()>& reference)
{
    const double referenceMs = millisecondsOf (reference);
    state.counters["reference_ms"] = referenceMs;
    state.counters["ratio"] = referenceMs / ownMs;
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

/** A merge of as many patches as the library holds, every one clashing.
    Arguments: the size; 0 when each clashes with its own patch, 1 when all
    bear the one name of the library's first patch; the clash rule (0
    auto-rename, which is also the bulk addition, 1 overwrite, 2 discard). */
void mergeSideBySide (benchmark::State& state)
{
    const int size = static_cast<int> (state.range (0));
    const bool allOneName = state.range (1) == 1;
    const auto rule = static_cast<LibraryModel::ClashRule> (state.range (2));
    const LibraryModel original = bigLibrary (size);
    std::mt19937 random (2);
    std::vector<PatchModel> incoming;
    for (int i = 0; i < size; ++i)
        incoming.push_back (randomPatch (random, patchName (allOneName ? 0 : i)));

    size_t count = 0;
    double ownMs = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        LibraryModel library = original;
        std::vector<PatchModel> batch = incoming;
        state.ResumeTiming();
        ownMs += millisecondsOf ([&] { library.mergePatches (std::move (batch), rule); });
        count = library.patches.size();
    }
    state.counters["patches"] = static_cast<double> (count);
    state.counters["merge_ms"] = ownMs / static_cast<double> (state.iterations()); // without the copy's teardown
    if (!slowReferenceAllowed (size))
        return;
    reportAgainstReference (state,
                            ownMs / static_cast<double> (state.iterations()),
                            [&]
                            {
                                std::vector<PatchModel> patches = original.patches;
                                perPatch::merge (patches, incoming, rule);
                                if (patches.size() != count)
                                    state.SkipWithError ("the walk and the merge disagree");
                            });
}

/** NEW (argument 0) and X2 of a patch in the middle (argument 1) on a
    library of 100,000: uniqueName, then addPatch. The library grows by one
    patch an iteration, which changes nothing measurable. */
void newAndDuplicate (benchmark::State& state)
{
    constexpr int size = 100000;
    LibraryModel library = bigLibrary (size);
    const bool duplicate = state.range (0) == 1;
    const auto make = [duplicate] (const std::vector<PatchModel>& patches)
    {
        PatchModel patch = duplicate ? patches[patches.size() / 2] : PatchModel();
        return patch;
    };
    double ownMs = 0;
    for (auto _ : state)
    {
        ownMs += millisecondsOf (
            [&]
            {
                PatchModel patch = make (library.patches);
                patch.name = library.uniqueName (patch.name);
                library.addPatch (std::move (patch));
            });
    }
    // The walk's NEW, timed over a few additions for a steadier figure.
    constexpr int referenceRuns = 20;
    std::vector<PatchModel> patches = bigLibrary (size).patches;
    reportAgainstReference (state,
                            ownMs / static_cast<double> (state.iterations()) * referenceRuns,
                            [&]
                            {
                                for (int i = 0; i < referenceRuns; ++i)
                                {
                                    PatchModel patch = make (patches);
                                    patch.name = perPatch::uniqueName (patches, patch.name);
                                    perPatch::addPatch (patches, std::move (patch));
                                }
                            });
    state.counters["reference_ms"] = state.counters["reference_ms"] / referenceRuns;
}

/** Where the per-patch addition's time went on 100,000 patches: the order
    check, the uniqueName pass over every name, and the insertion's shift,
    with the std::function change hook patches used to carry and without. */
struct PatchWithFunction
{
    std::array<uint8_t, PatchBits::numBytes> data{};
    std::string name;
    std::function<void()> onChange;
};

template <typename Patch> void insertionShift (benchmark::State& state)
{
    std::vector<Patch> patches (100000);
    for (size_t i = 0; i < patches.size(); ++i)
        patches[i].name = patchName (static_cast<int> (i));
    for (auto _ : state)
    {
        state.PauseTiming();
        std::vector<Patch> copy = patches;
        copy.reserve (copy.size() + 1);
        state.ResumeTiming();
        copy.insert (copy.begin(), Patch());
        benchmark::DoNotOptimize (copy.data());
    }
}

void orderCheck (benchmark::State& state)
{
    const LibraryModel library = bigLibrary (100000);
    for (auto _ : state)
        benchmark::DoNotOptimize (
            std::is_sorted (library.patches.begin(), library.patches.end(), LibraryModel::nameLess));
}

void uniqueNamePass (benchmark::State& state)
{
    LibraryModel library = bigLibrary (100000);
    library.patchesEdited(); // as after a direct edit: one pass over every name
    for (auto _ : state)
        benchmark::DoNotOptimize (library.uniqueName ("Init"));
}

/** Importing 10,000 single-dump .syx images (read, named, added in one go),
    side by side with adding them one addPatch at a time. */
void importSyxImages (benchmark::State& state)
{
    constexpr int files = 10000;
    std::mt19937 random (4);
    std::vector<std::vector<uint8_t>> images;
    for (int i = 0; i < files; ++i)
        images.push_back (SyxBank::build ({randomPatch (random, {})}, 0));

    const auto readAll = [&]
    {
        std::vector<PatchModel> imported;
        std::vector<PatchModel> one;
        for (int i = 0; i < files; ++i)
            if (SyxBank::readPatches (images[static_cast<size_t> (i)].data(),
                                      images[static_cast<size_t> (i)].size(),
                                      patchName (i % 500),
                                      one))
                imported.push_back (std::move (one.front()));
        return imported;
    };
    size_t count = 0;
    double ownMs = 0;
    for (auto _ : state)
    {
        LibraryModel library;
        ownMs += millisecondsOf ([&] { library.addPatches (readAll()); });
        count = library.patches.size();
    }
    state.counters["patches"] = static_cast<double> (count);
    reportAgainstReference (state,
                            ownMs / static_cast<double> (state.iterations()),
                            [&]
                            {
                                std::vector<PatchModel> patches (1);
                                for (PatchModel& patch : readAll())
                                    perPatch::addPatch (patches, std::move (patch));
                            });
}

/** One file of 100 banks (100 x 3,072 bytes) read and added to a library. */
void readHundredBanks (benchmark::State& state)
{
    std::mt19937 random (5);
    std::vector<PatchModel> patches;
    for (int i = 0; i < 100 * 128; ++i)
        patches.push_back (randomPatch (random, {}));
    const std::vector<uint8_t> image = SyxBank::build (patches, 0);
    size_t count = 0;
    for (auto _ : state)
    {
        std::vector<PatchModel> read;
        if (!SyxBank::readPatches (image.data(), image.size(), "Archive", read))
            state.SkipWithError ("the bank file was refused");
        LibraryModel library;
        library.addPatches (std::move (read));
        count = library.patches.size();
    }
    state.counters["patches"] = static_cast<double> (count);
    state.counters["bytes"] = static_cast<double> (image.size());
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

//==============================================================================
// Long file work. The window runs the file reading and writing off the message
// thread; what the message thread itself does is measured apart.

/** A folder of one .syx file per patch, made once per run. */
class SyxFolder
{
public:
    explicit SyxFolder (int files)
        : path (std::filesystem::temp_directory_path() / ("qorv-bench-folder-" + std::to_string (::getpid())))
    {
        std::filesystem::create_directories (path);
        std::mt19937 random (7);
        for (int i = 0; i < files; ++i)
            SyxFileIO::save ((path / (patchName (i) + ".syx")).string(), randomPatch (random, patchName (i)), 0);
    }
    ~SyxFolder() { std::filesystem::remove_all (path); }
    const std::filesystem::path path;
};

/** Off the message thread: every .syx file of a 10,000-file folder read from the disk. */
void readSyxFolder (benchmark::State& state)
{
    const SyxFolder folder (librarySize);
    for (auto _ : state)
    {
        std::vector<PatchModel> all;
        for (const auto& entry : std::filesystem::directory_iterator (folder.path))
        {
            std::vector<PatchModel> found;
            if (SyxBank::load (entry.path().string(), found))
                all.insert (all.end(), found.begin(), found.end());
        }
        if (all.size() != static_cast<size_t> (librarySize))
            state.SkipWithError ("files not read");
        benchmark::DoNotOptimize (all);
    }
    state.SetItemsProcessed (state.iterations() * librarySize);
}

/** Off the message thread: a 10,000-patch library written as a folder of .syx
    files as Export All writes it (each file whole under a hidden name, all on
    the disk at once, then each in its place), into a new folder (0) or over
    the files of an earlier export (1). */
void exportLibraryToFolder (benchmark::State& state)
{
    const LibraryModel library = bigLibrary();
    const bool overEarlier = state.range (0) == 1;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("qorv-bench-export-all-" + std::to_string (::getpid()));
    const auto exportAll = [&]
    {
        ExportFileNames names (".syx");
        FileBytes::FolderWriter writer (folder.string());
        for (const auto& patch : library.patches)
            if (!SyxFileIO::saveInto (writer, names.next (patch.name), patch, 0))
                state.SkipWithError ("export failed");
        if (writer.finish().placed != library.patches.size())
            state.SkipWithError ("files not placed");
    };
    for (auto _ : state)
    {
        state.PauseTiming();
        std::filesystem::remove_all (folder);
        std::filesystem::create_directories (folder);
        if (overEarlier)
            exportAll();
        state.ResumeTiming();
        exportAll();
    }
    std::filesystem::remove_all (folder);
    state.SetItemsProcessed (state.iterations() * librarySize);
}

/** A library of 700,000 patches (about 77 MB) saved (0) and loaded (1). */
void bigLibraryFile (benchmark::State& state)
{
    constexpr int size = 700000;
    const LibraryModel library = bigLibrary (size);
    const TemporaryPath file;
    if (!QorvFileIO::save (file.path, library))
        state.SkipWithError ("save failed");
    for (auto _ : state)
    {
        if (state.range (0) == 0)
        {
            if (!QorvFileIO::save (file.path, library))
                state.SkipWithError ("save failed");
        }
        else
        {
            LibraryModel loaded;
            if (!QorvFileIO::load (file.path, loaded) || loaded.patches.size() != static_cast<size_t> (size))
                state.SkipWithError ("load failed");
            benchmark::DoNotOptimize (loaded);
        }
    }
    state.counters["bytes"] = static_cast<double> (std::filesystem::file_size (file.path));
    state.SetItemsProcessed (state.iterations() * size);
}

/** Where a session's sound would go: nowhere. */
struct NoOutput : PatchOutput
{
    void sendPatch (const PatchModel&) override {}
    void sendParameter (int, uint8_t) override {}
};

/** On the message thread: what the window does with 100,000 patches when the
    work is done (a merge without clashes, an import) or before it starts (the
    copy Export All writes from). */
void messageThreadShare (benchmark::State& state)
{
    constexpr int size = 100000;
    std::mt19937 random (11);
    LibraryModel here, incoming;
    here.patches.clear();
    incoming.patches.clear();
    for (int i = 0; i < size; ++i)
    {
        here.patches.push_back (randomPatch (random, "Here " + patchName (i)));
        incoming.patches.push_back (randomPatch (random, "New " + patchName (i)));
    }
    std::sort (here.patches.begin(), here.patches.end(), LibraryModel::nameLess);

    for (auto _ : state)
    {
        state.PauseTiming();
        NoOutput output;
        EditSession session (output);
        session.openLibrary (here, "/tmp/here.106");
        state.ResumeTiming();
        switch (state.range (0))
        {
            case 0:
                session.merge (incoming, EditSession::MergeChoice::autoRename);
                break;
            case 1:
                session.importPatches (incoming.patches);
                break;
            default:
                benchmark::DoNotOptimize (std::vector<PatchModel> (session.library().patches));
                break;
        }
    }
}

BENCHMARK (saveLibrary)->Name ("save 10000-patch library")->Unit (benchmark::kMillisecond);
BENCHMARK (loadLibrary)->Name ("load 10000-patch library")->Unit (benchmark::kMillisecond);
BENCHMARK (exportPatches)->Name ("export 128 patches as .syx files")->Unit (benchmark::kMillisecond);
BENCHMARK (exportFileNames)->Name ("10000 clashing export file names")->Unit (benchmark::kMillisecond);
BENCHMARK (libraryImageRoundTrip)->Name ("10000-patch image build+parse")->Unit (benchmark::kMillisecond);
BENCHMARK (mergeSideBySide)
    ->Name ("merge clashing")
    ->ArgNames ({"size", "oneName", "rule"})
    ->ArgsProduct ({{10000, 100000}, {0, 1}, {0, 1, 2}})
    ->Unit (benchmark::kMillisecond)
    ->Iterations (5);
BENCHMARK (newAndDuplicate)->Name ("NEW (0) / X2 (1) on 100000")->Arg (0)->Arg (1)->Unit (benchmark::kMicrosecond);
BENCHMARK (insertionShift<PatchWithFunction>)
    ->Name ("insert at the front of 100000, std::function hook")
    ->Unit (benchmark::kMicrosecond);
BENCHMARK (insertionShift<PatchModel>)
    ->Name ("insert at the front of 100000, PatchModel")
    ->Unit (benchmark::kMicrosecond);
BENCHMARK (orderCheck)->Name ("is_sorted over 100000")->Unit (benchmark::kMicrosecond);
BENCHMARK (uniqueNamePass)->Name ("uniqueName pass over 100000")->Unit (benchmark::kMicrosecond);
BENCHMARK (importSyxImages)->Name ("import 10000 .syx images")->Unit (benchmark::kMillisecond)->Iterations (5);
BENCHMARK (readHundredBanks)->Name ("read and add a 100-bank file")->Unit (benchmark::kMillisecond);
BENCHMARK (readSyxFolder)->Name ("read a folder of 10000 .syx files")->Unit (benchmark::kMillisecond)->Iterations (3);
BENCHMARK (bigLibraryFile)
    ->Name ("700000-patch library: save (0) / load (1)")
    ->Arg (0)
    ->Arg (1)
    ->Unit (benchmark::kMillisecond)
    ->Iterations (3);
BENCHMARK (exportLibraryToFolder)
    ->Name ("export 10000 patches to a folder: new (0) / over an earlier export (1)")
    ->Arg (0)
    ->Arg (1)
    ->Unit (benchmark::kMillisecond)
    ->Iterations (2);
BENCHMARK (messageThreadShare)
    ->Name ("message thread, 100000 into 100000: merge (0) / import (1) / export snapshot (2)")
    ->DenseRange (0, 2)
    ->Unit (benchmark::kMillisecond);
BENCHMARK (recogniseDumpStream)->Name ("recognise 100000 dumps")->Unit (benchmark::kMillisecond);
