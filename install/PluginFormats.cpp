#include "PluginFormats.h"

const juce::StringArray formatNames { "VST3", "CLAP", "AAX" };
const juce::StringArray formatExtensions { ".vst3", ".clap", ".aaxplugin" };

namespace
{
// Hosts look where their platform's convention says; Linux paths are case-sensitive.
#if JUCE_WINDOWS
constexpr const char* baseFolder = "C:/Program Files/Common Files";
constexpr std::array<const char*, 3> formatFolderNames { "VST3", "CLAP", "Avid/Audio/Plug-Ins" };
#else
constexpr const char* baseFolder = "/usr/lib";
constexpr std::array<const char*, 3> formatFolderNames { "vst3", "clap", "aax" };
#endif
}  // namespace

juce::File PluginFormats::platformBase()
{
    return juce::File (baseFolder);
}

std::array<juce::File, 3> PluginFormats::defaultFolders (const juce::File& base)
{
    return { base.getChildFile (formatFolderNames[0]), base.getChildFile (formatFolderNames[1]),
             base.getChildFile (formatFolderNames[2]) };
}
