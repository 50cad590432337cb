#pragma once

#include <juce_core/juce_core.h>

#include <vector>

// What the installer needs of each entry beyond what juce::ZipFile tells: its CRC-32,
// so that every byte written can be proven, and where its data lies and how it is
// packed, so that the entry can be inflated straight from the archive in memory.
// Entries come in the same order in which juce::ZipFile lists them.
class ZipCentralDirectory final
{
public:
    struct Entry
    {
        juce::uint32 crc;
        int method;  // 0 stored, 8 deflated
        size_t dataOffset, compressedSize;
    };

    // Empty when the archive has no readable central directory, or when any entry's
    // local header or data does not lie whole within the archive.
    static std::vector<Entry> read (const void* archive, size_t size);

private:
    ZipCentralDirectory() = delete;
};
