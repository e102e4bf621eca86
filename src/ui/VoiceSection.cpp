#include "ui/VoiceSection.h"

#include "ui/PanelText.h"

using namespace PatchBits;

namespace
{
constexpr int hpfByte = -1; // the HPF fader edits bits 3-4 of the switches byte
constexpr int faderWidth = 24;
constexpr int faderHeight = 96;
constexpr int switchWidth = 16;
constexpr int switchHeight = 32;
constexpr int buttonWidth = 28;
constexpr int buttonHeight = 20;
constexpr int lampSize = 12;
} // namespace

struct VoiceSection::FaderRow
{
    BitmapSlider VoiceSection::*slider;
    int x, y;
    int byteIndex; // or hpfByte
    const char* statusName;
    PanelControl panelControl;
};

struct VoiceSection::ButtonRow
{
    BitmapButton VoiceSection::*button;
    int x, y;
    uint8_t (*change) (uint8_t dcoFlags);
    const char* statusName;
    const char* statusValue; // nullptr: show the new state of shownBit as 0 or 1
    uint8_t shownBit;
    PanelControl panelControl;
};

struct VoiceSection::SwitchRow
{
    BitmapSwitch VoiceSection::*control;
    int x, y;
    uint8_t bit; // of the switches byte; clear at the top position
    const char* statusName;
    const char* topText;
    const char* bottomText;
    PanelControl panelControl;
};

struct VoiceSection::LampRow
{
    BitmapIndicator VoiceSection::*lamp;
    int x, y;
    bool (*isLit) (uint8_t dcoFlags);
};

// In member order, which is also the order showPatch sets them.
const VoiceSection::FaderRow VoiceSection::faderRows[] = {
    {&VoiceSection::lfoRateSlider, 208, 92, 0, "LFO Rate", PanelControl::lfoRate},
    {&VoiceSection::lfoDelaySlider, 236, 92, 1, "LFO Delay", PanelControl::lfoDelay},
    {&VoiceSection::dcoLfoSlider, 408, 92, 2, "DCO LFO", PanelControl::dcoLfo},
    {&VoiceSection::dcoPwmSlider, 436, 92, 3, "DCO PWM", PanelControl::dcoPwm},
    {&VoiceSection::subSlider, 596, 92, 15, "Sub Level", PanelControl::subLevel},
    {&VoiceSection::noiseSlider, 624, 92, 4, "Noise", PanelControl::noise},
    {&VoiceSection::hpfSlider, 688, 92, hpfByte, "HPF", PanelControl::hpf},
    {&VoiceSection::vcfFreqSlider, 204, 252, 5, "VCF Freq", PanelControl::vcfFreq},
    {&VoiceSection::vcfResSlider, 232, 252, 6, "VCF Res", PanelControl::vcfRes},
    {&VoiceSection::vcfEnvSlider, 312, 252, 7, "VCF ENV", PanelControl::vcfEnv},
    {&VoiceSection::vcfLfoSlider, 340, 252, 8, "VCF LFO", PanelControl::vcfLfo},
    {&VoiceSection::vcfKybdSlider, 368, 252, 9, "VCF KYBD", PanelControl::vcfKybd},
    {&VoiceSection::vcaLevelSlider, 456, 252, 10, "VCA Level", PanelControl::vcaLevel},
    {&VoiceSection::attackSlider, 508, 252, 11, "Attack", PanelControl::attack},
    {&VoiceSection::decaySlider, 536, 252, 12, "Decay", PanelControl::decay},
    {&VoiceSection::sustainSlider, 564, 252, 13, "Sustain", PanelControl::sustain},
    {&VoiceSection::releaseSlider, 592, 252, 14, "Release", PanelControl::release},
};

namespace
{
// What each DCO button does to the flags byte.
uint8_t toRange16 (uint8_t f)
{
    return withRangeBits (f, range16);
}
uint8_t toRange8 (uint8_t f)
{
    return withRangeBits (f, range8);
}
uint8_t toRange4 (uint8_t f)
{
    return withRangeBits (f, range4);
}
uint8_t togglePulse (uint8_t f)
{
    return static_cast<uint8_t> (f ^ pulseBit);
}
uint8_t toggleSaw (uint8_t f)
{
    return static_cast<uint8_t> (f ^ sawBit);
}
uint8_t toChorusOff (uint8_t f)
{
    return withChorus (f, Chorus::off);
}
uint8_t toChorusI (uint8_t f)
{
    return withChorus (f, Chorus::one);
}
uint8_t toChorusII (uint8_t f)
{
    return withChorus (f, Chorus::two);
}
} // namespace

