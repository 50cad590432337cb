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

std::array<juce::File, 3> PluginFormats::userFolders (const juce::File& userBase)
{
    // Steinberg's and CLAP's own lists of where hosts look for a user's plug-ins.
#if JUCE_WINDOWS
    return { userBase.getChildFile ("Programs/Common/VST3"), userBase.getChildFile ("Programs/Common/CLAP"), {} };
#else
    return { userBase.getChildFile (".vst3"), userBase.getChildFile (".clap"), {} };
#endif
}

std::array<juce::File, 3> PluginFormats::defaultFolders (const juce::File& base)
{
    return { base.getChildFile (formatFolderNames[0]), base.getChildFile (formatFolderNames[1]),
             base.getChildFile (formatFolderNames[2]) };
}
