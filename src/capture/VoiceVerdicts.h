#pragma once

#include <optional>
#include <string>
#include <vector>

/** What the voice health check concludes from its numbers: which note went
    to which voice, and for each voice how it compares with the others'
    median. Pure functions over figures, so every verdict is tested on
    numbers planted for it; VoiceCheck measures them. */
namespace VoiceVerdicts
{
/** What one single note of the rotation pass gave. */
struct NoteFigures
{
    bool sounded = false;
    double frequency = 0.0; // Hz, of the filter's whistle
    double levelDb = -140.0;
};

/** How the notes were dealt out: voice i played notes i, i + voices, i + 2 voices ... */
struct Rotation
{
    int voices = 0;         // 0 when no rotation fits the notes
    bool toldApart = false; // the voices differ enough to show it
    std::string text;       // what was found, in words
};

/** Tolerances within which two notes count as one voice's. */
struct Fingerprint
{
    double cents = 3.0;
    double db = 0.5;
};

/** Finds the smallest rotation (1 to 9 voices) in which every note matches
    the notes one rotation later. One voice fitting means the voices cannot
    be told apart; none fitting, that they do not take the notes in turn. */
Rotation findRotation (const std::vector<NoteFigures>& notes, const Fingerprint& tolerance = {});

/** The limits of a healthy voice, against the median of the voices. */
struct Limits
{
    double deadBelow = -20.0;   // dB
    double weakBelow = -3.0;    // dB
    double offTuneCents = 25.0; // at the middle of the two filter points
    double scalePercent = 5.0;  // the interval between the two points
    double cracklePerSecond = 2.0;
    double thumpAbove = -30.0; // dB against the median level
    double noiseAbove = -50.0; // dB against the median level
};

/** What was measured of one voice. */
struct VoiceFigures
{
    bool sounded = false;
    double levelDb = -140.0;           // dBFS
    double lowFrequency = 0.0;         // Hz at the first filter point; 0 when silent
    double highFrequency = 0.0;        // Hz at the second
    std::optional<int> resonanceOnset; // the VCF Res value where it starts to whistle
    double clicksPerSecond = 0.0;
    double noiseDb = -140.0; // dBFS with the resonance at 0
    double thumpDb = -140.0; // dBFS peak at the gate with the resonance at 0
};

enum class Fault
{
    dead,
    weak,
    offTune,
    offScale,
    crackle,
    thump,
    noisy
};

struct Verdict
{
    Fault fault;
    double value;  // as the text gives it
    double median; // what it was compared with
    std::string text;
};

struct VoiceResult
{
    int voice = 0; // from 1, in the order the voices took the notes
    VoiceFigures figures;
    double levelAgainstMedian = 0.0;        // dB
    double lowCents = 0.0, highCents = 0.0; // against the median voice
    double scaleError = 0.0;                // percent
    std::vector<Verdict> verdicts;
};

struct Report
{
    Rotation rotation;
    int chordVoices = 0; // how many voices the six-note chord sounds
    double medianLevelDb = -140.0;
    std::optional<int> medianResonanceOnset;
    std::vector<VoiceResult> voices; // empty when they cannot be told apart

    /** Every fault of every voice. */
    std::vector<std::pair<int, Fault>> faults() const;
    /** The report for a technician, a line per voice and a line per verdict. */
    std::string text() const;
    std::string json() const;
};

/** "dead", "weak", "off-tune", "off-scale", "crackle", "thump", "noisy". */
const char* faultName (Fault fault);

/** Judges each voice against the median of all. */
Report
judge (const Rotation& rotation, const std::vector<VoiceFigures>& voices, int chordVoices, const Limits& limits = {});
} // namespace VoiceVerdicts
