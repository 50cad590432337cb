#include "helpers/ImageProbe.h"
#include "theme/CustomLookAndFeel.h"
#include "theme/Palette.h"

#include <catch2/catch_test_macros.hpp>

TEST_CASE ("Every font resolves to the one regular face", "[theme]")
{
    CustomLookAndFeel lookAndFeel;
    REQUIRE (lookAndFeel.regularTypeface != nullptr);
    CHECK (lookAndFeel.regularTypeface->getName() == "Source Sans Pro");

    const auto bold = juce::Font (juce::FontOptions {}.withHeight (20.0f).withStyle ("Bold"));
    const auto other = juce::Font (juce::FontOptions { "Liberation Serif", 20.0f, juce::Font::italic });

    CHECK (lookAndFeel.getTypefaceForFont (bold) == lookAndFeel.regularTypeface);
    CHECK (lookAndFeel.getTypefaceForFont (other) == lookAndFeel.regularTypeface);

    SECTION ("once it is the process default, fonts without a face of their own get it")
    {
        juce::LookAndFeel::setDefaultLookAndFeel (&lookAndFeel);
        for (const auto& font : { bold, other, juce::Font (juce::FontOptions { 12.0f }) })
        {
            const auto face = font.getTypefacePtr();
            REQUIRE (face != nullptr);
            CHECK (face->getName() == "Source Sans Pro");
            CHECK (face->getStyle() == "Regular");
        }
        juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
    }
}

TEST_CASE ("Combo boxes are charcoal pills with centred text", "[theme]")
{
    CustomLookAndFeel lookAndFeel;
    juce::ComboBox box;
    box.setLookAndFeel (&lookAndFeel);
    box.addItem ("One", 1);
    box.setSelectedId (1);

    SECTION ("20 pixels high")
    {
        box.setSize (120, 20);
        juce::Label label;
        lookAndFeel.positionComboBoxText (box, label);

        CHECK (label.getBounds() == juce::Rectangle<int> (1, 1, 120, 18));
        CHECK (label.getFont().getHeight() == 14.0f);
        CHECK (label.getJustificationType() == juce::Justification::centred);

        const auto image = ImageProbe::render (box);
        CHECK (ImageProbe::near (image, 10, 10, paletteCharcoal));
        CHECK (ImageProbe::near (image, 1, 1, juce::Colours::transparentBlack));  // the rounded corner
        CHECK (ImageProbe::near (image, 110, 10, paletteCharcoal));               // no arrow
    }

    SECTION ("40 pixels high: no cap on the font")
    {
        box.setSize (200, 40);
        CHECK (lookAndFeel.getComboBoxFont (box).getHeight() == 28.0f);
    }

    SECTION ("pressing it changes nothing")
    {
        box.setSize (120, 20);
        juce::Image up (juce::Image::ARGB, 120, 20, true), down (juce::Image::ARGB, 120, 20, true);
        {
            juce::Graphics g (up);
            lookAndFeel.drawComboBox (g, 120, 20, false, 0, 0, 120, 20, box);
        }
        {
            juce::Graphics g (down);
            lookAndFeel.drawComboBox (g, 120, 20, true, 0, 0, 120, 20, box);
        }
        CHECK (ImageProbe::differingShare (up, down, 0) == 0.0);
    }

    box.setLookAndFeel (nullptr);
}

TEST_CASE ("The colour table and the popup menu font", "[theme]")
{
    CustomLookAndFeel lookAndFeel;
    const juce::LookAndFeel_V4 framework;

    CHECK (lookAndFeel.findColour (juce::PopupMenu::backgroundColourId) == paletteNearBlack);
    CHECK (lookAndFeel.findColour (juce::PopupMenu::highlightedBackgroundColourId) == juce::Colour (0x8086cf7a));
    CHECK (lookAndFeel.findColour (juce::PopupMenu::textColourId) == paletteOffWhite);
    CHECK (lookAndFeel.findColour (juce::TextEditor::backgroundColourId) == paletteNearBlack);
    CHECK (lookAndFeel.findColour (juce::ScrollBar::thumbColourId) == paletteWarmGrey);
    CHECK (lookAndFeel.findColour (juce::Label::textColourId) == paletteOffWhite);
    CHECK (lookAndFeel.findColour (juce::Slider::trackColourId) == framework.findColour (juce::Slider::trackColourId));

    const auto popupFont = lookAndFeel.getPopupMenuFont();
    CHECK (popupFont.getHeight() == 30.0f);
    CHECK (popupFont.getStyleFlags() == juce::Font::plain);
    CHECK (popupFont.getExtraKerningFactor() == 0.1f);
}
