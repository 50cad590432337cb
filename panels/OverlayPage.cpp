#include "OverlayPage.h"

#include "theme/FocusCue.h"
#include "theme/Palette.h"

void OverlayPage::paintCloseMark (juce::Graphics& g, const juce::Button& closeButton, float unit)
{
    const auto r = closeButton.getBounds().toFloat().reduced (2.0f * unit);

    g.setColour (closeButton.isMouseOver() ? paletteWarmGrey : paletteWarmGrey.withAlpha (0.5f));
    g.drawEllipse (r, 0.25f * unit);
    g.setFont (3.0f * unit);
    g.drawText ("X", r, juce::Justification::centred, true);

    FocusCue::paintRing (g, closeButton, closeButton.getBounds().toFloat(), unit);
}

void OverlayPage::orderFocus (juce::Component& page, std::initializer_list<juce::Component*> controls)
{
    page.setFocusContainerType (juce::Component::FocusContainerType::keyboardFocusContainer);
    auto order = 0;

    for (auto* control : controls)
        control->setExplicitFocusOrder (++order);
}

void OverlayPage::place (juce::Component& child, float unit, float x, float y, float w, float h)
{
    child.setBounds (juce::roundToInt (x * unit), juce::roundToInt (y * unit), juce::roundToInt (w * unit),
                     juce::roundToInt (h * unit));
}

void OverlayPage::placeCloseButton (juce::Component& closeButton, float unit)
{
    place (closeButton, unit, 88.0f, 1.5f, 8.0f, 8.0f);
}

// A page closes by leaving the screen; its owner keeps it until it is opened again.
void OverlayPage::close (juce::Component& page)
{
    if (auto* parent = page.getParentComponent())
        parent->removeChildComponent (&page);
}
