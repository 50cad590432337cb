#pragma once

#include <juce_core/juce_core.h>

// A fresh folder under the system's temporary folder, removed with everything in it
// when the test ends. Tests never touch the machine's real application-data or
// plug-in folders: they hand these to the main component instead.
class ScratchFolder final
{
public:
    ScratchFolder();
    ~ScratchFolder();

    juce::File operator/ (const juce::String& relativePath) const { return folder.getChildFile (relativePath); }

    juce::File applicationData() const { return folder.getChildFile ("appdata"); }
    juce::File pluginBase() const { return folder.getChildFile ("plugins"); }
    juce::File settingsFile() const;

    // The folder's files and their content hashes, to prove that nothing else changed.
    juce::StringArray snapshot() const;

    // Writes a text file, creating the folders on its way.
    static bool write (const juce::File&, const juce::String& text);

    // Size and CRC-32 of a file's content.
    static juce::String contentHash (const juce::File&);

    const juce::File folder;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ScratchFolder)
};
