#include "panel_support.h"

#include "BinaryData.h"
#include "OverlayPage.h"
#include "app/InstallerIdentity.h"
#include "theme/Artwork.h"
#include "theme/FocusCue.h"
#include "theme/Palette.h"

const juce::String panel_support::discordInvitation { "https://discord.gg/tovindrift" };
const juce::String panel_support::supportAddress { "support@tovindrift.com" };
const juce::String panel_support::rightsNotice { juce::CharPointer_UTF8 (
    "\xc2\xa9 2025 Tovin Drift, Inc. All rights reserved.") };

namespace
{
juce::Colour faceShade (const juce::Button& button)
{
    if (button.isMouseButtonDown())
        return paletteGreen;

    return paletteWarmGrey.withAlpha (button.isMouseOver() ? 0.75f : 0.5f);
}
}  // namespace

panel_support::panel_support()
{
    discordIcon = Artwork::charcoalIcon (BinaryData::icon_discord_svg, BinaryData::icon_discord_svgSize);
    mailIcon = Artwork::charcoalIcon (BinaryData::icon_mail_svg, BinaryData::icon_mail_svgSize);

    closeButton = Artwork::transparentButton (*this, *this, "X", "Close");
    discordButton = Artwork::transparentButton (*this, *this, "DISCORD", "Discord");
    mailButton = Artwork::transparentButton (*this, *this, "MAIL", "E-mail");
    OverlayPage::orderFocus (*this, { discordButton.get(), mailButton.get(), closeButton.get() });
}

panel_support::~panel_support()
{
    mailIcon = nullptr;
    discordIcon = nullptr;
    discordButton = nullptr;
    mailButton = nullptr;
    closeButton = nullptr;
}

juce::String panel_support::aboutText() const
{
    return "The Tovin Drift Plugin Manager v" + installerVersion
         + " cross-platform installater. \nFeel free to drop us a line if you have any suggestions or questions "
           "concerning its use. You can edit the default installation paths in the text file found at "
         + settingsFolder.getFullPathName() + "/PluginManagerSettings.txt";
}

void panel_support::paint (juce::Graphics& g)
{
    const auto u = unit;

    g.fillAll (paletteNearBlack);
    OverlayPage::paintCloseMark (g, *closeButton, u);

    g.setColour (paletteOffWhite);
    paintHeading (g, "DISCORD", 7.0f, 5.0f);
    paintFace (g, *discordButton, discordIcon.get());
    paintParagraph (g,
                    "The Tovin Drift Discord is a vibrant community of musicians and producers, and this is the "
                    "fastest way to get answers to simple questions. Just join and drop in the appropriate channel. ",
                    *discordButton);

    g.setColour (paletteOffWhite);
    paintHeading (g, "E-MAIL", 27.0f, 5.0f);
    paintFace (g, *mailButton, mailIcon.get());
    paintParagraph (g,
                    "If you have more complicated questions, or matters that need to remain private, concerning "
                    "account information, etc., feel free to email us.",
                    *mailButton);

    g.setColour (paletteWarmGrey);
    paintHeading (g, "ABOUT TOVIN DRIFT PLUGIN MANAGER", 57.0f, 3.0f);
    g.setFont (3.0f * u);
    g.drawFittedText (aboutText(),
                      { juce::roundToInt (10.0f * u), juce::roundToInt (57.0f * u + 8.0f * u),
                        juce::roundToInt (80.0f * u), juce::roundToInt (30.0f * u) },
                      juce::Justification::topLeft, 20);

    // The last line of the page, below the about text's whole area, ending 1u above the page's edge.
    g.setColour (paletteWarmGrey.withAlpha (0.5f));
    g.setFont (3.0f * u);
    g.drawText (rightsNotice, juce::Rectangle<float> (10.0f * u, 95.0f * u, 80.0f * u, 4.0f * u),
                juce::Justification::centredLeft, true);
}

void panel_support::paintHeading (juce::Graphics& g, const juce::String& text, float y, float height) const
{
    g.setFont (height * unit);
    g.drawText (text, juce::Rectangle<float> (10.0f * unit, y * unit, 80.0f * unit, 10.0f * unit),
                juce::Justification::centredLeft, true);
}

void panel_support::paintFace (juce::Graphics& g, const juce::Button& button, juce::Drawable* icon) const
{
    const auto b = button.getBounds().toFloat();

    g.setColour (faceShade (button));
    g.fillRoundedRectangle (b, unit);

    if (icon != nullptr)
        icon->drawWithin (g, b.reduced (2.0f * unit), juce::RectanglePlacement::centred, 1.0f);

    FocusCue::paintRing (g, button, b, unit);
}

void panel_support::paintParagraph (juce::Graphics& g, const juce::String& text, const juce::Button& button) const
{
    const auto u = unit;

    g.setColour (paletteWarmGrey);
    g.setFont (3.0f * u);
    g.drawFittedText (text,
                      { juce::roundToInt ((float) button.getX() + 12.0f * u), button.getY(),
                        juce::roundToInt (70.0f * u), juce::roundToInt (30.0f * u) },
                      juce::Justification::topLeft, 20);
}

void panel_support::resized()
{
    OverlayPage::placeCloseButton (*closeButton, unit);
    OverlayPage::place (*discordButton, unit, 10.0f, 15.0f, 10.0f, 10.0f);
    OverlayPage::place (*mailButton, unit, 10.0f, 35.0f, 10.0f, 10.0f);
}

void panel_support::buttonClicked (juce::Button* button)
{
    const auto name = button->getName();

    if (name == "X")
        OverlayPage::close (*this);
    else if (name == "DISCORD")
        juce::URL (discordInvitation).launchInDefaultBrowser();
    else if (name == "MAIL")
        juce::URL ("mailto:" + supportAddress).launchInDefaultBrowser();
}
