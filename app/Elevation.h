#pragma once

#include <juce_core/juce_core.h>

// The installer writes below machine-wide folders, so it needs administrator rights.
// On Windows the manifest makes the system ask before the process starts; elsewhere
// the process asks for them itself at start-up.
class Elevation final
{
public:
    enum class Decision
    {
        proceed,           // already privileged
        relaunchElevated,  // ask for rights through pkexec, then hand over to that process
        refuse             // no way to get the rights: say so and stop
    };

    static Decision decide (bool isPrivileged, bool hasDisplay, bool hasPkexec);

    // Runs the decision for this process. Returns true when the program should go on;
    // otherwise exitCode holds the status the process should end with.
    static bool ensurePrivileges (int& exitCode);

    static juce::String refusalMessage();

private:
    Elevation() = delete;
};
