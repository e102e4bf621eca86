// Draws the panel's embedded images, the application icon and the icons of
// the file types Qorv opens, and writes them as PNG files:
//
//   qorv_artgen <images-dir> <icons-dir> [--preview <dir>]
//
// The background and the lettering are also written composed, ready to show,
// at each size of the View menu (panel_728x480.png ... panel_1274x840.png),
// from the two layers' files decoded as the program decodes them, so the
// program shows exactly the pixels it would compose itself.
//
// With --preview it also composes the whole panel at the four window
// magnifications (preview-100.png ... preview-175.png) from the files it has
// just written, decoded as the program decodes them.

#include "ArtFonts.h"
#include "ControlArt.h"
#include "FileTypeIcons.h"
#include "PanelArt.h"
#include "PanelPreview.h"
#include "ui/PanelBackground.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <iostream>

namespace qorv::art
{
namespace
{
    struct Artwork
    {
        juce::String fileName;
        int width;
        int height;
        juce::Image image;
    };

    juce::Image drawScaled (int width, int height, float scale, const std::function<void (juce::Graphics&)>& paint)
    {
        juce::Image image (juce::Image::ARGB, width, height, true);
        juce::Graphics g (image);
        g.addTransform (juce::AffineTransform::scale (scale));
        paint (g);
        return image;
    }

    // The program shrinks the lettering with bilinear sampling, which at a
    // magnification of 1 reads only every fifth pixel and would break thin
    // strokes apart. Two passes of a three-pixel box (a five-pixel tent) over
    // the premultiplied pixels spread every edge across the sampled pixels
    // while keeping the letters sharp at the larger magnifications.
    void softenForDownscaling (juce::Image& image)
    {
        constexpr int r = 1;
        const juce::Image::BitmapData data (image, juce::Image::BitmapData::readWrite);
        const int w = image.getWidth();
        const int h = image.getHeight();
        auto pass = [&] (int count, int length, auto pixelAt)
        {
            std::vector<juce::PixelARGB> line ((size_t)length);
            for (int n = 0; n < count; ++n)
            {
                for (int i = 0; i < length; ++i)
                    line[(size_t)i] = *pixelAt (n, i);
                for (int i = 0; i < length; ++i)
                {
                    int sum[4] = {};
                    for (int k = -r; k <= r; ++k)
                    {
                        const auto& p = line[(size_t)juce::jlimit (0, length - 1, i + k)];
                        sum[0] += p.getAlpha();
                        sum[1] += p.getRed();
                        sum[2] += p.getGreen();
                        sum[3] += p.getBlue();
                    }
                    const int taps = 2 * r + 1;
                    pixelAt (n, i)->setARGB ((juce::uint8) ((sum[0] + taps / 2) / taps),
                                             (juce::uint8) ((sum[1] + taps / 2) / taps),
                                             (juce::uint8) ((sum[2] + taps / 2) / taps),
                                             (juce::uint8) ((sum[3] + taps / 2) / taps));
                }
            }
        };
        for (int round = 0; round < 2; ++round)
        {
            pass (h, w, [&] (int y, int x) { return (juce::PixelARGB*)data.getPixelPointer (x, y); });
            pass (w, h, [&] (int x, int y) { return (juce::PixelARGB*)data.getPixelPointer (x, y); });
        }
    }

