#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

/** Decodes one embedded PNG; a failed decode gives a null image, which draws nothing. */
juce::Image loadEmbeddedImage (const char* data, int size);

/** A released and a pressed button image, or a lit and an unlit lamp. */
struct ImagePair
{
    juce::Image first;
    juce::Image second;
};

/** The panel's control images. Each is decoded once, on first use, and every
    control showing it shares those pixels (the images are never drawn into). */
namespace PanelImages
{
juce::Image faderHandle();
juce::Image switchHandle();
juce::Image leverHandle();
ImagePair greyButton();
ImagePair orangeButton();
ImagePair blueButton();
ImagePair smallGreyButton();
ImagePair smallOrangeButton();
ImagePair lamp();
} // namespace PanelImages

/** A vertical fader drawn from a handle bitmap; also the spring-loaded levers.
    Reports mouse and wheel input through its callbacks, never a value set from code. */
class BitmapSlider : public juce::Component
{
public:
    BitmapSlider (juce::Image handle, int maximum);
    ~BitmapSlider() override = default;

    void mouseDown (const juce::MouseEvent&) override;
    void mouseDrag (const juce::MouseEvent&) override;
    void mouseUp (const juce::MouseEvent&) override;
    void mouseWheelMove (const juce::MouseEvent&, const juce::MouseWheelDetails&) override;
    void paint (juce::Graphics&) override;

    /** Sets the value from code, clamped to the range; calls no callback. */
    void setValue (int newValue);
    int getValue() const { return value; }

    /** The value a pointer at y (relative to the top) selects. */
    int valueForPosition (float y) const;
    /** The top edge of the handle for the current value. */
    int handleTop() const;

    std::function<void (int)> onChange;
    std::function<void()> onDragStart;
    /** A right-click (or another popup-menu click): when set, it neither moves nor starts a gesture. */
    std::function<void()> onContextMenu;
    juce::Image handleImage;
    int minValue = 0;
    int maxValue;
    int handleWidth = 24;
    int handleHeight = 16;
    bool springBack = false;
    int restValue = 0;

private:
    int value = 0;
    bool contextPress = false; // the press that is under way opened a menu

    void changeValue (int newValue);
    int clampToRange (int v) const { return juce::jlimit (minValue, maxValue, v); }

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BitmapSlider)
};

/** A click switch that steps through its positions; position 0 is the bottom. */
class BitmapSwitch : public juce::Component
{
public:
    explicit BitmapSwitch (juce::Image handle);
    ~BitmapSwitch() override = default;

    void mouseDown (const juce::MouseEvent&) override;
    void paint (juce::Graphics&) override;

    /** Sets the position from code, limited to the top position; calls no callback. */
    void setPosition (int newPosition);
    int getPosition() const { return position; }
    int handleTop() const;

    std::function<void (int)> onChange;
    /** A right-click (or another popup-menu click): when set, it does not switch. */
    std::function<void()> onContextMenu;
    juce::Image handleImage;
    int numPositions = 2;
    int handleWidth = 16;
    int handleHeight = 16;

private:
    int position = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BitmapSwitch)
};

/** A push button with a released and a pressed image and its own enabled flag. */
class BitmapButton : public juce::Component
{
public:
    BitmapButton (juce::Image normal, juce::Image pressed);
    explicit BitmapButton (ImagePair images) : BitmapButton (std::move (images.first), std::move (images.second)) {}
    ~BitmapButton() override = default;

    void mouseDown (const juce::MouseEvent&) override;
    void mouseUp (const juce::MouseEvent&) override;
    void paint (juce::Graphics&) override;

    void setEnabledState (bool shouldBeEnabled);
    bool isEnabledState() const { return enabled; }
    bool isPressed() const { return isDown; }

    std::function<void()> onClick;
    std::function<void()> onPress;
    std::function<void()> onRelease;
    /** A right-click (or another popup-menu click): when set, it does not press. */
    std::function<void()> onContextMenu;
    juce::Image normalImage;
    juce::Image pressedImage;

private:
    bool isDown = false;
    bool enabled = true;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BitmapButton)
};

/** A lamp, lit or unlit. */
class BitmapIndicator : public juce::Component
{
public:
    BitmapIndicator (juce::Image lit, juce::Image unlit);
    explicit BitmapIndicator (ImagePair images) : BitmapIndicator (std::move (images.first), std::move (images.second))
    {
    }
    ~BitmapIndicator() override = default;

    void paint (juce::Graphics&) override;

    void setOn (bool shouldBeOn);
    bool isLit() const { return isOn; }

    juce::Image onImage;
    juce::Image offImage;

private:
    bool isOn = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BitmapIndicator)
};
