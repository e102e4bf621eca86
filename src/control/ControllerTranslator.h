#pragma once

#include "control/ControllerMap.h"
#include "session/EditSession.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

/** What a controller's control changes do: each one is looked up in the
    controller map and moves its control in the edit session (which sends the
    parameter change), unless soft takeover holds it back; while a control is
    learning, the next learnable control change is mapped to it instead. The
    window and the command line each feed one of these from their control
    inputs. Use it on the session's thread. */
class ControllerTranslator
{
public:
    /** What became different, for a view to show or the settings to store. */
    enum class Change
    {
        learningStarted,   // learningControl() waits for a controller
        learningCancelled, // no controller came, or the user gave up
        learned,           // a controller was mapped (see the map's learned list)
        mapChanged,        // mappings forgotten or imported, or the default map or soft takeover switched
    };

    /** What one control change did. */
    struct Outcome
    {
        enum class Kind
        {
            moved,        // the control moved; its byte went out as a parameter change
            unchanged,    // mapped, but the control already stood there
            heldBack,     // soft takeover: the controller has not reached the control yet
            notMapped,    // nothing answers to this control change
            learned,      // it was mapped to the control that was learning
            notLearnable, // it came while learning, but this controller cannot be learned
            byteUnknown   // its control shares a byte whose other bits the synthesizer's copy lacks: nothing sent
        };
        Kind kind = Kind::notMapped;
        PanelControl control = PanelControl::lfoRate; // moved, unchanged, heldBack, learned, byteUnknown
    };

    explicit ControllerTranslator (EditSession& sessionToEdit) : session (sessionToEdit) {}

    /** Told after each change of the map, the learning state or the options. */
    std::function<void (Change)> onChange;

    /** One control change from a control input; channel 0-15, controller and value 0-127. */
    Outcome controlChange (int channel, int controller, int value, EditSession::Clock::time_point now);

    const ControllerMap& map() const { return controllerMap; }

    // Learning
    void startLearning (PanelControl control);
    void cancelLearning();
    std::optional<PanelControl> learningControl() const { return learning; }
    /** Forgets the control's learned controller; false when it had none. */
    bool forget (PanelControl control);
    void forgetAll();
    /** Replaces the learned mappings with those of a map file's text; false,
        with the reason in `problem`, when the text is refused (nothing changes then). */
    bool importMap (const std::string& text, std::string& problem);

    // Options
    void setUsesDefaultMap (bool on);
    bool softTakeover() const { return softTakeoverOn; }
    /** A controller whose position differs from the control's moves it only
        once it reaches or passes the control's position. */
    void setSoftTakeover (bool on);

    ControllerTranslator (const ControllerTranslator&) = delete;
    ControllerTranslator& operator= (const ControllerTranslator&) = delete;

private:
    void announce (Change change);
    /** Soft takeover's rule for a controller that went to `position`; notes the position for the next move. */
    bool reaches (int channel, int controller, PanelControl control, int position);
    /** Forgets the last position of each controller that drives something else than under `before`. */
    void forgetPositionsChangedSince (const ControllerMap& before);

    EditSession& session;
    ControllerMap controllerMap;
    std::optional<PanelControl> learning;
    bool softTakeoverOn = false;
    /** Where each controller last was, as a position of the control it drives; -1 when unknown. */
    std::array<std::array<int16_t, 128>, 16> lastPositions = blankPositions();

    static std::array<std::array<int16_t, 128>, 16> blankPositions();
};
