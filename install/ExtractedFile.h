#pragma once

#include <juce_core/juce_core.h>

#if JUCE_WINDOWS
# include <windows.h>
#endif

// One file being written by an install, through the handle it was created with
// (see FolderHandle::createFile). Its content, times and size are made safe on disk
// before the install goes on.
class ExtractedFile final
{
public:
#if JUCE_WINDOWS
    using Native = HANDLE;
    static Native invalid()
    {
        return INVALID_HANDLE_VALUE;
    }
#else
    using Native = int;
    static constexpr Native invalid()
    {
        return -1;
    }
#endif

    explicit ExtractedFile (Native);
    ~ExtractedFile();

    bool write (const void* data, size_t size);

    // Gives the file its archive entry's time as modification and access time, and
    // flushes content and times to disk.
    bool finish (juce::Time entryTime);

private:
    Native handle;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ExtractedFile)
};
