#include "patch/LibraryModel.h"
#include "PerPatchReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
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

namespace
{
using Rule = LibraryModel::ClashRule;

/** Names from a small alphabet, so clashes and suffix chains abound, with
    names that look like suffixes arriving before their stems. */
std::string randomName (std::mt19937& random)
{
    static const Names stems{"A", "B", "A (1)", "A (2)", "A (1) (1)", "", "a", "A (01)", "B (3)", "A (0)"};
    std::string name = stems[random() % stems.size()];
    if (random() % 3 == 0)
        name += " (" + std::to_string (random() % 6) + ")";
    return name;
}

/** Patches with distinct bytes, so equal names can still be told apart. */
std::vector<PatchModel> randomPatches (std::mt19937& random, size_t count, int& serial)
{
    std::vector<PatchModel> patches (count);
    for (PatchModel& patch : patches)
    {
        patch.name = randomName (random);
        ++serial;
        patch.data[0] = static_cast<uint8_t> (serial & 0x7F);
        patch.data[1] = static_cast<uint8_t> ((serial >> 7) & 0x7F);
        patch.data[2] = static_cast<uint8_t> ((serial >> 14) & 0x7F);
    }
    return patches;
}

using Content = std::vector<std::pair<std::string, std::array<uint8_t, 18>>>;

Content contentOf (const std::vector<PatchModel>& patches)
{
    Content content;
    for (const PatchModel& patch : patches)
        content.emplace_back (patch.name, patch.data);
    return content;
}

enum class Shape
{
    asAddPatchLeavesIt, // sorted, unique names
    unsortedUnique,     // a file's order
    unsortedDuplicates  // a file may hold the same name twice
};

std::vector<PatchModel> randomLibrary (std::mt19937& random, size_t count, Shape shape, int& serial)
{
    std::vector<PatchModel> patches;
    if (shape == Shape::unsortedDuplicates)
        return randomPatches (random, count, serial);
    for (PatchModel& patch : randomPatches (random, count, serial))
        perPatch::addPatch (patches, std::move (patch));
    if (shape == Shape::unsortedUnique)
        std::shuffle (patches.begin(), patches.end(), random);
    return patches;
}

/** One merge both ways; the library's list is set directly, as a loaded file
    or the window's own edits leave it. */
void expectSameAsPerPatch (const std::vector<PatchModel>& start,
                           const std::vector<PatchModel>& incoming,
                           std::optional<Rule> rule,
                           const std::string& what)
{
    std::vector<PatchModel> expected = start;
    if (rule)
        perPatch::merge (expected, incoming, *rule);
    else
        for (const PatchModel& patch : incoming)
            perPatch::addPatch (expected, patch);

    LibraryModel library;
    library.patches = start;
    if (rule)
        library.mergePatches (incoming, *rule);
    else
        library.addPatches (incoming);
    ASSERT_EQ (contentOf (library.patches), contentOf (expected)) << what;
}
} // namespace

TEST (LibraryModelTest, WholeListsMatchThePerPatchWalk)
{
    std::mt19937 random (23);
    int serial = 0;
    const std::optional<Rule> rules[] = {std::nullopt, Rule::autoRename, Rule::overwrite, Rule::discard};
    for (const Shape shape : {Shape::asAddPatchLeavesIt, Shape::unsortedUnique, Shape::unsortedDuplicates})
    {
        for (int round = 0; round < 150; ++round)
        {
            const auto start = randomLibrary (random, random() % 40, shape, serial);
            const auto incoming = randomPatches (random, random() % 40, serial);
            for (const auto& rule : rules)
                expectSameAsPerPatch (start,
                                      incoming,
                                      rule,
                                      "shape " + std::to_string (int (shape)) + " round " + std::to_string (round) +
                                          " rule " + (rule ? std::to_string (int (*rule)) : "add"));
        }
        // Large, so runs of "A (n)" grow long and the first additions land early.
        const auto start = randomLibrary (random, 1000, shape, serial);
        const auto incoming = randomPatches (random, 1000, serial);
        for (const auto& rule : rules)
            expectSameAsPerPatch (start, incoming, rule, "large, shape " + std::to_string (int (shape)));
    }
}

TEST (LibraryModelTest, MergeSummaryAndOneNotification)
{
    struct Case
    {
        std::optional<Rule> rule;
        Names names;
        size_t added, renamed, overwritten, discarded;
    };
    // Into {"Init"}: "Pad", "Init", "Pad" (the second clashes with the first).
    const Case cases[] = {
        {std::nullopt, {"Init", "Init (1)", "Pad", "Pad (1)"}, 3, 2, 0, 0},
        {Rule::autoRename, {"Init", "Init (1)", "Pad", "Pad (1)"}, 3, 2, 0, 0},
        {Rule::overwrite, {"Init", "Pad"}, 1, 0, 2, 0},
        {Rule::discard, {"Init", "Pad"}, 1, 0, 0, 2},
    };
    for (const Case& c : cases)
    {
        std::vector<PatchModel> incoming (3);
        incoming[0].name = "Pad";
        incoming[2].name = "Pad";
        for (size_t i = 0; i < incoming.size(); ++i)
            incoming[i].data[0] = static_cast<uint8_t> (i + 1);

        LibraryModel library;
        int notifications = 0;
        library.onChange = [&notifications] { ++notifications; };
        const auto summary = c.rule ? library.mergePatches (incoming, *c.rule) : library.addPatches (incoming);
        EXPECT_EQ (namesOf (library), c.names);
        EXPECT_EQ (summary.added, c.added);
        EXPECT_EQ (summary.renamed, c.renamed);
        EXPECT_EQ (summary.overwritten, c.overwritten);
        EXPECT_EQ (summary.discarded, c.discarded);
        EXPECT_EQ (notifications, 1);
        if (c.rule == Rule::overwrite)
        {
            EXPECT_EQ (library.patches[0].data[0], 2) << "Init took the bytes of the incoming Init";
            EXPECT_EQ (library.patches[1].data[0], 3) << "the second Pad overwrote the first";
        }
    }

    LibraryModel library;
    int notifications = 0;
    library.onChange = [&notifications] { ++notifications; };
    library.addPatches ({});
    library.mergePatches ({PatchModel()}, Rule::discard);
    EXPECT_EQ (notifications, 0) << "nothing changed";
}