const VoiceSection::ButtonRow VoiceSection::buttonRows[] = {
    {&VoiceSection::range16Btn, 300, 128, toRange16, "Range", "16'", 0, PanelControl::range16},
    {&VoiceSection::range8Btn, 328, 128, toRange8, "Range", "8'", 0, PanelControl::range8},
    {&VoiceSection::range4Btn, 356, 128, toRange4, "Range", "4'", 0, PanelControl::range4},
    {&VoiceSection::pulseBtn, 516, 128, togglePulse, "Square", nullptr, pulseBit, PanelControl::square},
    {&VoiceSection::sawBtn, 544, 128, toggleSaw, "Saw", nullptr, sawBit, PanelControl::saw},
    {&VoiceSection::chorusOffBtn, 640, 284, toChorusOff, "Chorus", "Off", 0, PanelControl::chorusOff},
    {&VoiceSection::chorus1Btn, 668, 284, toChorusI, "Chorus", "I", 0, PanelControl::chorusI},
    {&VoiceSection::chorus2Btn, 696, 284, toChorusII, "Chorus", "II", 0, PanelControl::chorusII},
};

const VoiceSection::SwitchRow VoiceSection::switchRows[] = {
    {&VoiceSection::pwmSwitch, 480, 124, pwmManBit, "PWM", "LFO", "Man", PanelControl::pwm},
    {&VoiceSection::vcfPolaritySwitch, 276, 284, vcfInvertBit, "ENV", "Normal", "Inverted", PanelControl::vcfPolarity},
    {&VoiceSection::vcaModeSwitch, 420, 284, vcaGateBit, "VCA", "ENV", "Gate", PanelControl::vcaMode},
};

const VoiceSection::LampRow VoiceSection::lampRows[] = {
    {&VoiceSection::range16Ind, 308, 112, [] (uint8_t f) { return rangeFootage (f) == 16; }},
    {&VoiceSection::range8Ind, 336, 112, [] (uint8_t f) { return rangeFootage (f) == 8; }},
    {&VoiceSection::range4Ind, 364, 112, [] (uint8_t f) { return rangeFootage (f) == 4; }},
    {&VoiceSection::pulseInd, 524, 112, [] (uint8_t f) { return isSet (f, pulseBit); }},
    {&VoiceSection::sawInd, 552, 112, [] (uint8_t f) { return isSet (f, sawBit); }},
    {&VoiceSection::chorus1Ind, 676, 268, [] (uint8_t f) { return chorus (f) == Chorus::one; }},
    {&VoiceSection::chorus2Ind, 704, 268, [] (uint8_t f) { return chorus (f) == Chorus::two; }},
};

VoiceSection::VoiceSection (EditSession& sessionToEdit, ControllerTranslator& controllersToTeach)
    : showMenu (showMenuBeside), session (sessionToEdit), controllers (controllersToTeach)
{
    placeControls();

    for (const auto& row : faderRows)
        (this->*row.slider).onContextMenu = [this, &row] { offerControllerMenu (row.panelControl, this->*row.slider); };
    for (const auto& row : buttonRows)
        (this->*row.button).onContextMenu = [this, &row] { offerControllerMenu (row.panelControl, this->*row.button); };
    for (const auto& row : switchRows)
        (this->*row.control).onContextMenu = [this, &row]
        { offerControllerMenu (row.panelControl, this->*row.control); };

    for (const auto& row : buttonRows)
        (this->*row.button).onClick = [this, &row] { buttonClicked (row); };
    for (const auto& row : switchRows)
        (this->*row.control).onChange = [this, &row] (int position) { switchMoved (row, position); };
    for (const auto& row : faderRows)
        (this->*row.slider).onDragStart = [this] { session.beginFaderGesture(); };
    for (const auto& row : faderRows)
        (this->*row.slider).onChange = [this, &row] (int value) { faderMoved (row, value); };
}

