#pragma once

#include <juce_core/juce_core.h>

#include <memory>
#include <optional>

class FolderHandle;

// Reads files that other users may have put in place of the ones expected: only a
// regular file is ever read, no link below the given folder is followed, and opening
// never blocks (a FIFO or a device named like the file is refused before any read).
class RegularFileReader final
{
public:
    // The regular file at relativePath ('/'-separated) below folder, for reading at any
    // position; nothing when any part of the path is a link or the file is not regular.
    // The folder is reached as an install reaches it (see FolderHandle::open).
    static std::unique_ptr<juce::InputStream> open (const juce::File& folder, const juce::String& relativePath);

    // The same below a folder already held.
    static std::unique_ptr<juce::InputStream> open (const FolderHandle& folder, const juce::String& relativePath);

    // The whole content of the regular file named name in folder, when it is at most
    // maxBytes long.
    static std::optional<juce::MemoryBlock> readAll (const juce::File& folder, const juce::String& name,
                                                     size_t maxBytes);

    // Whether anything at all carries the name: a file, a folder, a link (even one that
    // leads nowhere), a FIFO or a device. The item is not followed or opened.
    static bool anythingAt (const juce::File&);

private:
    RegularFileReader() = delete;
};
