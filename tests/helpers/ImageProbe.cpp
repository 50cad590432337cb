#include "ImageProbe.h"

#include <catch2/catch_message.hpp>

namespace ImageProbe
{
juce::Image render (juce::Component& component)
{
    juce::Image image (juce::Image::ARGB, component.getWidth(), component.getHeight(), true, juce::SoftwareImageType());
    juce::Graphics g (image);
    component.paintEntireComponent (g, true);
    return image;
}

juce::Colour pixel (const juce::Image& image, int x, int y)
{
    const juce::Image::BitmapData data (image, juce::Image::BitmapData::readOnly);
    return data.getPixelColour (x, y);
}

bool near (const juce::Image& image, int x, int y, juce::Colour expected, int tolerance)
{
    const auto actual = pixel (image, x, y);
    const auto close = [tolerance] (juce::uint8 a, juce::uint8 b) { return std::abs ((int) a - (int) b) <= tolerance; };

    const auto matches = close (actual.getRed(), expected.getRed()) && close (actual.getGreen(), expected.getGreen())
                      && close (actual.getBlue(), expected.getBlue()) && close (actual.getAlpha(), expected.getAlpha());

    if (! matches)
        UNSCOPED_INFO ("pixel (" << x << ", " << y << ") is " << actual.toDisplayString (true) << ", expected "
                                 << expected.toDisplayString (true));

    return matches;
}

juce::Colour over (juce::Colour background, juce::Colour shade)
{
    return background.overlaidWith (shade);
}

double differingShare (const juce::Image& a, const juce::Image& b, int tolerance)
{
    if (a.getBounds() != b.getBounds())
        return 1.0;

    const juce::Image::BitmapData da (a, juce::Image::BitmapData::readOnly);
    const juce::Image::BitmapData db (b, juce::Image::BitmapData::readOnly);
    juce::int64 differing = 0;

    for (int y = 0; y < a.getHeight(); ++y)
    {
        for (int x = 0; x < a.getWidth(); ++x)
        {
            const auto ca = da.getPixelColour (x, y);
            const auto cb = db.getPixelColour (x, y);
            const auto far = [tolerance] (juce::uint8 p, juce::uint8 q)
            { return std::abs ((int) p - (int) q) > tolerance; };

            if (far (ca.getRed(), cb.getRed()) || far (ca.getGreen(), cb.getGreen())
                || far (ca.getBlue(), cb.getBlue()))
                ++differing;
        }
    }

    return (double) differing / (double) (a.getWidth() * a.getHeight());
}

juce::File save (const juce::Image& image, const juce::String& name)
{
    const auto file = juce::File (TEST_ARTEFACT_DIR).getChildFile (name + ".png");
    file.getParentDirectory().createDirectory();
    file.deleteFile();

    juce::FileOutputStream out (file);
    juce::PNGImageFormat().writeImageToStream (image, out);
    return file;
}
}  // namespace ImageProbe
