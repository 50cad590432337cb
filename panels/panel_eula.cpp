#include "panel_eula.h"

#include "OverlayPage.h"
#include "theme/Artwork.h"
#include "theme/Palette.h"

panel_eula::panel_eula (juce::String agreement)
{
    eulaEditor = std::make_unique<juce::TextEditor>();
    addAndMakeVisible (*eulaEditor);
    eulaEditor->setMultiLine (true);
    eulaEditor->setText (agreement);
    eulaEditor->applyColourToAllText (paletteWarmGrey);
    eulaEditor->setColour (juce::TextEditor::outlineColourId, paletteNearBlack);
    eulaEditor->setColour (juce::TextEditor::focusedOutlineColourId, paletteNearBlack);

    closeButton = Artwork::transparentButton (*this, *this, "X", "Close");

    // The text takes the keyboard, scrolling with the arrows and Page Up/Down, and lets
    // Escape through to the screen, which closes the page.
    eulaEditor->setTitle ("License agreement");
    eulaEditor->setEscapeAndReturnKeysConsumed (false);
    OverlayPage::orderFocus (*this, { eulaEditor.get(), closeButton.get() });
}

panel_eula::~panel_eula()
{
    closeButton = nullptr;
    eulaEditor = nullptr;
}

void panel_eula::paint (juce::Graphics& g)
{
    g.fillAll (paletteNearBlack);

    g.setColour (paletteOffWhite);
    g.setFont (4.0f * unit);
    g.drawSingleLineText ("LICENSE AGREEMENT", (int) (4.0f * unit), (int) (6.0f * unit), juce::Justification::left);

    OverlayPage::paintCloseMark (g, *closeButton, unit);
}

void panel_eula::resized()
{
    OverlayPage::place (*eulaEditor, unit, 4.0f, 12.0f, 92.0f, 80.0f);
    OverlayPage::placeCloseButton (*closeButton, unit);
}

void panel_eula::buttonClicked (juce::Button*)
{
    OverlayPage::close (*this);
}
