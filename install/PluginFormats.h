#pragma once

#include <juce_core/juce_core.h>

#include <array>

// The names of the formats and their items' file extensions. Every per-format array
// follows the order of formatNames: 0 VST3, 1 CLAP, 2 AAX.
extern const juce::StringArray formatNames;
extern const juce::StringArray formatExtensions;

// Where each format's plug-ins live on this platform, when the shared settings file
// names no other folder: the one table used for the first write of that file and for
// the defaults.
class PluginFormats final
{
public:
    // The folder the default plug-in folders lie below.
    static juce::File platformBase();

    // The default plug-in folder of each format below a base folder, by format index.
    static std::array<juce::File, 3> defaultFolders (const juce::File& base);

    static std::array<juce::File, 3> platformFolders() { return defaultFolders (platformBase()); }

    // The per-user plug-in folders hosts look in, below the user's home (on Windows, the
    // user's local application data): AAX has none, and its entry is empty.
    static std::array<juce::File, 3> userFolders (const juce::File& userBase);

    static constexpr const char* noUserFolderReason =
        "AAX has no per-user folder; install it for everyone, with administrator (root) rights";

private:
    PluginFormats() = delete;
};
