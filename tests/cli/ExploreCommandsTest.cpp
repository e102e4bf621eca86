// qorv morph, breed, similar and duplicates as a user types them, on real
// files: what each writes or prints, and the errors that fail a command.

#include "CliTestFiles.h"
#include "QorvProcess.h"
#include "explore/Breeding.h"
#include "explore/SoundDistance.h"
#include "explore/SoundMorph.h"
#include "files/QorvFileIO.h"
#include "files/SyxBank.h"
#include "files/SyxFileIO.h"

#include <gtest/gtest.h>

#include <regex>

namespace
{
bool contains (const std::string& text, const std::string& part)
{
    return text.find (part) != std::string::npos;
}

class ExploreCommandsTest : public testing::Test
{
protected:
    ExploreCommandsTest()
    {
        for (const auto& row : loadFactoryPatches())
            factory.push_back (row.patch);
        // A library of the first 16 factory sounds, one of them twice under
        // another name and one a step of VCF Freq away.
        LibraryModel library;
        library.patches.assign (factory.begin(), factory.begin() + 16);
        PatchModel copy = factory[3];
        copy.name = "ZZ Copy";
        library.patches.push_back (copy);
        PatchModel near = factory[5];
        near.name = "ZZ Near";
        near.data[5] = static_cast<uint8_t> (near.data[5] > 63 ? near.data[5] - 1 : near.data[5] + 1);
        library.patches.push_back (near);
        EXPECT_TRUE (QorvFileIO::save (path ("Lib.106"), library));
        EXPECT_TRUE (SyxFileIO::save (path ("One.syx"), factory[20], 0));
        writeBytes (path ("Junk.106"), {1, 2, 3});
    }

    std::string path (const std::string& name) const { return folder.path (name); }

    std::vector<PatchModel> readLibrary (const std::string& name) const
    {
        LibraryModel library;
        EXPECT_TRUE (QorvFileIO::load (path (name), library));
        return library.patches;
    }

    std::vector<PatchModel> readBank (const std::string& name) const
    {
        std::vector<PatchModel> patches;
        std::string whyNot;
        EXPECT_TRUE (SyxBank::load (path (name), patches, whyNot)) << whyNot;
        return patches;
    }

    TempFolder folder;
    std::vector<PatchModel> factory;
};
} // namespace

TEST_F (ExploreCommandsTest, MorphWritesTheBlendOfPatchesNamedAsFilesOrLibraryEntries)
{
    const std::string first = factory[0].name;
    // LIBRARY:NAME, LIBRARY:NUMBER and a file of one patch.
    auto result = runQorv (folder.root, {"morph", "Lib.106:" + first, "One.syx", "--at", "0.25", "-o", "Blend.syx"});
    ASSERT_EQ (result.status, 0) << result.err;
    EXPECT_EQ (result.out, "Wrote the blend to Blend.syx\n");
    const auto expected = SoundMorph::blend ({factory[0].data, factory[20].data}, SoundMorph::pointAt (0.25, 0));
    ASSERT_EQ (readBank ("Blend.syx").size(), 1u);
    EXPECT_EQ (readBank ("Blend.syx")[0].data, expected);

    result =
        runQorv (folder.root, {"morph", "Lib.106:1", "Lib.106:2", "Lib.106:3", "One.syx", "--at", ".5,1", "--json"});
    ASSERT_EQ (result.status, 0) << result.err;
    const auto square = SoundMorph::blend ({factory[0].data, factory[1].data, factory[2].data, factory[20].data},
                                           SoundMorph::pointAt (0.5, 1.0));
    std::string bytes;
    for (size_t i = 0; i < square.size(); ++i)
        bytes += (i > 0 ? ", " : "") + std::to_string (square[i]);
    EXPECT_TRUE (contains (result.out, "\"at\": [0.5, 1], \"data\": [" + bytes + "]")) << result.out;
    EXPECT_TRUE (contains (result.out, "\"corners\": [\"" + first + "\", ")) << result.out;

    // Without -o or --json, the blend's parameters, one line per section.
    result = runQorv (folder.root, {"morph", "One.syx", "One.syx", "--at", "1"});
    ASSERT_EQ (result.status, 0) << result.err;
    EXPECT_EQ (std::count (result.out.begin(), result.out.end(), '\n'), 7);
    EXPECT_TRUE (contains (result.out, "VCF Freq " + std::to_string (factory[20].data[5]))) << result.out;
}

