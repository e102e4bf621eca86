#include "capture/PreviewTake.h"

#include "control/PanelControls.h"

#include <algorithm>
#include <cmath>

namespace
{
double seconds (AudioInput::Clock::duration duration)
{
    return std::chrono::duration<double> (duration).count();
}

AudioInput::Clock::duration durationOf (double seconds)
{
    return std::chrono::duration_cast<AudioInput::Clock::duration> (std::chrono::duration<double> (seconds));
}

const struct
{
    PreviewTake::Flag flag;
    const char* name;
} flagNames[] = {
    {PreviewTake::ringing, "ringing"},
    {PreviewTake::tailCut, "tail cut"},
    {PreviewTake::clipped, "clipped"},
    {PreviewTake::onsetOff, "onset off"},
};
} // namespace

std::string PreviewTake::flagsText (unsigned flags)
{
    std::string text;
    for (const auto& [flag, name] : flagNames)
        if ((flags & flag) != 0)
            text += (text.empty() ? "" : ", ") + std::string (name);
    return text;
}

unsigned PreviewTake::parseFlags (const std::string& text)
{
    unsigned flags = 0;
    for (const auto& [flag, name] : flagNames)
        if (text.find (name) != std::string::npos)
            flags |= flag;
    return flags;
}

PatchModel PreviewTake::flushPatch (const PatchModel& patch)
{
    PatchModel flush = patch;
    flush.data[static_cast<size_t> (PanelControl::release)] = 0;
    flush.data[static_cast<size_t> (PanelControl::vcaLevel)] = 0;
    return flush;
}

PreviewTake::PreviewTake (AudioInput& audioInput,
                          SynthOutput& synthOutput,
                          const PatchModel& patch,
                          const TakeSettings& takeSettings,
                          double floorDb)
    : input (audioInput), output (synthOutput), recorded (patch), settings (takeSettings), capture (audioInput),
      quietBefore (audioInput.sampleRate(),
                   takeSettings.quietThresholdDb (floorDb),
                   takeSettings.quietWindow,
                   takeSettings.quietSpan),
      quietAfter (audioInput.sampleRate(),
                  takeSettings.quietThresholdDb (floorDb),
                  takeSettings.quietWindow,
                  takeSettings.tailQuiet)
{
    outcome.floorDb = floorDb;
}

void PreviewTake::start (TimePoint now)
{
    if (currentStep != Step::notStarted)
        return;
    startTime = now;
    overrunsAtStart = input.overruns();
    currentStep = Step::waitingForQuiet;
    tick (now);
}

void PreviewTake::feed (AudioAnalysis::QuietWatch& watch, long long fromFrame)
{
    size_t& fed = &watch == &quietBefore ? fedBefore : fedAfter;
    const auto& audio = capture.samples();
    fed = std::max (fed, static_cast<size_t> (std::clamp (fromFrame, 0LL, static_cast<long long> (audio.size()))));
    watch.feed (audio.data() + fed, audio.size() - fed);
    fed = audio.size();
}

void PreviewTake::tick (TimePoint now)
{
    if (currentStep == Step::notStarted || currentStep == Step::done)
        return;
    capture.pull();
    if (!input.failure().empty())
    {
        outcome.why = input.failure();
        finish (now, Outcome::inputFailed);
        return;
    }
    switch (currentStep)
    {
        case Step::waitingForQuiet:
            // Only what was captured since the take began tells whether it is quiet now.
            if (capture.hasStarted())
                feed (quietBefore, capture.frameAt (startTime));
            if (quietBefore.isQuiet())
                beginFlush (now);
            else if (now - startTime >= durationOf (settings.quietLimit))
            {
                outcome.flags |= ringing;
                beginFlush (now);
            }
            break;
        case Step::flushing:
            if (now - flushTime >= durationOf (settings.flushWait))
            {
                output.sendPatch (recorded);
                dumpTime = now;
                currentStep = Step::settling;
            }
            break;
        case Step::settling:
            if (now - dumpTime >= dumpLinkTime + durationOf (settings.settle))
            {
                output.noteOn (settings.phrase.note);
                noteOnTime = now;
                currentStep = Step::playing;
            }
            break;
        case Step::playing:
            if (now - noteOnTime >= durationOf (settings.phrase.hold))
            {
                output.noteOff (settings.phrase.note);
                noteOffTime = now;
                currentStep = Step::recordingTail;
            }
            break;
        case Step::recordingTail:
        {
            if (!capture.hasStarted())
            {
                if (now - noteOffTime >= durationOf (settings.tailLimit))
                    finish (now, Outcome::noAudio);
                break;
            }
            feed (quietAfter, capture.frameAt (noteOffTime));
            // Quiet counts once the audio has caught up with the note-off and
            // covers the whole window where the onset is looked for.
            const auto searchEnd = noteOnTime + durationOf (settings.onset.searchAfter);
            const bool covered = capture.end() >= noteOffTime && capture.end() >= searchEnd;
            if (covered && quietAfter.isQuiet())
                finish (now, Outcome::recorded);
            else if (now - noteOffTime >= durationOf (settings.tailLimit))
            {
                outcome.flags |= tailCut;
                finish (now, Outcome::recorded);
            }
            break;
        }
        case Step::notStarted:
        case Step::done:
            break;
    }
}

