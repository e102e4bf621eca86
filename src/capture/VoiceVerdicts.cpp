#include "capture/VoiceVerdicts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace VoiceVerdicts
{
namespace
{
    double median (std::vector<double> values)
    {
        if (values.empty())
            return 0.0;
        std::sort (values.begin(), values.end());
        const size_t middle = values.size() / 2;
        return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
    }

    double cents (double frequency, double reference)
    {
        return frequency > 0.0 && reference > 0.0 ? 1200.0 * std::log2 (frequency / reference) : 0.0;
    }

    std::string number (double value, int decimals, bool sign = false)
    {
        // What rounds to zero reads as zero, never "-0.0".
        if (std::abs (value) < 0.5 * std::pow (10.0, -decimals))
            value = 0.0;
        char text[48];
        std::snprintf (text, sizeof (text), sign ? "%+.*f" : "%.*f", decimals, value);
        return text;
    }

    /** A JSON string: quotes, backslashes and control characters escaped. */
    std::string quoted (const std::string& text)
    {
        std::string out = "\"";
        for (const char c : text)
        {
            if (c == '"' || c == '\\')
                out += std::string ("\\") + c;
            else if (static_cast<unsigned char> (c) < 0x20)
            {
                char escape[8];
                std::snprintf (escape, sizeof (escape), "\\u%04x", c);
                out += escape;
            }
            else
                out += c;
        }
        return out + "\"";
    }

    /** Whether the notes `period` apart all match. */
    bool
    fits (const std::vector<NoteFigures>& notes, size_t period, double referenceFrequency, const Fingerprint& tolerance)
    {
        if (notes.size() < 2 * period)
            return false;
        for (size_t i = 0; i + period < notes.size(); ++i)
        {
            const auto& a = notes[i];
            const auto& b = notes[i + period];
            if (a.sounded != b.sounded)
                return false;
            if (!a.sounded)
                continue;
            const double apartCents =
                std::abs (cents (a.frequency, referenceFrequency) - cents (b.frequency, referenceFrequency));
            if (apartCents > tolerance.cents || std::abs (a.levelDb - b.levelDb) > tolerance.db)
                return false;
        }
        return true;
    }
} // namespace

const char* faultName (Fault fault)
{
    switch (fault)
    {
        case Fault::dead:
            return "dead";
        case Fault::weak:
            return "weak";
        case Fault::offTune:
            return "off-tune";
        case Fault::offScale:
            return "off-scale";
        case Fault::crackle:
            return "crackle";
        case Fault::thump:
            return "thump";
        case Fault::noisy:
            return "noisy";
    }
    return "";
}

Rotation findRotation (const std::vector<NoteFigures>& notes, const Fingerprint& tolerance)
{
    Rotation rotation;
    std::vector<double> frequencies;
    for (const auto& note : notes)
        if (note.sounded)
            frequencies.push_back (note.frequency);
    const double reference = median (frequencies);
    for (size_t period = 1; period <= 9; ++period)
        if (fits (notes, period, reference, tolerance))
        {
            rotation.voices = static_cast<int> (period);
            break;
        }
    if (rotation.voices == 0)
        rotation.text =
            "The voices do not take the notes in turn, so they cannot be told apart; the chord tells how many sound.";
    else if (rotation.voices == 1)
        rotation.text = "The voices sound alike within " + number (tolerance.cents, 0) + " cents and " +
                        number (tolerance.db, 1) + " dB, so they cannot be told apart; the chord tells how many sound.";
    else
    {
        rotation.toldApart = true;
        rotation.text = "The voices take the notes in turn, " + std::to_string (rotation.voices) +
                        " of them, told apart by their own pitch and level; voice 1 played the check's first note.";
    }
    return rotation;
}

Report judge (const Rotation& rotation, const std::vector<VoiceFigures>& voices, int chordVoices, const Limits& limits)
{
    Report report;
    report.rotation = rotation;
    report.chordVoices = chordVoices;
    std::vector<double> levels, lows, highs, intervals, onsets, clicks;
    for (const auto& voice : voices)
    {
        levels.push_back (voice.levelDb);
        clicks.push_back (voice.clicksPerSecond);
        if (voice.resonanceOnset)
            onsets.push_back (*voice.resonanceOnset);
        if (voice.sounded && voice.lowFrequency > 0.0 && voice.highFrequency > 0.0)
        {
            lows.push_back (voice.lowFrequency);
            highs.push_back (voice.highFrequency);
            intervals.push_back (cents (voice.highFrequency, voice.lowFrequency));
        }
    }
    report.medianLevelDb = median (levels);
    if (!onsets.empty())
        report.medianResonanceOnset = static_cast<int> (std::lround (median (onsets)));
    if (!rotation.toldApart)
        return report;

    const double medianLow = median (lows), medianHigh = median (highs), medianInterval = median (intervals);
    const double medianClicks = median (clicks);
    const std::string medianLevelText = "the median " + number (report.medianLevelDb, 1) + " dBFS";
    for (size_t i = 0; i < voices.size(); ++i)
    {
        VoiceResult result;
        result.voice = static_cast<int> (i) + 1;
        result.figures = voices[i];
        const auto& figures = voices[i];
        result.levelAgainstMedian = figures.levelDb - report.medianLevelDb;
        const auto add = [&result] (Fault fault, double value, double against, std::string text) {
            result.verdicts.push_back ({fault, value, against, std::move (text)});
        };

        if (result.levelAgainstMedian < limits.deadBelow || !figures.sounded)
            add (Fault::dead,
                 result.levelAgainstMedian,
                 report.medianLevelDb,
                 "dead: level " + number (result.levelAgainstMedian, 1, true) + " dB against " + medianLevelText +
                     " (dead below " + number (limits.deadBelow, 0) + " dB)");
        else
        {
            if (result.levelAgainstMedian < limits.weakBelow)
                add (Fault::weak,
                     result.levelAgainstMedian,
                     report.medianLevelDb,
                     "weak: level " + number (result.levelAgainstMedian, 1, true) + " dB against " + medianLevelText +
                         " (weak below " + number (limits.weakBelow, 0) + " dB)");
            result.lowCents = cents (figures.lowFrequency, medianLow);
            result.highCents = cents (figures.highFrequency, medianHigh);
            // Tuning is judged between the two points, so a scale fault is not taken for a tuning fault too.
            const double middle = (result.lowCents + result.highCents) / 2.0;
            if (std::abs (middle) > limits.offTuneCents)
                add (Fault::offTune,
                     middle,
                     0.0,
                     "off-tune: filter " + number (middle, 1, true) +
                         " cents from the median voice between the two points (" + number (result.lowCents, 1, true) +
                         " at " + number (medianLow, 1) + " Hz, " + number (result.highCents, 1, true) + " at " +
                         number (medianHigh, 1) + " Hz; off beyond " + number (limits.offTuneCents, 0) + " cents)");
            if (medianInterval > 0.0 && figures.lowFrequency > 0.0 && figures.highFrequency > 0.0)
                result.scaleError =
                    (cents (figures.highFrequency, figures.lowFrequency) / medianInterval - 1.0) * 100.0;
            if (std::abs (result.scaleError) > limits.scalePercent)
                add (Fault::offScale,
                     result.scaleError,
                     medianInterval,
                     "off-scale: the filter moves " + number (result.scaleError, 1, true) +
                         " % against the median voice's " + number (medianInterval, 0) +
                         " cents between the two points (off beyond " + number (limits.scalePercent, 0) + " %)");
            if (figures.clicksPerSecond > limits.cracklePerSecond)
                add (Fault::crackle,
                     figures.clicksPerSecond,
                     medianClicks,
                     "crackle: " + number (figures.clicksPerSecond, 1) + " clicks a second against the median " +
                         number (medianClicks, 1) + " (crackle above " + number (limits.cracklePerSecond, 0) + ")");
        }
        const double thump = figures.thumpDb - report.medianLevelDb;
        // A pulse, standing out of the voice's own noise (whose peaks are no thump).
        if (thump > limits.thumpAbove && figures.thumpDb - figures.noiseDb > 15.0)
            add (Fault::thump,
                 thump,
                 report.medianLevelDb,
                 "thump: " + number (thump, 1, true) + " dB at the gate with the resonance at 0, against " +
                     medianLevelText + " (a thump above " + number (limits.thumpAbove, 0) + " dB)");
        const double noise = figures.noiseDb - report.medianLevelDb;
        if (noise > limits.noiseAbove)
            add (Fault::noisy,
                 noise,
                 report.medianLevelDb,
                 "noisy: " + number (noise, 1, true) + " dB of noise with the resonance at 0, against " +
                     medianLevelText + " (noisy above " + number (limits.noiseAbove, 0) + " dB)");
        report.voices.push_back (std::move (result));
    }
    return report;
}

std::vector<std::pair<int, Fault>> Report::faults() const
{
    std::vector<std::pair<int, Fault>> all;
    for (const auto& voice : voices)
        for (const auto& verdict : voice.verdicts)
            all.emplace_back (voice.voice, verdict.fault);
    return all;
}

std::string Report::text() const
{
    std::string text = "Voice health check\n" + rotation.text + "\n";
    text +=
        "The six-note chord sounds " + std::to_string (chordVoices) + (chordVoices == 1 ? " voice" : " voices") + ".\n";
    text += "Median level " + number (medianLevelDb, 1) + " dBFS";
    if (medianResonanceOnset)
        text += "; the median voice starts to whistle at VCF Res " + std::to_string (*medianResonanceOnset);
    text += ".\n";
    for (const auto& voice : voices)
    {
        const auto& f = voice.figures;
        text += "Voice " + std::to_string (voice.voice) + ": level " + number (voice.levelAgainstMedian, 1, true) +
                " dB, filter " + number (voice.lowCents, 1, true) + " / " + number (voice.highCents, 1, true) +
                " cents, scale " + number (voice.scaleError, 1, true) + " %, resonance from " +
                (f.resonanceOnset ? std::to_string (*f.resonanceOnset) : std::string ("-")) + ", " +
                number (f.clicksPerSecond, 1) + " clicks/s, noise " + number (f.noiseDb - medianLevelDb, 1) +
                " dB, thump " + number (f.thumpDb - medianLevelDb, 1) +
                " dB: " + (voice.verdicts.empty() ? "healthy" : "see below") + "\n";
        for (const auto& verdict : voice.verdicts)
            text += "  " + verdict.text + "\n";
    }
    if (!voices.empty() && faults().empty())
        text += "Every voice is healthy.\n";
    return text;
}

std::string Report::json() const
{
    std::string json =
        "{\"voicesInRotation\": " + std::to_string (rotation.voices) +
        ", \"toldApart\": " + (rotation.toldApart ? "true" : "false") + ", \"rotation\": " + quoted (rotation.text) +
        ", \"chordVoices\": " + std::to_string (chordVoices) + ", \"medianLevelDb\": " + number (medianLevelDb, 2) +
        ", \"medianResonanceOnset\": " + (medianResonanceOnset ? std::to_string (*medianResonanceOnset) : "null") +
        ", \"voices\": [";
    for (size_t i = 0; i < voices.size(); ++i)
    {
        const auto& voice = voices[i];
        const auto& f = voice.figures;
        json += std::string (i == 0 ? "" : ", ") + "{\"voice\": " + std::to_string (voice.voice) +
                ", \"levelDb\": " + number (f.levelDb, 2) +
                ", \"levelAgainstMedian\": " + number (voice.levelAgainstMedian, 2) +
                ", \"lowCents\": " + number (voice.lowCents, 2) + ", \"highCents\": " + number (voice.highCents, 2) +
                ", \"scaleErrorPercent\": " + number (voice.scaleError, 2) +
                ", \"resonanceOnset\": " + (f.resonanceOnset ? std::to_string (*f.resonanceOnset) : "null") +
                ", \"clicksPerSecond\": " + number (f.clicksPerSecond, 2) + ", \"noiseDb\": " + number (f.noiseDb, 2) +
                ", \"thumpDb\": " + number (f.thumpDb, 2) + ", \"verdicts\": [";
        for (size_t j = 0; j < voice.verdicts.size(); ++j)
        {
            const auto& verdict = voice.verdicts[j];
            json += std::string (j == 0 ? "" : ", ") + "{\"fault\": " + quoted (faultName (verdict.fault)) +
                    ", \"value\": " + number (verdict.value, 2) + ", \"median\": " + number (verdict.median, 2) +
                    ", \"text\": " + quoted (verdict.text) + "}";
        }
        json += "]}";
    }
    return json + "]}";
}
} // namespace VoiceVerdicts
