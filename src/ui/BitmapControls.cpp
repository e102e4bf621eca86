#include "ui/BitmapControls.h"

#include "BinaryData.h"

#include <map>
#include <utility>

juce::Image loadEmbeddedImage (const char* data, int size)
{
    return juce::ImageFileFormat::loadFrom (data, static_cast<size_t> (size));
}

namespace
{
/** The decoded control images by their embedded data, kept until JUCE shuts
    down: some sixty controls show a dozen images. */
class SharedImages : private juce::DeletedAtShutdown
{
public:
    SharedImages() = default;
    ~SharedImages() override { clearSingletonInstance(); }

    juce::Image get (const char* data, int size)
    {
        auto& image = decoded[data];
        if (image.isNull())
            image = loadEmbeddedImage (data, size);
        return image;
    }

    JUCE_DECLARE_SINGLETON_SINGLETHREADED_MINIMAL (SharedImages)

private:
    std::map<const char*, juce::Image> decoded;

    JUCE_DECLARE_NON_COPYABLE (SharedImages)
};

JUCE_IMPLEMENT_SINGLETON (SharedImages)
} // namespace

namespace PanelImages
{
#define QORV_IMAGE(name) SharedImages::getInstance()->get (BinaryData::name, BinaryData::name##Size)

juce::Image faderHandle()
{
    return QORV_IMAGE (slider_handle_png);
}
juce::Image switchHandle()
{
    return QORV_IMAGE (switch_handle_png);
}
juce::Image leverHandle()
{
    return QORV_IMAGE (pbend_handle_png);
}
ImagePair greyButton()
{
    return {QORV_IMAGE (button_grey_png), QORV_IMAGE (button_grey_active_png)};
}
ImagePair orangeButton()
{
    return {QORV_IMAGE (button_orange_png), QORV_IMAGE (button_orange_active_png)};
}
ImagePair blueButton()
{
    return {QORV_IMAGE (button_blue_png), QORV_IMAGE (button_blue_active_png)};
}
ImagePair smallGreyButton()
{
    return {QORV_IMAGE (small_button_grey_png), QORV_IMAGE (small_button_grey_active_png)};
}
ImagePair smallOrangeButton()
{
    return {QORV_IMAGE (small_button_orange_png), QORV_IMAGE (small_button_orange_active_png)};
}
ImagePair lamp()
{
    return {QORV_IMAGE (light_on_png), QORV_IMAGE (light_off_png)};
}

#undef QORV_IMAGE
} // namespace PanelImages

namespace
{
void drawStretched (juce::Graphics& g, const juce::Image& image, juce::Rectangle<float> area)
{
    g.drawImage (image, area, juce::RectanglePlacement::stretchToFit);
}
} // namespace

//==============================================================================
BitmapSlider::BitmapSlider (juce::Image handle, int maximum) : handleImage (std::move (handle)), maxValue (maximum) {}

int BitmapSlider::valueForPosition (float y) const
{
    const float range = static_cast<float> (maxValue - minValue);
    const float travel = static_cast<float> (getHeight() - handleHeight);
    const float t = 1.0f - (y - static_cast<float> (handleHeight / 2)) / travel;
    const int steps = static_cast<int> (t * range + 0.5f);
    if (steps < 0)
        return minValue;
    return juce::jmin (maxValue, minValue + steps);
}

int BitmapSlider::handleTop() const
{
    const float range = static_cast<float> (maxValue - minValue);
    const float fraction = static_cast<float> (value - minValue) / range;
    return static_cast<int> ((1.0f - fraction) * static_cast<float> (getHeight() - handleHeight));
}

void BitmapSlider::setValue (int newValue)
{
    const int clamped = clampToRange (newValue);
    if (clamped == value)
        return;
    value = clamped;
    repaint();
}

void BitmapSlider::changeValue (int newValue)
{
    value = clampToRange (newValue);
    repaint();
    if (onChange)
        onChange (value);
}

