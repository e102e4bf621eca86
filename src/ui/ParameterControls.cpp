// The 35 controls that edit the active patch: one table row per control says
// where it sits, which byte or bit it edits and how STATUS names it.

#include "ui/MainComponent.h"

using namespace PatchBits;

const char* const MainComponent::paramNames[PatchBits::numBytes] = {
    "LFO Rate",
    "LFO Delay",
    "DCO LFO",
    "DCO PWM",
    "Noise",
    "VCF Freq",
    "VCF Res",
    "VCF ENV",
    "VCF LFO",
    "VCF KYBD",
    "VCA Level",
    "Attack",
    "Decay",
    "Sustain",
    "Release",
    "Sub Level",
    "DCO Flags",
    "Switches",
};

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

struct MainComponent::FaderRow
{
    BitmapSlider MainComponent::*slider;
    int x, y;
    int byteIndex; // or hpfByte
    const char* statusName;
};

struct MainComponent::ButtonRow
{
    BitmapButton MainComponent::*button;
    int x, y;
    uint8_t (*change) (uint8_t dcoFlags);
    const char* statusName;
    const char* statusValue; // nullptr: show the new state of shownBit as 0 or 1
    uint8_t shownBit;
};

struct MainComponent::SwitchRow
{
    BitmapSwitch MainComponent::*control;
    int x, y;
    uint8_t bit; // of the switches byte; clear at the top position
    const char* statusName;
    const char* topText;
    const char* bottomText;
};

struct MainComponent::LampRow
{
    BitmapIndicator MainComponent::*lamp;
    int x, y;
    bool (*isLit) (uint8_t dcoFlags);
};

// In member order, which is also the order loadPatchToSliders sets them.
const MainComponent::FaderRow MainComponent::faderRows[] = {
    {&MainComponent::lfoRateSlider, 208, 92, 0, "LFO Rate"},
    {&MainComponent::lfoDelaySlider, 236, 92, 1, "LFO Delay"},
    {&MainComponent::dcoLfoSlider, 408, 92, 2, "DCO LFO"},
    {&MainComponent::dcoPwmSlider, 436, 92, 3, "DCO PWM"},
    {&MainComponent::subSlider, 596, 92, 15, "Sub Level"},
    {&MainComponent::noiseSlider, 624, 92, 4, "Noise"},
    {&MainComponent::hpfSlider, 688, 92, hpfByte, "HPF"},
    {&MainComponent::vcfFreqSlider, 204, 252, 5, "VCF Freq"},
    {&MainComponent::vcfResSlider, 232, 252, 6, "VCF Res"},
    {&MainComponent::vcfEnvSlider, 312, 252, 7, "VCF ENV"},
    {&MainComponent::vcfLfoSlider, 340, 252, 8, "VCF LFO"},
    {&MainComponent::vcfKybdSlider, 368, 252, 9, "VCF KYBD"},
    {&MainComponent::vcaLevelSlider, 456, 252, 10, "VCA Level"},
    {&MainComponent::attackSlider, 508, 252, 11, "Attack"},
    {&MainComponent::decaySlider, 536, 252, 12, "Decay"},
    {&MainComponent::sustainSlider, 564, 252, 13, "Sustain"},
    {&MainComponent::releaseSlider, 592, 252, 14, "Release"},
};

const MainComponent::ButtonRow MainComponent::buttonRows[] = {
    {&MainComponent::range16Btn, 300, 128, [] (uint8_t f) { return withRangeBits (f, range16); }, "Range", "16'", 0},
    {&MainComponent::range8Btn, 328, 128, [] (uint8_t f) { return withRangeBits (f, range8); }, "Range", "8'", 0},
    {&MainComponent::range4Btn, 356, 128, [] (uint8_t f) { return withRangeBits (f, range4); }, "Range", "4'", 0},
    {&MainComponent::pulseBtn,
     516,
     128,
     [] (uint8_t f) { return static_cast<uint8_t> (f ^ pulseBit); },
     "Square",
     nullptr,
     pulseBit},
    {&MainComponent::sawBtn,
     544,
     128,
     [] (uint8_t f) { return static_cast<uint8_t> (f ^ sawBit); },
     "Saw",
     nullptr,
     sawBit},
    {&MainComponent::chorusOffBtn,
     640,
     284,
     [] (uint8_t f) { return withChorus (f, Chorus::off); },
     "Chorus",
     "Off",
     0},
    {&MainComponent::chorus1Btn, 668, 284, [] (uint8_t f) { return withChorus (f, Chorus::one); }, "Chorus", "I", 0},
    {&MainComponent::chorus2Btn, 696, 284, [] (uint8_t f) { return withChorus (f, Chorus::two); }, "Chorus", "II", 0},
};

const MainComponent::SwitchRow MainComponent::switchRows[] = {
    {&MainComponent::pwmSwitch, 480, 124, pwmManBit, "PWM", "LFO", "Man"},
    {&MainComponent::vcfPolaritySwitch, 276, 284, vcfInvertBit, "ENV", "Normal", "Inverted"},
    {&MainComponent::vcaModeSwitch, 420, 284, vcaGateBit, "VCA", "ENV", "Gate"},
};

