// The keyboard's buttons and the two levers. None of them touches the patch.

#include "ui/MainComponent.h"

void MainComponent::installPerformanceHandlers()
{
    benderSlider.onChange = [this] (int value) { midiEngine.sendPitchBend (keyboard.channel, value); };
    lfoTrigSlider.onChange = [this] (int value) { midiEngine.sendCC (keyboard.channel, 1, value); };
    octaveDownBtn.onClick = [this] { octaveDown(); };
    octaveUpBtn.onClick = [this] { octaveUp(); };
    mouseBtn.onClick = [this] { toggleMouse(); };
    kybdBtn.onClick = [this] { toggleKeys(); };
    allNotesOffBtn.onClick = [this] { keyboard.allNotesOff(); };

    benderSlider.springBack = true;
    lfoTrigSlider.springBack = true;
    benderSlider.restValue = 64;
    benderSlider.setValue (64);
    lfoTrigSlider.restValue = 0;

    mouseInd.setOn (keyboard.mouseEnabled);
    kybdInd.setOn (keyboard.keysEnabled);
}

void MainComponent::octaveDown()
{
    if (keyboard.octave < 2)
        return;
    keyboard.allNotesOff();
    --keyboard.octave;
    keyboard.repaint();
}

void MainComponent::octaveUp()
{
    if (keyboard.octave > 3)
        return;
    keyboard.allNotesOff();
    ++keyboard.octave;
    keyboard.repaint();
}

void MainComponent::toggleMouse()
{
    keyboard.mouseEnabled = !keyboard.mouseEnabled;
    mouseInd.setOn (keyboard.mouseEnabled);
}

void MainComponent::toggleKeys()
{
    keyboard.keysEnabled = !keyboard.keysEnabled;
    kybdInd.setOn (keyboard.keysEnabled);
}
