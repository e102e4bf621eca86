#include "ui/BitmapControls.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>

namespace
{
juce::Image solidImage (int w, int h, juce::Colour colour)
{
    juce::Image image (juce::Image::ARGB, w, h, true);
    image.clear (image.getBounds(), colour);
    return image;
}

struct SliderCase
{
    int maximum;
    float y;
    int expected;
};

class FaderPosition : public ::testing::TestWithParam<SliderCase>
{
};

TEST_P (FaderPosition, PointerSelectsValue)
{
    const auto& c = GetParam();
    BitmapSlider slider (solidImage (24, 16, juce::Colours::white), c.maximum);
    slider.setSize (24, 96);
    std::vector<int> reported;
    slider.onChange = [&] (int v) { reported.push_back (v); };

    UiTest::press (slider, 12.0f, c.y);
    ASSERT_EQ (reported.size(), 1u);
    EXPECT_EQ (reported.back(), c.expected);
    EXPECT_EQ (slider.getValue(), c.expected);
}

INSTANTIATE_TEST_SUITE_P (PanelFaders,
                          FaderPosition,
                          ::testing::Values (SliderCase{127, 48.0f, 64},
                                             SliderCase{127, 8.0f, 127},
                                             SliderCase{127, -50.0f, 127},
                                             SliderCase{127, 88.0f, 0},
                                             SliderCase{127, 300.0f, 0},
                                             SliderCase{3, 48.0f, 2},
                                             SliderCase{3, 60.0f, 1},
                                             SliderCase{3, 0.0f, 3}));

TEST (BitmapSlider, HandleFollowsValue)
{
    BitmapSlider slider (solidImage (24, 16, juce::Colours::white), 127);
    slider.setSize (24, 96);
    for (auto [value, top] : {std::pair{127, 0}, {0, 80}, {64, 39}})
    {
        slider.setValue (value);
        EXPECT_EQ (slider.handleTop(), top) << "value " << value;
    }
}

TEST (BitmapSlider, DragReportsEveryEventAndStartsGestureOnce)
{
    BitmapSlider slider (solidImage (24, 16, juce::Colours::white), 127);
    slider.setSize (24, 96);
    int gestures = 0;
    std::vector<int> reported;
    slider.onDragStart = [&]
    {
        ++gestures;
        EXPECT_TRUE (reported.empty());
    };
    slider.onChange = [&] (int v) { reported.push_back (v); };

    UiTest::press (slider, 12.0f, 48.0f);
    UiTest::drag (slider, 12.0f, 47.9f); // same step: still reported
    UiTest::drag (slider, 12.0f, 20.0f);
    UiTest::drag (slider, 12.0f, -400.0f);
    UiTest::release (slider, 12.0f, -400.0f);

    EXPECT_EQ (gestures, 1);
    EXPECT_EQ (reported, (std::vector<int>{64, 64, 108, 127}));
}

TEST (BitmapSlider, WheelStepsByOneAndReportsAtTheEnds)
{
    BitmapSlider slider (solidImage (24, 16, juce::Colours::white), 127);
    slider.setSize (24, 96);
    int gestures = 0;
    std::vector<int> reported;
    slider.onDragStart = [&] { ++gestures; };
    slider.onChange = [&] (int v) { reported.push_back (v); };

    slider.setValue (126);
    UiTest::wheel (slider, 0.5f);
    UiTest::wheel (slider, 0.5f);
    UiTest::wheel (slider, 0.0f);
    slider.setValue (0);
    UiTest::wheel (slider, -1.0f);

    EXPECT_EQ (reported, (std::vector<int>{127, 127, 126, 0}));
    EXPECT_EQ (gestures, 0);
}

TEST (BitmapSlider, SpringBackOnlyWhenSet)
{
    BitmapSlider lever (solidImage (12, 12, juce::Colours::white), 127);
    lever.setSize (12, 56);
    std::vector<int> reported;
    lever.onChange = [&] (int v) { reported.push_back (v); };

    UiTest::press (lever, 6.0f, 0.0f);
    UiTest::release (lever, 6.0f, 0.0f);
    EXPECT_EQ (reported, (std::vector<int>{127}));

    lever.springBack = true;
    lever.restValue = 64;
    reported.clear();
    UiTest::press (lever, 6.0f, 0.0f);
    UiTest::release (lever, 6.0f, 0.0f);
    EXPECT_EQ (reported, (std::vector<int>{127, 64}));
    EXPECT_EQ (lever.getValue(), 64);
}

TEST (BitmapSlider, ValuesFromCodeAreClampedAndSilent)
{
    BitmapSlider slider (solidImage (24, 16, juce::Colours::white), 3);
    slider.setSize (24, 96);
    int calls = 0;
    slider.onChange = [&] (int) { ++calls; };
    slider.setValue (9);
    EXPECT_EQ (slider.getValue(), 3);
    slider.setValue (-2);
    EXPECT_EQ (slider.getValue(), 0);
    EXPECT_EQ (calls, 0);
}

TEST (BitmapSwitch, EveryClickTogglesAndReports)
{
    BitmapSwitch sw (solidImage (16, 16, juce::Colours::white));
    sw.setSize (16, 32);
    std::vector<int> reported;
    sw.onChange = [&] (int p) { reported.push_back (p); };

    sw.setPosition (1);
    EXPECT_EQ (sw.handleTop(), 0);
    UiTest::press (sw, 8.0f, 30.0f);
    EXPECT_EQ (sw.handleTop(), 16);
    UiTest::press (sw, 8.0f, 2.0f);
    EXPECT_EQ (reported, (std::vector<int>{0, 1}));

    sw.setPosition (5);
    EXPECT_EQ (sw.getPosition(), 1);
    EXPECT_EQ (reported.size(), 2u);
}

TEST (BitmapButton, PressReleaseOrderAndDragOff)
{
    BitmapButton button (solidImage (28, 20, juce::Colours::grey), solidImage (28, 20, juce::Colours::red));
    button.setSize (28, 20);
    std::vector<std::string> calls;
    button.onPress = [&] { calls.push_back ("press"); };
    button.onRelease = [&] { calls.push_back ("release"); };
    button.onClick = [&] { calls.push_back ("click"); };

    UiTest::press (button, 5.0f, 5.0f);
    EXPECT_TRUE (button.isPressed());
    UiTest::release (button, 200.0f, -50.0f); // pointer left the button
    EXPECT_FALSE (button.isPressed());
    EXPECT_EQ (calls, (std::vector<std::string>{"press", "release", "click"}));
}

TEST (BitmapButton, DisabledButtonCallsNothingAndIsVeiled)
{
    BitmapButton button (solidImage (28, 20, juce::Colours::white), solidImage (28, 20, juce::Colours::red));
    button.setSize (28, 20);
    int calls = 0;
    button.onPress = button.onRelease = button.onClick = [&] { ++calls; };

    button.setEnabledState (false);
    UiTest::press (button, 5.0f, 5.0f);
    EXPECT_FALSE (button.isPressed());
    const auto image = UiTest::render (button, 1.0f);
    UiTest::release (button, 5.0f, 5.0f);
    EXPECT_EQ (calls, 0);

    // The released image under a black veil of alpha 0x44: white turns to grey 0xBB.
    const auto pixel = image.getPixelAt (14, 10);
    EXPECT_EQ (pixel.getRed(), 0xBB);
    EXPECT_EQ (pixel.getGreen(), 0xBB);
}

TEST (BitmapIndicator, DrawsTheImageOfItsState)
{
    BitmapIndicator lamp (solidImage (12, 12, juce::Colours::red), solidImage (12, 12, juce::Colours::black));
    lamp.setSize (12, 12);
    EXPECT_EQ (UiTest::render (lamp, 1.0f).getPixelAt (6, 6), juce::Colours::black);
    lamp.setOn (true);
    EXPECT_EQ (UiTest::render (lamp, 1.0f).getPixelAt (6, 6), juce::Colours::red);
}
} // namespace