TEST_F (ExploreCommandsTest, ACommandWhosePatchOrFileCannotBeHadFailsNamingIt)
{
    struct Case
    {
        std::vector<std::string> arguments;
        std::string error;
    };
    const Case cases[] = {
        {{"morph", "Lib.106:No Such Patch", "One.syx", "--at", "0.5"},
         "qorv: Lib.106:No Such Patch: has no patch named or numbered 'No Such Patch'"},
        {{"morph", "Lib.106:99", "One.syx", "--at", "0.5"}, "has no patch named or numbered '99'"},
        {{"morph", "Lib.106", "One.syx", "--at", "0.5"}, "qorv: Lib.106: holds 18 patches: name one as Lib.106:NAME"},
        {{"morph", "Gone.106:Brass", "One.syx", "--at", "0.5"}, "qorv: Gone.106:Brass: Gone.106: No such file"},
        {{"morph", "Junk.106:Brass", "One.syx", "--at", "0.5"}, "qorv: Junk.106:Brass: Junk.106: "},
        {{"morph", "Gone.syx", "One.syx", "--at", "0.5"}, "qorv: Gone.syx: No such file"},
        {{"breed", "Lib.106:Nobody", "-o", "Kids.syx"}, "has no patch named or numbered 'Nobody'"},
        {{"breed", "One.syx", "-o", "Junk.106"}, "qorv: Junk.106: "},
        {{"breed", "One.syx", "-o", "No/Such/Folder/Kids.syx"}, "qorv: No/Such/Folder/Kids.syx: "},
        {{"similar", "Lib.106", "Nobody"}, "qorv: Lib.106: has no patch named or numbered 'Nobody'"},
        {{"similar", "Gone.106", "Brass"}, "qorv: Gone.106: No such file"},
        {{"duplicates", "Junk.106"}, "qorv: Junk.106: "},
        {{"duplicates", "Notes.txt"}, "qorv: Notes.txt: not a .106, .syx or .jep file"},
    };
    for (const auto& c : cases)
    {
        const auto result = runQorv (folder.root, c.arguments);
        EXPECT_EQ (result.status, 1) << c.arguments[0] << " " << c.arguments[1] << ": " << result.err;
        EXPECT_TRUE (contains (result.err, c.error)) << result.err;
        EXPECT_EQ (result.out, "");
    }
    // The library that is not one is left as it was, and nothing else was written.
    EXPECT_EQ (readBytes (path ("Junk.106")), (Bytes{1, 2, 3}));
    auto entries = folder.entries();
    std::sort (entries.begin(), entries.end());
    EXPECT_EQ (entries, (std::vector<std::string>{"Junk.106", "Lib.106", "One.syx"}));
}

TEST_F (ExploreCommandsTest, BreedWritesTheSameChildrenForTheSameSeed)
{
    std::vector<std::string> arguments{"breed", "Lib.106:1", "Lib.106:9"};
    for (const std::string word : {"--amount", "moderate", "--lock", "lfo,Env", "--lock", "CHORUS", "-o", "A.syx"})
        arguments.push_back (word);
    auto result = runQorv (folder.root, arguments);
    ASSERT_EQ (result.status, 0) << result.err;
    // The seed it chose is told, and typing it gives the same children.
    std::smatch seed;
    ASSERT_TRUE (std::regex_match (result.out, seed, std::regex ("Wrote 12 children to A\\.syx \\(seed (\\d+)\\)\n")))
        << result.out;
    const std::string seedText = seed[1];
    arguments.back() = "B.syx";
    arguments.push_back ("--seed");
    arguments.push_back (seedText);
    result = runQorv (folder.root, arguments);
    ASSERT_EQ (result.status, 0) << result.err;
    EXPECT_EQ (readBytes (path ("A.syx")), readBytes (path ("B.syx")));

    // They are the core's children of that seed, locked sections the first parent's.
    Breeding::Options options;
    options.amount = Breeding::Amount::moderate;
    options.lock (SoundControls::Section::lfo, true);
    options.lock (SoundControls::Section::env, true);
    options.lock (SoundControls::Section::chorus, true);
    const auto expected = Breeding::children ({factory[0].data, factory[8].data}, options, std::stoull (seedText), 12);
    const auto bred = readBank ("A.syx");
    ASSERT_EQ (bred.size(), 12u);
    for (size_t i = 0; i < bred.size(); ++i)
    {
        EXPECT_EQ (bred[i].data, expected[i]);
        for (const auto control :
             {PanelControl::lfoRate, PanelControl::attack, PanelControl::release, PanelControl::chorus})
            EXPECT_EQ (PanelControls::position (control, bred[i].data),
                       PanelControls::position (control, factory[0].data));
    }
}

