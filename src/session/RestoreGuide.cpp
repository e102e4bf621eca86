#include "session/RestoreGuide.h"

#include "patch/PatchDescription.h"
#include "patch/PatchParameters.h"
#include "session/SynthMemory.h"

#include <cstdio>

namespace
{
/** "A13", "A11 to A18, A21": runs of consecutive memories shortened. */
std::string memoriesText (const std::vector<int>& memories)
{
    std::string text;
    for (size_t i = 0; i < memories.size();)
    {
        size_t last = i;
        while (last + 1 < memories.size() && memories[last + 1] == memories[last] + 1)
            ++last;
        text += (text.empty() ? "" : ", ") + SynthMemory::name (memories[i]);
        if (last > i)
            text += (last == i + 1 ? ", " : " to ") + SynthMemory::name (memories[last]);
        i = last + 1;
    }
    return text;
}

std::string countWithMemories (const std::vector<int>& memories, const char* what)
{
    std::string text = std::to_string (memories.size()) + " " + what;
    if (!memories.empty())
        text += " (" + memoriesText (memories) + ")";
    return text;
}

std::string hexByte (uint8_t value)
{
    char text[8];
    std::snprintf (text, sizeof (text), "%02X", value);
    return text;
}
} // namespace

std::vector<RestoreGuide::Target>
RestoreGuide::plan (const std::vector<PatchModel>& patches, const std::vector<int>& rows, int firstMemory)
{
    std::vector<Target> targets;
    for (const int row : rows)
    {
        const int memory = firstMemory + static_cast<int> (targets.size());
        if (memory >= SynthMemory::count)
            break;
        if (row < 0 || static_cast<size_t> (row) >= patches.size())
            continue;
        Target target{row, patches[static_cast<size_t> (row)], memory};
        // The dump carries the corrected bytes, so they are what must come back.
        PatchBits::correctValues (target.patch.data);
        targets.push_back (std::move (target));
    }
    return targets;
}

RestoreGuide::RestoreGuide (Synthesizer& synth, std::vector<Target> targets, Options guideOptions)
    : synthesizer (synth), options (guideOptions)
{
    allEntries.reserve (targets.size());
    for (auto& target : targets)
        allEntries.push_back ({std::move (target), MemoryState::notWritten, {}});
    if (allEntries.empty())
        currentPhase = Phase::finished;
}

void RestoreGuide::resume (const std::vector<MemoryState>& states, size_t next)
{
    if (currentPhase != Phase::setUp || states.size() != allEntries.size())
        return;
    for (size_t i = 0; i < states.size(); ++i)
        allEntries[i].state = states[i];
    index = next < allEntries.size() ? next : allEntries.size();
    if (index == allEntries.size())
        currentPhase = Phase::finished;
}

void RestoreGuide::announce (Event event)
{
    if (onChange)
        onChange (event);
}

void RestoreGuide::sendCurrent (TimePoint now)
{
    const Entry& entry = allEntries[index];
    synthesizer.sendPatch (entry.target.patch, entry.target.memory);
    ++sends;
    lastSend = now;
    unanswered = false;
    lastOtherMemory.reset();
    echoHeard = false;
    announce (Event::sent);
}

void RestoreGuide::moveOn (TimePoint now)
{
    ++index;
    sends = 0;
    if (index < allEntries.size())
    {
        sendCurrent (now);
        return;
    }
    currentPhase = Phase::finished;
    unanswered = false;
    announce (Event::finished);
}

std::optional<std::string> RestoreGuide::whyNotStart (const Synthesizer& synth)
{
    if (synth.loopsBack())
        return loopAdvice;
    return std::nullopt;
}

void RestoreGuide::start (TimePoint now)
{
    if (currentPhase != Phase::setUp && currentPhase != Phase::stopped)
        return;
    if (whyNotStart (synthesizer))
    {
        announce (Event::refused);
        return;
    }
    if (index >= allEntries.size())
    {
        currentPhase = Phase::finished;
        announce (Event::finished);
        return;
    }
    currentPhase = Phase::waiting;
    sends = 0;
    sendCurrent (now);
}

void RestoreGuide::dumpReceived (const PatchModel& received, int memory, TimePoint now)
{
    if (currentPhase != Phase::waiting)
        return;
    Entry& entry = allEntries[index];
    if (memory != entry.target.memory)
    {
        // Most often the patch the synthesizer leaves; telling of it helps only when no answer comes.
        lastOtherMemory = memory;
        return;
    }
    if (received.sameSound (entry.target.patch) && now - lastSend < echoTime)
    {
        echoHeard = true;
        return;
    }
    if (received.sameSound (entry.target.patch))
    {
        entry.state = MemoryState::checked;
        entry.differences.clear();
        announce (Event::checked);
        moveOn (now);
        return;
    }

    entry.state = MemoryState::differing;
    entry.differences = compare (entry.target.patch, received);
    announce (Event::differed);
    if (options.automaticSends <= 0)
        return;
    if (sends < options.automaticSends)
    {
        sendCurrent (now);
        return;
    }
    announce (Event::gaveUp);
    moveOn (now);
}

