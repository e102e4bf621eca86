#pragma once

#include "LinkPeer.h"
#include "RawMidiPort.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <functional>
#include <vector>

/** A controller sweeping four parameters at once: 2,000 control changes in
    2 s (CC 102, 103, 107, 108 of the default map in turn), each going up and
    down by 3 at every change, far more than a DIN link carries; and what the
    synthesizer must have got from it. */
class ControllerSweep
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int changes = 2000;
    static constexpr std::array<uint8_t, 4> controllers{102, 103, 107, 108}; // LFO Rate, LFO Delay, VCF Freq, VCF Res
    static constexpr std::array<uint8_t, 4> parameters{0, 1, 5, 6};

    ControllerSweep();

    /** Writes the sweep into the controller's port from a thread of its own,
        while `waitUntil` runs on this one (a message loop, or a sleep) until the
        condition it is given holds; returns what `waitUntil` returned. */
    bool play (RawMidiPort& controller,
               const LinkPeer& peer,
               const std::function<bool (const std::function<bool()>& condition)>& waitUntil);

    /** Each parameter's last value, as the synthesizer must end up with it. */
    std::array<int, 4> lastValues() const;
    /** The last value of each parameter among the arrivals (-1: none). */
    static std::array<int, 4> lastValuesIn (const std::vector<LinkPeer::Arrival>& arrivals);

    /** Only parameter changes on the channel, each parameter's values in the
        order they were swept, ending with the last ones; `lastIn` is when the
        last of them arrived. */
    testing::AssertionResult
    arrivedInOrder (const std::vector<LinkPeer::Arrival>& arrivals, uint8_t channel, Clock::time_point& lastIn) const;

    Clock::time_point firstWrite{};
    Clock::time_point lastWrite{};

private:
    std::array<std::vector<uint8_t>, 4> values; // each parameter's, in the order sent
};
