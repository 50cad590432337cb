#pragma once

#include "FolderHandle.h"
#include "Leftover.h"

#include <juce_core/juce_core.h>

#include <vector>

// Puts one plug-in item (a bundle folder or a single file) into a plug-in folder
// from a ZIP archive, or takes it away, without ever leaving a broken item behind
// and without touching anything in that folder but the item itself.
//
// An install unpacks the whole archive into a staging folder beside the item and
// checks every byte before the new item and the earlier one trade places in one
// step; a failure anywhere leaves the earlier item exactly as it was, and a power
// cut leaves either the whole earlier item or the whole new one.
//
// The program runs as root, and a plug-in folder may belong to a user. Everything
// below the plug-in folder is done through folder handles (see FolderHandle): the
// folder is opened without following a link on its path, the staging folder has a
// name nobody can guess and is never one that existed before, and nothing is ever
// copied, followed or re-resolved by path.
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

    // The archive is read in place: it is not copied. A failure says why in plain words,
    // with the path concerned.
    juce::Result install (const void* archive, size_t size, ArchiveMemory memory = ArchiveMemory::ordinary) const;
    juce::Result uninstall() const;

    // Finishes what an interrupted install left behind: restores the earlier item
    // when it was moved aside but the new one never arrived, and removes the rest,
    // within cleanupTime. Says what it had to leave, and why.
    std::vector<Leftover> removeLeftovers() const;

    juce::RelativeTime cleanupTime { juce::RelativeTime::seconds (5.0) };

    juce::File target() const;

    // Staging folders of this item in the plug-in folder: the name pattern below, a
    // real folder (not a link), made by this program's user and private to it (0700,
    // which no installed item is). Anything else that carries such a name is left alone.
    juce::Array<juce::File> leftovers() const;

    // A staging folder is named stagingPrefix() and 16 random hex digits. Inside it, the
    // new item has the item's name; where the file system cannot swap two items in
    // one step, the earlier item waits there under earlierItemName until the new one
    // is in place.
    juce::String stagingPrefix() const;
    static constexpr const char* earlierItemName = ".earlier";

    // Entry names use backslashes; an entry may only ever land inside the item. The name's
    // parts come back with empty ones (doubled separators) left out, the item's name
    // first; none when the entry is refused.
    static juce::StringArray entryParts (const juce::String& entryName, const juce::String& itemName);

    static constexpr const char* noFolderReason = "the settings file names no folder for this format";

private:
    bool hasFolder() const;
    std::vector<Leftover> removeLeftovers (const FolderHandle& pluginFolder) const;
    juce::Result extract (const void* archive, size_t size, ArchiveMemory, const FolderHandle& staging) const;
    juce::Result swapIntoPlace (const FolderHandle& pluginFolder, const FolderHandle& staging) const;
    juce::Result failure (int error) const;
    FolderHandle::MoveResult swapInTwoSteps (const FolderHandle& pluginFolder, const FolderHandle& staging) const;

    const juce::File folder;
    const juce::String itemName;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ArchiveInstaller)
};
