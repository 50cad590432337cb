#include "ExtractedFile.h"

#if ! JUCE_WINDOWS
# include <fcntl.h>
# include <sys/stat.h>
# include <unistd.h>

# include <cerrno>
#endif

ExtractedFile::ExtractedFile (Native native) : handle (native)
{
}

#if JUCE_WINDOWS

ExtractedFile::~ExtractedFile()
{
    CloseHandle (handle);
}

bool ExtractedFile::write (const void* data, size_t size)
{
    const auto* bytes = static_cast<const char*> (data);

    while (size > 0)
    {
        DWORD written = 0;
        const auto chunk = (DWORD) juce::jmin (size, (size_t) 1 << 30);

        if (! WriteFile (handle, bytes, chunk, &written, nullptr) || written == 0)
            return false;

        bytes += written;
        size -= written;
    }

    return true;
}

bool ExtractedFile::finish (juce::Time entryTime)
{
    // FILETIME counts 100 ns steps from 1601; the archive's time counts ms from 1970.
    const auto ticks = (ULONGLONG) (entryTime.toMilliseconds() + 11644473600000LL) * 10000ULL;
    FILETIME time { (DWORD) ticks, (DWORD) (ticks >> 32) };

    return SetFileTime (handle, &time, &time, &time) && FlushFileBuffers (handle);
}

#else

ExtractedFile::~ExtractedFile()
{
    ::close (handle);
}

bool ExtractedFile::write (const void* data, size_t size)
{
    const auto* bytes = static_cast<const char*> (data);

    while (size > 0)
    {
        const auto written = ::write (handle, bytes, size);

        if (written < 0 && errno == EINTR)
            continue;

        if (written <= 0)
            return false;

        bytes += written;
        size -= (size_t) written;
    }

# if JUCE_LINUX
    // The disk starts on what has arrived while the rest is inflated, so that the flush
    // at the end finds little left to wait for.
    sync_file_range (handle, 0, 0, SYNC_FILE_RANGE_WRITE);
# endif

    return true;
}

bool ExtractedFile::finish (juce::Time entryTime)
{
    const auto ms = entryTime.toMilliseconds();
    const auto seconds = ms / 1000 - (ms % 1000 < 0 ? 1 : 0);
    const timespec time { (time_t) seconds, (long) (ms - seconds * 1000) * 1000000L };
    const timespec times[] { time, time };

    return futimens (handle, times) == 0 && fsync (handle) == 0;
}

#endif
