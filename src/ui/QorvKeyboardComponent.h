#pragma once

#include "midi/MidiEngine.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <set>
#include <vector>

/** The playable keyboard. The keys are part of the panel background; this
    component draws only the computer keyboard's octave dot and the dots of
    sounding notes. Every message goes out on channel number 0. */
class QorvKeyboardComponent : public juce::Component
{
public:
    struct Key
    {
        int x;
        int width;
        int height;
        int note;
        bool isBlack;
    };

    static constexpr int velocity = 60;
    static constexpr int numMappedKeys = 29;
    /** The computer keys in semitone order from the lowest note upward. */
    static const int keyMap[numMappedKeys];

    explicit QorvKeyboardComponent (MidiEngine& engine);
    ~QorvKeyboardComponent() override = default;

    void mouseDown (const juce::MouseEvent&) override;
    void mouseUp (const juce::MouseEvent&) override;
    void paint (juce::Graphics&) override;
    bool keyPressed (const juce::KeyPress&) override { return false; }
    bool keyStateChanged (bool isKeyDown) override;
    /** Notes held on the computer keyboard stop: their key releases will not arrive here any more. */
    void focusLost (FocusChangeType) override;

    void buildKeys();
    /** Stops every note this component started. */
    void allNotesOff();
    /** Stops the notes held on the computer keyboard. */
    void releaseComputerKeys();

    /** The note a pointer at (x, y) plays, or -1; black keys win where they overlap. */
    int noteAt (int x, int y) const;

    MidiEngine& midiEngine;
    const int channel = 0;
    int octave = 3;
    bool mouseEnabled = true;
    bool keysEnabled = true;
    int mouseNote = -1;
    std::set<int> heldKeys;
    std::vector<Key> keys;

    /** Asks whether a computer key is held; tests replace it. */
    std::function<bool (int keyCode)> isKeyDown = [] (int keyCode)
    { return juce::KeyPress::isKeyCurrentlyDown (keyCode); };
    /** Asks whether Ctrl or Alt is held: such key combinations are commands, never notes. Tests replace it. */
    std::function<bool()> isCommandHeld = []
    {
        const auto modifiers = juce::ModifierKeys::currentModifiers;
        return modifiers.isCtrlDown() || modifiers.isAltDown();
    };

private:
    const Key* keyForNote (int note) const;
    void drawDot (juce::Graphics& g, const Key& key) const;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QorvKeyboardComponent)
};