void VoiceSection::placeControls()
{
    const auto placeFaders = [&] (int first, int last)
    {
        for (int i = first; i <= last; ++i)
            place (this->*faderRows[i].slider, faderRows[i].x, faderRows[i].y, faderWidth, faderHeight);
    };
    const auto placeButtons = [&] (int first, int last)
    {
        for (int i = first; i <= last; ++i)
            place (this->*buttonRows[i].button, buttonRows[i].x, buttonRows[i].y, buttonWidth, buttonHeight);
    };
    const auto placeLamps = [&] (int first, int last)
    {
        for (int i = first; i <= last; ++i)
            place (this->*lampRows[i].lamp, lampRows[i].x, lampRows[i].y, lampSize, lampSize);
    };
    const auto placeSwitch = [&] (int i)
    { place (this->*switchRows[i].control, switchRows[i].x, switchRows[i].y, switchWidth, switchHeight); };

    placeFaders (0, 6);  // LFO RATE to HPF
    placeButtons (0, 4); // 16', 8', 4', pulse, saw
    placeLamps (0, 4);
    placeSwitch (0);      // PWM source
    placeFaders (7, 11);  // VCF FREQ to VCF KYBD
    placeSwitch (1);      // VCF polarity
    placeFaders (12, 12); // VCA LEVEL
    placeSwitch (2);      // VCA mode
    placeFaders (13, 16); // A, D, S, R
    placeButtons (5, 7);  // chorus
    placeLamps (5, 6);
}

void VoiceSection::faderMoved (const FaderRow& row, int value)
{
    if (row.byteIndex == hpfByte)
        session.setHpfPosition (value);
    else
        session.setLevel (row.byteIndex, value);
    if (showEdit)
        showEdit (row.statusName, juce::String (value));
}

void VoiceSection::buttonClicked (const ButtonRow& row)
{
    session.changeDcoFlags (row.change);
    if (!showEdit)
        return;
    const uint8_t dcoFlags = session.activePatch().data[dcoFlagsIndex];
    if (row.statusValue != nullptr)
        showEdit (row.statusName, juce::String::fromUTF8 (row.statusValue));
    else
        showEdit (row.statusName, isSet (dcoFlags, row.shownBit) ? "1" : "0");
}

void VoiceSection::switchMoved (const SwitchRow& row, int position)
{
    if (loadingPatch)
        return;
    session.setSwitchBit (row.bit, position != 1);
    if (showEdit)
        showEdit (row.statusName, juce::String::fromUTF8 (position == 1 ? row.topText : row.bottomText));
}

juce::PopupMenu VoiceSection::controllerMenu (PanelControl control) const
{
    juce::PopupMenu menu;
    menu.addItem (learnControllerId, "Learn Controller");
    menu.addItem (forgetControllerId, "Forget Controller", controllers.map().learnedFor (control).has_value());
    return menu;
}

void VoiceSection::controllerMenuChosen (PanelControl control, int itemId)
{
    if (itemId == learnControllerId)
        controllers.startLearning (control);
    else if (itemId == forgetControllerId && controllers.forget (control) && showEdit)
        showEdit (PanelControls::name (control), "controller forgotten");
}

void VoiceSection::offerControllerMenu (PanelControl control, juce::Component& target)
{
    showMenu (controllerMenu (control),
              target,
              [weakThis = juce::Component::SafePointer<VoiceSection> (this), control] (int itemId)
              {
                  if (weakThis != nullptr)
                      weakThis->controllerMenuChosen (control, itemId);
              });
}

void VoiceSection::showMenuBeside (juce::PopupMenu menu, juce::Component& target, std::function<void (int)> chosen)
{
    menu.showMenuAsync (juce::PopupMenu::Options().withTargetComponent (&target), std::move (chosen));
}

void VoiceSection::showLamps (uint8_t dcoFlags)
{
    for (const auto& row : lampRows)
        (this->*row.lamp).setOn (row.isLit (dcoFlags));
}

void VoiceSection::showPatch (const PatchModel& patch)
{
    loadingPatch = true;
    for (const auto& row : faderRows)
    {
        const int value = row.byteIndex == hpfByte ? hpfPosition (patch.data[switchesIndex])
                                                   : patch.data[static_cast<size_t> (row.byteIndex)];
        (this->*row.slider).setValue (value);
    }
    for (const auto& row : switchRows)
        (this->*row.control).setPosition (isSet (patch.data[switchesIndex], row.bit) ? 0 : 1);
    loadingPatch = false;
}
