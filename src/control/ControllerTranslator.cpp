#include "control/ControllerTranslator.h"

#include <utility>

std::array<std::array<int16_t, 128>, 16> ControllerTranslator::blankPositions()
{
    std::array<std::array<int16_t, 128>, 16> positions{};
    for (auto& channel : positions)
        channel.fill (-1);
    return positions;
}

void ControllerTranslator::announce (Change change)
{
    if (onChange)
        onChange (change);
}

ControllerTranslator::Outcome
ControllerTranslator::controlChange (int channel, int controller, int value, EditSession::Clock::time_point now)
{
    using Kind = Outcome::Kind;
    if (channel < 0 || channel > 15 || controller < 0 || controller > 127)
        return {};

    if (learning)
    {
        if (!ControllerMap::isLearnable (controller))
            return {Kind::notLearnable, *learning};
        const PanelControl learned = *learning;
        learning.reset();
        const ControllerMap before = controllerMap;
        controllerMap.learn (channel, controller, learned);
        forgetPositionsChangedSince (before);
        announce (Change::learned);
        return {Kind::learned, learned};
    }

    const auto control = controllerMap.find (channel, controller);
    if (!control)
        return {};
    if (!session.canMoveControl (*control))
        return {Kind::byteUnknown, *control};
    const int position = PanelControls::positionFromController (*control, value);
    if (!reaches (channel, controller, *control, position))
        return {Kind::heldBack, *control};
    return {session.moveControl (*control, position, now) ? Kind::moved : Kind::unchanged, *control};
}

bool ControllerTranslator::reaches (int channel, int controller, PanelControl control, int position)
{
    auto& last = lastPositions[static_cast<size_t> (channel)][static_cast<size_t> (controller)];
    const int previous = std::exchange (last, static_cast<int16_t> (position));
    if (!softTakeoverOn)
        return true;

    // The sound must not jump on the synthesizer, which may have moved on from the panel.
    const int shown = PanelControls::position (control, session.synthesizerSound());
    if (position == shown || previous == shown)
        return true; // there, or it was there the last time and moves on from it
    // It passed the control's position between the last move and this one.
    return previous >= 0 && (previous < shown) != (position < shown);
}

void ControllerTranslator::startLearning (PanelControl control)
{
    learning = control;
    announce (Change::learningStarted);
}

void ControllerTranslator::cancelLearning()
{
    if (!learning)
        return;
    learning.reset();
    announce (Change::learningCancelled);
}

void ControllerTranslator::forgetPositionsChangedSince (const ControllerMap& before)
{
    // Where a controller stood says nothing about a control it did not drive then.
    for (int channel = 0; channel < 16; ++channel)
        for (int controller = 0; controller < 128; ++controller)
            if (before.find (channel, controller) != controllerMap.find (channel, controller))
                lastPositions[static_cast<size_t> (channel)][static_cast<size_t> (controller)] = -1;
}

bool ControllerTranslator::forget (PanelControl control)
{
    const ControllerMap before = controllerMap;
    if (!controllerMap.forget (control))
        return false;
    forgetPositionsChangedSince (before);
    announce (Change::mapChanged);
    return true;
}

void ControllerTranslator::forgetAll()
{
    const ControllerMap before = controllerMap;
    controllerMap.forgetAll();
    forgetPositionsChangedSince (before);
    announce (Change::mapChanged);
}

bool ControllerTranslator::importMap (const std::string& text, std::string& problem)
{
    auto assignments = ControllerMap::parse (text, problem);
    if (!assignments)
        return false;
    const ControllerMap before = controllerMap;
    controllerMap.replaceLearned (std::move (*assignments));
    forgetPositionsChangedSince (before);
    announce (Change::mapChanged);
    return true;
}

void ControllerTranslator::setUsesDefaultMap (bool on)
{
    const ControllerMap before = controllerMap;
    controllerMap.setUsesDefaultMap (on);
    forgetPositionsChangedSince (before);
    announce (Change::mapChanged);
}

void ControllerTranslator::setSoftTakeover (bool on)
{
    softTakeoverOn = on;
    lastPositions = blankPositions();
    announce (Change::mapChanged);
}
