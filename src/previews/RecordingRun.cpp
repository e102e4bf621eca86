#include "previews/RecordingRun.h"

#include "control/PanelControls.h"
#include "previews/PreviewFolder.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <map>

namespace
{
AudioInput::Clock::duration durationOf (double seconds)
{
    return std::chrono::duration_cast<AudioInput::Clock::duration> (std::chrono::duration<double> (seconds));
}

std::string utcNow()
{
    const std::time_t now = std::time (nullptr);
    std::tm parts{};
    ::gmtime_r (&now, &parts);
    char text[32];
    std::strftime (text, sizeof (text), "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

/** Indexes are written every few previews, so a killed run loses only a cache's few lines. */
constexpr int previewsPerIndexSave = 8;
} // namespace

std::vector<RecordingRun::Item> RecordingRun::plan (const std::vector<PatchModel>& patches,
                                                    const std::vector<int>& rows,
                                                    const PreviewFolder* folder,
                                                    const Phrase& phrase,
                                                    bool onlyMissing)
{
    std::vector<Item> items;
    std::map<std::array<uint8_t, PatchBits::numBytes>, size_t> itemOfSound;
    for (const int row : rows)
    {
        if (row < 0 || static_cast<size_t> (row) >= patches.size())
            continue;
        PatchModel patch = patches[static_cast<size_t> (row)];
        // The dump carries the corrected bytes, so they are the sound recorded.
        PatchBits::correctValues (patch.data);
        patch.onChange = nullptr;
        const auto known = itemOfSound.find (patch.data);
        if (known != itemOfSound.end())
        {
            items[known->second].rows.push_back (row);
            continue;
        }
        if (onlyMissing && folder != nullptr && folder->find (patch.data, phrase) != nullptr)
            continue;
        itemOfSound[patch.data] = items.size();
        Item item;
        item.rows.push_back (row);
        item.patch = std::move (patch);
        items.push_back (std::move (item));
    }
    return items;
}

bool RecordingRun::shouldSound (const PatchModel& patch)
{
    const auto byte = [&patch] (PanelControl control) { return patch.data[static_cast<size_t> (control)]; };
    const uint8_t flags = patch.data[PatchBits::dcoFlagsIndex];
    const bool waves = PatchBits::isSet (flags, PatchBits::pulseBit) || PatchBits::isSet (flags, PatchBits::sawBit) ||
                       byte (PanelControl::subLevel) > 0 || byte (PanelControl::noise) > 0;
    // A filter that whistles sounds without a wave; the point where it starts differs from voice to voice.
    return waves || byte (PanelControl::vcfRes) >= 100;
}

RecordingRun::RecordingRun (AudioInput& audioInput,
                            SynthOutput& synthOutput,
                            PreviewFolder* previewFolder,
                            std::vector<Item> items,
                            Options runOptions)
    : input (audioInput), output (synthOutput), folder (previewFolder), options (std::move (runOptions)),
      allItems (std::move (items))
{
    if (allItems.empty())
        currentPhase = Phase::finished;
}

RecordingRun::~RecordingRun()
{
    if (take)
        take->abandon();
    if (folder != nullptr)
        folder->saveIndex();
}

void RecordingRun::resume (const std::vector<ItemState>& states, size_t next)
{
    if (currentPhase != Phase::setUp || states.size() != allItems.size())
        return;
    for (size_t i = 0; i < states.size(); ++i)
        allItems[i].state = states[i];
    index = std::min (next, allItems.size());
    while (index < allItems.size() && allItems[index].state != ItemState::waiting)
        ++index;
    if (index == allItems.size())
        currentPhase = Phase::finished;
}

void RecordingRun::announce (Event event)
{
    if (onChange)
        onChange (event);
}

void RecordingRun::start (TimePoint now)
{
    if (currentPhase == Phase::finished || currentPhase == Phase::recording || currentPhase == Phase::measuringFloor)
        return;
    reason = StopReason::none;
    if (!floorKnown)
    {
        // The floor is measured with the synthesizer silenced by the flush patch.
        output.sendPatch (PreviewTake::flushPatch (allItems[index].patch));
        floorTape = std::make_unique<CaptureTape> (input);
        floorStart = now;
        currentPhase = Phase::measuringFloor;
        tick (now);
        return;
    }
    currentPhase = Phase::recording;
    beginTake (now);
}

void RecordingRun::beginTake (TimePoint now)
{
    auto& item = allItems[index];
    ++item.attempts;
    take = std::make_unique<PreviewTake> (input, output, item.patch, options.take, floor);
    announce (Event::takeStarted);
    take->start (now);
}

void RecordingRun::tick (TimePoint now)
{
    if (currentPhase == Phase::measuringFloor)
    {
        floorTape->pull();
        const auto from = floorStart + durationOf (options.take.flushWait);
        const auto to = from + durationOf (options.floorSeconds);
        const bool heard = floorTape->hasStarted() && floorTape->end() >= to;
        if (!heard && now - to < durationOf (2.0))
            return;
        if (heard)
        {
            const auto& audio = floorTape->samples();
            const auto first = static_cast<size_t> (
                std::clamp (floorTape->frameAt (from), 0LL, static_cast<long long> (audio.size())));
            const auto end =
                static_cast<size_t> (std::clamp (floorTape->frameAt (to), 0LL, static_cast<long long> (audio.size())));
            floor = AudioAnalysis::noiseFloorDb (audio.data() + first, end - first, floorTape->sampleRate());
        }
        floorTape.reset();
        floorKnown = true;
        announce (Event::floorMeasured);
        if (!input.failure().empty())
        {
            stopFor (StopReason::inputFailed);
            return;
        }
        currentPhase = Phase::recording;
        beginTake (now);
        return;
    }
    if (currentPhase != Phase::recording || !take)
        return;
    take->tick (now);
    if (take->isDone())
        takeDone (now);
}

void RecordingRun::takeDone (TimePoint now)
{
    using Outcome = PreviewTake::Outcome;
    auto& item = allItems[index];
    last = take->result();
    hasLast = true;
    takeSeconds += last.timings.total();
    ++finishedTakes;

    const bool attemptsLeft = item.attempts < options.attempts;
    switch (last.outcome)
    {
        case Outcome::inputFailed:
            item.why = last.why;
            stopFor (StopReason::inputFailed);
            return;
        case Outcome::overrun:
            if (attemptsLeft)
            {
                retakeReason = "capture overran";
                announce (Event::takingAgain);
                beginTake (now);
                return;
            }
            item.state = ItemState::failed;
            item.why = "capture overran at each of " + std::to_string (item.attempts) + " takes";
            announce (Event::failed);
            moveOn (now);
            return;
        case Outcome::noAudio:
            item.state = ItemState::noAudio;
            announce (Event::noAudio);
            if (shouldSound (item.patch) && ++silentInARow >= options.silentLimit)
            {
                ++index;
                stopFor (StopReason::noAudio);
                return;
            }
            moveOn (now);
            return;
        case Outcome::recorded:
            break;
        case Outcome::pending:
        case Outcome::abandoned:
            return;
    }

    silentInARow = 0;
    if (onsets.size() >= 3 && std::abs (last.onsetOffset - medianOnset()) > options.onsetTolerance)
    {
        if (attemptsLeft)
        {
            retakeReason = "its sound started " + std::to_string (std::lround (last.onsetOffset * 1000)) +
                           " ms after the note-on, the others at " +
                           std::to_string (std::lround (medianOnset() * 1000)) + " ms";
            announce (Event::takingAgain);
            beginTake (now);
            return;
        }
        last.flags |= PreviewTake::onsetOff;
    }
    onsets.push_back (last.onsetOffset);
    store (last);
    if (item.state == ItemState::failed)
    {
        announce (Event::failed);
        ++index;
        stopFor (StopReason::writeFailed);
        return;
    }
    item.state = ItemState::recorded;
    item.flags = last.flags;
    announce (Event::recorded);
    moveOn (now);
}

void RecordingRun::store (const PreviewTake::Result& result)
{
    if (folder == nullptr)
        return;
    auto& item = allItems[index];
    PreviewInfo info;
    info.title = item.patch.name;
    info.bytes = item.patch.data;
    info.phrase = options.take.phrase;
    info.flags = result.flags;
    info.date = options.date ? options.date() : utcNow();
    info.input = options.inputId;
    info.gain = result.gain;
    info.loudness = result.loudness.loudness;
    info.truePeak = result.loudness.truePeakDb;
    info.onsetOffset = result.onsetOffset;
    info.sampleRate = static_cast<int> (std::lround (result.sampleRate));
    const auto written = folder->store (info, result.audio);
    if (!written)
    {
        item.state = ItemState::failed;
        item.why = written.reason;
        return;
    }
    if (++storedSinceIndexSave >= previewsPerIndexSave)
    {
        storedSinceIndexSave = 0;
        folder->saveIndex();
    }
}

void RecordingRun::moveOn (TimePoint now)
{
    take.reset();
    ++index;
    while (index < allItems.size() && allItems[index].state != ItemState::waiting)
        ++index;
    if (index < allItems.size())
    {
        beginTake (now);
        return;
    }
    currentPhase = Phase::finished;
    if (folder != nullptr)
        folder->saveIndex();
    announce (Event::finished);
}

void RecordingRun::pause()
{
    if (currentPhase != Phase::recording && currentPhase != Phase::measuringFloor)
        return;
    if (take)
    {
        take->abandon();
        --allItems[index].attempts; // an interrupted take does not count
        take.reset();
    }
    floorTape.reset();
    currentPhase = Phase::paused;
    announce (Event::paused);
}

void RecordingRun::skip (TimePoint now)
{
    if (index >= allItems.size() || currentPhase == Phase::finished)
        return;
    if (take)
        take->abandon();
    take.reset();
    allItems[index].state = ItemState::skipped;
    announce (Event::skipped);
    if (currentPhase == Phase::recording)
        moveOn (now);
    else
    {
        while (index < allItems.size() && allItems[index].state != ItemState::waiting)
            ++index;
        if (index == allItems.size())
        {
            currentPhase = Phase::finished;
            announce (Event::finished);
        }
    }
}

void RecordingRun::stop()
{
    if (currentPhase == Phase::finished || currentPhase == Phase::stopped)
        return;
    if (take)
    {
        take->abandon();
        if (index < allItems.size())
            --allItems[index].attempts;
        take.reset();
    }
    floorTape.reset();
    stopFor (StopReason::asked);
}

void RecordingRun::stopFor (StopReason why)
{
    take.reset();
    reason = why;
    currentPhase = Phase::stopped;
    if (folder != nullptr)
        folder->saveIndex();
    announce (Event::stopped);
}

std::string RecordingRun::stopText() const
{
    switch (reason)
    {
        case StopReason::noAudio:
            return noAudioAdvice;
        case StopReason::inputFailed:
            return "The input stopped: " + (hasLast && !last.why.empty() ? last.why : input.failure());
        case StopReason::writeFailed:
            for (const auto& item : allItems)
                if (item.state == ItemState::failed && !item.why.empty())
                    return "A preview could not be stored: " + item.why;
            return "A preview could not be stored.";
        case StopReason::none:
        case StopReason::asked:
            break;
    }
    return {};
}

double RecordingRun::medianOnset() const
{
    if (onsets.empty())
        return 0.0;
    auto sorted = onsets;
    std::sort (sorted.begin(), sorted.end());
    const size_t middle = sorted.size() / 2;
    return sorted.size() % 2 == 1 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2.0;
}

double RecordingRun::secondsLeft() const
{
    size_t left = 0;
    for (size_t i = index; i < allItems.size(); ++i)
        left += allItems[i].state == ItemState::waiting ? 1 : 0;
    const auto& settings = options.take;
    const double guess = settings.quietSpan + settings.flushWait + settings.settle + settings.phrase.hold + 0.3;
    const double each = finishedTakes > 0 ? takeSeconds / finishedTakes : guess;
    return each * static_cast<double> (left);
}

size_t RecordingRun::doneCount() const
{
    return static_cast<size_t> (std::count_if (
        allItems.begin(), allItems.end(), [] (const Item& item) { return item.state != ItemState::waiting; }));
}
