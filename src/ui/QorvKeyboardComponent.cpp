#include "ui/QorvKeyboardComponent.h"

const int QorvKeyboardComponent::keyMap[numMappedKeys] = {'Z', 'S', 'X', 'D', 'C', 'V', 'G', 'B', 'H', 'N',
                                                          'J', 'M', 'Q', '2', 'W', '3', 'E', 'R', '5', 'T',
                                                          '6', 'Y', '7', 'U', 'I', '9', 'O', '0', 'P'};

namespace
{
constexpr int numWhiteKeys = 36;
constexpr int whiteKeyWidth = 12;
constexpr int whiteKeyHeight = 56;
constexpr int blackKeyWidth = 8;
constexpr int blackKeyHeight = 36;
constexpr int lowestNote = 36;
constexpr int highestComputerOffset = 72; // 12 * octave + i may not pass this
constexpr int computerNoteOffset = 24;
} // namespace

QorvKeyboardComponent::QorvKeyboardComponent (MidiEngine& engine) : midiEngine (engine)
{
    setWantsKeyboardFocus (true);
    buildKeys();
}

void QorvKeyboardComponent::buildKeys()
{
    keys.clear();
    int c = 0;
    for (int i = 0; i < numWhiteKeys; ++i)
    {
        keys.push_back ({whiteKeyWidth * i, whiteKeyWidth, whiteKeyHeight, lowestNote + c, false});
        if (i % 7 == 2 || i % 7 == 6) // E and B have no black key above them
        {
            c += 1;
        }
        else
        {
            keys.push_back (
                {whiteKeyWidth * i + blackKeyWidth, blackKeyWidth, blackKeyHeight, lowestNote + 1 + c, true});
            c += 2;
        }
    }
}

int QorvKeyboardComponent::noteAt (int x, int y) const
{
    if (y < 0)
        return -1;
    for (const bool black : {true, false})
        for (const auto& key : keys)
            if (key.isBlack == black && key.x <= x && x < key.x + key.width && y < key.height)
                return key.note;
    return -1;
}

void QorvKeyboardComponent::mouseDown (const juce::MouseEvent& e)
{
    if (!mouseEnabled)
        return;
    const int note = noteAt (e.getPosition().x, e.getPosition().y);
    if (note < 0)
        return;
    mouseNote = note;
    midiEngine.sendNoteOn (channel, note, velocity);
    repaint();
}

void QorvKeyboardComponent::mouseUp (const juce::MouseEvent&)
{
    if (mouseNote < 0)
        return;
    midiEngine.sendNoteOff (channel, mouseNote, velocity);
    mouseNote = -1;
    repaint();
}

bool QorvKeyboardComponent::keyStateChanged (bool)
{
    if (!keysEnabled)
        return false;

    const bool commandHeld = isCommandHeld();
    bool changed = false;
    for (int i = 0; i < numMappedKeys; ++i)
    {
        const int n = 12 * octave + i;
        if (n > highestComputerOffset)
            continue;
        const int note = n + computerNoteOffset;
        const bool down = isKeyDown (keyMap[i]);
        const bool held = heldKeys.count (note) > 0;
        if (held && !down)
        {
            midiEngine.sendNoteOff (channel, note, velocity);
            heldKeys.erase (note);
            changed = true;
        }
        else if (!held && down && !commandHeld)
        {
            midiEngine.sendNoteOn (channel, note, velocity);
            heldKeys.insert (note);
            changed = true;
        }
    }
    if (changed)
        repaint();
    return changed;
}

void QorvKeyboardComponent::focusLost (FocusChangeType)
{
    releaseComputerKeys();
}

void QorvKeyboardComponent::releaseComputerKeys()
{
    if (heldKeys.empty())
        return;
    for (const int note : heldKeys)
        midiEngine.sendNoteOff (channel, note, velocity);
    heldKeys.clear();
    repaint();
}

void QorvKeyboardComponent::allNotesOff()
{
    for (const int note : heldKeys)
        midiEngine.sendNoteOff (channel, note, velocity);
    heldKeys.clear();
    if (mouseNote >= 0)
    {
        midiEngine.sendNoteOff (channel, mouseNote, velocity);
        mouseNote = -1;
    }
    repaint();
}

const QorvKeyboardComponent::Key* QorvKeyboardComponent::keyForNote (int note) const
{
    for (const auto& key : keys)
        if (key.note == note)
            return &key;
    return nullptr;
}

void QorvKeyboardComponent::drawDot (juce::Graphics& g, const Key& key) const
{
    g.fillEllipse (static_cast<float> (key.x + key.width / 2 - 2), static_cast<float> (key.height - 8), 4.0f, 4.0f);
}

void QorvKeyboardComponent::paint (juce::Graphics& g)
{
    g.setColour (juce::Colour (0xFF808080));
    g.fillEllipse (static_cast<float> (84 * octave - 80), 48.0f, 4.0f, 4.0f);

    g.setColour (juce::Colour (0xFFFF0000));
    for (const int note : heldKeys)
        if (const auto* key = keyForNote (note))
            drawDot (g, *key);
    if (mouseNote >= 0)
        if (const auto* key = keyForNote (mouseNote))
            drawDot (g, *key);
}