void PreviewTake::beginFlush (TimePoint now)
{
    output.sendPatch (flushPatch (recorded));
    flushTime = now;
    currentStep = Step::flushing;
}

void PreviewTake::abandon()
{
    if (currentStep == Step::done || currentStep == Step::notStarted)
        return;
    if (currentStep == Step::playing)
        output.noteOff (settings.phrase.note);
    currentStep = Step::done;
    outcome.outcome = Outcome::abandoned;
}

void PreviewTake::finish (TimePoint now, Outcome how)
{
    auto& timings = outcome.timings;
    const auto since = [] (TimePoint from, TimePoint to)
    { return from == TimePoint{} || to < from ? 0.0 : seconds (to - from); };
    timings.wait = since (startTime, flushTime);
    timings.flush = since (flushTime, dumpTime);
    timings.settle = since (dumpTime, noteOnTime);
    timings.phrase = since (noteOnTime, noteOffTime);
    timings.tail = since (noteOffTime, now);
    if (currentStep == Step::playing)
        output.noteOff (settings.phrase.note);
    currentStep = Step::done;
    outcome.outcome = how;
    if ((how == Outcome::recorded || how == Outcome::noAudio) && input.overruns() != overrunsAtStart)
        outcome.outcome = Outcome::overrun;
    if (outcome.outcome == Outcome::recorded)
        analyse();
}

void PreviewTake::analyse()
{
    const auto& audio = capture.samples();
    const double rate = capture.sampleRate();
    outcome.sampleRate = rate;
    const long long noteOnFrame = capture.frameAt (noteOnTime);
    const auto onset =
        AudioAnalysis::findOnset (audio.data(), audio.size(), rate, noteOnFrame, outcome.floorDb, settings.onset);
    if (!onset)
    {
        outcome.outcome = Outcome::noAudio;
        return;
    }
    const auto frames = [rate] (double secondsOf) { return static_cast<size_t> (std::lround (secondsOf * rate)); };
    const size_t begin = *onset - std::min (*onset, frames (settings.preRoll));
    const size_t lastLoud = AudioAnalysis::endOfLastLoudSample (
        audio.data(), audio.size(), *onset, settings.onset.thresholdDb (outcome.floorDb));
    const size_t end = std::min (audio.size(), lastLoud + frames (settings.postRoll));

    outcome.onsetOffset = static_cast<double> (static_cast<long long> (*onset) - noteOnFrame) / rate;
    outcome.peakDb = AudioAnalysis::peakDb (audio.data(), audio.size());
    if (AudioAnalysis::isClipped (audio.data() + begin, end - begin))
        outcome.flags |= clipped;
    outcome.audio.assign (audio.begin() + static_cast<std::ptrdiff_t> (begin),
                          audio.begin() + static_cast<std::ptrdiff_t> (end));
    AudioAnalysis::fadeOut (outcome.audio.data(), outcome.audio.size(), frames (settings.fadeOut));
    outcome.loudness = Loudness::measure (outcome.audio.data(), outcome.audio.size(), rate);
    outcome.gain = Loudness::gainTo (outcome.loudness, settings.targetLoudness, settings.peakLimit);
}
