#include "helpers/ImageProbe.h"
#include "helpers/TestInstaller.h"
#include "theme/Palette.h"

#include <catch2/catch_test_macros.hpp>

namespace
{
juce::Colour shade (juce::Colour colour, float alpha)
{
    return ImageProbe::over (paletteNearBlack, colour.withAlpha (alpha));
}
}  // namespace

TEST_CASE ("The main screen paints its design at 600 by 600", "[painting]")
{
    TestInstaller installer;
    auto& screen = installer.start();
    const auto image = ImageProbe::render (screen);

    SECTION ("background, top bar, corner dots and section rules")
    {
        CHECK (ImageProbe::near (image, 590, 300, paletteNearBlack));
        CHECK (ImageProbe::near (image, 300, 2, paletteBlue));
        CHECK (ImageProbe::near (image, 300, 7, paletteNearBlack));
        CHECK (ImageProbe::near (image, 591, 591, shade (paletteWarmGrey, 0.5f)));
        CHECK (ImageProbe::near (image, 591, 579, shade (paletteWarmGrey, 0.5f)));
        CHECK (ImageProbe::near (image, 579, 591, shade (paletteWarmGrey, 0.5f)));
        CHECK (ImageProbe::near (image, 579, 579, paletteNearBlack));
        CHECK (ImageProbe::near (image, 300, 165, paletteWarmGrey));
        CHECK (ImageProbe::near (image, 300, 429, paletteWarmGrey));
        CHECK (ImageProbe::near (image, 300, 168, paletteNearBlack));
    }

    SECTION ("rows of formats that are not installed are translucent grey")
    {
        CHECK (ImageProbe::near (image, 280, 200, shade (paletteWarmGrey, 0.35f)));
        CHECK (ImageProbe::near (image, 560, 200, shade (paletteWarmGrey, 0.35f)));
        CHECK (ImageProbe::near (image, 280, 270, shade (paletteWarmGrey, 0.35f)));
    }

    SECTION ("extras buttons rest in half-transparent grey, select all in a faint one")
    {
        for (auto x : { 28, 97, 166, 235, 520 })
            CHECK (ImageProbe::near (image, x, 470, shade (paletteWarmGrey, 0.5f)));

        CHECK (ImageProbe::near (image, 484, 147, shade (paletteWarmGrey, 0.1f)));
    }

    SECTION ("the whole picture matches the reference")
    {
        ImageProbe::save (image, "main_screen_600");
        const auto reference = juce::File (TEST_REFERENCE_DIR).getChildFile ("main_screen_600.png");

        if (juce::SystemStats::getEnvironmentVariable ("UPDATE_REFERENCE_IMAGES", {}).isNotEmpty())
        {
            reference.deleteFile();
            juce::FileOutputStream out (reference);
            juce::PNGImageFormat().writeImageToStream (image, out);
        }

        REQUIRE (reference.existsAsFile());
        CHECK (ImageProbe::differingShare (image, juce::ImageFileFormat::loadFrom (reference), 8) < 0.001);
    }
}

TEST_CASE ("Rows follow the disk and the selection on every paint", "[painting]")
{
    TestInstaller installer;
    auto& screen = installer.start();

    REQUIRE (installer.target (1).create());
    auto image = ImageProbe::render (screen);
    CHECK (ImageProbe::near (image, 560, 200, shade (paletteBlue, 0.9f)));

    screen.selected[1] = true;
    image = ImageProbe::render (screen);
    CHECK (ImageProbe::near (image, 305, 210, paletteYellow, 40));
    CHECK (ImageProbe::near (image, 560, 200, shade (paletteBlue, 0.9f)));

    REQUIRE (installer.target (1).deleteFile());
    image = ImageProbe::render (screen);
    CHECK (ImageProbe::near (image, 560, 200, shade (paletteWarmGrey, 0.35f)));
    CHECK (ImageProbe::near (image, 305, 210, paletteYellow, 40));
}

TEST_CASE ("Holding Shift turns the install caption into UNINSTALL", "[painting]")
{
    TestInstaller installer;
    auto& screen = installer.start();
    const auto caption = juce::Rectangle<int> (506, 505, 80, 18);

    const auto plain = ImageProbe::render (screen).getClippedImage (caption);
    screen.modifierKeysChanged (juce::ModifierKeys (juce::ModifierKeys::shiftModifier));
    const auto shifted = ImageProbe::render (screen).getClippedImage (caption);

    CHECK (ImageProbe::differingShare (plain, shifted, 40) > 0.02);
    ImageProbe::save (shifted, "install_caption_shift");
}

TEST_CASE ("The screen scales with its width", "[painting]")
{
    TestInstaller installer;
    auto& screen = installer.start();
    screen.setSize (1000, 1000);
    const auto image = ImageProbe::render (screen);
    ImageProbe::save (image, "main_screen_1000");

    CHECK (ImageProbe::near (image, 500, 5, paletteBlue));
    CHECK (ImageProbe::near (image, 500, 275, paletteWarmGrey));
    CHECK (ImageProbe::near (image, 985, 985, shade (paletteWarmGrey, 0.5f)));
}
