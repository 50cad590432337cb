#pragma once

#include "ExtractedFile.h"

#include <juce_core/juce_core.h>

// An open folder below which every operation works through the handle, never by
// resolving a path again, and never follows a link (a reparse point on Windows).
//
// The program runs as root (administrator) and writes into plug-in folders that
// users may own. A path checked a moment ago may lead elsewhere now; a handle to a
// folder keeps meaning that folder whatever its owner renames or replaces around it.
// Whatever that owner does, the worst they can make an operation here do is fail, or
// act on something inside their own folder.
class FolderHandle final
{
public:
    using Native = ExtractedFile::Native;

    FolderHandle() = default;
    FolderHandle (FolderHandle&&) noexcept;
    FolderHandle& operator= (FolderHandle&&) noexcept;
    ~FolderHandle();

    bool isOpen() const;

    // Opens a folder by its absolute path, following a link on the way only where no
    // ordinary user could have aimed it elsewhere (see PathWalk; on Windows a link or
    // junction is never followed). With createMissing, folders missing on the way are made
    // (0755); one that another install made a moment ago is as good as one made here.
    // whyNot, when given, says in plain words why the folder could not be opened; errno
    // tells the kind (ENOENT: a part is missing).
    static FolderHandle open (const juce::File& folder, bool createMissing, juce::String* whyNot = nullptr);

    Native native() const { return handle; }

#if ! JUCE_WINDOWS
    // The file system's root, where a walk by parts starts.
    static FolderHandle root();

    // The folder that item, opened as itself (O_PATH), stands for.
    static FolderHandle reopen (Native item);
#endif

    // A folder inside this one, never through a link; see open() for createMissing.
    FolderHandle openChild (const juce::String& name, bool createMissing) const;

    // A new folder with a name nobody can guess, prefix + 16 hex digits, readable by
    // its owner only while it is worked in. An existing folder is never taken.
    FolderHandle makeUniqueChild (const juce::String& prefix, juce::String& madeName) const;

    // Whether name follows makeUniqueChild's pattern for prefix.
    static bool isUniqueChildName (const juce::String& name, const juce::String& prefix);

    // A new regular file (0644), opened for writing; never an existing file or a link.
    // Empty when it cannot be made.
    std::unique_ptr<ExtractedFile> createFile (const juce::String& name) const;

    enum class Kind
    {
        missing,
        file,
        folder,
        other,
        unknown
    };

    // What the name is, not following a link (a link is "other").
    Kind kindOf (const juce::String& name) const;

    // Whether a folder named name is owned by this process's user and not a link. The
    // handle's own folder when name is empty.
    bool isOwnFolder (const juce::String& name = {}) const;

    // Whether it is moreover private to that user (0700), as makeUniqueChild makes them
    // and no installed item is: a folder owner cannot pass one off for the other.
    bool isPrivateFolder (const juce::String& name = {}) const;

    juce::StringArray childNames() const;

    // Removes name: a file or a link is unlinked (a link is never followed), a folder
    // is emptied through its own handle (see TreeRemoval: any depth and width), then
    // removed. Missing counts as removed. Goes on past failures, removing what it can;
    // with a deadline (a Time::getMillisecondCounterHiRes() value, 0 for none) it stops
    // once that has passed. errno tells what stopped it.
    bool removeChild (const juce::String& name, double deadline = 0) const;
    bool removeContents (double deadline = 0) const;

    // Removes name only when it is still this very folder (and then only when empty).
    bool removeEmptyChild (const juce::String& name, const FolderHandle& expected) const;

    // Renames within one file system, never copying. exchange swaps two existing items
    // in one step; otherwise an existing destination is never replaced.
    enum class Move
    {
        noReplace,
        exchange
    };

    // Fails with notSupported where the file system has no atomic exchange.
    enum class MoveResult
    {
        moved,
        destinationMissing,
        notSupported,
        failed
    };

    MoveResult move (const juce::String& name, const FolderHandle& destination, const juce::String& newName,
                     Move) const;

    // Makes this folder's entries (and with recursive, those of every folder below it)
    // safe on disk.
    bool sync (bool recursive = false) const;

private:
    explicit FolderHandle (Native);
#if JUCE_WINDOWS
    static FolderHandle openByParts (const juce::File& folder, bool createMissing);
#endif
    bool makeChildFolder (const juce::String& name, bool ownerOnly) const;
#if JUCE_WINDOWS
    bool removeContentsAt (int depth) const;
    bool removeChildAt (const juce::String& name, int depth) const;
#endif
    bool sync (int depth) const;

    Native handle = ExtractedFile::invalid();

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FolderHandle)
};
