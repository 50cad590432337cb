#pragma once

#include "ItemVerifier.h"
#include "Leftover.h"

#include <juce_core/juce_core.h>

#include <array>
#include <vector>

// Installs or uninstalls the product's item in each selected format's plug-in folder,
// one pass at a time on the machine. The window and the command line both run it.
class InstallPass final
{
public:
    enum class Mode
    {
        install,
        uninstall
    };

    enum class Outcome
    {
        skipped,
        succeeded,
        unchanged,  // already what the pass would make: nothing was written
        repaired,   // a modified item was replaced
        failed
    };

    struct Result
    {
        std::array<Outcome, 3> outcomes { Outcome::skipped, Outcome::skipped, Outcome::skipped };
        std::array<juce::String, 3> reasons;  // why each failed format failed, in plain words
        bool busy = false;                    // another pass held the lock beyond the wait: nothing was done

        bool processedAny() const;
        bool allSucceeded() const;
    };

    // makerFolder holds the lock shared with every other pass.
    InstallPass (const juce::File& makerFolder, const juce::String& productName,
                 const std::array<juce::File, 3>& formatFolders);

    // With force false, an install leaves an intact item as it is (see ItemVerifier) and
    // reports a modified one it replaced as repaired; with force, it always reinstalls.
    Result run (const std::array<bool, 3>& selected, Mode, bool force = true) const;

    // What each selected format's item is, compared with the carried archive. Reads only,
    // and takes no lock.
    std::array<ItemVerifier::Report, 3> verify (const std::array<bool, 3>& selected) const;

    // Finishes what interrupted passes left behind, within cleanupTime for all formats.
    struct Cleanup
    {
        bool busy = false;                          // another pass held the lock: nothing was done
        std::array<std::vector<Leftover>, 3> left;  // what had to stay, by format
    };

    Cleanup removeLeftovers() const;

    juce::RelativeTime cleanupTime { juce::RelativeTime::seconds (5.0) };

    juce::RelativeTime lockWait;

private:
    const juce::File makerFolder;
    const juce::String productName;
    const std::array<juce::File, 3> folders;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (InstallPass)
};
