#pragma once

#include "patch/ChangeHook.h"

#include <array>
#include <cstdint>
#include <random>
#include <string>

/** The bit fields of the two switch bytes of a patch. Every reader of the DCO
    range, the chorus and the HPF goes through these, so values the program
    never writes itself (range bits 0 or 3, both chorus bits set) read the same
    everywhere. */
namespace PatchBits
{
constexpr int numBytes = 18;
constexpr int numLevelBytes = 16;
constexpr int dcoFlagsIndex = 16;
constexpr int switchesIndex = 17;

// DCO flags byte
constexpr uint8_t rangeMask = 0x07;
constexpr uint8_t range16 = 0x01;
constexpr uint8_t range8 = 0x02;
constexpr uint8_t range4 = 0x04;
constexpr uint8_t pulseBit = 0x08;
constexpr uint8_t sawBit = 0x10;
constexpr uint8_t chorusMask = 0x60;
constexpr uint8_t chorusOffBits = 0x20;
constexpr uint8_t chorusIBits = 0x40;
constexpr uint8_t chorusIIBits = 0x00;

// switches byte
constexpr uint8_t pwmManBit = 0x01;
constexpr uint8_t vcfInvertBit = 0x02;
constexpr uint8_t vcaGateBit = 0x04;
constexpr uint8_t hpfMask = 0x18;
constexpr int hpfShift = 3;

// What each byte may hold; anything else would be a status byte on a MIDI line
// or a bit the instrument does not define.
constexpr uint8_t maxLevel = 0x7F;
constexpr uint8_t dcoFlagsDefinedBits = rangeMask | pulseBit | sawBit | chorusMask;
constexpr uint8_t switchesDefinedBits = pwmManBit | vcfInvertBit | vcaGateBit | hpfMask;

/** A byte as it may be stored and sent: a level above 127 becomes 127, the
    two switch bytes keep only their defined bits. */
inline uint8_t correctedValue (int index, uint8_t value)
{
    if (index == dcoFlagsIndex)
        return static_cast<uint8_t> (value & dcoFlagsDefinedBits);
    if (index == switchesIndex)
        return static_cast<uint8_t> (value & switchesDefinedBits);
    return value > maxLevel ? maxLevel : value;
}

/** Applies correctedValue to every byte; returns how many bytes changed. */
int correctValues (std::array<uint8_t, numBytes>& data);

enum class Chorus
{
    off,
    one,
    two
};

/** 16, 8 or 4 for the footage shown, or 0 when the range bits show none.
    Range bits of 0 count as 1 and so read as 16'. */
inline int rangeFootage (uint8_t dcoFlags)
{
    const int bits = dcoFlags & rangeMask;
    const int footage = 16 / (bits > 1 ? bits : 1);
    return (footage == 16 || footage == 8 || footage == 4) ? footage : 0;
}

/** The flags byte with its range bits replaced by one footage's single bit. */
inline uint8_t withRangeBits (uint8_t dcoFlags, uint8_t rangeBit)
{
    return static_cast<uint8_t> ((dcoFlags & ~rangeMask) | (rangeBit & rangeMask));
}

/** I when bit 6 alone is set, II when both are clear, off otherwise. */
inline Chorus chorus (uint8_t dcoFlags)
{
    const int bits = dcoFlags & chorusMask;
    if (bits == chorusIBits)
        return Chorus::one;
    if (bits == chorusIIBits)
        return Chorus::two;
    return Chorus::off;
}

inline uint8_t withChorus (uint8_t dcoFlags, Chorus mode)
{
    const uint8_t bits = mode == Chorus::off ? chorusOffBits : mode == Chorus::one ? chorusIBits : chorusIIBits;
    return static_cast<uint8_t> ((dcoFlags & ~chorusMask) | bits);
}

/** HPF fader position 0 to 3; the byte stores 3 minus the position. */
inline int hpfPosition (uint8_t switches)
{
    return 3 - ((switches & hpfMask) >> hpfShift);
}

/** The switches byte with the HPF set to a position; a position outside 0 to 2
    leaves both bits clear (position 3). */
inline uint8_t withHpfPosition (uint8_t switches, int position)
{
    const int bits = (position >= 0 && position <= 2) ? 3 - position : 0;
    return static_cast<uint8_t> ((switches & ~hpfMask) | (bits << hpfShift));
}

inline bool isSet (uint8_t byte, uint8_t mask)
{
    return (byte & mask) != 0;
}

inline uint8_t withBit (uint8_t byte, uint8_t mask, bool set)
{
    return static_cast<uint8_t> (set ? (byte | mask) : (byte & ~mask));
}
} // namespace PatchBits

/** One Juno-106 sound: the 18 bytes of its patch dump, a name and an optional
    change hook. A plain value type; two patches are the same sound when their
    bytes are equal (see sameSound). */
struct PatchModel
{
    PatchModel();

    /** Replaces the sound with the Init sound, notifying after each change. */
    void init();

    /** Moves every fader by a small random step and, rarely, changes the range,
        waveforms, chorus and switches. The name is never changed. */
    void randomize();

    /** The evolve mutation itself, drawing every random value from the given
        engine in a fixed order; randomize() hands it a freshly seeded one. */
    void evolve (std::mt19937& engine);

    /** PatchBits::correctValues on this patch, for bytes coming in from a file
        or a message; notifies once when anything changed. Returns how many
        bytes were corrected. */
    int correctValues();

    bool sameSound (const PatchModel& other) const { return data == other.data; }

    std::array<uint8_t, PatchBits::numBytes> data{};
    std::string name{"Init"};
    ChangeHook onChange;

private:
    friend struct LibraryModel;

    /** Left by LibraryModel on the first patch of a list it has put in name
        order, so it can tell its own list from one replaced behind its back
        without comparing every name. A copy is a new patch and starts
        unmarked; a move takes the mark along and leaves none behind. */
    struct OrderMark
    {
        OrderMark() = default;
        OrderMark (const OrderMark&) noexcept {}
        OrderMark& operator= (const OrderMark&) noexcept
        {
            value = 0;
            return *this;
        }
        OrderMark (OrderMark&& other) noexcept : value (other.value) { other.value = 0; }
        OrderMark& operator= (OrderMark&& other) noexcept
        {
            value = other.value;
            other.value = 0;
            return *this;
        }

        uint64_t value = 0;
    };

    OrderMark orderMark;

    void notify() const
    {
        if (onChange)
            onChange();
    }
};
