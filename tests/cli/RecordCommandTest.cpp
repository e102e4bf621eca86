// qorv record and qorv previews end to end, inside the virtual machine of
// tools/alsa-vm with the kernel's loopback sound card beside its virtual raw
// MIDI ports: a synthesizer of the test's own reads what qorv sends on hw:0,0
// (sequencer port 16:0) and plays into the loopback's device 0, which qorv
// records from device 1. Its sound tells which patch it holds (a tone whose
// pitch follows VCF Freq), its parameters act at once on sounding voices, and
// each note starts after a random delay.

#include "LoopbackSynthesizer.h"
#include "QorvProcess.h"
#include "TakeTestSupport.h"
#include "TonePatch.h"
#include "files/QorvFileIO.h"
#include "previews/PreviewFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <thread>

namespace
{
using namespace std::chrono_literals;

const std::string toSynth = "16:0";
const std::string fromLoopback = "hw:CARD=Loopback,DEV=1";

/** A folder on a tmpfs, where files can be made without a name first, as on the disks users have. */
class ShmFolder
{
public:
    ShmFolder()
    {
        std::string pattern = "/dev/shm/qorv-record-XXXXXX";
        if (::mkdtemp (pattern.data()) == nullptr)
            throw std::runtime_error ("mkdtemp failed");
        root = pattern;
    }
    ~ShmFolder() { std::filesystem::remove_all (root); }
    std::string path (const std::string& name) const { return root + "/" + name; }
    std::string root;
};

/** Eight rows: one twice, one silent, one whose release rings on for 5 s. */
std::vector<PatchModel> testPatches()
{
    const auto tone = [] (const std::string& name, uint8_t vcfFreq, uint8_t release = 10)
    { return tonePatch (name, vcfFreq, 110, release); };
    PatchModel silent = tone ("Silent", 70);
    silent.data[PatchBits::dcoFlagsIndex] = PatchBits::range8 | PatchBits::chorusOffBits;
    PatchModel copy = tone ("Low copy", 20);
    return {tone ("Low", 20),
            tone ("Long", 40, 127),
            tone ("Mid", 60),
            copy,
            silent,
            tone ("High", 100),
            tone ("Bright", 80),
            tone ("Top", 120)};
}

std::string writeLibrary (const std::string& path)
{
    LibraryModel library;
    library.name = "Bank";
    library.replacePatches (testPatches());
    if (!QorvFileIO::save (path, library))
        throw std::runtime_error ("cannot write " + path);
    return path;
}

std::vector<std::string> entriesOf (const std::string& folder)
{
    std::vector<std::string> names;
    if (std::filesystem::exists (folder))
        for (const auto& entry : std::filesystem::directory_iterator (folder))
            names.push_back (entry.path().filename().string());
    std::sort (names.begin(), names.end());
    return names;
}

/** Every stored preview sounds as its own patch from 50 ms to the end of the
    hold, and begins 5 ms before its sound. */
void expectPreviewOf (const std::string& folder, const PatchModel& patch)
{
    SCOPED_TRACE (patch.name);
    PreviewFolder previews (folder);
    VorbisFile::Decoded decoded;
    std::string whyNot;
    ASSERT_TRUE (previews.load (PreviewInfo::fileNameOf (patch.data, Phrase{}), decoded, whyNot)) << whyNot;
    const double rate = decoded.sampleRate;
    EXPECT_TRUE (soundsAt (decoded.samples, rate, SynthModel::markerFrequency (patch.data[5]), 0.050, 1.0));
    float peak = 0.0f;
    for (const float sample : decoded.samples)
        peak = std::max (peak, std::abs (sample));
    size_t first = 0;
    while (first < decoded.samples.size() && std::abs (decoded.samples[first]) < 0.1f * peak)
        ++first;
    EXPECT_NEAR (first / rate, 0.005, 0.001) << "the sound starts " << first / rate * 1000 << " ms in";
    EXPECT_EQ (decoded.tags.get ("QORV_INPUT"), fromLoopback);
}

size_t countOf (const std::string& text, const std::string& word)
{
    size_t count = 0;
    for (size_t at = text.find (word); at != std::string::npos; at = text.find (word, at + 1))
        ++count;
    return count;
}
} // namespace

