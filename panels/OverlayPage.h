#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// What the full-screen pages share: the round "X" close mark in the top right corner,
// and closing by leaving the screen.
class OverlayPage final
{
public:
    static void paintCloseMark (juce::Graphics&, const juce::Button& closeButton, float unit);
    static void close (juce::Component& page);

private:
    OverlayPage() = delete;
};
