// Any bytes as a plug-in module: the version reader never crashes and gives either
// nothing or four numbers.
#include "install/PeVersionReader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    juce::MemoryInputStream input (data, size, false);
    const auto version = PeVersionReader::readFileVersion (input);

    if (version.isNotEmpty() && juce::StringArray::fromTokens (version, ".", {}).size() != 4)
        std::abort();

    return 0;
}
