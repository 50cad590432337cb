#pragma once

#include <juce_core/juce_core.h>

// The licence text shown on the licence page. The page only shows it: nothing asks the
// user to accept it, and installing does not wait for it.
extern const juce::String eulaText;
