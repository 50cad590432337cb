#include "Elevation.h"

#include <iostream>

#if JUCE_LINUX || JUCE_BSD
# include <cstdlib>
# include <sys/wait.h>
# include <unistd.h>
#elif JUCE_WINDOWS
# include "platform/windows/WindowsPlatform.h"
#endif

Elevation::Decision Elevation::decide (bool isPrivileged, bool hasDisplay, bool hasPkexec)
{
    if (isPrivileged)
        return Decision::proceed;

    return hasDisplay && hasPkexec ? Decision::relaunchElevated : Decision::refuse;
}

juce::String Elevation::refusalMessage()
{
    return "td_installer needs administrator (root) rights to write the plug-in folders; "
           "run it as root or allow the elevation prompt.";
}

#if JUCE_LINUX || JUCE_BSD
namespace
{
juce::String environmentValue (const char* name)
{
    const auto* value = std::getenv (name);
    return value != nullptr ? juce::String (value) : juce::String();
}

juce::File findPkexec()
{
    for (auto folder : { "/usr/bin", "/bin", "/usr/local/bin" })
        if (auto candidate = juce::File (folder).getChildFile ("pkexec"); candidate.existsAsFile())
            return candidate;

    return {};
}

// pkexec clears the environment, so the display has to be handed over explicitly.
int relaunchThroughPkexec (const juce::File& pkexec)
{
    const auto self = juce::File::getSpecialLocation (juce::File::currentExecutableFile).getFullPathName();
    juce::StringArray arguments { pkexec.getFullPathName(), "env", "DISPLAY=" + environmentValue ("DISPLAY"),
                                  "XAUTHORITY=" + environmentValue ("XAUTHORITY"), self };

    juce::ChildProcess child;

    if (! child.start (arguments, 0))
        return -1;

    child.waitForProcessToFinish (-1);
    return (int) child.getExitCode();
}
}  // namespace

bool Elevation::ensurePrivileges (int& exitCode)
{
    const auto pkexec = findPkexec();
    const auto decision = decide (geteuid() == 0, environmentValue ("DISPLAY").isNotEmpty(), pkexec != juce::File());

    if (decision == Decision::proceed)
        return true;

    exitCode = decision == Decision::relaunchElevated ? relaunchThroughPkexec (pkexec) : -1;

    // 126 and 127: the user dismissed the prompt or was not authorised.
    if (exitCode < 0 || exitCode == 126 || exitCode == 127)
    {
        std::cerr << refusalMessage() << std::endl;
        exitCode = 1;
    }

    return false;
}
#elif JUCE_WINDOWS
// The manifest makes Windows ask before the process starts; a copy started without it
// (manifest ignored or stripped) must not go on without the rights.
bool Elevation::ensurePrivileges (int& exitCode)
{
    if (decide (WindowsPlatform::isProcessElevated(), false, false) == Decision::proceed)
        return true;

    std::cerr << refusalMessage() << std::endl;
    exitCode = 1;
    return false;
}
#else
bool Elevation::ensurePrivileges (int&)
{
    return true;
}
#endif