    std::vector<Artwork> drawPanelImages (const PanelLettering& lettering)
    {
        // The background keeps an alpha channel (every pixel opaque); the
        // lettering is drawn at five times the panel so it stays sharp when
        // the window magnifies the panel.
        const auto background = drawScaled (910, 600, 1.25f, [] (juce::Graphics& g) { drawBackground (g); });
        auto overlay = drawScaled (3640, 2400, 5.0f, [&] (juce::Graphics& g) { lettering.draw (g); });
        softenForDownscaling (overlay);

        using B = ButtonColour;
        return {
            {"bg_2.png", 910, 600, background},
            {"bg_hires_layer.png", 3640, 2400, overlay},
            {"slider_handle.png", 24, 16, makeFaderHandle()},
            {"switch_handle.png", 16, 16, makeSwitchHandle()},
            {"button_grey.png", 28, 20, makeButton (28, 20, B::Grey, false)},
            {"button_grey_active.png", 28, 20, makeButton (28, 20, B::Grey, true)},
            {"button_orange.png", 28, 20, makeButton (28, 20, B::Orange, false)},
            {"button_orange_active.png", 28, 20, makeButton (28, 20, B::Orange, true)},
            {"button_blue.png", 28, 20, makeButton (28, 20, B::Blue, false)},
            {"button_blue_active.png", 28, 20, makeButton (28, 20, B::Blue, true)},
            {"small_button_grey.png", 20, 16, makeButton (20, 16, B::Grey, false)},
            {"small_button_grey_active.png", 20, 16, makeButton (20, 16, B::Grey, true)},
            {"small_button_orange.png", 20, 16, makeButton (20, 16, B::Orange, false)},
            {"small_button_orange_active.png", 20, 16, makeButton (20, 16, B::Orange, true)},
            {"light_on.png", 12, 12, makeLamp (true)},
            {"light_off.png", 12, 12, makeLamp (false)},
            {"library_button_up.png", 16, 16, makeLibraryButton (true)},
            {"library_button_down.png", 16, 16, makeLibraryButton (false)},
            {"library_slider.png", 14, 300, makeLibrarySlider()},
            {"listview.png", 154, 206, makeListView()},
            {"midi.png", 432, 56, makeKeyboardStrip()},
            {"pbend_handle.png", 12, 12, makeLeverHandle()},
        };
    }

    // Written beside the target and moved over it, so a failed run never
    // leaves a half-written image behind.
    bool writePng (const juce::Image& image, const juce::File& file)
    {
        juce::TemporaryFile temp (file);
        {
            juce::FileOutputStream out (temp.getFile());
            if (!out.openedOk() || !juce::PNGImageFormat().writeImageToStream (image, out))
                return false;
            out.flush();
            if (out.getStatus().failed())
                return false;
        }
        return temp.overwriteTargetFileWithTemporary();
    }

    bool writeAll (const std::vector<Artwork>& artworks, const juce::File& dir)
    {
        if (!dir.createDirectory())
        {
            std::cerr << "cannot create " << dir.getFullPathName() << "\n";
            return false;
        }
        for (const auto& art : artworks)
        {
            if (art.image.getWidth() != art.width || art.image.getHeight() != art.height)
            {
                std::cerr << art.fileName << " was drawn at the wrong size\n";
                return false;
            }
            const auto file = dir.getChildFile (art.fileName);
            if (!writePng (art.image, file))
            {
                std::cerr << "cannot write " << file.getFullPathName() << "\n";
                return false;
            }
            std::cout << file.getFullPathName() << "  " << art.width << " x " << art.height << "  " << file.getSize()
                      << " bytes\n";
        }
        return true;
    }

    juce::Image decodeWritten (const juce::File& imageDir, const juce::String& fileName)
    {
        return juce::ImageFileFormat::loadFrom (imageDir.getChildFile (fileName));
    }

    // Empty when a layer cannot be read back.
    std::vector<Artwork> composeBackgrounds (const juce::File& imageDir)
    {
        const auto background = decodeWritten (imageDir, "bg_2.png");
        const auto lettering = decodeWritten (imageDir, "bg_hires_layer.png");
        if (background.isNull() || lettering.isNull())
            return {};
        std::vector<Artwork> composed;
        for (float scale : PanelBackground::storedScales)
        {
            const auto size = PanelBackground::pixelSize (scale);
            composed.push_back ({PanelBackground::fileName (size),
                                 size.x,
                                 size.y,
                                 PanelBackground::compose (background, lettering, size)});
        }
        return composed;
    }

