#include "ui/PerformanceSection.h"

PerformanceSection::PerformanceSection (MidiEngine& engine) : keyboard (engine), midiEngine (engine)
{
    place (keyboard, 280, 420, 432, 56);
    place (kybdInd, 576, 376, 12, 12);
    place (mouseInd, 540, 376, 12, 12);
    place (benderSlider, 220, 420, 12, 56);
    place (lfoTrigSlider, 252, 420, 12, 56);
    place (octaveDownBtn, 396, 392, 28, 20);
    place (octaveUpBtn, 432, 392, 28, 20);
    place (mouseBtn, 532, 392, 28, 20);
    place (kybdBtn, 568, 392, 28, 20);
    place (allNotesOffBtn, 664, 392, 28, 20);

    benderSlider.onChange = [this] (int value) { midiEngine.sendPitchBend (keyboard.channel, value); };
    lfoTrigSlider.onChange = [this] (int value) { midiEngine.sendCC (keyboard.channel, 1, value); };
    octaveDownBtn.onClick = [this] { octaveDown(); };
    octaveUpBtn.onClick = [this] { octaveUp(); };
    mouseBtn.onClick = [this] { setMouseEnabled (!keyboard.mouseEnabled); };
    kybdBtn.onClick = [this] { setKeysEnabled (!keyboard.keysEnabled); };
    allNotesOffBtn.onClick = [this] { keyboard.allNotesOff(); };

    benderSlider.springBack = true;
    lfoTrigSlider.springBack = true;
    benderSlider.restValue = 64;
    benderSlider.setValue (64);
    lfoTrigSlider.restValue = 0;

    mouseInd.setOn (keyboard.mouseEnabled);
    kybdInd.setOn (keyboard.keysEnabled);
}

void PerformanceSection::octaveDown()
{
    if (keyboard.octave < 2)
        return;
    keyboard.allNotesOff();
    --keyboard.octave;
    keyboard.repaint();
}

void PerformanceSection::octaveUp()
{
    if (keyboard.octave > 3)
        return;
    keyboard.allNotesOff();
    ++keyboard.octave;
    keyboard.repaint();
}

void PerformanceSection::stepToOctave (int octave)
{
    if (octave < 1 || octave > 4)
        return;
    while (keyboard.octave < octave)
        octaveUp();
    while (keyboard.octave > octave)
        octaveDown();
}

void PerformanceSection::setMouseEnabled (bool enabled)
{
    keyboard.mouseEnabled = enabled;
    mouseInd.setOn (enabled);
}

void PerformanceSection::setKeysEnabled (bool enabled)
{
    keyboard.keysEnabled = enabled;
    kybdInd.setOn (enabled);
}
