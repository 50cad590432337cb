#pragma once

#include <juce_graphics/juce_graphics.h>

// The seven opaque colours every screen is painted with. Translucent shades are
// made where they are used, with juce::Colour::withAlpha.
inline const juce::Colour paletteNearBlack { 0xff111111 };
inline const juce::Colour paletteCharcoal { 0xff171717 };
inline const juce::Colour paletteOffWhite { 0xfff5f5f5 };
inline const juce::Colour paletteWarmGrey { 0xffaaa6a6 };
inline const juce::Colour paletteGreen { 0xff86cf7a };
inline const juce::Colour paletteBlue { 0xff0094d8 };
inline const juce::Colour paletteYellow { 0xffd3c55f };
