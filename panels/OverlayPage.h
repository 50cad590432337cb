#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// What the full-screen pages share: the round "X" close mark in the top right corner,
// and closing by leaving the screen.
class OverlayPage final
{
public:
    static void paintCloseMark (juce::Graphics&, const juce::Button& closeButton, float unit);
    static void close (juce::Component& page);

    // Places a child by a rectangle in units, each value rounded to whole pixels.
    static void place (juce::Component& child, float unit, float x, float y, float w, float h);

    // The close button's place, the same on every page.
    static void placeCloseButton (juce::Component& closeButton, float unit);

private:
    OverlayPage() = delete;
};
