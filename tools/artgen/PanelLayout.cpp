#include "PanelLayout.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace qorv::art
{
namespace
{
    PanelControl fader (const char* id, int x, int y, const char* label, int preview, bool scale = false)
    {
        PanelControl c{id, Kind::Fader, {x, y, 24, 96}};
        c.label = label;
        c.place = Place::Above;
        c.scaleMarks = scale;
        c.previewValue = preview;
        return c;
    }

    PanelControl button (
        const char* id, int x, int y, Tint tint, const char* label = "", float gap = 3.0f, bool previewDisabled = false)
    {
        PanelControl c{id, Kind::Button, {x, y, 28, 20}, tint, label};
        c.place = *label != 0 ? Place::Above : Place::None;
        c.labelGap = gap;
        c.previewValue = previewDisabled ? 1 : 0;
        return c;
    }

    PanelControl smallButton (const char* id, int x, int y, Tint tint, const char* label, bool previewDisabled)
    {
        PanelControl c = button (id, x, y, tint, label, 3.0f, previewDisabled);
        c.kind = Kind::SmallButton;
        c.bounds = {x, y, 20, 16};
        return c;
    }

    PanelControl lamp (const char* id, int x, int y, const char* label, bool lit, Place place = Place::Above)
    {
        PanelControl c{id, Kind::Lamp, {x, y, 12, 12}, Tint::Grey, label};
        c.place = *label != 0 ? place : Place::None;
        c.previewValue = lit ? 1 : 0;
        return c;
    }

    PanelControl toggle (const char* id, int x, int y, const char* top, const char* bottom, int position)
    {
        PanelControl c{id, Kind::Switch, {x, y, 16, 32}, Tint::Grey, top, Place::Above};
        c.labelBelow = bottom;
        c.previewValue = position;
        return c;
    }

    PanelControl lever (const char* id, int x, const char* label, int preview)
    {
        PanelControl c{id, Kind::Lever, {x, 420, 12, 56}, Tint::Grey, label, Place::Above};
        c.labelGap = 4.0f;
        c.previewValue = preview;
        return c;
    }

    PanelControl window (const char* id, Kind kind, juce::Rectangle<int> bounds, const char* caption = "")
    {
        PanelControl c{id, kind, bounds, Tint::Grey, caption};
        c.place = *caption != 0 ? Place::AboveLeft : Place::None;
        c.labelGap = 4.0f;
        return c;
    }

    std::vector<PanelControl> buildControls()
    {
        std::vector<PanelControl> c{
            // Header row: the displays and the patch actions.
            window ("activePatch", Kind::Display, {192, 20, 186, 16}, "ACTIVE PATCH"),
            window ("status", Kind::Display, {595, 20, 116, 16}, "STATUS"),
            lamp ("changed", 376, 4, "", false),
            smallButton ("save", 396, 20, Tint::Orange, "SAVE", false),
            smallButton ("undo", 429, 20, Tint::Grey, "UNDO", true),
            smallButton ("cmp", 462, 20, Tint::Grey, "CMP", true),
            smallButton ("evolve", 508, 20, Tint::Grey, "EVOLVE", false),

            // BANK
            button ("edit", 8, 80, Tint::Blue, "EDIT"),
            button ("new", 44, 80, Tint::Grey, "NEW"),
            button ("name", 80, 80, Tint::Grey, "NAME"),
            button ("x2", 116, 80, Tint::Grey, "X2"),
            button ("erase", 152, 80, Tint::Grey, "ERASE", 3.0f, true),
            window ("bank", Kind::List, {8, 105, 172, 248}),

            // LFO, DCO, HPF
            fader ("lfoRate", 208, 92, "RATE", 70, true),
            fader ("lfoDelay", 236, 92, "DELAY\nTIME", 30),
            fader ("dcoLfo", 408, 92, "LFO", 0, true),
            fader ("dcoPwm", 436, 92, "PWM", 50),
            fader ("sub", 596, 92, "SUB", 90, true),
            fader ("noise", 624, 92, "NOISE", 20),
            fader ("hpf", 688, 92, "FREQ", 2, true),
            button ("range16", 300, 128, Tint::Grey),
            button ("range8", 328, 128, Tint::Grey),
            button ("range4", 356, 128, Tint::Grey),
            button ("pulse", 516, 128, Tint::Grey),
            button ("saw", 544, 128, Tint::Grey),
            lamp ("range16Ind", 308, 112, "16'", true),
            lamp ("range8Ind", 336, 112, "8'", false),
            lamp ("range4Ind", 364, 112, "4'", false),
            lamp ("pulseInd", 524, 112, "@pulse", false),
            lamp ("sawInd", 552, 112, "@saw", true),
            toggle ("pwmSwitch", 480, 124, "LFO", "MAN", 0),

            // VCF, VCA, ENV, CHORUS
            fader ("vcfFreq", 204, 252, "FREQ", 100, true),
            fader ("vcfRes", 232, 252, "RES", 30),
            fader ("vcfEnv", 312, 252, "ENV", 60, true),
            fader ("vcfLfo", 340, 252, "LFO", 0),
            fader ("vcfKybd", 368, 252, "KYBD", 127),
            fader ("vcaLevel", 456, 252, "LEVEL", 64, true),
            fader ("attack", 508, 252, "A", 10, true),
            fader ("decay", 536, 252, "D", 60),
            fader ("sustain", 564, 252, "S", 80),
            fader ("release", 592, 252, "R", 40),
            toggle ("vcfPolarity", 276, 284, "@envNormal", "@envInverted", 1),
            toggle ("vcaMode", 420, 284, "ENV", "GATE", 1),
            // OFF has no lamp, so its label is lifted to the row of the I and II lamps' labels.
            button ("chorusOff", 640, 284, Tint::Grey, "OFF", 19.0f),
            button ("chorus1", 668, 284, Tint::Orange),
            button ("chorus2", 696, 284, Tint::Orange),
            lamp ("chorus1Ind", 676, 268, "I", true),
            lamp ("chorus2Ind", 704, 268, "II", false),

            // MIDI IN
            lamp ("patchReceived", 6, 400, "PATCH RECEIVED", false, Place::Right),
            window ("midiIn", Kind::Display, {8, 416, 104, 16}),
            smallButton ("midiSave", 128, 416, Tint::Orange, "SAVE", true),
            smallButton ("midiIgnore", 160, 416, Tint::Grey, "IGNORE", true),
            lamp ("saveAll", 6, 440, "SAVE ALL", false, Place::Right),
            button ("saveAllBtn", 8, 456, Tint::Grey),

            // Performance
            lever ("bender", 220, "BENDER", 64),
            lever ("lfoTrig", 252, "LFO\nTRIG", 0),
            button ("octaveDown", 396, 392, Tint::Grey, "DOWN"),
            button ("octaveUp", 432, 392, Tint::Grey, "UP"),
            lamp ("mouseInd", 540, 376, "MOUSE", true),
            lamp ("kybdInd", 576, 376, "KYBD", true),
            button ("mouse", 532, 392, Tint::Grey),
            button ("kybd", 568, 392, Tint::Grey),
            button ("allNotesOff", 664, 392, Tint::Blue, "ALL NOTES OFF"),
            window ("keyboard", Kind::Keyboard, {280, 420, 432, 56}),
        };

        for (auto& item : c)
            if (std::strcmp (item.id, "hpf") == 0)
                item.maxValue = 3;
        return c;
    }
} // namespace

const std::vector<PanelControl>& panelControls()
{
    static const std::vector<PanelControl> controls = buildControls();
    return controls;
}

const std::vector<SectionBar>& sectionBars()
{
    // Edges are inclusive in the drawings this follows, hence the +1 widths.
    static const std::vector<SectionBar> bars{
        {"BANK", {0, 42, 184, 20}, true},
        {"LFO", {187, 42, 101, 20}, false},
        {"DCO", {291, 42, 381, 20}, false},
        {"HPF", {675, 42, 52, 20}, false},
        {"VCF", {187, 202, 223, 20}, false},
        {"VCA", {413, 202, 75, 20}, false},
        {"ENV", {491, 202, 143, 20}, false},
        {"CHORUS", {637, 202, 90, 20}, false},
        {"MIDI IN", {0, 370, 183, 20}, true},
    };
    return bars;
}

const PanelControl& control (const char* id)
{
    for (const auto& c : panelControls())
        if (std::strcmp (c.id, id) == 0)
            return c;
    throw std::logic_error (std::string ("no panel control named ") + id);
}

float faderHandleCentre (const PanelControl& fader, int value)
{
    const int travel = fader.bounds.getHeight() - faderHandleHeight;
    const auto top = (int)((1.0f - (float)value / (float)fader.maxValue) * (float)travel);
    return (float)(fader.bounds.getY() + top) + faderHandleHeight / 2.0f;
}

std::vector<float> faderTicks (const PanelControl& fader)
{
    std::vector<float> ticks;
    if (fader.maxValue <= 10)
    {
        for (int v = fader.maxValue; v >= 0; --v)
            ticks.push_back (faderHandleCentre (fader, v));
        return ticks;
    }
    const float top = faderHandleCentre (fader, fader.maxValue);
    const float bottom = faderHandleCentre (fader, 0);
    for (int i = 0; i <= 10; ++i)
        ticks.push_back (top + (bottom - top) * (float)i / 10.0f);
    return ticks;
}
} // namespace qorv::art
