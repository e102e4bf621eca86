#include "previews/PreviewFolder.h"
#include "capture/PreviewTake.h"
#include "previews/VorbisFile.h"

#include "TakeTestSupport.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace
{
constexpr int rate = 48000;

std::vector<float> sine (double frequency, double seconds, double amplitude = 0.3)
{
    std::vector<float> audio (static_cast<size_t> (seconds * rate));
    for (size_t i = 0; i < audio.size(); ++i)
        audio[i] = static_cast<float> (amplitude * std::sin (2.0 * M_PI * frequency * static_cast<double> (i) / rate));
    return audio;
}

PreviewInfo infoFor (uint8_t firstByte, const std::string& title = "Strings")
{
    PreviewInfo info;
    info.title = title;
    info.bytes.fill (0x20);
    info.bytes[0] = firstByte;
    info.flags = PreviewTake::tailCut;
    info.date = "2024-05-01T12:00:00Z";
    info.input = "hw:CARD=Loopback,DEV=1";
    info.gain = -3.25;
    info.loudness = -16.75;
    info.truePeak = -4.5;
    info.onsetOffset = 0.0042;
    return info;
}

PatchModel patchWith (const PreviewInfo::PatchBytes& bytes)
{
    PatchModel patch;
    patch.data = bytes;
    return patch;
}
} // namespace

TEST (VorbisFileTest, AudioAndTagsComeBackAsTheyWentInAndEqualInputGivesEqualBytes)
{
    const auto audio = sine (440.0, 1.3);
    VorbisFile::Tags tags;
    tags.set ("TITLE", "Brass \xc3\xa9t\xc3\xa9 = 2");
    tags.set ("QORV_PATCH", std::string (36, 'a'));
    std::vector<uint8_t> image, again;
    std::string whyNot;
    ASSERT_TRUE (VorbisFile::encode (audio.data(), audio.size(), rate, tags, image, whyNot)) << whyNot;
    ASSERT_TRUE (VorbisFile::encode (audio.data(), audio.size(), rate, tags, again, whyNot));
    EXPECT_EQ (image, again);
    EXPECT_LT (image.size(), audio.size() * 2); // compressed: far less than 16 bits a sample

    VorbisFile::Decoded decoded;
    ASSERT_TRUE (VorbisFile::decode (image.data(), image.size(), decoded, whyNot)) << whyNot;
    EXPECT_EQ (decoded.sampleRate, rate);
    EXPECT_EQ (decoded.channels, 1);
    ASSERT_EQ (decoded.samples.size(), audio.size());
    EXPECT_EQ (decoded.tags.get ("title"), "Brass \xc3\xa9t\xc3\xa9 = 2");
    EXPECT_EQ (decoded.tags.get ("QORV_PATCH"), std::string (36, 'a'));
    EXPECT_FALSE (decoded.tags.get ("ARTIST"));
    double error = 0.0, signal = 0.0;
    for (size_t i = 0; i < audio.size(); ++i)
    {
        error += std::pow (decoded.samples[i] - audio[i], 2.0);
        signal += std::pow (audio[i], 2.0);
    }
    EXPECT_GT (10.0 * std::log10 (signal / error), 25.0);
    EXPECT_NEAR (pitchOf (decoded.samples.data() + 1000, 4800, rate), 440.0, 0.5);
}

TEST (VorbisFileTest, DamagedImagesAreRefused)
{
    const auto audio = sine (440.0, 1.0);
    std::vector<uint8_t> image;
    std::string whyNot;
    ASSERT_TRUE (VorbisFile::encode (audio.data(), audio.size(), rate, {}, image, whyNot));
    VorbisFile::Decoded decoded;
    const std::vector<uint8_t> garbage (5000, 0x4f);
    EXPECT_FALSE (VorbisFile::decode (garbage.data(), garbage.size(), decoded, whyNot));
    EXPECT_FALSE (VorbisFile::decode (image.data(), 40, decoded, whyNot));
    EXPECT_FALSE (VorbisFile::encode (audio.data(), 0, rate, {}, image, whyNot));
    EXPECT_EQ (whyNot, "There is no audio to store.");
}

