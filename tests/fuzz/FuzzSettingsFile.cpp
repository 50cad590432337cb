// Any text where the shared settings file should be: reading it never crashes, and
// every folder it yields is either absent or a full path.
#include "install/SettingsFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    if (const auto folders = SettingsFile::readFolders (juce::MemoryBlock (data, size)))
        for (const auto& folder : *folders)
            if (folder != juce::File() && ! juce::File::isAbsolutePath (folder.getFullPathName()))
                std::abort();

    return 0;
}