TEST_F (ExploreCommandsTest, BreedIntoALibraryNamesChildrenAfterTheFirstParent)
{
    const std::string first = factory[0].name;
    auto result = runQorv (folder.root, {"breed", "Lib.106:1", "--children", "3", "--seed", "5", "-o", "Kids.106"});
    ASSERT_EQ (result.status, 0) << result.err;
    EXPECT_EQ (result.out, "Wrote 3 children to Kids.106 (seed 5)\n");
    // Bred again from a bred one, the line keeps its name and its numbers run on.
    result = runQorv (folder.root, {"breed", "Kids.106:" + first + " b2", "--children", "2", "-o", "Kids.106"});
    ASSERT_EQ (result.status, 0) << result.err;
    EXPECT_TRUE (contains (result.out, "Added 2 children to Kids.106 (seed ")) << result.out;
    std::vector<std::string> names;
    for (const auto& patch : readLibrary ("Kids.106"))
        names.push_back (patch.name);
    EXPECT_EQ (names,
               (std::vector<std::string>{first + " b1", first + " b2", first + " b3", first + " b4", first + " b5"}));
}

TEST_F (ExploreCommandsTest, SimilarListsTheNearestWithTheirDistance)
{
    const auto patches = readLibrary ("Lib.106");
    const auto near = SoundDistance::nearest (patches, 3, 3);
    ASSERT_EQ (near.size(), 3u);
    ASSERT_EQ (near[0].distance, 0); // the copy

    auto result = runQorv (folder.root, {"similar", "Lib.106", patches[3].name, "--count", "3"});
    ASSERT_EQ (result.status, 0) << result.err;
    std::string expected = "Nearest to  4  " + patches[3].name + ":\n";
    for (const auto& each : near)
    {
        std::string distance = std::to_string (each.distance);
        std::string number = std::to_string (each.row + 1);
        expected += std::string (6 - distance.size(), ' ') + distance + "  " + std::string (2 - number.size(), ' ') +
                    number + "  " + patches[each.row].name + "\n";
    }
    EXPECT_EQ (result.out, expected);

    result = runQorv (folder.root, {"similar", "Lib.106", "4", "--count", "1", "--json"});
    ASSERT_EQ (result.status, 0) << result.err;
    EXPECT_EQ (result.out,
               "[\n  {\"index\": " + std::to_string (near[0].row + 1) + ", \"name\": \"" + patches[near[0].row].name +
                   "\", \"distance\": 0}\n]\n");
}

TEST_F (ExploreCommandsTest, DuplicatesGroupsTheSameAndNearlyTheSameSounds)
{
    const auto patches = readLibrary ("Lib.106");
    const auto rowOf = [&patches] (const std::string& name)
    {
        for (size_t i = 0; i < patches.size(); ++i)
            if (patches[i].name == name)
                return i;
        return patches.size();
    };
    const std::string copyOf = factory[3].name, nearTo = factory[5].name;

    auto result = runQorv (folder.root, {"duplicates", "Lib.106"});
    ASSERT_EQ (result.status, 0) << result.err;
    const auto line = [&] (const std::string& name)
    {
        std::string number = std::to_string (rowOf (name) + 1);
        return std::string (2 - number.size(), ' ') + number + "  " + name;
    };
    EXPECT_EQ (result.out,
               line (copyOf) + "\n    " + line ("ZZ Copy") + " (distance 0)\n" + line (nearTo) + "\n    " +
                   line ("ZZ Near") + " (distance 4)\n2 duplicates of 2 patches within 4\n");

    result = runQorv (folder.root, {"duplicates", "Lib.106", "--within", "0", "--json"});
    ASSERT_EQ (result.status, 0) << result.err;
    EXPECT_EQ (result.out,
               "[\n  {\"index\": " + std::to_string (rowOf (copyOf) + 1) + ", \"name\": \"" + copyOf +
                   "\", \"duplicates\": [{\"index\": " + std::to_string (rowOf ("ZZ Copy") + 1) +
                   ", \"name\": \"ZZ Copy\", \"distance\": 0}]}\n]\n");

    result = runQorv (folder.root, {"duplicates", "One.syx"});
    EXPECT_EQ (result.status, 0);
    EXPECT_EQ (result.out, "No duplicates within 4\n");
}
