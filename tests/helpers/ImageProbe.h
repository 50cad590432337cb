#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Pixel checks over rendered components.
namespace ImageProbe
{
// Paints a component and its children into an opaque image of its size.
juce::Image render (juce::Component&);

juce::Colour pixel (const juce::Image&, int x, int y);

// True when every channel of the pixel is within tolerance of the expected colour.
bool near (const juce::Image&, int x, int y, juce::Colour expected, int tolerance = 3);

// The expected colour of a translucent shade painted over an opaque background.
juce::Colour over (juce::Colour background, juce::Colour shade);

// Share of pixels (0 to 1) that differ by more than tolerance in any channel.
double differingShare (const juce::Image&, const juce::Image&, int tolerance);

// Keeps a rendering where a person can look at it, in the build's test-artefacts folder.
juce::File save (const juce::Image&, const juce::String& name);
}  // namespace ImageProbe
