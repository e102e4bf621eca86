#include "patch/LibraryModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace
{
using Names = std::vector<std::string>;

LibraryModel libraryOf (const Names& names)
{
    LibraryModel library;
    library.patches.clear();
    for (const std::string& name : names)
    {
        PatchModel patch;
        patch.name = name;
        library.patches.push_back (patch);
    }
    return library;
}

Names namesOf (const LibraryModel& library)
{
    Names names;
    for (const PatchModel& patch : library.patches)
        names.push_back (patch.name);
    return names;
}

/** The rule read literally: try every candidate against every patch. */
std::string slowUniqueName (const Names& names, const std::string& wanted)
{
    const auto taken = [&] (const std::string& candidate)
    { return std::find (names.begin(), names.end(), candidate) != names.end(); };
    if (!taken (wanted))
        return wanted;
    for (int n = 1;; ++n)
        if (const std::string candidate = wanted + " (" + std::to_string (n) + ")"; !taken (candidate))
            return candidate;
}

bool unsignedByteLess (const std::string& a, const std::string& b)
{
    return std::lexicographical_compare (a.begin(),
                                         a.end(),
                                         b.begin(),
                                         b.end(),
                                         [] (char x, char y)
                                         { return static_cast<unsigned char> (x) < static_cast<unsigned char> (y); });
}
} // namespace

TEST (LibraryModelTest, NewLibraryHoldsOneInitPatch)
{
    const LibraryModel library;
    EXPECT_EQ (library.name, "New Library");
    ASSERT_EQ (library.patches.size(), 1u);
    EXPECT_EQ (library.patches[0].name, "Init");
    EXPECT_TRUE (library.patches[0].sameSound (PatchModel()));
}

TEST (LibraryModelTest, UniqueNameTable)
{
    struct Case
    {
        Names names;
        std::string wanted;
        std::string expected;
    };
    const Case cases[] = {
        {{"Init", "Init (1)"}, "Init", "Init (2)"},
        {{"Init (1)"}, "Init", "Init"},
        {{"Init"}, "init", "init"},
        {{}, "", ""},
        {{}, "Init", "Init"},
        {{""}, "", " (1)"},
        {{"Init", "Init (1)"}, "Init (1)", "Init (1) (1)"},
        {{"Init", "Init (2)"}, "Init", "Init (1)"},
        {{"Init (3)", "Init", "Init (1)", "Init (2)"}, "Init", "Init (4)"},
        {{"Init", "Init (01)", "Init (1", "Init(1)", "Init (1) ", "Init  (1)", "Init (+1)"}, "Init", "Init (1)"},
        {{"Init", "Init (0)"}, "Init", "Init (1)"},
        {{"Init", "Init (1)", "Init (5)", "Init (3)"}, "Init", "Init (2)"},
        {{"Init", "Init (1)", "Init (1)", "Init (2)"}, "Init", "Init (3)"},
        {{"Init", "Init (99999999999999999999999999)"}, "Init", "Init (1)"},
        {{"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9 (1)"}, "\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9 (2)"},
        {{std::string ("a\0b", 3)}, std::string ("a\0b", 3), std::string ("a\0b (1)", 7)},
    };
    for (const Case& c : cases)
    {
        const LibraryModel library = libraryOf (c.names);
        EXPECT_EQ (library.uniqueName (c.wanted), c.expected) << c.wanted;
        EXPECT_EQ (namesOf (library), c.names) << "uniqueName changes nothing";
    }
}

TEST (LibraryModelTest, UniqueNameAgreesWithTheLiteralRuleOnRandomLibraries)
{
    // Few stems and small numbers, so clashes, suffix chains and gaps are common.
    const Names stems{"", "A", "A (1)", "B", "A (1) (1)"};
    std::mt19937 random (7);
    for (int round = 0; round < 300; ++round)
    {
        Names names;
        const int count = std::uniform_int_distribution<int> (0, 30) (random);
        for (int i = 0; i < count; ++i)
        {
            std::string name = stems[random() % stems.size()];
            if (random() % 2)
                name += " (" + std::to_string (random() % 8) + ")";
            names.push_back (name);
        }
        const LibraryModel library = libraryOf (names);
        for (const std::string& wanted : stems)
            ASSERT_EQ (library.uniqueName (wanted), slowUniqueName (names, wanted)) << wanted;
    }
}