TEST (LibraryModelTest, HoldsIdenticalNeedsNameAndBytes)
{
    LibraryModel library;
    for (const char* name : {"Pad", "Bass", "Pad (1)"})
    {
        PatchModel patch;
        patch.name = name;
        patch.data[0] = static_cast<uint8_t> (name[0]);
        library.addPatch (patch);
    }
    PatchModel pad;
    pad.name = "Pad";
    pad.data[0] = 'P';
    PatchModel otherBytes = pad;
    otherBytes.data[1] = 1;
    PatchModel otherName = pad;
    otherName.name = "pad";

    for (const bool inFileOrder : {false, true})
    {
        if (inFileOrder)
            std::reverse (library.patches.begin(), library.patches.end()); // direct, as a loaded file
        EXPECT_TRUE (library.holdsIdentical (pad)) << inFileOrder;
        EXPECT_TRUE (library.holdsIdentical (library.patches[1])) << inFileOrder;
        EXPECT_FALSE (library.holdsIdentical (otherBytes)) << inFileOrder;
        EXPECT_FALSE (library.holdsIdentical (otherName)) << inFileOrder;
    }

    // Two patches of one name, as a file may hold them: either one counts.
    library.patches.push_back (otherBytes);
    EXPECT_TRUE (library.holdsIdentical (otherBytes));
    library.sortPatches();
    EXPECT_TRUE (library.holdsIdentical (otherBytes));
    EXPECT_TRUE (library.holdsIdentical (pad));
}

TEST (LibraryModelTest, DirectEditsAreNoticedOrDeclared)
{
    const auto named = [] (const std::string& name)
    {
        PatchModel patch;
        patch.name = name;
        return patch;
    };
    const auto freshLibrary = [&]
    {
        LibraryModel library; // {"Init"}
        for (const char* name : {"B", "D", "F"})
            library.addPatch (named (name));
        return library; // Init is last: capitals sort first
    };
    const Names unsorted{"Z", "A", "Init", "M"};

    {
        LibraryModel library = freshLibrary();
        library.patches = libraryOf (unsorted).patches; // same length, replaced behind the library's back
        EXPECT_EQ (library.uniqueName ("Init"), "Init (1)");
        library.addPatch (named ("C"));
        EXPECT_EQ (namesOf (library), (Names{"A", "C", "Init", "M", "Z"}));
    }
    {
        LibraryModel library = freshLibrary();
        library.patches[0] = named ("Zz"); // the first patch assigned over
        library.addPatch (named ("C"));
        EXPECT_EQ (namesOf (library), (Names{"C", "D", "F", "Init", "Zz"}));
    }
    {
        LibraryModel library = freshLibrary();
        library.patches.erase (library.patches.begin() + 1); // a direct erase keeps the order
        library.patches.push_back (named ("A"));             // and an append breaks it
        library.patches.erase (library.patches.begin());
        library.addPatch (named ("C"));
        EXPECT_EQ (namesOf (library), (Names{"A", "C", "F", "Init"}));
    }
    {
        LibraryModel library = freshLibrary();
        library.patches[2].name = "A"; // renamed in place: the library must be told
        library.patchesEdited();
        EXPECT_EQ (library.uniqueName ("A"), "A (1)");
        library.addPatch (named ("E"));
        EXPECT_EQ (namesOf (library), (Names{"A", "B", "D", "E", "Init"}));
    }
    {
        LibraryModel library = freshLibrary();
        int notifications = 0;
        library.onChange = [&notifications] { ++notifications; };
        library.replacePatches (libraryOf (unsorted).patches);
        EXPECT_EQ (namesOf (library), unsorted) << "a file's order is kept";
        library.erasePatch (0);
        library.erasePatch (99);
        EXPECT_EQ (namesOf (library), (Names{"A", "Init", "M"}));
        library.addPatch (named ("B"));
        EXPECT_EQ (namesOf (library), (Names{"A", "B", "Init", "M"}));
        EXPECT_EQ (notifications, 3);
    }
    {
        const LibraryModel original = freshLibrary();
        LibraryModel copy = original;
        copy.patches[1].name = "Zzz"; // a copy's list is its own and checked afresh
        copy.patches[2].name = "A";
        copy.patchesEdited();
        copy.addPatch (named ("C"));
        EXPECT_EQ (namesOf (copy), (Names{"A", "B", "C", "Init", "Zzz"}));
        EXPECT_EQ (namesOf (original), (Names{"B", "D", "F", "Init"}));
    }
}
