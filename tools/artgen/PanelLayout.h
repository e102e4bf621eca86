#pragma once

#include <juce_graphics/juce_graphics.h>

#include <vector>

// Where every control of the 728 x 480 panel sits, in logical pixels. The
// background, the lettering overlay and the preview all read this one table,
// so the two images line up with each other and with the controls on top.
namespace qorv::art
{
constexpr int panelWidth = 728;
constexpr int panelHeight = 480;

enum class Kind
{
    Fader,
    Switch,
    Button,
    SmallButton,
    Lamp,
    Lever,
    Display,
    List,
    Keyboard
};

enum class Tint
{
    Grey,
    Orange,
    Blue
};

// Where a control's name is printed. A label text starting with '@' names a
// drawn symbol instead of words (see PanelArt.cpp).
enum class Place
{
    None,
    Above,     // centred over the control
    AboveLeft, // over the control, flush with its left edge
    Right      // after the control, vertically centred
};

struct PanelControl
{
    const char* id;
    Kind kind;
    juce::Rectangle<int> bounds;
    Tint tint = Tint::Grey;
    const char* label = "";
    Place place = Place::None;
    float labelGap = 3.0f; // from the control's top to the label's baseline
    const char* labelBelow = "";
    int maxValue = 127;
    bool scaleMarks = false; // numbers printed left of this fader
    int previewValue = 0;    // fader value, switch position, lamp lit, button disabled
};

struct SectionBar
{
    const char* title;
    juce::Rectangle<int> bounds;
    bool blue;
};

const std::vector<PanelControl>& panelControls();
const std::vector<SectionBar>& sectionBars();

// The control with that id; there is always one (the ids are this file's own).
const PanelControl& control (const char* id);

// The vertical centre of the fader handle at a value: the same integer
// arithmetic the slider uses to place its handle, so ticks meet the handle.
float faderHandleCentre (const PanelControl& fader, int value);

// The tick positions of a fader, from the top of its travel (maxValue) down
// to 0: ten steps on the level faders, one per position on the HPF fader.
std::vector<float> faderTicks (const PanelControl& fader);

constexpr int faderHandleHeight = 16;
} // namespace qorv::art
