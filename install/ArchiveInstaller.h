#pragma once

#include <juce_core/juce_core.h>

// Puts one plug-in item (a bundle folder or a single file) into a plug-in folder
// from a ZIP archive, or takes it away, without ever leaving a broken item behind
// and without touching anything in that folder but the item itself.
//
// An install unpacks the whole archive into a staging folder beside the item and
// checks every byte before the earlier item is swapped out; a failure anywhere
// leaves the earlier item exactly as it was.
class ArchiveInstaller final
{
public:
    // An empty folder means the format has no folder: nothing is ever touched then.
    ArchiveInstaller (const juce::File& pluginFolder, const juce::String& itemName);

    // Where an archive lies. One in the program's own image has its pages handed back
    // to the system as they are read (see ProgramImageInputStream).
    enum class ArchiveMemory
    {
        ordinary,
        programImage
    };

    // The archive is read in place: it is not copied.
    bool install (const void* archive, size_t size, ArchiveMemory memory = ArchiveMemory::ordinary) const;
    bool uninstall() const;

    // Finishes what an interrupted install left behind: restores the earlier item
    // when it was swapped out but the new one never arrived, and removes the rest.
    void removeLeftovers() const;

    juce::File target() const;
    juce::File stagingFolder() const;
    juce::File previousItem() const;

private:
    bool hasFolder() const;
    bool extract (const void* archive, size_t size, ArchiveMemory, const juce::File& destination) const;
    bool swapIntoPlace (const juce::File& staged) const;

    const juce::File folder;
    const juce::String itemName;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ArchiveInstaller)
};
