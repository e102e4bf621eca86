#pragma once

#include "explore/SoundControls.h"
#include "patch/LibraryModel.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/** New sounds from one to three parents: a crossover (each control from one
    parent, whole sections together by default) followed by a mutation of a
    chosen amount. Locked sections stay the first parent's. Everything is
    drawn from a SeededRandom, so a seed gives the same children everywhere. */
namespace Breeding
{
constexpr size_t maxParents = 3;

enum class Amount
{
    subtle,   // faders move by at most 8, a switch-type control changes with probability 0.05
    moderate, // at most 24, 0.15
    wild      // any value: unlocked sections are drawn anew
};

struct Limits
{
    int maxStep;        // a fader's largest move; 127 moves it anywhere
    int changePerMille; // the chance a switch-type control changes
};
Limits limitsOf (Amount amount);

const char* amountName (Amount amount); // "Subtle", "Moderate", "Wild"
/** An amount by its name, any letter case. */
std::optional<Amount> amountFromName (const std::string& name);

struct Options
{
    Amount amount = Amount::subtle;
    /** Each control from one parent, or whole sections from one parent each. */
    bool wholeSections = true;
    std::array<bool, SoundControls::sectionCount> locked{};

    bool isLocked (SoundControls::Section section) const { return locked[static_cast<size_t> (section)]; }
    void lock (SoundControls::Section section, bool on) { locked[static_cast<size_t> (section)] = on; }
};

/** Child number `index` (0, 1, ...) of the parents by the seed; the same
    whatever other children are made, and only values a patch may hold. No
    parents give an Init sound's bytes; more than maxParents use the first three. */
SoundControls::Bytes
child (const std::vector<SoundControls::Bytes>& parents, const Options& options, uint64_t seed, size_t index);

/** Children 0 to count - 1. */
std::vector<SoundControls::Bytes>
children (const std::vector<SoundControls::Bytes>& parents, const Options& options, uint64_t seed, size_t count);

/** The name a line of bred sounds goes by: the first parent's, less the
    " b2" a name given to a bred sound ends in ("Brass Set 1"). */
std::string lineName (const std::string& firstParentName);
/** A name for a bred sound kept in the library: the line's name and " b"
    with the first number the library has not used ("Brass Set 1 b2"),
    made unique as every name is. */
std::string keptName (const LibraryModel& library, const std::string& line);
} // namespace Breeding
