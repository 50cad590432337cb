#pragma once

#include <juce_core/juce_core.h>

// One install, uninstall or start-up clean-up at a time on the whole machine, across
// processes: every installer of the maker shares the staging names below the plug-in
// folders. The lock is a file in the maker's folder, which only the administrator
// can write; it is released when this object goes, or when its process ends.
class PassLock final
{
public:
    // Waits up to `wait` for a pass of another process to end.
    PassLock (const juce::File& makerFolder, juce::RelativeTime wait);
    ~PassLock();

    bool isHeld() const { return held; }

    static const juce::String fileName;
    static juce::RelativeTime defaultWait() { return juce::RelativeTime::seconds (3.0); }

private:
#if JUCE_WINDOWS
    std::unique_ptr<juce::InterProcessLock> lock;
#else
    int descriptor = -1;
#endif
    bool held = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PassLock)
};