void RestoreGuide::sendAgain (TimePoint now)
{
    if (currentPhase == Phase::waiting)
        sendCurrent (now);
}

void RestoreGuide::skip (TimePoint now)
{
    if (currentPhase != Phase::waiting)
        return;
    Entry& entry = allEntries[index];
    // A memory whose answer differed stays counted as differing.
    if (entry.state != MemoryState::differing)
        entry.state = MemoryState::skipped;
    announce (Event::skipped);
    moveOn (now);
}

bool RestoreGuide::canGoBack() const
{
    return (currentPhase == Phase::waiting && index > 0) || (currentPhase == Phase::finished && !allEntries.empty());
}

void RestoreGuide::back (TimePoint now)
{
    if (!canGoBack())
        return;
    --index;
    allEntries[index].state = MemoryState::notWritten;
    allEntries[index].differences.clear();
    currentPhase = Phase::waiting;
    sends = 0;
    announce (Event::wentBack);
    sendCurrent (now);
}

void RestoreGuide::stop()
{
    if (currentPhase != Phase::setUp && currentPhase != Phase::waiting)
        return;
    currentPhase = Phase::stopped;
    announce (Event::stopped);
}

void RestoreGuide::tick (TimePoint now)
{
    if (currentPhase != Phase::waiting || unanswered || now - lastSend < options.answerTime)
        return;
    unanswered = true;
    announce (Event::unanswered);
    if (options.stopWhenUnanswered)
        stop();
}

RestoreGuide::Summary RestoreGuide::summary() const
{
    Summary result;
    for (const auto& entry : allEntries)
    {
        switch (entry.state)
        {
            case MemoryState::checked:
                result.checked.push_back (entry.target.memory);
                break;
            case MemoryState::skipped:
                result.skipped.push_back (entry.target.memory);
                break;
            case MemoryState::differing:
                result.differing.push_back (entry.target.memory);
                break;
            case MemoryState::notWritten:
                result.notWritten.push_back (entry.target.memory);
                break;
        }
    }
    return result;
}

std::string RestoreGuide::instruction() const
{
    const Entry* entry = current();
    if (entry == nullptr)
        return {};
    const int memory = entry->target.memory;
    return "Press WRITE, then " + SynthMemory::buttons (memory) + "; then select " + SynthMemory::name (memory) + ".";
}

std::string RestoreGuide::noAnswerAdvice (int channel) const
{
    const Entry* entry = current();
    if (entry == nullptr)
        return {};
    const std::string memory = SynthMemory::name (entry->target.memory);
    // Another memory heard is the synthesizer's own doing, whatever else came back.
    if (lastOtherMemory)
        return "The synthesizer sent " + SynthMemory::name (*lastOtherMemory) + " but not " + memory +
               ": check that WRITE took " + SynthMemory::buttons (entry->target.memory) + ", and select " + memory +
               " once more.";
    if (echoHeard)
        return echoAdvice;
    return "No answer from the synthesizer for " + memory +
           ". Check the MIDI cable from its MIDI OUT to Qorv's input, that its MIDI FUNCTION switch is at III, and "
           "that it sends on MIDI channel " +
           std::to_string (channel + 1) + ".";
}

std::string RestoreGuide::differenceText (const std::vector<Difference>& differences)
{
    std::string text;
    for (const auto& difference : differences)
        text += (text.empty() ? "" : "; ") + difference.parameter + " sent " + difference.sent + ", came back " +
                difference.received;
    return text;
}

std::string RestoreGuide::summaryText() const
{
    const Summary done = summary();
    std::string text = std::to_string (done.checked.size()) + " written and checked, " +
                       countWithMemories (done.skipped, "skipped") + ", " +
                       countWithMemories (done.differing, "differing");
    if (!done.notWritten.empty())
        text += ", " + countWithMemories (done.notWritten, "not written yet");
    return text;
}

std::vector<RestoreGuide::Difference> RestoreGuide::compare (const PatchModel& sent, const PatchModel& received)
{
    std::vector<Difference> differences;
    const auto before = PatchDescription::describe (sent.data);
    const auto after = PatchDescription::describe (received.data);
    for (size_t i = 0; i < before.size() && i < after.size(); ++i)
        if (before[i].text != after[i].text)
            differences.push_back ({before[i].name, before[i].text, after[i].text});
    if (!differences.empty())
        return differences;

    // Bits no control shows (undefined switch bits): named by their byte.
    for (size_t i = 0; i < sent.data.size(); ++i)
        if (sent.data[i] != received.data[i])
            differences.push_back (
                {PatchParameters::paramNames[i], hexByte (sent.data[i]) + "h", hexByte (received.data[i]) + "h"});
    return differences;
}
