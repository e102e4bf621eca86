#include "capture/VoiceCheck.h"

#include "capture/AudioAnalysis.h"
#include "control/PanelControls.h"

#include <algorithm>
#include <cmath>

namespace
{
AudioInput::Clock::duration durationOf (double seconds)
{
    return std::chrono::duration_cast<AudioInput::Clock::duration> (std::chrono::duration<double> (seconds));
}

double median (std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort (values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

constexpr double settleAfterPatch = 0.3; // seconds before the first note
constexpr double tailAfterLast = 0.4;    // seconds recorded after the last note-off
constexpr const char* noAudio = "No audio from the synthesizer: check the cable to the input and the input's level";
} // namespace

PatchModel VoiceCheck::testPatch (uint8_t vcfFreq, uint8_t resonance, uint8_t keyboardFollow)
{
    PatchModel patch;
    patch.name = "Voice check";
    patch.data.fill (0);
    const auto set = [&patch] (PanelControl control, uint8_t value)
    { patch.data[static_cast<size_t> (control)] = value; };
    set (PanelControl::vcfFreq, vcfFreq);
    set (PanelControl::vcfRes, resonance);
    set (PanelControl::vcfKybd, keyboardFollow);
    set (PanelControl::vcaLevel, 100);
    set (PanelControl::sustain, 127);
    // Range 8', no wave, chorus off; VCA Gate, HPF flat.
    patch.data[PatchBits::dcoFlagsIndex] = PatchBits::range8 | PatchBits::chorusOffBits;
    patch.data[PatchBits::switchesIndex] = PatchBits::withHpfPosition (PatchBits::vcaGateBit, 1);
    return patch;
}

VoiceCheck::Settings VoiceCheck::quickSettings()
{
    Settings quick;
    quick.notesOnly = true;
    quick.rotationNotes = 12;
    quick.hold = 0.3;
    return quick;
}

VoiceCheck::VoiceCheck (AudioInput& audioInput, SynthOutput& synthOutput, Settings checkSettings)
    : input (audioInput), output (synthOutput), settings (std::move (checkSettings))
{
    plan();
}

VoiceCheck::~VoiceCheck()
{
    stop();
}

size_t VoiceCheck::add (Action::Kind kind, double at, const PatchModel& sent, int note)
{
    actions.push_back ({kind, at, sent, note, {}});
    return actions.size() - 1;
}

VoiceCheck::Note VoiceCheck::addNote (int key, double at, double hold)
{
    const size_t on = add (Action::noteOn, at, {}, key);
    const size_t off = add (Action::noteOff, at + hold, {}, key);
    return {on, off};
}

void VoiceCheck::plan()
{
    const auto& s = settings;
    double t = 0.0;
    add (Action::patch, t, testPatch (s.lowFreq, s.resonance, 0));
    t += settleAfterPatch;
    // Single notes on different keys, which the voices take in turn.
    for (int i = 0; i < s.rotationNotes; ++i, t += s.hold + s.gap)
        rotationNotes.push_back (addNote (48 + i, t, s.hold));
    if (s.notesOnly)
    {
        endsAt = t + tailAfterLast;
        return;
    }
    add (Action::patch, t, testPatch (s.highFreq, s.resonance, 0));
    t += s.gap;
    for (int i = 0; i < 6; ++i, t += s.hold + s.gap)
        highNotes.push_back (addNote (66 + i, t, s.hold));
    // The resonance rises on a held note, once a voice.
    for (int i = 0; i < 6; ++i)
    {
        Ramp ramp;
        add (Action::patch, t, testPatch (s.lowFreq, s.rampFrom, 0));
        t += s.gap;
        const size_t on = add (Action::noteOn, t, {}, 48 + i);
        ramp.steps.push_back ({on, s.rampFrom});
        for (int resonance = s.rampFrom + s.rampStep; resonance <= 127; resonance += s.rampStep)
        {
            t += s.rampStepSeconds;
            ramp.steps.push_back (
                {add (Action::patch, t, testPatch (s.lowFreq, static_cast<uint8_t> (resonance), 0)), resonance});
        }
        t += s.rampStepSeconds;
        ramp.note = {on, add (Action::noteOff, t, {}, 48 + i)};
        ramps.push_back (ramp);
        t += s.gap;
    }
    // With the resonance at 0 nothing should sound.
    add (Action::patch, t, testPatch (s.lowFreq, 0, 0));
    t += s.gap;
    for (int i = 0; i < 6; ++i, t += s.thumpHold + s.gap)
        thumpNotes.push_back (addNote (54 + i, t, s.thumpHold));
    // Each voice of the chord whistles at its own key's pitch.
    add (Action::patch, t, testPatch (s.lowFreq, s.resonance, 127));
    t += s.gap;
    for (const int key : s.chord)
        chordNotes.push_back ({add (Action::noteOn, t, {}, key), 0});
    t += s.chordHold;
    for (size_t i = 0; i < chordNotes.size(); ++i)
        chordNotes[i].off = add (Action::noteOff, t, {}, s.chord[i]);
    endsAt = t + tailAfterLast;
    // Every action was added in the order of its time, which the check keeps.
}

int VoiceCheck::notesPlayed() const
{
    int notes = 0;
    for (size_t i = 0; i < next; ++i)
        notes += actions[i].kind == Action::noteOn ? 1 : 0;
    return notes;
}

double VoiceCheck::seconds() const
{
    return endsAt;
}

double VoiceCheck::progress (TimePoint now) const
{
    if (currentPhase == Phase::setUp)
        return 0.0;
    if (currentPhase == Phase::finished)
        return 1.0;
    return std::clamp (std::chrono::duration<double> (now - startTime).count() / endsAt, 0.0, 1.0);
}

void VoiceCheck::start (TimePoint now)
{
    if (currentPhase != Phase::setUp)
        return;
    startTime = now;
    capture = std::make_unique<CaptureTape> (input);
    currentPhase = Phase::running;
    tick (now);
}

void VoiceCheck::tick (TimePoint now)
{
    if (currentPhase != Phase::running)
        return;
    capture->pull();
    const double elapsed = std::chrono::duration<double> (now - startTime).count();
    for (; next < actions.size() && actions[next].at <= elapsed; ++next)
    {
        auto& action = actions[next];
        action.done = now;
        switch (action.kind)
        {
            case Action::patch:
                output.sendPatch (action.sent);
                break;
            case Action::noteOn:
                output.noteOn (action.note);
                break;
            case Action::noteOff:
                output.noteOff (action.note);
                break;
        }
    }
    const bool covered = capture->hasStarted() && capture->end() >= startTime + durationOf (endsAt);
    if (next == actions.size() && (covered || elapsed > endsAt + 2.0))
    {
        analyse();
        currentPhase = Phase::finished;
        if (onChange)
            onChange();
    }
}

void VoiceCheck::stop()
{
    if (currentPhase != Phase::running)
        return;
    // Let go of every note that is on and not yet off.
    for (size_t i = 0; i < next; ++i)
        if (actions[i].kind == Action::noteOn)
        {
            bool released = false;
            for (size_t j = i + 1; j < next && !released; ++j)
                released = actions[j].kind == Action::noteOff && actions[j].note == actions[i].note;
            if (!released)
                output.noteOff (actions[i].note);
        }
    currentPhase = Phase::stopped;
    if (onChange)
        onChange();
}

void VoiceCheck::analyse()
{
    using namespace VoiceVerdicts;
    const auto& audio = capture->samples();
    const double rate = capture->sampleRate();
    const auto frameOf = [&] (size_t action, double plusSeconds)
    {
        const long long frame = capture->frameAt (actions[action].done) + std::llround (plusSeconds * rate);
        return static_cast<size_t> (std::clamp (frame, 0LL, static_cast<long long> (audio.size())));
    };
    const auto span = [&] (size_t from, size_t to)
    { return std::make_pair (audio.data() + from, to > from ? to - from : 0); };

    // The floor from the quiet before the first note, the latency from the rotation's onsets.
    const size_t quietFrom = frameOf (0, 0.05), quietTo = frameOf (0, settleAfterPatch - 0.02);
    const double floorDb =
        AudioAnalysis::noiseFloorDb (audio.data() + quietFrom, quietTo > quietFrom ? quietTo - quietFrom : 0, rate);
    const AudioAnalysis::OnsetRule onsetRule;
    std::vector<double> onsets;
    for (const auto& note : rotationNotes)
        if (const auto onset = AudioAnalysis::findOnset (
                audio.data(), audio.size(), rate, capture->frameAt (actions[note.on].done), floorDb))
            onsets.push_back (
                static_cast<double> (static_cast<long long> (*onset) - capture->frameAt (actions[note.on].done)) /
                rate);
    if (onsets.empty())
    {
        why = noAudio;
        result = judge (Rotation{}, {}, 0, settings.limits);
        return;
    }
    const double latency = std::max (0.0, median (onsets));
    const double soundedDb = onsetRule.thresholdDb (floorDb);

    struct Steady
    {
        NoteFigures figures;
        int clicks = 0;
        double seconds = 0.0;
    };
    // A held note once it has settled: its pitch, level and clicks.
    const auto steady = [&] (const Note& note)
    {
        Steady measured;
        const auto [samples, count] = span (frameOf (note.on, latency + 0.08), frameOf (note.off, latency));
        measured.figures.levelDb = AudioAnalysis::rmsDb (samples, count);
        measured.figures.sounded = measured.figures.levelDb >= soundedDb;
        measured.figures.frequency = measured.figures.sounded ? AudioAnalysis::frequency (samples, count, rate) : 0.0;
        measured.clicks = measured.figures.sounded ? AudioAnalysis::countClicks (samples, count, rate) : 0;
        measured.seconds = static_cast<double> (count) / rate;
        return measured;
    };

    std::vector<Steady> rotationFigures;
    std::vector<NoteFigures> notes;
    for (const auto& note : rotationNotes)
    {
        rotationFigures.push_back (steady (note));
        notes.push_back (rotationFigures.back().figures);
    }
    const Rotation rotation = findRotation (notes, settings.fingerprint);

    // The chord: each voice whistles at its key's pitch (the keyboard follows fully).
    std::vector<double> frequencies;
    for (const auto& figures : notes)
        if (figures.sounded)
            frequencies.push_back (figures.frequency);
    const double centre = median (frequencies);
    centreHz = centre;
    std::vector<double> levels;
    for (const auto& figures : notes)
        levels.push_back (figures.levelDb);
    const double medianLevel = median (levels);
    int chordVoices = 0;
    if (!chordNotes.empty())
    {
        const auto [samples, count] =
            span (frameOf (chordNotes.front().on, latency + 0.1), frameOf (chordNotes.front().off, latency));
        for (const int key : settings.chord)
        {
            const double expected = centre * std::pow (2.0, (key - 60) / 12.0);
            if (AudioAnalysis::toneLevelDb (samples, count, rate, expected, 60.0) >= medianLevel - 12.0)
                ++chordVoices;
        }
    }
    if (!rotation.toldApart)
    {
        result = judge (rotation, {}, chordVoices, settings.limits);
        result.medianLevelDb = medianLevel;
        return;
    }

    // Each later note went to the voice the rotation gives it, counting on from the rotation's notes.
    const auto voices = static_cast<size_t> (rotation.voices);
    std::vector<VoiceFigures> figures (voices);
    std::vector<int> clicks (voices, 0);
    std::vector<double> heard (voices, 0.0), levelSum (voices, 0.0), lowSum (voices, 0.0);
    std::vector<int> lowCount (voices, 0), noteCount (voices, 0);
    for (size_t i = 0; i < rotationFigures.size(); ++i)
    {
        const size_t voice = i % voices;
        const auto& measured = rotationFigures[i];
        levelSum[voice] += measured.figures.levelDb;
        ++noteCount[voice];
        clicks[voice] += measured.clicks;
        heard[voice] += measured.seconds;
        if (measured.figures.sounded)
        {
            figures[voice].sounded = true;
            lowSum[voice] += measured.figures.frequency;
            ++lowCount[voice];
        }
    }
    for (size_t v = 0; v < voices; ++v)
    {
        figures[v].levelDb = levelSum[v] / std::max (1, noteCount[v]);
        figures[v].lowFrequency = lowCount[v] > 0 ? lowSum[v] / lowCount[v] : 0.0;
        figures[v].clicksPerSecond = heard[v] > 0.0 ? clicks[v] / heard[v] : 0.0;
    }
    size_t played = rotationNotes.size();
    for (const auto& note : highNotes)
    {
        const auto measured = steady (note);
        if (measured.figures.sounded)
            figures[played % voices].highFrequency = measured.figures.frequency;
        ++played;
    }
    for (const auto& ramp : ramps)
    {
        auto& voice = figures[played++ % voices];
        // Where the whistle reaches within 20 dB of the voice's own level. Each
        // step is heard in its later half: a change of a parameter need not
        // take as long to be heard as a note does.
        for (size_t step = 0; step < ramp.steps.size(); ++step)
        {
            const size_t to = step + 1 < ramp.steps.size() ? ramp.steps[step + 1].first : ramp.note.off;
            const auto [samples, count] = span (
                frameOf (ramp.steps[step].first, latency + settings.rampStepSeconds / 2.0), frameOf (to, latency));
            if (voice.sounded && AudioAnalysis::rmsDb (samples, count) >= voice.levelDb - 20.0)
            {
                voice.resonanceOnset = ramp.steps[step].second;
                break;
            }
        }
    }
    for (const auto& note : thumpNotes)
    {
        auto& voice = figures[played++ % voices];
        const auto [all, allCount] = span (frameOf (note.on, 0.0), frameOf (note.off, latency + 0.05));
        voice.thumpDb = AudioAnalysis::peakDb (all, allCount);
        // The noise once a thump has died away: the quieter part of the held gate.
        const auto [held, heldCount] = span (frameOf (note.on, latency + 0.05), frameOf (note.off, latency));
        voice.noiseDb = AudioAnalysis::noiseFloorDb (held, heldCount, rate);
    }
    result = judge (rotation, figures, chordVoices, settings.limits);
}