void BitmapSlider::mouseDown (const juce::MouseEvent& e)
{
    contextPress = e.mods.isPopupMenu() && onContextMenu != nullptr;
    if (contextPress)
    {
        onContextMenu();
        return;
    }
    if (onDragStart)
        onDragStart();
    changeValue (valueForPosition (e.position.y));
}

void BitmapSlider::mouseDrag (const juce::MouseEvent& e)
{
    if (contextPress)
        return;
    changeValue (valueForPosition (e.position.y));
}

void BitmapSlider::mouseUp (const juce::MouseEvent&)
{
    if (std::exchange (contextPress, false))
        return;
    if (springBack)
        changeValue (restValue);
}

void BitmapSlider::mouseWheelMove (const juce::MouseEvent&, const juce::MouseWheelDetails& wheel)
{
    changeValue (wheel.deltaY > 0 ? value + 1 : value - 1);
}

void BitmapSlider::paint (juce::Graphics& g)
{
    drawStretched (g, handleImage, juce::Rectangle<int> (0, handleTop(), handleWidth, handleHeight).toFloat());
}

//==============================================================================
BitmapSwitch::BitmapSwitch (juce::Image handle) : handleImage (std::move (handle)) {}

void BitmapSwitch::setPosition (int newPosition)
{
    const int limited = juce::jlimit (0, juce::jmax (0, numPositions - 1), newPosition);
    if (limited == position)
        return;
    position = limited;
    repaint();
}

int BitmapSwitch::handleTop() const
{
    const int n = numPositions;
    if (n < 2)
        return 0;
    const float fraction = static_cast<float> (n - 1 - position) / static_cast<float> (n - 1);
    return static_cast<int> (fraction * static_cast<float> (getHeight() - handleHeight));
}

void BitmapSwitch::mouseDown (const juce::MouseEvent& e)
{
    if (e.mods.isPopupMenu() && onContextMenu != nullptr)
    {
        onContextMenu();
        return;
    }
    position = juce::jlimit (0, juce::jmax (0, numPositions - 1), (position + 1) % juce::jmax (1, numPositions));
    repaint();
    if (onChange)
        onChange (position);
}

void BitmapSwitch::paint (juce::Graphics& g)
{
    drawStretched (g, handleImage, juce::Rectangle<int> (0, handleTop(), handleWidth, handleHeight).toFloat());
}

//==============================================================================
BitmapButton::BitmapButton (juce::Image normal, juce::Image pressed)
    : normalImage (std::move (normal)), pressedImage (std::move (pressed))
{
}

void BitmapButton::setEnabledState (bool shouldBeEnabled)
{
    if (enabled == shouldBeEnabled)
        return;
    enabled = shouldBeEnabled;
    repaint();
}

void BitmapButton::mouseDown (const juce::MouseEvent& e)
{
    if (e.mods.isPopupMenu() && onContextMenu != nullptr)
    {
        onContextMenu();
        return;
    }
    if (!enabled)
        return;
    isDown = true;
    repaint();
    if (onPress)
        onPress();
}

void BitmapButton::mouseUp (const juce::MouseEvent&)
{
    // A press always ends, even when the button was disabled while held.
    const bool wasDown = isDown;
    isDown = false;
    if (!wasDown)
        return;
    repaint();
    if (onRelease)
        onRelease();
    if (enabled && onClick)
        onClick();
}

void BitmapButton::paint (juce::Graphics& g)
{
    drawStretched (g, isDown ? pressedImage : normalImage, getLocalBounds().toFloat());
    if (!enabled)
    {
        g.setColour (juce::Colour (0x44000000));
        g.fillRect (getLocalBounds());
    }
}

//==============================================================================
BitmapIndicator::BitmapIndicator (juce::Image lit, juce::Image unlit)
    : onImage (std::move (lit)), offImage (std::move (unlit))
{
}

void BitmapIndicator::setOn (bool shouldBeOn)
{
    if (isOn == shouldBeOn)
        return;
    isOn = shouldBeOn;
    repaint();
}

void BitmapIndicator::paint (juce::Graphics& g)
{
    drawStretched (g, isOn ? onImage : offImage, getLocalBounds().toFloat());
}
