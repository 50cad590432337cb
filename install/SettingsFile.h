#pragma once

#include <juce_core/juce_core.h>

#include <array>
#include <optional>

// The shared settings file of every installer of the maker: its location, its text,
// and the plug-in folders it names.
class SettingsFile final
{
public:
    static const juce::String fileName;

    // The folder of each format, by format index, as the file's content names them: a
    // missing attribute gives an empty File. Nothing when it is not a readable document.
    static std::optional<std::array<juce::File, 3>> readFolders (const juce::MemoryBlock& content);

    // The document a first start writes, naming the folders in force.
    static juce::XmlElement makeDocument (const std::array<juce::File, 3>& folders);

    // The maker's folder, which holds the file, inside the machine-wide application data.
    static juce::File makerFolder (const juce::File& applicationData);

    // The folders in force: the file's when it is there, otherwise the defaults, which a
    // first start writes into a new file for every later installer.
    // A user's own settings file (machineWide false) takes no part in the machine's
    // protection of the shared one.
    static std::array<juce::File, 3> loadOrCreate (const juce::File& makerFolder,
                                                   const std::array<juce::File, 3>& defaults, bool machineWide = true);

    // The same folders, reading only: a missing file leaves the defaults and writes nothing.
    static std::array<juce::File, 3> read (const juce::File& makerFolder, const std::array<juce::File, 3>& defaults);

    // Elements nested deeper than this are not a settings file but an attack on the
    // framework's XML reader, which descends once per level.
    static constexpr int deepestNesting = 256;

private:
    SettingsFile() = delete;
};
