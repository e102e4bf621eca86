#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** Synthetic mouse input for components that are not on the desktop. Events
    go straight to the component's handlers, in its own coordinates. */
namespace UiTest
{
inline juce::MouseEvent mouseEvent (juce::Component& target,
                                    juce::Point<float> position,
                                    int clicks = 1,
                                    juce::ModifierKeys buttons = juce::ModifierKeys::leftButtonModifier)
{
    const auto now = juce::Time::getCurrentTime();
    return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(),
                             position,
                             buttons,
                             juce::MouseInputSource::defaultPressure,
                             juce::MouseInputSource::defaultOrientation,
                             juce::MouseInputSource::defaultRotation,
                             juce::MouseInputSource::defaultTiltX,
                             juce::MouseInputSource::defaultTiltY,
                             &target,
                             &target,
                             now,
                             position,
                             now,
                             clicks,
                             false);
}

inline void press (juce::Component& target, float x, float y)
{
    target.mouseDown (mouseEvent (target, {x, y}));
}
inline void drag (juce::Component& target, float x, float y)
{
    target.mouseDrag (mouseEvent (target, {x, y}));
}
inline void release (juce::Component& target, float x, float y)
{
    target.mouseUp (mouseEvent (target, {x, y}));
}

/** A right-click: press and release of the right button. */
inline void rightClick (juce::Component& target, float x = 1.0f, float y = 1.0f)
{
    const juce::ModifierKeys right (juce::ModifierKeys::rightButtonModifier);
    target.mouseDown (mouseEvent (target, {x, y}, 1, right));
    target.mouseUp (mouseEvent (target, {x, y}, 1, right));
}

inline void click (juce::Component& target, float x = 1.0f, float y = 1.0f)
{
    press (target, x, y);
    release (target, x, y);
}

inline void wheel (juce::Component& target, float deltaY)
{
    juce::MouseWheelDetails details;
    details.deltaX = 0.0f;
    details.deltaY = deltaY;
    details.isReversed = false;
    details.isSmooth = false;
    details.isInertial = false;
    target.mouseWheelMove (mouseEvent (target, {1.0f, 1.0f}), details);
}

/** The deepest child of root under a point of root's space, and the point in its space. */
inline std::pair<juce::Component*, juce::Point<float>> childAt (juce::Component& root, juce::Point<int> position)
{
    auto* target = root.getComponentAt (position);
    if (target == nullptr)
        return {nullptr, {}};
    return {target, target->getLocalPoint (&root, position.toFloat())};
}

/** Renders a component into an image at a magnification, as the window would. */
inline juce::Image render (juce::Component& component, float scale)
{
    juce::Image image (juce::Image::ARGB,
                       juce::roundToInt (static_cast<float> (component.getWidth()) * scale),
                       juce::roundToInt (static_cast<float> (component.getHeight()) * scale),
                       true);
    juce::Graphics g (image);
    g.addTransform (juce::AffineTransform::scale (scale));
    component.paintEntireComponent (g, false);
    return image;
}
} // namespace UiTest
