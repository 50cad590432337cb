#pragma once

#include <juce_core/juce_core.h>

// Something an interrupted pass left in a plug-in folder that a clean-up had to leave
// there too, and why.
struct Leftover
{
    juce::File path;
    juce::String why;
};