const MainComponent::LampRow MainComponent::lampRows[] = {
    {&MainComponent::range16Ind, 308, 112, [] (uint8_t f) { return rangeFootage (f) == 16; }},
    {&MainComponent::range8Ind, 336, 112, [] (uint8_t f) { return rangeFootage (f) == 8; }},
    {&MainComponent::range4Ind, 364, 112, [] (uint8_t f) { return rangeFootage (f) == 4; }},
    {&MainComponent::pulseInd, 524, 112, [] (uint8_t f) { return isSet (f, pulseBit); }},
    {&MainComponent::sawInd, 552, 112, [] (uint8_t f) { return isSet (f, sawBit); }},
    {&MainComponent::chorus1Ind, 676, 268, [] (uint8_t f) { return chorus (f) == Chorus::one; }},
    {&MainComponent::chorus2Ind, 704, 268, [] (uint8_t f) { return chorus (f) == Chorus::two; }},
};

void MainComponent::placeParameterControls()
{
    const auto placeFaders = [this] (int first, int last)
    {
        for (int i = first; i <= last; ++i)
            addSlider (this->*faderRows[i].slider, faderRows[i].x, faderRows[i].y, faderWidth, faderHeight);
    };
    const auto placeButtons = [this] (int first, int last)
    {
        for (int i = first; i <= last; ++i)
            addBtn (this->*buttonRows[i].button, buttonRows[i].x, buttonRows[i].y, buttonWidth, buttonHeight);
    };
    const auto placeLamps = [this] (int first, int last)
    {
        for (int i = first; i <= last; ++i)
            addInd (this->*lampRows[i].lamp, lampRows[i].x, lampRows[i].y, lampSize, lampSize);
    };
    const auto placeSwitch = [this] (int i)
    { addSwitch (this->*switchRows[i].control, switchRows[i].x, switchRows[i].y, switchWidth, switchHeight); };

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

void MainComponent::installParameterHandlers()
{
    for (const auto& row : buttonRows)
        (this->*row.button).onClick = [this, &row] { buttonClicked (row); };
    for (const auto& row : switchRows)
        (this->*row.control).onChange = [this, &row] (int position) { switchMoved (row, position); };
    for (const auto& row : faderRows)
        (this->*row.slider).onDragStart = [this] { pushUndo(); };
    for (const auto& row : faderRows)
        (this->*row.slider).onChange = [this, &row] (int value) { faderMoved (row, value); };
}

void MainComponent::patchEdited()
{
    if (patch.onChange)
        patch.onChange();
    sendActivePatch();
}

void MainComponent::faderMoved (const FaderRow& row, int value)
{
    if (row.byteIndex == hpfByte)
        patch.data[switchesIndex] = withHpfPosition (patch.data[switchesIndex], value);
    else
        patch.data[static_cast<size_t> (row.byteIndex)] = static_cast<uint8_t> (juce::jlimit (0, 127, value));
    patchEdited();
    checkPatchChanged();
    showControl (row.statusName, value);
}

void MainComponent::buttonClicked (const ButtonRow& row)
{
    pushUndo();
    auto& dcoFlags = patch.data[dcoFlagsIndex];
    dcoFlags = row.change (dcoFlags);
    patchEdited();
    updateIndicators();
    checkPatchChanged();
    if (row.statusValue != nullptr)
        showControl (row.statusName, row.statusValue);
    else
        showControl (row.statusName, isSet (dcoFlags, row.shownBit) ? 1 : 0);
}

void MainComponent::switchMoved (const SwitchRow& row, int position)
{
    if (loadingPatch)
        return;
    pushUndo();
    auto& switches = patch.data[switchesIndex];
    switches = withBit (switches, row.bit, position != 1);
    patchEdited();
    checkPatchChanged();
    showControl (row.statusName, position == 1 ? row.topText : row.bottomText);
}

void MainComponent::updateIndicators()
{
    const uint8_t dcoFlags = patch.data[dcoFlagsIndex];
    for (const auto& row : lampRows)
        (this->*row.lamp).setOn (row.isLit (dcoFlags));
}

void MainComponent::loadPatchToSliders()
{
    loadingPatch = true;
    loadPatchFromModel (patch);
    loadingPatch = false;
    updateIndicators();
    checkPatchChanged();
}

void MainComponent::loadPatchFromModel (const PatchModel& source)
{
    for (const auto& row : faderRows)
    {
        const int value = row.byteIndex == hpfByte ? hpfPosition (source.data[switchesIndex])
                                                   : source.data[static_cast<size_t> (row.byteIndex)];
        (this->*row.slider).setValue (value);
    }
    for (const auto& row : switchRows)
        (this->*row.control).setPosition (isSet (source.data[switchesIndex], row.bit) ? 0 : 1);
}
