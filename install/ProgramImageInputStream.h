#pragma once

#include <juce_core/juce_core.h>

// Reads data that lies in the program's own read-only image, such as the embedded
// archives, and hands each stretch it has read past back to the system, the rest when
// it is done. Reading an archive otherwise keeps all of its pages resident; handing
// them back is always safe, as the system reads them again from the executable if
// they are touched.
// Only for such data: handed-back pages of ordinary memory would read as zeros.
class ProgramImageInputStream final : public juce::MemoryInputStream
{
public:
    ProgramImageInputStream (const void* imageData, size_t size);
    ~ProgramImageInputStream() override;

    int read (void* destination, int maxBytes) override;

    // Hands back every whole page of a stretch of the program's image.
    static void release (const void* start, size_t size);

private:
    size_t releasedUpTo = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ProgramImageInputStream)
};
