#pragma once

#include <cstddef>
#include <optional>
#include <vector>

/** Levels, onsets and the trimming of a take, as pure functions over one
    channel of samples (-1 to 1), so every rule is tested on buffers made up
    for it. Levels are in dBFS: a full-scale peak is 0 dB. */
namespace AudioAnalysis
{
/** What a level of digital silence reads, so that no level is minus infinity. */
constexpr double silenceDb = -140.0;

double toDb (double amplitude);
double toAmplitude (double db);

/** The largest absolute sample, in dB. */
double peakDb (const float* samples, size_t count);
/** The root mean square, in dB. */
double rmsDb (const float* samples, size_t count);

/** The level of the input with nothing playing: the 20th percentile of the
    RMS levels of its 10 ms blocks, so a click or two does not raise it. */
double noiseFloorDb (const float* samples, size_t count, double sampleRate);

/** Where a sound starts: the first of `blocksInARow` blocks of `blockSeconds`
    whose peak is at or above the threshold, searched from `searchBefore`
    before the note-on to `searchAfter` after it. */
struct OnsetRule
{
    double marginOverFloor = 20.0;  // dB
    double lowestThreshold = -70.0; // dBFS: the threshold is never lower
    double blockSeconds = 0.001;
    int blocksInARow = 3;
    double searchBefore = 0.050;
    double searchAfter = 0.300;

    double thresholdDb (double floorDb) const;
};

/** The frame where the sound starts (the first sample of the first loud
    block that reaches the threshold), or nothing when there is no sound in
    the search window. */
std::optional<size_t> findOnset (const float* samples,
                                 size_t count,
                                 double sampleRate,
                                 long long noteOnFrame,
                                 double floorDb,
                                 const OnsetRule& rule = {});

/** The frame just after the last sample from `from` on that reaches
    `thresholdDb`; `from` when there is none. */
size_t endOfLastLoudSample (const float* samples, size_t count, size_t from, double thresholdDb);

/** The pitch of a steady tone by its rising zero crossings, in Hz; 0 for fewer than three. */
double frequency (const float* samples, size_t count, double sampleRate);

/** Clicks in a steady tone: samples whose second difference stands far out
    of the tone's own (20 times its median), at most one every 2 ms. */
int countClicks (const float* samples, size_t count, double sampleRate);

/** The amplitude of the strongest sine within `cents` of `frequency`, in dB
    RMS, by a Hann-windowed DFT in 5-cent steps. */
double toneLevelDb (const float* samples, size_t count, double sampleRate, double frequency, double cents);

/** Whether the signal hit full scale: `run` samples in a row at 0.999 or more. */
bool isClipped (const float* samples, size_t count, int run = 3);

/** A linear fade to zero over the last `fadeFrames` samples. */
void fadeOut (float* samples, size_t count, size_t fadeFrames);

/** Tells when the input has been quiet long enough: the RMS of the last
    `window` seconds below the threshold, without a break, for `span`
    seconds. Fed as the audio comes, in any sizes; judged every 1 ms. */
class QuietWatch
{
public:
    QuietWatch (double sampleRate, double thresholdDb, double window, double span);

    void feed (const float* samples, size_t count);
    bool isQuiet() const { return quietFrames >= spanFrames; }

private:
    const double thresholdPower;
    const size_t windowFrames, stepFrames, spanFrames;
    std::vector<float> ring; // the window's samples
    size_t ringPosition = 0, filled = 0, sinceStep = 0;
    double powerSum = 0.0;
    size_t quietFrames = 0;
    bool wasQuiet = false;
};
} // namespace AudioAnalysis
