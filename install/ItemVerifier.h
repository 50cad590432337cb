#pragma once

#include <juce_core/juce_core.h>

class FolderHandle;

// Tells an intact install from a damaged one: compares the item in a plug-in folder with
// the archive it is unpacked from, entry by entry (name, kind, size and CRC-32), and
// finds whatever the item holds that the archive does not. It reads as the rest of the
// installer does, through held folder handles: no link is followed, nothing that is not
// a regular file is read, nothing waits and nothing is written.
class ItemVerifier final
{
public:
    enum class Verdict
    {
        notInstalled,
        intact,
        modified,
        unreadable  // the plug-in folder cannot be looked into; see reason
    };

    struct Report
    {
        Verdict verdict = Verdict::notInstalled;
        juce::StringArray differences;  // the first few, each a path inside the folder and what differs
        juce::String reason;
    };

    // How many differences a report names at most; the comparison stops there.
    static constexpr int mostDifferences = 5;

    ItemVerifier (const juce::File& pluginFolder, const juce::String& itemName);

    Report verify (const void* archive, size_t size) const;

private:
    const juce::File folder;
    const juce::String itemName;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ItemVerifier)
};
