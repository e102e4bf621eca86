#include "session/RestoreGuide.h"
#include "session/RestoreProgress.h"
#include "session/SynthMemory.h"

#include "FactoryPatches.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace
{
using namespace std::chrono_literals;
using Guide = RestoreGuide;
using Event = Guide::Event;
using State = Guide::MemoryState;
using Phase = Guide::Phase;

/** Records what the guide sends, as the synthesizer would receive it. */
struct FakeSynthesizer : Guide::Synthesizer
{
    void sendPatch (const PatchModel& patch, int memory) override { sent.push_back ({memory, patch}); }
    bool loopsBack() const override { return throughPort; }
    std::vector<std::pair<int, PatchModel>> sent;
    bool throughPort = false;
};

class RestoreGuideTest : public testing::Test
{
protected:
    RestoreGuideTest()
    {
        for (const auto& row : loadFactoryPatches())
            library.push_back (row.patch);
    }

    /** Rows 0 to count-1 from A11 (or `first`), the guide reporting into `events`. */
    std::unique_ptr<Guide> makeGuide (size_t count, Guide::Options options = {}, int first = 0)
    {
        std::vector<int> rows;
        for (size_t i = 0; i < count; ++i)
            rows.push_back (static_cast<int> (i));
        auto guide = std::make_unique<Guide> (synth, Guide::plan (library, rows, first), options);
        guide->onChange = [this] (Event event) { events.push_back (event); };
        return guide;
    }

    /** The synthesizer answers a selection of `memory` with `patch`. */
    void answer (Guide& guide, int memory, const PatchModel& patch, Guide::TimePoint at)
    {
        guide.dumpReceived (patch, memory, at);
    }

    PatchModel damaged (size_t row) const
    {
        PatchModel patch = library[row];
        patch.data[5] = static_cast<uint8_t> (patch.data[5] ^ 0x10); // VCF Freq
        return patch;
    }

    std::vector<int> sentMemories() const
    {
        std::vector<int> memories;
        for (const auto& [memory, patch] : synth.sent)
            memories.push_back (memory);
        return memories;
    }

    std::vector<PatchModel> library;
    FakeSynthesizer synth;
    std::vector<Event> events;
    const Guide::TimePoint t0{};
};

TEST (SynthMemoryTest, NamesButtonsAndParsingCoverAll128Memories)
{
    const std::vector<std::tuple<int, std::string, std::string>> cases = {
        {0, "A11", "bank A, group 1, number 1"},
        {7, "A18", "bank A, group 1, number 8"},
        {8, "A21", "bank A, group 2, number 1"},
        {63, "A88", "bank A, group 8, number 8"},
        {64, "B11", "bank B, group 1, number 1"},
        {127, "B88", "bank B, group 8, number 8"},
    };
    for (const auto& [memory, name, buttons] : cases)
    {
        EXPECT_EQ (SynthMemory::name (memory), name);
        EXPECT_EQ (SynthMemory::buttons (memory), buttons);
    }
    for (int memory = 0; memory < SynthMemory::count; ++memory)
        EXPECT_EQ (SynthMemory::parse (SynthMemory::name (memory)), memory);
    EXPECT_EQ (SynthMemory::parse ("b45"), 64 + 3 * 8 + 4);
    for (const char* wrong : {"", "A1", "A111", "A10", "A19", "A91", "C11", " A11", "11"})
        EXPECT_FALSE (SynthMemory::parse (wrong).has_value()) << wrong;
}

TEST_F (RestoreGuideTest, PlanPutsTheRowsInOrderIntoConsecutiveMemoriesUpToB88AndCorrectsWhatGoesOut)
{
    library[9].data[5] = 0x90; // a level no patch can hold
    const auto targets = Guide::plan (library, {3, 9, 20}, 126);
    ASSERT_EQ (targets.size(), 2u); // B87 and B88; the third has no memory left
    EXPECT_EQ (targets[0].row, 3);
    EXPECT_EQ (targets[0].memory, 126);
    EXPECT_EQ (targets[0].patch.data, library[3].data);
    EXPECT_EQ (targets[1].memory, 127);
    EXPECT_EQ (targets[1].patch.name, library[9].name);
    EXPECT_EQ (targets[1].patch.data[5], 0x7F);
}

TEST_F (RestoreGuideTest, OnlyTheAnswerNumberedAsTheCurrentMemoryChecksItAndMovesOn)
{
    auto guide = makeGuide (3, {}, 8); // A21, A22, A23
    EXPECT_EQ (guide->phase(), Phase::setUp);
    answer (*guide, 8, library[0], t0); // before the start: nothing was sent, nothing counts
    EXPECT_TRUE (synth.sent.empty());

    guide->start (t0);
    EXPECT_EQ (guide->instruction(), "Press WRITE, then bank A, group 2, number 1; then select A21.");
    answer (*guide, 7, library[0], t0 + 1s); // the patch the synthesizer leaves
    EXPECT_EQ (guide->currentIndex(), 0u);
    answer (*guide, 8, library[0], t0 + 2s);
    EXPECT_EQ (guide->currentIndex(), 1u);
    EXPECT_EQ (guide->instruction(), "Press WRITE, then bank A, group 2, number 2; then select A22.");
    answer (*guide, 9, library[1], t0 + 3s);
    answer (*guide, 10, library[2], t0 + 4s);

    EXPECT_EQ (guide->phase(), Phase::finished);
    EXPECT_EQ (guide->current(), nullptr);
    EXPECT_EQ (sentMemories(), (std::vector<int>{8, 9, 10}));
    for (size_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ (synth.sent[i].second.data, library[i].data);
        EXPECT_EQ (guide->entries()[i].state, State::checked);
    }
    EXPECT_EQ (
        events,
        (std::vector<Event>{
            Event::sent, Event::checked, Event::sent, Event::checked, Event::sent, Event::checked, Event::finished}));
    EXPECT_EQ (guide->summaryText(), "3 written and checked, 0 skipped, 0 differing");
    answer (*guide, 10, library[2], t0 + 5s); // after the end, nothing changes
    EXPECT_EQ (synth.sent.size(), 3u);
}

TEST_F (RestoreGuideTest, ADifferingAnswerIsSentAgainUpToTheSendsAllowedThenCountsAsDiffering)
{
    Guide::Options options;
    options.automaticSends = 3;
    auto guide = makeGuide (2, options);
    guide->start (t0);

    // Once wrong, then right: checked after two sends.
    answer (*guide, 0, damaged (0), t0 + 1s);
    EXPECT_EQ (guide->entries()[0].state, State::differing);
    EXPECT_EQ (guide->sendsOfCurrent(), 2);
    answer (*guide, 0, library[0], t0 + 2s);
    EXPECT_EQ (guide->entries()[0].state, State::checked);

    // Three times wrong: three sends in all, then on to the end.
    for (int i = 0; i < 3; ++i)
        answer (*guide, 1, damaged (1), t0 + 3s);
    EXPECT_EQ (sentMemories(), (std::vector<int>{0, 0, 1, 1, 1}));
    EXPECT_EQ (guide->phase(), Phase::finished);
    EXPECT_EQ (guide->entries()[1].state, State::differing);
    ASSERT_EQ (guide->entries()[1].differences.size(), 1u);
    EXPECT_EQ (guide->entries()[1].differences[0].parameter, "VCF Freq");
    EXPECT_EQ (std::count (events.begin(), events.end(), Event::differed), 4);
    EXPECT_EQ (std::count (events.begin(), events.end(), Event::gaveUp), 1);
    EXPECT_EQ (guide->summaryText(), "1 written and checked, 0 skipped, 1 differing (A12)");
}

TEST_F (RestoreGuideTest, WithoutAutomaticSendsTheUserSendsAgainOrSkipsADifferingMemory)
{
    auto guide = makeGuide (3);
    guide->start (t0);
    answer (*guide, 0, damaged (0), t0 + 1s);
    EXPECT_EQ (guide->currentIndex(), 0u); // it waits for the user
    EXPECT_EQ (synth.sent.size(), 1u);
    guide->sendAgain (t0 + 2s);
    EXPECT_EQ (guide->sendsOfCurrent(), 2);
    answer (*guide, 0, library[0], t0 + 3s);
    EXPECT_EQ (guide->entries()[0].state, State::checked);

    answer (*guide, 1, damaged (1), t0 + 4s);
    guide->skip (t0 + 5s); // still counted as differing
    guide->skip (t0 + 6s); // never answered: skipped
    EXPECT_EQ (guide->phase(), Phase::finished);
    EXPECT_EQ (guide->summaryText(), "1 written and checked, 1 skipped (A13), 1 differing (A12)");
    EXPECT_EQ (sentMemories(), (std::vector<int>{0, 0, 1, 2}));
}

TEST_F (RestoreGuideTest, BackWritesThePreviousMemoryAgainAndFromTheEndTheLastOne)
{
    auto guide = makeGuide (2);
    EXPECT_FALSE (guide->canGoBack());
    guide->start (t0);
    EXPECT_FALSE (guide->canGoBack()); // at the first memory
    answer (*guide, 0, library[0], t0 + 500ms);
    guide->back (t0 + 1s);
    EXPECT_EQ (guide->currentIndex(), 0u);
    EXPECT_EQ (guide->entries()[0].state, State::notWritten);
    answer (*guide, 0, library[0], t0 + 2s);
    answer (*guide, 1, library[1], t0 + 3s);
    ASSERT_EQ (guide->phase(), Phase::finished);
    guide->back (t0 + 4s);
    EXPECT_EQ (guide->phase(), Phase::waiting);
    EXPECT_EQ (guide->currentIndex(), 1u);
    EXPECT_EQ (sentMemories(), (std::vector<int>{0, 1, 0, 1, 1}));
    EXPECT_EQ (guide->summaryText(), "1 written and checked, 0 skipped, 0 differing, 1 not written yet (A12)");
}

TEST_F (RestoreGuideTest, AfterTheAnswerTimeItSaysWhatToCheckAndStopsWhenToldTo)
{
    auto guide = makeGuide (2);
    guide->start (t0);
    guide->tick (t0 + 9999ms);
    EXPECT_FALSE (guide->isUnanswered());
    guide->tick (t0 + 10s);
    guide->tick (t0 + 11s); // said once
    EXPECT_TRUE (guide->isUnanswered());
    EXPECT_EQ (std::count (events.begin(), events.end(), Event::unanswered), 1);
    EXPECT_EQ (guide->phase(), Phase::waiting); // the window goes on waiting
    EXPECT_EQ (guide->noAnswerAdvice (2),
               "No answer from the synthesizer for A11. Check the MIDI cable from its MIDI OUT to Qorv's input, that "
               "its MIDI FUNCTION switch is at III, and that it sends on MIDI channel 3.");

    // Another memory came: the advice is about the memory buttons.
    answer (*guide, 5, library[5], t0 + 12s);
    EXPECT_EQ (guide->noAnswerAdvice (0),
               "The synthesizer sent A16 but not A11: check that WRITE took bank A, group 1, number 1, and select A11 "
               "once more.");
    guide->sendAgain (t0 + 13s);
    EXPECT_FALSE (guide->isUnanswered());
    guide->tick (t0 + 22s);
    EXPECT_FALSE (guide->isUnanswered()); // counted from the send

    Guide::Options stopping;
    stopping.answerTime = 60s;
    stopping.stopWhenUnanswered = true;
    auto commandLine = makeGuide (2, stopping);
    commandLine->start (t0);
    commandLine->tick (t0 + 60s);
    EXPECT_EQ (commandLine->phase(), Phase::stopped);
    EXPECT_TRUE (commandLine->isUnanswered()); // so the command line can say what to check
    EXPECT_EQ (commandLine->summaryText(),
               "0 written and checked, 0 skipped, 0 differing, 2 not written yet (A11, A12)");
    answer (*commandLine, 0, library[0], t0 + 61s); // stopped: no answer counts
    EXPECT_EQ (commandLine->entries()[0].state, State::notWritten);
    commandLine->start (t0 + 62s); // goes on where it stopped
    answer (*commandLine, 0, library[0], t0 + 63s);
    EXPECT_EQ (commandLine->entries()[0].state, State::checked);
}

TEST_F (RestoreGuideTest, TheLinksOwnEchoIsNeverAnAnswerAndAloneItIsSaid)
{
    // Only echoes: a thru or a merge sends each dump straight back, and no synthesizer answers.
    auto onlyEchoed = makeGuide (2);
    onlyEchoed->start (t0);
    answer (*onlyEchoed, 0, library[0], t0 + 4ms);
    answer (*onlyEchoed, 0, library[0], t0 + 199ms);
    EXPECT_EQ (onlyEchoed->entries()[0].state, State::notWritten);
    EXPECT_TRUE (onlyEchoed->onlyEchoes());
    onlyEchoed->tick (t0 + 10s);
    EXPECT_EQ (onlyEchoed->noAnswerAdvice (0), Guide::echoAdvice);
    EXPECT_EQ (onlyEchoed->summary().checked, std::vector<int>{});

    // An interface that merges its thru: the echo comes beside the real answer, which still counts.
    events.clear();
    auto merged = makeGuide (2);
    merged->start (t0);
    answer (*merged, 0, library[0], t0 + 3ms);
    answer (*merged, 0, library[0], t0 + 300ms);
    answer (*merged, 1, library[1], t0 + 302ms); // the echo of the next send, at once
    answer (*merged, 1, library[1], t0 + 2s);
    EXPECT_EQ (merged->summary().checked, (std::vector<int>{0, 1}));
    EXPECT_EQ (events, (std::vector<Event>{Event::sent, Event::checked, Event::sent, Event::checked, Event::finished}));

    // What comes back changed is no echo, however soon; another memory heard says the synthesizer is there.
    auto changed = makeGuide (1);
    changed->start (t0);
    answer (*changed, 0, damaged (0), t0 + 5ms);
    EXPECT_EQ (changed->entries()[0].state, State::differing);
    changed->sendAgain (t0 + 1s);
    answer (*changed, 0, library[0], t0 + 1001ms);
    answer (*changed, 7, library[7], t0 + 3s);
    changed->tick (t0 + 11s);
    EXPECT_NE (changed->noAnswerAdvice (0).find ("The synthesizer sent A18 but not A11"), std::string::npos);
}

TEST_F (RestoreGuideTest, AThroughPortChosenBothWaysIsRefusedBeforeAnythingIsSent)
{
    synth.throughPort = true;
    auto guide = makeGuide (2);
    EXPECT_EQ (Guide::whyNotStart (synth), std::string (Guide::loopAdvice));
    guide->start (t0);
    EXPECT_TRUE (synth.sent.empty());
    EXPECT_EQ (guide->phase(), Phase::setUp);
    EXPECT_EQ (events, std::vector<Event>{Event::refused});

    synth.throughPort = false; // the synthesizer's own ports chosen
    guide->start (t0 + 1s);
    EXPECT_EQ (sentMemories(), std::vector<int>{0});
}

TEST_F (RestoreGuideTest, DifferencesAreNamedAsThePanelNamesThem)
{
    PatchModel sent = library[0];
    sent.data[PatchBits::dcoFlagsIndex] = PatchBits::range8 | PatchBits::chorusIBits;
    PatchModel received = sent;
    received.data[5] = static_cast<uint8_t> (sent.data[5] + 4);
    received.data[PatchBits::dcoFlagsIndex] = PatchBits::range4 | PatchBits::chorusIIBits;
    EXPECT_EQ (Guide::differenceText (Guide::compare (sent, received)),
               "Range sent 8', came back 4'; VCF Freq sent " + std::to_string (sent.data[5]) + ", came back " +
                   std::to_string (received.data[5]) + "; Chorus sent I, came back II");

    // A bit no control shows is named by its byte.
    PatchModel undefined = sent;
    undefined.data[PatchBits::switchesIndex] |= 0x40;
    const auto hex = [] (uint8_t value)
    {
        char text[8];
        std::snprintf (text, sizeof (text), "%02Xh", value);
        return std::string (text);
    };
    EXPECT_EQ (Guide::differenceText (Guide::compare (sent, undefined)),
               "Switches sent " + hex (sent.data[PatchBits::switchesIndex]) + ", came back " +
                   hex (undefined.data[PatchBits::switchesIndex]));
}

TEST_F (RestoreGuideTest, ProgressKeptAsTextResumesWhereItStoppedOnlyForTheSamePatches)
{
    auto guide = makeGuide (12, {}, 64);
    guide->start (t0);
    answer (*guide, 64, library[0], t0 + 1s);
    answer (*guide, 65, damaged (1), t0 + 2s);
    guide->skip (t0 + 3s);
    guide->skip (t0 + 4s);
    answer (*guide, 67, library[3], t0 + 5s);
    guide->stop();

    const auto progress = RestoreProgress::of (*guide, "/home/me/Factory.106");
    const auto text = progress.toText();
    EXPECT_EQ (text.libraryFile, "/home/me/Factory.106");
    EXPECT_EQ (text.firstMemory, "B11");
    EXPECT_EQ (text.rows, "1-12");
    EXPECT_EQ (text.states, "cdsc--------");
    EXPECT_EQ (text.next, "B15");
    EXPECT_EQ (text.fingerprint.size(), 8u);

    const auto read = RestoreProgress::fromText (text);
    ASSERT_TRUE (read.has_value());
    EXPECT_TRUE (read->fits (library));
    EXPECT_EQ (read->states, progress.states);
    EXPECT_EQ (read->next, 4u);

    // A new guide from the same plan takes it up at B15.
    synth.sent.clear();
    Guide resumed (synth, Guide::plan (library, read->rows, read->firstMemory), {});
    resumed.resume (read->states, read->next);
    resumed.start (t0);
    EXPECT_EQ (sentMemories(), std::vector<int>{68});
    EXPECT_EQ (resumed.summaryText(),
               "2 written and checked, 1 skipped (B13), 1 differing (B12), 8 not written yet (B15 to B24)");

    // A library changed since is not the same one.
    auto renamed = library;
    renamed[3].name += " 2";
    EXPECT_FALSE (read->fits (renamed));
    auto edited = library;
    edited[11].data[0] ^= 1;
    EXPECT_FALSE (read->fits (edited));
    EXPECT_FALSE (read->fits (std::vector<PatchModel> (library.begin(), library.begin() + 11)));
}

TEST_F (RestoreGuideTest, MalformedProgressIsRefused)
{
    const RestoreProgress::Text good{"/x.106", "A11", "1-3,5", "c-s-", "A12", "0a1b2c3d"};
    ASSERT_TRUE (RestoreProgress::fromText (good).has_value());
    const auto changed = [&good] (auto change)
    {
        auto text = good;
        change (text);
        return text;
    };
    const std::vector<RestoreProgress::Text> wrong = {
        changed ([] (auto& t) { t.libraryFile.clear(); }),
        changed ([] (auto& t) { t.firstMemory = "A19"; }),
        changed ([] (auto& t) { t.rows = "1-3"; }),        // fewer rows than states
        changed ([] (auto& t) { t.states = "c-x-"; }),     // an unknown state
        changed ([] (auto& t) { t.next = "A15"; }),        // past the last row's memory
        changed ([] (auto& t) { t.firstMemory = "B86"; }), // four rows do not fit from B86
        changed ([] (auto& t) { t.fingerprint = "0a1b2c3"; }),
        changed ([] (auto& t) { t.fingerprint = "0a1b2c3g"; }),
        changed ([] (auto& t) { t.rows = "1-999999999"; }), // never expanded past the states
    };
    for (const auto& text : wrong)
        EXPECT_FALSE (RestoreProgress::fromText (text).has_value())
            << text.firstMemory << " " << text.rows << " " << text.states << " " << text.next;
}

TEST_F (RestoreGuideTest, RowsReadAsTheCommandLineAndTheSettingsWriteThem)
{
    const std::vector<std::pair<std::string, std::vector<int>>> good = {
        {"7", {6}}, {"1-3", {0, 1, 2}}, {"1-2,5,9-10", {0, 1, 4, 8, 9}}, {"10-10", {9}}};
    for (const auto& [text, rows] : good)
    {
        EXPECT_EQ (RestoreProgress::parseRows (text, 10), rows) << text;
        EXPECT_EQ (RestoreProgress::parseRows (RestoreProgress::rowsText (rows), 10), rows) << text;
    }
    for (const char* text :
         {"", "0", "0-3", "11", "3-2", "1-3,2", "1,1", "1,", ",1", "1-", "-3", "a", "1-2-3", "1 - 3"})
        EXPECT_FALSE (RestoreProgress::parseRows (text, 10).has_value()) << text;
}
} // namespace
