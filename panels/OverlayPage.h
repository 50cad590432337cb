#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// What the full-screen pages share: the round "X" close mark in the top right corner,
// and closing by leaving the screen.
class OverlayPage final
{
public:
    // The mark, and the focus ring around it while the keyboard is on it.
    static void paintCloseMark (juce::Graphics&, const juce::Button& closeButton, float unit);
    static void close (juce::Component& page);

    // Places a child by a rectangle in units, each value rounded to whole pixels.
    static void place (juce::Component& child, float unit, float x, float y, float w, float h);

    // Tab and Shift+Tab go round the page's controls in this order and stay on the page.
    static void orderFocus (juce::Component& page, std::initializer_list<juce::Component*> controls);

    // The close button's place, the same on every page.
    static void placeCloseButton (juce::Component& closeButton, float unit);

private:
    OverlayPage() = delete;
};
