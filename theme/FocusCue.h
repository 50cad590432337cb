#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Whether a window shows which control has the keyboard focus. As on the desktop, the
// focus is shown once the keyboard has been used to move or to press, and hidden again
// when the pointer is pressed, so that someone who uses only the pointer sees every
// screen exactly as designed. The cue belongs to the window: it is kept among the
// properties of the window's top-level component.
class FocusCue final
{
public:
    static bool isShown (const juce::Component& anyInWindow);
    static void show (juce::Component& anyInWindow);
    static void hide (juce::Component& anyInWindow);

    // True while the control has the keyboard focus and its window shows the cue.
    static bool isOn (const juce::Component& control);

    // The ring around a focused control's face: an off-white outline just inside the
    // face, clear of the yellow selection outline. Paints nothing unless isOn.
    static void paintRing (juce::Graphics&, const juce::Component& control, juce::Rectangle<float> face, float unit);

private:
    static void setShown (juce::Component& anyInWindow, bool shown);

    FocusCue() = delete;
};