TEST (PreviewNameTest, NamesCarryTheBytesAndThePhrase)
{
    const auto info = infoFor (0x7f);
    EXPECT_EQ (info.fileName(), "7f2020202020202020202020202020202020-note60-1s.ogg");
    const auto parsed = PreviewInfo::parseFileName (info.fileName());
    ASSERT_TRUE (parsed);
    EXPECT_EQ (parsed->first, info.bytes);
    EXPECT_EQ (parsed->second, Phrase{});
    for (const char* name : {"7f2020202020202020202020202020202020-note60-1s.wav",
                             "7F2020202020202020202020202020202020-note60-1s.ogg",
                             "7f20202020202020202020202020202020-note60-1s.ogg",
                             "7f2020202020202020202020202020202020-note60-1.0s.ogg",
                             "7f2020202020202020202020202020202020.ogg",
                             "index.txt"})
        EXPECT_FALSE (PreviewInfo::parseFileName (name)) << name;

    const std::pair<const char*, const char*> folders[] = {
        {"/music/Strings.106", "/music/Strings.previews"},
        {"Strings.106", "Strings.previews"},
        {"/Strings.106", "/Strings.previews"},
        {"old/My Bank.v2.106", "old/My Bank.v2.previews"},
    };
    for (const auto& [library, folder] : folders)
        EXPECT_EQ (PreviewFolder::folderFor (library), folder);
}

TEST (PreviewFolderTest, AStoredPreviewIsOneWholeFileWhoseTagsRebuildTheIndex)
{
    TempFolder temp;
    const std::string path = temp.path ("Strings.previews");
    PreviewFolder folder (path);
    folder.refresh();
    EXPECT_TRUE (folder.previews().empty());
    EXPECT_FALSE (std::filesystem::exists (path)); // nothing made until something is stored

    const auto audio = sine (300.0, 1.2);
    const auto info = infoFor (1);
    ASSERT_TRUE (folder.store (info, audio));
    ASSERT_TRUE (folder.saveIndex());
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator (path))
        names.push_back (entry.path().filename().string());
    std::sort (names.begin(), names.end());
    EXPECT_EQ (names, (std::vector<std::string>{info.fileName(), "index.txt"}));

    // The index lost or damaged: every field comes back from the file itself.
    for (const std::string& index : {std::string(), std::string ("Qorv previews index 1\nnonsense\tline\n")})
    {
        if (index.empty())
            std::filesystem::remove (path + "/index.txt");
        else
            writeBytes (path + "/index.txt", std::vector<uint8_t> (index.begin(), index.end()));
        PreviewFolder reopened (path);
        reopened.refresh();
        const auto* found = reopened.find (info.bytes, Phrase{});
        ASSERT_NE (found, nullptr);
        EXPECT_EQ (found->title, "Strings");
        EXPECT_EQ (found->flags, unsigned (PreviewTake::tailCut));
        EXPECT_EQ (found->input, info.input);
        EXPECT_EQ (found->date, info.date);
        EXPECT_DOUBLE_EQ (found->gain, -3.25);
        EXPECT_DOUBLE_EQ (found->loudness, -16.75);
        EXPECT_DOUBLE_EQ (found->truePeak, -4.5);
        EXPECT_NEAR (found->onsetOffset, 0.0042, 1e-6);
        EXPECT_EQ (found->frames, audio.size());
        EXPECT_EQ (found->waveform, PreviewInfo::waveformOf (audio));
        EXPECT_NEAR (found->waveform[10], 0.3 * 255, 2);
        EXPECT_TRUE (std::filesystem::exists (path + "/index.txt")); // written again
    }

    VorbisFile::Decoded decoded;
    std::string whyNot;
    ASSERT_TRUE (folder.load (info.fileName(), decoded, whyNot)) << whyNot;
    EXPECT_EQ (decoded.samples.size(), audio.size());
    EXPECT_FALSE (folder.load ("nothing.ogg", decoded, whyNot));
}

