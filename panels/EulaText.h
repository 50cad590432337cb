#pragma once

#include <juce_core/juce_core.h>

// The licence text shown on the licence page, which the user must accept before installing.
extern const juce::String eulaText;
