// The embedded panel images as the program decodes them: every listed image is
// there at its size, opaque where the controls stretch it over the panel,
// transparent where the panel must show through; the backgrounds stored for
// the View sizes are exactly the layers composed; every control image is
// decoded once.

#include "BinaryData.h"
#include "ui/BitmapControls.h"
#include "ui/PanelBackground.h"

#include <juce_graphics/juce_graphics.h>

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

namespace
{
enum class Alpha
{
    Opaque,          // every pixel fully opaque, with or without an alpha channel
    NoAlpha,         // no alpha channel at all, so it decodes to three bytes a pixel
    OpaqueWithAlpha, // an alpha channel, yet every pixel fully opaque
    Lamp,            // a round lamp on a transparent square
    Lettering        // transparent but for light grey lettering
};

struct Expected
{
    const char* resource;
    int width;
    int height;
    Alpha alpha;
};

const Expected images[] = {
    {"bg_2_png", 910, 600, Alpha::OpaqueWithAlpha},
    {"bg_hires_layer_png", 3640, 2400, Alpha::Lettering},
    {"panel_728x480_png", 728, 480, Alpha::NoAlpha},
    {"panel_910x600_png", 910, 600, Alpha::NoAlpha},
    {"panel_1092x720_png", 1092, 720, Alpha::NoAlpha},
    {"panel_1274x840_png", 1274, 840, Alpha::NoAlpha},
    {"slider_handle_png", 24, 16, Alpha::Opaque},
    {"switch_handle_png", 16, 16, Alpha::Opaque},
    {"button_grey_png", 28, 20, Alpha::Opaque},
    {"button_grey_active_png", 28, 20, Alpha::Opaque},
    {"button_orange_png", 28, 20, Alpha::Opaque},
    {"button_orange_active_png", 28, 20, Alpha::Opaque},
    {"button_blue_png", 28, 20, Alpha::Opaque},
    {"button_blue_active_png", 28, 20, Alpha::Opaque},
    {"small_button_grey_png", 20, 16, Alpha::Opaque},
    {"small_button_grey_active_png", 20, 16, Alpha::Opaque},
    {"small_button_orange_png", 20, 16, Alpha::Opaque},
    {"small_button_orange_active_png", 20, 16, Alpha::Opaque},
    {"light_on_png", 12, 12, Alpha::Lamp},
    {"light_off_png", 12, 12, Alpha::Lamp},
    {"library_button_up_png", 16, 16, Alpha::Opaque},
    {"library_button_down_png", 16, 16, Alpha::Opaque},
    {"library_slider_png", 14, 300, Alpha::Opaque},
    {"listview_png", 154, 206, Alpha::Opaque},
    {"midi_png", 432, 56, Alpha::Opaque},
    {"pbend_handle_png", 12, 12, Alpha::Opaque},
};

// Names the image in test output instead of dumping the structure's bytes.
void PrintTo (const Expected& expected, std::ostream* out)
{
    *out << expected.resource;
}

juce::Image decode (const char* resource)
{
    int size = 0;
    const char* data = BinaryData::getNamedResource (resource, size);
    if (data == nullptr)
        return {};
    return juce::ImageFileFormat::loadFrom (data, (size_t)size);
}

// Counts pixels by their alpha: fully transparent, fully opaque.
struct AlphaCount
{
    long transparent = 0;
    long opaque = 0;
    long total = 0;
};

AlphaCount countAlpha (const juce::Image& image, juce::Rectangle<int> area)
{
    const juce::Image::BitmapData pixels (image, juce::Image::BitmapData::readOnly);
    AlphaCount count;
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
        {
            const auto a = pixels.getPixelColour (x, y).getAlpha();
            count.transparent += a == 0 ? 1 : 0;
            count.opaque += a == 255 ? 1 : 0;
            ++count.total;
        }
    return count;
}

class EmbeddedImage : public ::testing::TestWithParam<Expected>
{
};

TEST_P (EmbeddedImage, DecodesAtItsSizeWithItsTransparency)
{
    const auto& expected = GetParam();
    const auto image = decode (expected.resource);
    ASSERT_TRUE (image.isValid()) << expected.resource << " is missing or does not decode";
    EXPECT_EQ (image.getWidth(), expected.width);
    EXPECT_EQ (image.getHeight(), expected.height);

    const auto all = countAlpha (image, image.getBounds());
    switch (expected.alpha)
    {
        case Alpha::Opaque:
            EXPECT_EQ (all.opaque, all.total) << "a control stretches it over the panel, so it must cover";
            break;
        case Alpha::NoAlpha:
            EXPECT_FALSE (image.hasAlphaChannel());
            break;
        case Alpha::OpaqueWithAlpha:
            EXPECT_TRUE (image.hasAlphaChannel());
            EXPECT_EQ (all.opaque, all.total);
            break;
        case Alpha::Lamp:
        {
            ASSERT_TRUE (image.hasAlphaChannel());
            const int w = image.getWidth();
            const int h = image.getHeight();
            for (const auto& corner : {juce::Point<int> (0, 0), {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}})
                EXPECT_EQ ((int)image.getPixelAt (corner.x, corner.y).getAlpha(), 0) << "corner " << corner.toString();
            EXPECT_EQ ((int)image.getPixelAt (w / 2, h / 2).getAlpha(), 255) << "the lamp's lens must be solid";
            break;
        }
        case Alpha::Lettering:
            ASSERT_TRUE (image.hasAlphaChannel());
            EXPECT_GT (all.transparent, all.total * 9 / 10) << "the overlay must leave the panel visible";
            EXPECT_GT (all.opaque, 0) << "the overlay carries no lettering";
            break;
    }
}

INSTANTIATE_TEST_SUITE_P (PanelImages,
                          EmbeddedImage,
                          ::testing::ValuesIn (images),
                          [] (const ::testing::TestParamInfo<Expected>& param)
                          { return std::string (param.param.resource); });

TEST (EmbeddedImages, HoldExactlyTheListedImages)
{
    ASSERT_EQ ((size_t)BinaryData::namedResourceListSize, std::size (images));
    for (const auto& expected : images)
    {
        bool listed = false;
        for (int i = 0; i < BinaryData::namedResourceListSize; ++i)
            listed = listed || std::strcmp (BinaryData::namedResourceList[i], expected.resource) == 0;
        EXPECT_TRUE (listed) << expected.resource;
    }
}

// Counts the pixels where two images of one size differ.
long differingPixels (const juce::Image& a, const juce::Image& b)
{
    const juce::Image::BitmapData pa (a, juce::Image::BitmapData::readOnly);
    const juce::Image::BitmapData pb (b, juce::Image::BitmapData::readOnly);
    long differing = 0;
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            differing += pa.getPixelColour (x, y) != pb.getPixelColour (x, y) ? 1 : 0;
    return differing;
}

// The program shows the stored compositions as they are, so one left behind
// by a change of either layer would show an old panel.
TEST (PanelBackground, StoredForEachViewSizeIsExactlyTheLayersComposed)
{
    const auto background = decode ("bg_2_png");
    const auto lettering = decode ("bg_hires_layer_png");
    ASSERT_TRUE (background.isValid() && lettering.isValid());
    for (float scale : PanelBackground::storedScales)
    {
        const auto size = PanelBackground::pixelSize (scale);
        const auto stored = decode (PanelBackground::fileName (size).replaceCharacter ('.', '_').toRawUTF8());
        ASSERT_TRUE (stored.isValid()) << PanelBackground::fileName (size) << " is not embedded";
        ASSERT_EQ (stored.getBounds(), juce::Rectangle<int> (size.x, size.y));
        EXPECT_EQ (differingPixels (stored, PanelBackground::compose (background, lettering, size)), 0)
            << PanelBackground::fileName (size) << " is stale: run scripts/make-artwork.sh";
    }
}

// A desktop that magnifies every window asks for sizes nothing is stored for.
TEST (PanelBackground, OtherSizesAreComposedFromTheLayers)
{
    const juce::Point<int> doubled (1456, 960), stretched (800, 500);
    for (const auto size : {doubled, stretched})
    {
        const auto image = PanelBackground::forSize (size);
        ASSERT_EQ (image.getBounds(), juce::Rectangle<int> (size.x, size.y));
        EXPECT_EQ (differingPixels (
                       image, PanelBackground::compose (decode ("bg_2_png"), decode ("bg_hires_layer_png"), size)),
                   0);
    }
    EXPECT_TRUE (PanelBackground::forSize ({0, 0}).isNull());
}

TEST (PanelImages, EachIsDecodedOnceAndSharedByEveryControl)
{
    // The images outlive this test in a cache that JUCE's shut-down clears.
    const juce::ScopedJuceInitialiser_GUI juce;
    const auto first = PanelImages::greyButton();
    const auto second = PanelImages::greyButton();
    ASSERT_TRUE (first.first.isValid() && first.second.isValid());
    EXPECT_EQ (first.first.getPixelData(), second.first.getPixelData());
    EXPECT_EQ (first.second.getPixelData(), second.second.getPixelData());
    EXPECT_NE (first.first.getPixelData(), first.second.getPixelData()) << "released and pressed are two images";
    EXPECT_EQ (PanelImages::faderHandle().getPixelData(), PanelImages::faderHandle().getPixelData());
}

// Panel rectangles in logical pixels (the background is stored at 1.25 and
// the overlay at 5 times that) where the program draws text of its own.
const juce::Rectangle<int> textAreas[] = {
    {192, 20, 186, 16}, // ACTIVE PATCH
    {595, 20, 116, 16}, // STATUS
    {8, 416, 104, 16},  // MIDI IN
    {8, 105, 172, 248}, // BANK list
    {280, 420, 432, 56} // keyboard
};

TEST (PanelLettering, LeavesTheDisplaysTheListAndTheKeysClear)
{
    const auto overlay = decode ("bg_hires_layer_png");
    ASSERT_TRUE (overlay.isValid());
    for (const auto& area : textAreas)
    {
        const auto count = countAlpha (overlay, area * 5);
        EXPECT_EQ (count.transparent, count.total) << "lettering over " << area.toString();
    }
}

TEST (PanelLettering, IsLightGrey)
{
    const auto overlay = decode ("bg_hires_layer_png");
    ASSERT_TRUE (overlay.isValid());
    const juce::Image::BitmapData pixels (overlay, juce::Image::BitmapData::readOnly);
    long strayColours = 0;
    for (int y = 0; y < overlay.getHeight(); ++y)
        for (int x = 0; x < overlay.getWidth(); ++x)
        {
            const auto c = pixels.getPixelColour (x, y);
            // Faint edge pixels lose colour precision when stored unpremultiplied.
            if (c.getAlpha() >= 128 && (c.getRed() < 200 || c.getGreen() < 200 || c.getBlue() < 195))
                ++strayColours;
        }
    EXPECT_EQ (strayColours, 0);
}

struct Swatch
{
    const char* what;
    juce::Point<int> at; // logical panel pixel
    juce::Colour colour;
    int tolerance;
};

TEST (PanelBackground, ShowsBarsWindowsAndKeysWhereTheControlsSit)
{
    const juce::Colour blue (59, 110, 151), red (204, 60, 56), maroon (36, 0, 4);
    const Swatch swatches[] = {
        {"BANK bar", {90, 52}, blue, 12},
        {"MIDI IN bar", {90, 380}, blue, 12},
        {"LFO bar", {237, 52}, red, 12},
        {"HPF bar", {700, 52}, red, 12},
        {"VCF bar", {300, 212}, red, 12},
        {"CHORUS bar", {680, 212}, red, 12},
        {"ACTIVE PATCH window", {285, 28}, maroon, 8},
        {"STATUS window", {653, 28}, maroon, 8},
        {"MIDI IN window", {60, 424}, maroon, 8},
        {"BANK list window", {94, 229}, maroon, 8},
        {"panel", {290, 180}, juce::Colour (78, 82, 80), 12},
        {"white key", {286, 466}, juce::Colour (232, 226, 212), 24},
        {"black key", {292, 436}, juce::Colour (40, 40, 40), 40},
    };

    const auto background = decode ("bg_2_png");
    ASSERT_TRUE (background.isValid());
    for (const auto& s : swatches)
    {
        const auto c = background.getPixelAt (s.at.x * 5 / 4, s.at.y * 5 / 4);
        const int off = juce::jmax (std::abs (c.getRed() - s.colour.getRed()),
                                    std::abs (c.getGreen() - s.colour.getGreen()),
                                    std::abs (c.getBlue() - s.colour.getBlue()));
        EXPECT_LE (off, s.tolerance) << s.what << " reads " << c.toDisplayString (false);
    }
}
} // namespace