TEST (PreviewFolderTest, TheIndexFollowsFilesReplacedAddedAndRemovedBehindItsBack)
{
    TempFolder temp;
    const std::string path = temp.path ("Strings.previews");
    {
        PreviewFolder folder (path);
        ASSERT_TRUE (folder.store (infoFor (1, "One"), sine (300.0, 0.5)));
        ASSERT_TRUE (folder.store (infoFor (2, "Two"), sine (300.0, 0.5)));
        ASSERT_TRUE (folder.saveIndex());
    }
    {
        // Another program (an older copy of the folder, say) changes the files.
        PreviewFolder other (temp.path ("other"));
        ASSERT_TRUE (other.store (infoFor (1, "One again"), sine (300.0, 0.7)));
        ASSERT_TRUE (other.store (infoFor (3, "Three"), sine (300.0, 0.5)));
        std::filesystem::copy_file (temp.path ("other/") + infoFor (1).fileName(),
                                    path + "/" + infoFor (1).fileName(),
                                    std::filesystem::copy_options::overwrite_existing);
        std::filesystem::copy_file (temp.path ("other/") + infoFor (3).fileName(), path + "/" + infoFor (3).fileName());
        std::filesystem::remove (path + "/" + infoFor (2).fileName());
    }
    PreviewFolder folder (path);
    folder.refresh();
    ASSERT_EQ (folder.previews().size(), 2u);
    EXPECT_EQ (folder.find (infoFor (1).bytes, Phrase{})->title, "One again");
    EXPECT_EQ (folder.find (infoFor (3).bytes, Phrase{})->title, "Three");
    EXPECT_EQ (folder.find (infoFor (2).bytes, Phrase{}), nullptr);
    EXPECT_EQ (folder.findAny (infoFor (3).bytes, Phrase{48, 2.0})->title, "Three");
}

TEST (PreviewFolderTest, VerifyNamesEveryFileThatIsNotWhatItsNameSays)
{
    TempFolder temp;
    const std::string path = temp.path ("Strings.previews");
    PreviewFolder folder (path);
    const auto good = infoFor (1), moved = infoFor (2), truncated = infoFor (3);
    for (const auto& info : {good, moved, truncated})
        ASSERT_TRUE (folder.store (info, sine (300.0, 1.0)));
    ASSERT_TRUE (folder.saveIndex());
    std::filesystem::rename (path + "/" + moved.fileName(), path + "/" + infoFor (9).fileName());
    auto bytes = readBytes (path + "/" + truncated.fileName());
    bytes.resize (bytes.size() * 2 / 3);
    writeBytes (path + "/" + truncated.fileName(), bytes);
    writeBytes (path + "/notes.txt", {'h', 'i'});

    size_t checked = 0;
    const auto problems = folder.verify (checked);
    EXPECT_EQ (checked, 4u);
    ASSERT_EQ (problems.size(), 3u);
    std::map<std::string, std::string> why;
    for (const auto& problem : problems)
        why[problem.fileName] = problem.why;
    EXPECT_EQ (why.count (good.fileName()), 0u);
    EXPECT_EQ (why[infoFor (9).fileName()], "Its tags are those of " + moved.fileName() + ".");
    EXPECT_NE (why[truncated.fileName()], "");
    EXPECT_EQ (why["notes.txt"], "Its name is not a preview's.");
}

TEST (PreviewFolderTest, PruneRemovesOnlyTheSoundsNoPatchHasAnyMore)
{
    TempFolder temp;
    const std::string path = temp.path ("Strings.previews");
    PreviewFolder folder (path);
    ASSERT_TRUE (folder.store (infoFor (1), sine (300.0, 0.3)));
    auto otherPhrase = infoFor (1);
    otherPhrase.phrase = {48, 2.0};
    ASSERT_TRUE (folder.store (otherPhrase, sine (300.0, 0.3)));
    ASSERT_TRUE (folder.store (infoFor (2), sine (300.0, 0.3)));
    std::vector<PreviewFolder::Problem> failures;
    const auto removed = folder.prune ({patchWith (infoFor (1).bytes)}, failures);
    EXPECT_EQ (removed, std::vector<std::string>{infoFor (2).fileName()});
    EXPECT_TRUE (failures.empty());
    EXPECT_TRUE (std::filesystem::exists (path + "/" + infoFor (1).fileName()));
    EXPECT_TRUE (std::filesystem::exists (path + "/" + otherPhrase.fileName()));
    EXPECT_EQ (folder.previews().size(), 2u);
}