TEST (LibraryModelTest, AddingInitToANewLibrary)
{
    LibraryModel library;
    int notifications = 0;
    library.onChange = [&notifications] { ++notifications; };
    library.addPatch (PatchModel());
    EXPECT_EQ (namesOf (library), (Names{"Init", "Init (1)"}));
    EXPECT_EQ (notifications, 1);
}

TEST (LibraryModelTest, SortsByUnsignedBytesWithPrefixesFirst)
{
    for (const Names& order : {Names{"alpha", "Zeta", "Beta"}, Names{"Beta", "alpha", "Zeta"}})
    {
        LibraryModel library;
        for (const std::string& name : order)
        {
            PatchModel patch;
            patch.name = name;
            library.addPatch (patch);
        }
        EXPECT_EQ (namesOf (library), (Names{"Beta", "Init", "Zeta", "alpha"}));
    }

    LibraryModel library = libraryOf ({"\xC3\xA9", "Init (2)", "z", "Ab", "Abc", "", "Init (10)", "A"});
    library.sortPatches();
    EXPECT_EQ (namesOf (library), (Names{"", "A", "Ab", "Abc", "Init (10)", "Init (2)", "z", "\xC3\xA9"}));
}

TEST (LibraryModelTest, AddPatchMatchesAppendThenSortWhetherOrNotTheListWasSorted)
{
    std::mt19937 random (11);
    const Names pool{"Pad", "pad", "Pad (1)", "Bass", "\xE2\x80\x94lead", "", "Init", "Pad (10)", "Pad (2)"};
    for (int round = 0; round < 200; ++round)
    {
        Names names;
        for (int i = std::uniform_int_distribution<int> (0, 12) (random); i > 0; --i)
            names.push_back (pool[random() % pool.size()]);
        if (round % 2)
            std::sort (names.begin(), names.end(), unsignedByteLess);

        LibraryModel library = libraryOf (names);
        PatchModel added;
        added.name = pool[random() % pool.size()];
        added.data[0] = 99;
        const std::string expectedName = slowUniqueName (names, added.name);
        library.addPatch (added);

        names.push_back (expectedName);
        std::sort (names.begin(), names.end(), unsignedByteLess);
        ASSERT_EQ (namesOf (library), names);
        const auto stored =
            std::find_if (library.patches.begin(),
                          library.patches.end(),
                          [&] (const PatchModel& p) { return p.name == expectedName && p.data[0] == 99; });
        EXPECT_NE (stored, library.patches.end());
    }
}

TEST (LibraryModelTest, ManyClashingAdditionsFindTheFirstFreeSuffix)
{
    LibraryModel library;
    for (int i = 0; i < 300; ++i)
        library.addPatch (PatchModel());
    // A gap in the middle is filled first.
    library.patches.erase (std::find_if (
        library.patches.begin(), library.patches.end(), [] (const PatchModel& p) { return p.name == "Init (137)"; }));
    EXPECT_EQ (library.uniqueName ("Init"), "Init (137)");
    library.addPatch (PatchModel());
    EXPECT_EQ (library.uniqueName ("Init"), "Init (301)");
    EXPECT_TRUE (std::is_sorted (library.patches.begin(), library.patches.end(), LibraryModel::nameLess));
}

TEST (LibraryModelTest, FullSuffixRunsAroundWordSizes)
{
    // Suffixes 1 to n all taken, for n around multiples of 64: the answer is n + 1.
    for (const int taken : {62, 63, 64, 65, 127, 128})
    {
        Names names{"Init"};
        for (int n = 1; n <= taken; ++n)
            names.push_back ("Init (" + std::to_string (n) + ")");
        std::sort (names.begin(), names.end(), unsignedByteLess);
        LibraryModel library = libraryOf (names);
        const std::string expected = "Init (" + std::to_string (taken + 1) + ")";
        EXPECT_EQ (library.uniqueName ("Init"), expected);
        library.addPatch (PatchModel());
        const Names after = namesOf (library);
        EXPECT_NE (std::find (after.begin(), after.end(), expected), after.end()) << taken;
    }
}

TEST (LibraryModelTest, CopiesAreDeep)
{
    LibraryModel original;
    LibraryModel copy = original;
    copy.name = "Copy";
    copy.patches[0].name = "Changed";
    copy.patches[0].data[0] = 1;
    EXPECT_EQ (original.name, "New Library");
    EXPECT_EQ (original.patches[0].name, "Init");
    EXPECT_EQ (original.patches[0].data[0], 0);
}
