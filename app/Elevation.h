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

    // Whether this process has the rights already.
    static bool isPrivileged();

    // Runs the decision for this process. Returns true when the program should go on;
    // otherwise exitCode holds the status the process should end with.
    static bool ensurePrivileges (int& exitCode);

    static juce::String refusalMessage();

    // The command that has pkexec start the given program file as root. pkexec clears the
    // environment, so the display and its authority travel as arguments of env, itself
    // named by its absolute path. Without an XAUTHORITY of its own, an X client of the
    // user reads home/.Xauthority, so the elevated process is told that file; it is never
    // handed an empty value.
    static juce::StringArray relaunchCommand (const juce::String& pkexec, const juce::String& program,
                                              const juce::String& display, const juce::String& xauthority,
                                              const juce::String& home);

#if JUCE_LINUX || JUCE_BSD
    // The file this process runs, as the kernel knows it, whatever argv[0] and the working
    // directory say; the empty File when that file has since been removed or replaced.
    static juce::File runningProgram();

    // True when a user other than root could change what the absolute path names: the
    // file, or a folder on its path, is not owned by root, is a link, or can be written by
    // a group other than root's or by anyone. A folder that others may write keeps root's
    // entries safe only with its sticky bit. What cannot be examined counts as changeable.
    static bool changeableByNonRoot (const juce::File&);

    static juce::String unsafeProgramMessage (const juce::File& program);
#endif

private:
    Elevation() = delete;
};
