#include "panel_scope.h"

#include "OverlayPage.h"
#include "theme/Artwork.h"
#include "theme/FocusCue.h"
#include "theme/Palette.h"

panel_scope::panel_scope()
{
    everyoneButton = Artwork::transparentButton (*this, *this, "EVERYONE", "For everyone");
    justMeButton = Artwork::transparentButton (*this, *this, "JUST_ME", "Just for me");
    everyoneButton->setDescription ("Installs into the computer's plug-in folders; asks for administrator rights");
    justMeButton->setDescription ("Installs into your own plug-in folders; needs no rights");
    OverlayPage::orderFocus (*this, { everyoneButton.get(), justMeButton.get() });
    setSize (600, 600);
}

panel_scope::~panel_scope()
{
    justMeButton = nullptr;
    everyoneButton = nullptr;
}

void panel_scope::paint (juce::Graphics& g)
{
    g.fillAll (paletteNearBlack);

    g.setColour (paletteOffWhite);
    g.setFont (5.0f * unit);
    g.drawText ("INSTALL FOR", juce::Rectangle<float> (10.0f * unit, 7.0f * unit, 80.0f * unit, 10.0f * unit),
                juce::Justification::centredLeft, true);

    paintChoice (g, *everyoneButton, "EVERYONE",
                 "Into this computer's plug-in folders, for every user and every host. Asks for administrator "
                 "rights.");
    paintChoice (g, *justMeButton, "JUST ME",
                 "Into your own plug-in folders (" + userPluginFolders
                     + "), where hosts look first. Needs no rights; AAX has no folder of its own there.");
}

void panel_scope::paintChoice (juce::Graphics& g, const juce::Button& button, const juce::String& caption,
                               const juce::String& explanation) const
{
    const auto face = button.getBounds().toFloat();
    const auto shade =
        button.isMouseButtonDown() ? paletteGreen : paletteWarmGrey.withAlpha (button.isMouseOver() ? 0.75f : 0.5f);

    g.setColour (shade);
    g.fillRoundedRectangle (face, unit);
    g.setColour (paletteNearBlack);
    g.setFont (4.0f * unit);
    g.drawText (caption, face, juce::Justification::centred, true);
    FocusCue::paintRing (g, button, face, unit);

    g.setColour (paletteWarmGrey);
    g.setFont (3.0f * unit);
    g.drawFittedText (explanation,
                      { button.getX(), juce::roundToInt ((float) button.getBottom() + 2.0f * unit), button.getWidth(),
                        juce::roundToInt (12.0f * unit) },
                      juce::Justification::topLeft, 4, 1.0f);
}

void panel_scope::resized()
{
    unit = (float) getWidth() / 100.0f;
    OverlayPage::place (*everyoneButton, unit, 10.0f, 22.0f, 80.0f, 12.0f);
    OverlayPage::place (*justMeButton, unit, 10.0f, 56.0f, 80.0f, 12.0f);
}

void panel_scope::buttonClicked (juce::Button* button)
{
    if (onChoice != nullptr)
        onChoice (button == justMeButton.get());
}
