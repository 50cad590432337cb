#pragma once

#include <juce_core/juce_core.h>

#include <vector>

// The CRC-32 of each entry, read from a ZIP archive's central directory in the
// same order in which juce::ZipFile lists the entries. The framework's reader does
// not check CRCs, so the installer needs them to prove what it wrote.
class ZipCentralDirectory final
{
public:
    // Empty when the archive has no readable central directory.
    static std::vector<juce::uint32> readCrcs (const void* archive, size_t size);

private:
    ZipCentralDirectory() = delete;
};