TEST (RecordCommand, EveryPatchIsRecordedAsItsOwnSoundOnceAndTheSilentOneIsNamed)
{
    LoopbackSynthesizer synth ({});
    ASSERT_EQ (synth.problem(), "");
    ShmFolder folder;
    const auto library = writeLibrary (folder.path ("Bank.106"));
    const auto result = runQorv (folder.root, {"record", library, "--to", toSynth, "--from", fromLoopback});
    std::printf ("%s", result.out.c_str());
    EXPECT_EQ (result.status, 0) << result.err;
    EXPECT_NE (result.out.find ("rows 1,4  Low: recorded"), std::string::npos);
    EXPECT_NE (result.out.find ("row 2  Long: recorded"), std::string::npos);
    EXPECT_NE (result.out.find ("(tail cut)"), std::string::npos);
    EXPECT_NE (result.out.find ("row 5  Silent: no audio"), std::string::npos);
    EXPECT_NE (result.out.find ("Summary: 6 recorded, 1 no audio (row 5 Silent), 0 failed."), std::string::npos);
    EXPECT_NE (result.out.find ("A take took"), std::string::npos);

    const auto patches = testPatches();
    std::vector<std::string> expected{PreviewFolder::indexName};
    for (const size_t row : {0u, 1u, 2u, 5u, 6u, 7u})
    {
        expectPreviewOf (folder.path ("Bank.previews"), patches[row]);
        expected.push_back (PreviewInfo::fileNameOf (patches[row].data, Phrase{}));
    }
    std::sort (expected.begin(), expected.end());
    EXPECT_EQ (entriesOf (folder.path ("Bank.previews")), expected);

    const auto verified = runQorv (folder.root, {"previews", library, "--verify"});
    EXPECT_EQ (verified.status, 0) << verified.err;
    EXPECT_NE (verified.out.find ("6 files in"), std::string::npos);
}

TEST (RecordCommand, ARunKilledAtAnyMomentLeavesOnlyWholeFilesAndMissingCompletesIt)
{
    LoopbackSynthesizer synth ({});
    ASSERT_EQ (synth.problem(), "");
    ShmFolder folder;
    const auto library = writeLibrary (folder.path ("Bank.106"));
    const std::string previews = folder.path ("Bank.previews");
    size_t before = 0;
    {
        QorvProcess run (folder.root, {"record", library, "--to", toSynth, "--from", fromLoopback});
        ASSERT_TRUE (run.waitForOutput ("3/7", 120s)) << run.output() << run.errors();
        std::this_thread::sleep_for (700ms); // in the middle of a take
        run.signal (SIGKILL);
        run.finish();
        for (const auto& name : entriesOf (previews))
        {
            EXPECT_TRUE (name == PreviewFolder::indexName || PreviewInfo::parseFileName (name)) << name;
            before += PreviewInfo::parseFileName (name) ? 1 : 0;
        }
        EXPECT_GE (before, 2u);
        EXPECT_LT (before, 6u);
        const auto verified = runQorv (folder.root, {"previews", library, "--verify"});
        EXPECT_EQ (verified.status, 0) << verified.out << verified.err;
    }
    const auto rest = runQorv (folder.root, {"record", library, "--to", toSynth, "--from", fromLoopback, "--missing"});
    std::printf ("%s", rest.out.c_str());
    EXPECT_EQ (rest.status, 0) << rest.err;
    // The silent patch is asked again (it has no file); the others only once in all.
    EXPECT_EQ (countOf (rest.out, ": recorded"), 6u - before);
    const auto patches = testPatches();
    for (const size_t row : {0u, 1u, 2u, 5u, 6u, 7u})
        expectPreviewOf (previews, patches[row]);
}

TEST (RecordCommand, WithoutSoundFromTheSynthesizerTheRunStopsAndSaysWhatToCheck)
{
    ShmFolder folder; // no synthesizer plays into the loopback
    const auto library = writeLibrary (folder.path ("Bank.106"));
    const auto result = runQorv (folder.root, {"record", library, "--to", toSynth, "--from", fromLoopback});
    EXPECT_EQ (result.status, 1);
    EXPECT_NE (result.err.find ("No audio from the synthesizer: check the cable to the input and the input's level"),
               std::string::npos)
        << result.err;
    EXPECT_EQ (countOf (result.out, ": no audio"), 3u) << result.out;
    EXPECT_FALSE (std::filesystem::exists (folder.path ("Bank.previews/") +
                                           PreviewInfo::fileNameOf (testPatches()[0].data, Phrase{})));
}

TEST (PreviewsCommand, PruneRemovesThePreviewsOfSoundsTheLibraryNoLongerHas)
{
    ShmFolder folder;
    const auto library = writeLibrary (folder.path ("Bank.106"));
    PreviewFolder previews (folder.path ("Bank.previews"));
    PreviewInfo kept, gone;
    kept.bytes = testPatches()[0].data;
    gone.bytes = testPatches()[0].data;
    gone.bytes[5] = 99;
    const std::vector<float> audio (4800, 0.1f);
    ASSERT_TRUE (previews.store (kept, audio));
    ASSERT_TRUE (previews.store (gone, audio));
    const auto result = runQorv (folder.root, {"previews", library, "--prune"});
    EXPECT_EQ (result.status, 0) << result.err;
    EXPECT_NE (result.out.find ("removed " + gone.fileName()), std::string::npos);
    EXPECT_EQ (entriesOf (folder.path ("Bank.previews")),
               (std::vector<std::string>{kept.fileName(), PreviewFolder::indexName}));
}
