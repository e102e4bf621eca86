#include "session/SynthesizerCopy.h"

namespace
{
bool isByte (int byteIndex)
{
    return byteIndex >= 0 && byteIndex < PatchBits::numBytes;
}
} // namespace

void SynthesizerCopy::forget()
{
    heardBytes.fill (std::nullopt);
    unknown.set();
}

void SynthesizerCopy::sent()
{
    heardBytes.fill (std::nullopt);
    unknown.reset();
}

void SynthesizerCopy::sent (int byteIndex)
{
    if (!isByte (byteIndex))
        return;
    heardBytes[static_cast<size_t> (byteIndex)].reset();
    unknown.reset (static_cast<size_t> (byteIndex));
}

void SynthesizerCopy::heard (const Bytes& sound)
{
    for (size_t i = 0; i < sound.size(); ++i)
        heardBytes[i] = sound[i];
    unknown.reset();
}

void SynthesizerCopy::heard (int byteIndex, uint8_t value)
{
    if (!isByte (byteIndex))
        return;
    heardBytes[static_cast<size_t> (byteIndex)] = value;
    unknown.reset (static_cast<size_t> (byteIndex));
}

bool SynthesizerCopy::knows (int byteIndex) const
{
    return isByte (byteIndex) && !unknown.test (static_cast<size_t> (byteIndex));
}

SynthesizerCopy::Bytes SynthesizerCopy::sound (const Bytes& sentSound) const
{
    Bytes bytes = sentSound;
    for (size_t i = 0; i < bytes.size(); ++i)
        if (heardBytes[i])
            bytes[i] = *heardBytes[i];
    return bytes;
}
