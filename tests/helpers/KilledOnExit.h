#pragma once

#include <juce_core/juce_core.h>

// Ends a child process however the test that started it ends, a failed REQUIRE
// included, so that no child outlives its test.
struct KilledOnExit
{
    juce::ChildProcess& child;

    ~KilledOnExit()
    {
        if (child.isRunning())
            child.kill();

        child.waitForProcessToFinish (5000);
    }
};
