#include "FocusCue.h"

#include "Palette.h"

namespace
{
const juce::Identifier cueShown { "focusCueShown" };
}  // namespace

bool FocusCue::isShown (const juce::Component& anyInWindow)
{
    return (bool) anyInWindow.getTopLevelComponent()->getProperties().getWithDefault (cueShown, false);
}

void FocusCue::show (juce::Component& anyInWindow)
{
    setShown (anyInWindow, true);
}

void FocusCue::hide (juce::Component& anyInWindow)
{
    setShown (anyInWindow, false);
}

void FocusCue::setShown (juce::Component& anyInWindow, bool shown)
{
    if (isShown (anyInWindow) == shown)
        return;

    anyInWindow.getTopLevelComponent()->getProperties().set (cueShown, shown);

    // The focused control's owner paints the ring, and a transparent control's repaint
    // reaches the owner beneath it.
    if (auto* focused = juce::Component::getCurrentlyFocusedComponent())
        focused->repaint();
}

bool FocusCue::isOn (const juce::Component& control)
{
    return control.hasKeyboardFocus (false) && isShown (control);
}

void FocusCue::paintRing (juce::Graphics& g, const juce::Component& control, juce::Rectangle<float> face, float unit)
{
    if (! isOn (control))
        return;

    g.setColour (paletteOffWhite);
    g.drawRoundedRectangle (face.reduced (0.75f * unit), 0.5f * unit, 0.25f * unit);
}
