#include "ProgramImageInputStream.h"

#if JUCE_LINUX || JUCE_BSD
# include <sys/mman.h>
# include <unistd.h>
#endif

namespace
{
// Handing back costs a system call, so it waits until this much has been read past.
constexpr size_t releaseStep = 1 << 20;
}  // namespace

ProgramImageInputStream::ProgramImageInputStream (const void* imageData, size_t size)
    : juce::MemoryInputStream (imageData, size, false)
{
}

// Whatever was read out of order (the central directory, say) goes back too.
ProgramImageInputStream::~ProgramImageInputStream()
{
    release (getData(), getDataSize());
}

int ProgramImageInputStream::read (void* destination, int maxBytes)
{
    const auto got = juce::MemoryInputStream::read (destination, maxBytes);
    const auto readUpTo = (size_t) getPosition();

    // A jump back (to the next entry's header, say) starts the count again from there.
    if (readUpTo < releasedUpTo)
        releasedUpTo = readUpTo;

    if (readUpTo - releasedUpTo >= releaseStep)
    {
        release (static_cast<const char*> (getData()) + releasedUpTo, readUpTo - releasedUpTo);
        releasedUpTo = readUpTo;
    }

    return got;
}

void ProgramImageInputStream::release (const void* start, size_t size)
{
#if JUCE_LINUX || JUCE_BSD
    const auto pageSize = (std::uintptr_t) sysconf (_SC_PAGESIZE);
    const auto first = ((std::uintptr_t) start + pageSize - 1) & ~(pageSize - 1);
    const auto end = ((std::uintptr_t) start + size) & ~(pageSize - 1);

    if (end > first)
        madvise (reinterpret_cast<void*> (first), end - first, MADV_DONTNEED);
#else
    juce::ignoreUnused (start, size);
#endif
}
