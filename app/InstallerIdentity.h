#pragma once

#include <juce_core/juce_core.h>

// The installer's own name and version: the window title, the version the
// application reports, and the version shown on the main screen and the about page.
inline const juce::String installerName { "td_installer" };
inline const juce::String installerVersion { "1.0.5" };

// The product this installer carries.
inline const juce::String carriedProductName { "Glass Tundra Lights" };
inline const juce::String carriedProductVersion { "1.0.12" };
