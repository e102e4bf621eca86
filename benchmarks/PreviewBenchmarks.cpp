// The previews' figures: one take beside its parts (the steps' times on the
// take's own clock, and the work the computer does: analysis, loudness and
// encoding), and decoding a stored preview, as playing one needs.
//   build-bench/benchmarks/qorv_core_benchmarks --benchmark_filter='Take|Preview'
// A take's real times through the sound card are printed by `qorv record`
// ("A take took ... on average") and by the tests in the small virtual
// machine (tests/cli/RecordCommandTest.cpp).

#include "MemorySound.h"
#include "TakeTestSupport.h"
#include "TempFolder.h"
#include "capture/PreviewTake.h"
#include "previews/PreviewFolder.h"

#include <benchmark/benchmark.h>

namespace
{
PatchModel plainPatch (uint8_t release)
{
    PatchModel patch;
    patch.data.fill (0);
    patch.data[5] = 64;
    patch.data[10] = 100;
    patch.data[13] = 127;
    patch.data[14] = release;
    patch.data[PatchBits::dcoFlagsIndex] = PatchBits::range8 | PatchBits::sawBit | PatchBits::chorusOffBits;
    return patch;
}

/** One take on the clock of a synthesizer in memory: the steps' times are
    the take's own, the CPU time is what the computer spends on it. */
void takeBesideItsParts (benchmark::State& state)
{
    const auto release = static_cast<uint8_t> (state.range (0));
    PreviewTake::Timings sum;
    int takes = 0;
    for (auto _ : state)
    {
        MemorySound sound;
        std::string whyNot;
        sound.open ("memory", whyNot);
        PreviewTake take (sound, sound, plainPatch (release), TakeSettings{}, AudioAnalysis::silenceDb);
        take.start (sound.now);
        runClock (
            sound, [&take] (auto now) { take.tick (now); }, [&take] { return take.isDone(); });
        const auto& t = take.result().timings;
        sum.wait += t.wait;
        sum.flush += t.flush;
        sum.settle += t.settle;
        sum.phrase += t.phrase;
        sum.tail += t.tail;
        ++takes;
    }
    const double n = takes;
    state.counters["take_s"] = sum.total() / n;
    state.counters["wait_s"] = sum.wait / n;
    state.counters["flush_s"] = sum.flush / n;
    state.counters["settle_s"] = sum.settle / n;
    state.counters["phrase_s"] = sum.phrase / n;
    state.counters["tail_s"] = sum.tail / n;
    state.SetLabel ("CPU time: the synthesizer in memory's sound, the take's analysis; steps in seconds of the take");
}
BENCHMARK (takeBesideItsParts)->Arg (10)->Arg (60)->Unit (benchmark::kMillisecond);

/** The work after the audio is in: loudness (EBU R128, true peak) and Ogg Vorbis encoding of a 1.5 s take. */
void takeLoudnessAndEncoding (benchmark::State& state)
{
    std::vector<float> audio (72000);
    for (size_t i = 0; i < audio.size(); ++i)
        audio[i] = static_cast<float> (0.3 * std::sin (2.0 * M_PI * 440.0 * static_cast<double> (i) / 48000.0));
    for (auto _ : state)
    {
        const auto figures = Loudness::measure (audio.data(), audio.size(), 48000.0);
        std::vector<uint8_t> image;
        std::string whyNot;
        VorbisFile::encode (audio.data(), audio.size(), 48000, {}, image, whyNot);
        benchmark::DoNotOptimize (figures);
        benchmark::DoNotOptimize (image.data());
    }
    state.SetLabel ("1.5 s of audio measured and encoded");
}
BENCHMARK (takeLoudnessAndEncoding)->Unit (benchmark::kMillisecond);

/** A stored preview read and decoded, as Space and the plugin do before it plays. */
void previewDecode (benchmark::State& state)
{
    TempFolder temp;
    PreviewFolder folder (temp.path ("Bench.previews"));
    PreviewInfo info;
    info.bytes = plainPatch (10).data;
    std::vector<float> audio (static_cast<size_t> (48000 * state.range (0) / 1000));
    for (size_t i = 0; i < audio.size(); ++i)
        audio[i] = static_cast<float> (0.3 * std::sin (2.0 * M_PI * 440.0 * static_cast<double> (i) / 48000.0));
    folder.store (info, audio);
    for (auto _ : state)
    {
        VorbisFile::Decoded decoded;
        std::string whyNot;
        folder.load (info.fileName(), decoded, whyNot);
        benchmark::DoNotOptimize (decoded.samples.data());
    }
    state.SetLabel ("a preview of this many milliseconds, from the disk to samples");
}
BENCHMARK (previewDecode)->Arg (1500)->Arg (5000)->Unit (benchmark::kMillisecond);
} // namespace
