#include "ui/PanelBackground.h"

#include "BinaryData.h"
#include "ui/BitmapControls.h"

namespace PanelBackground
{
juce::Image forSize (juce::Point<int> size)
{
    if (size.x <= 0 || size.y <= 0)
        return {};

    // BinaryData names a file "panel_1092x720.png" as "panel_1092x720_png".
    const auto resource = fileName (size).replaceCharacter ('.', '_');
    int bytes = 0;
    if (const char* stored = BinaryData::getNamedResource (resource.toRawUTF8(), bytes))
        return loadEmbeddedImage (stored, bytes);

    const auto background = loadEmbeddedImage (BinaryData::bg_2_png, BinaryData::bg_2_pngSize);
    const auto lettering = loadEmbeddedImage (BinaryData::bg_hires_layer_png, BinaryData::bg_hires_layer_pngSize);
    if (background.isNull() || lettering.isNull())
        return {};
    return compose (background, lettering, size);
}
} // namespace PanelBackground
