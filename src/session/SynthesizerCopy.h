#pragma once

#include "patch/PatchModel.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>

/** What the synthesizer holds, as far as an editor knows: the sound the
    editor last sent, but for the bytes heard from the synthesizer since (its
    own panel moved, a memory chosen on it) and the bytes neither sent nor
    heard since the editor started without sending. Plain record; the edit
    session keeps it current where it sends and where it hears. */
class SynthesizerCopy
{
public:
    using Bytes = std::array<uint8_t, PatchBits::numBytes>;

    /** Nothing is known: what the synthesizer plays was set before this editor started. */
    void forget();
    /** A whole dump went out: the synthesizer holds the editor's sound. */
    void sent();
    /** One byte went out as a parameter change. */
    void sent (int byteIndex);
    /** A dump came from the synthesizer: it now plays that sound. */
    void heard (const Bytes& sound);
    /** A parameter change came from the synthesizer. */
    void heard (int byteIndex, uint8_t value);

    bool knows (int byteIndex) const;
    /** The synthesizer's bytes: those heard, the others as the editor last sent them
        (`sentSound`; an unknown byte is taken from there too). */
    Bytes sound (const Bytes& sentSound) const;

private:
    std::array<std::optional<uint8_t>, PatchBits::numBytes> heardBytes{};
    std::bitset<PatchBits::numBytes> unknown;
};