    bool writePreviews (const std::vector<Artwork>& written,
                        const juce::File& imageDir,
                        const ArtFonts& fonts,
                        const juce::File& previewDir)
    {
        ImageSet images;
        for (const auto& art : written)
            images[art.fileName] = decodeWritten (imageDir, art.fileName);

        for (int percent : {100, 125, 150, 175})
        {
            const auto image = composePanel (images, fonts.monoBold (11.0f), (float)percent / 100.0f);
            const juce::String name = "preview-" + juce::String (percent) + ".png";
            if (!previewDir.createDirectory() || !writePng (image, previewDir.getChildFile (name)))
            {
                std::cerr << "cannot write " << previewDir.getChildFile (name).getFullPathName() << "\n";
                return false;
            }
            std::cout << previewDir.getChildFile (name).getFullPathName() << "\n";
        }
        return true;
    }

    int run (const juce::StringArray& args)
    {
        const int previewFlag = args.indexOf ("--preview");
        const bool wantPreview = previewFlag >= 0 && previewFlag + 1 < args.size();
        juce::StringArray dirs = args;
        if (previewFlag >= 0)
            dirs.removeRange (previewFlag, 2);
        if (dirs.size() != 2 || (previewFlag >= 0 && !wantPreview))
        {
            std::cerr << "usage: qorv_artgen <images-dir> <icons-dir> [--preview <dir>]\n";
            return 2;
        }
        const auto cwd = juce::File::getCurrentWorkingDirectory();
        const auto imageDir = cwd.getChildFile (dirs[0]);
        const auto iconDir = cwd.getChildFile (dirs[1]);

        ArtFonts fonts;
        if (!fonts.isValid())
        {
            std::cerr << fonts.getError();
            return 1;
        }

        // Lettering that covers a control would vanish under it in the
        // program, so such a layout is refused before anything is written.
        const PanelLettering lettering (fonts);
        const auto collisions = lettering.findCollisions();
        if (!collisions.isEmpty())
        {
            std::cerr << "the panel lettering collides:\n" << collisions.joinIntoString ("\n") << "\n";
            return 1;
        }

        const auto panelImages = drawPanelImages (lettering);
        const std::vector<Artwork> icons{
            {"qorv.png", 256, 256, makeIcon (fonts, 256)},
            {"qorv-48.png", 48, 48, makeIcon (fonts, 48)},
            {"org.qorv.Qorv-library.png", 256, 256, makeFileTypeIcon (fonts, FileType::Library, 256)},
            {"org.qorv.Qorv-library-48.png", 48, 48, makeFileTypeIcon (fonts, FileType::Library, 48)},
            {"org.qorv.Qorv-sysex.png", 256, 256, makeFileTypeIcon (fonts, FileType::SysEx, 256)},
            {"org.qorv.Qorv-sysex-48.png", 48, 48, makeFileTypeIcon (fonts, FileType::SysEx, 48)},
            {"org.qorv.Qorv-preset.png", 256, 256, makeFileTypeIcon (fonts, FileType::Preset, 256)},
            {"org.qorv.Qorv-preset-48.png", 48, 48, makeFileTypeIcon (fonts, FileType::Preset, 48)},
        };
        if (!writeAll (panelImages, imageDir) || !writeAll (icons, iconDir))
            return 1;

        const auto backgrounds = composeBackgrounds (imageDir);
        if (backgrounds.empty())
        {
            std::cerr << "cannot read back the background layers from " << imageDir.getFullPathName() << "\n";
            return 1;
        }
        if (!writeAll (backgrounds, imageDir))
            return 1;

        auto written = panelImages;
        written.insert (written.end(), backgrounds.begin(), backgrounds.end());
        if (wantPreview && !writePreviews (written, imageDir, fonts, cwd.getChildFile (args[previewFlag + 1])))
            return 1;
        return 0;
    }
} // namespace
} // namespace qorv::art

int main (int argc, char* argv[])
{
    // Fonts and image codecs need JUCE's GUI side set up, but no window is shown.
    juce::ScopedJuceInitialiser_GUI juce;
    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (argv[i]);
    return qorv::art::run (args);
}
