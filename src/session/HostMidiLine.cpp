#include "session/HostMidiLine.h"

#include "midi/protocol/JunoMessages.h"

#include <algorithm>

HostMidiLine::HostMidiLine()
{
    const PatchModel init;
    for (size_t i = 0; i < wanted.size(); ++i)
        wanted[i] = PatchBits::correctedValue (static_cast<int> (i), init.data[i]);
    lastSent.fill (-1);
}

//==============================================================================
// Any thread but the audio thread

void HostMidiLine::post (int byteIndex, uint8_t value, uint8_t bits, bool send)
{
    if (byteIndex < 0 || byteIndex >= PatchBits::numBytes)
        return;
    auto& slot = posted[static_cast<size_t> (byteIndex)];
    uint16_t waiting = slot.load (std::memory_order_relaxed);
    uint16_t merged = 0;
    do
    {
        // A newer value takes the bits it decides; a send keeps the bits an earlier one decided.
        const bool keepEarlier = send && (waiting & waitingFlag) != 0;
        const auto earlierBits = keepEarlier ? static_cast<uint8_t> ((waiting >> maskShift) & valueBits) : uint8_t{0};
        const auto earlierValue = keepEarlier ? static_cast<uint8_t> (waiting & valueBits) : uint8_t{0};
        const auto allBits = static_cast<uint8_t> ((earlierBits | bits) & valueBits);
        const auto value7 = static_cast<uint8_t> (((earlierValue & ~bits) | (value & bits)) & valueBits);
        const bool sends = send || (keepEarlier && (waiting & sendFlag) != 0);
        merged = static_cast<uint16_t> (waitingFlag | (sends ? sendFlag : 0) | (allBits << maskShift) | value7);
    } while (!slot.compare_exchange_weak (waiting, merged, std::memory_order_acq_rel, std::memory_order_relaxed));
}

void HostMidiLine::sendPatch (const Bytes& patch)
{
    for (int i = 0; i < PatchBits::numBytes; ++i)
        post (i, patch[static_cast<size_t> (i)], PatchBits::maxLevel, true);
    // After the bytes: a block that sees the dump asked for sees its bytes too.
    patchPosted.store (true, std::memory_order_release);
}

void HostMidiLine::sendByte (int byteIndex, uint8_t value, uint8_t changedBits)
{
    post (byteIndex, value, changedBits, true);
}

void HostMidiLine::restore (const Bytes& patch)
{
    for (int i = 0; i < PatchBits::numBytes; ++i)
        post (i, patch[static_cast<size_t> (i)], PatchBits::maxLevel, false);
    patchPosted.store (false, std::memory_order_relaxed);
    restorePosted.store (true, std::memory_order_release);
}

void HostMidiLine::forgetSent()
{
    sentForgotten.store (true, std::memory_order_release);
}

void HostMidiLine::setChannel (int newChannel)
{
    if (channel.exchange (newChannel & 0x0F) != (newChannel & 0x0F))
        forgetSent();
}

//==============================================================================
// The audio thread

void HostMidiLine::startBlock()
{
    if (sentForgotten.exchange (false, std::memory_order_acq_rel))
        lastSent.fill (-1);
    if (restorePosted.exchange (false, std::memory_order_acq_rel))
    {
        changed = 0;
        dumpDue = false;
    }
    if (patchPosted.exchange (false, std::memory_order_acq_rel))
        dumpDue = true;
    for (size_t i = 0; i < posted.size(); ++i)
    {
        const uint16_t slot = posted[i].exchange (0, std::memory_order_acq_rel);
        if ((slot & waitingFlag) == 0)
            continue;
        const auto bits = static_cast<uint8_t> ((slot >> maskShift) & valueBits);
        const auto value = static_cast<uint8_t> ((wanted[i] & ~bits) | (slot & bits));
        wanted[i] = PatchBits::correctedValue (static_cast<int> (i), value);
        if ((slot & sendFlag) != 0)
            changed |= uint32_t{1} << i;
    }
}

void HostMidiLine::hostMoved (PanelControl control, int position)
{
    const auto change = PanelControls::apply (control, position, wanted);
    if (!change)
        return;
    wanted[static_cast<size_t> (change->byteIndex)] = change->value;
    changed |= uint32_t{1} << change->byteIndex;
}

void HostMidiLine::sendWholePatch()
{
    dumpDue = true;
}

void HostMidiLine::writtenWasLost()
{
    lastSent.fill (-1);
    dumpDue = true;
}

void HostMidiLine::finishBlock (double seconds, Sink& sink)
{
    const double earned = std::max (0.0, seconds) * linkBytesPerSecond;
    // Time the link stood idle is not saved up beyond one dump (or one block's worth).
    credit = std::min (credit + earned, std::max (burstBytes, earned));
    if (dumpDue)
    {
        if (credit < static_cast<double> (JunoMessages::patchDumpSize))
            return; // nothing overtakes the dump, which carries every change anyway
        writeDump (sink);
    }
    writeChanges (sink);
}

void HostMidiLine::writeDump (Sink& sink)
{
    const auto dump = JunoMessages::buildPatchDumpAsIs (wanted, channel.load (std::memory_order_relaxed), 0);
    sink.write (dump.data(), dump.size());
    for (size_t i = 0; i < wanted.size(); ++i)
        lastSent[i] = wanted[i];
    changed = 0;
    dumpDue = false;
    credit -= static_cast<double> (dump.size());
}

void HostMidiLine::writeChanges (Sink& sink)
{
    const int channelNow = channel.load (std::memory_order_relaxed);
    for (int step = 0; step < PatchBits::numBytes && changed != 0; ++step)
    {
        const int index = (resumeAt + step) % PatchBits::numBytes;
        const auto bit = uint32_t{1} << index;
        if ((changed & bit) == 0)
            continue;
        const auto i = static_cast<size_t> (index);
        if (lastSent[i] == wanted[i])
        {
            changed &= ~bit;
            continue;
        }
        if (credit < static_cast<double> (JunoMessages::paramChangeSize))
        {
            resumeAt = index; // the link is busy: this byte goes first in a later block
            return;
        }
        const auto message = JunoMessages::buildParamChange (channelNow, index, wanted[i]);
        sink.write (message.data(), message.size());
        lastSent[i] = wanted[i];
        changed &= ~bit;
        credit -= static_cast<double> (message.size());
    }
    resumeAt = 0;
}
