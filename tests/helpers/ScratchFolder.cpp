#include "ScratchFolder.h"

ScratchFolder::ScratchFolder()
    : folder (juce::File::getSpecialLocation (juce::File::tempDirectory)
                  .getNonexistentChildFile ("plugin-manager-test", {}, false))
{
    folder.createDirectory();
    applicationData().createDirectory();
}

ScratchFolder::~ScratchFolder()
{
    folder.deleteRecursively (false);
}

juce::File ScratchFolder::settingsFile() const
{
    return applicationData().getChildFile ("Tovin Drift/PluginManagerSettings.txt");
}

juce::StringArray ScratchFolder::snapshot() const
{
    juce::StringArray lines;

    for (const auto& entry : juce::RangedDirectoryIterator (folder, true, "*", juce::File::findFilesAndDirectories,
                                                           juce::File::FollowSymlinks::no))
    {
        const auto& file = entry.getFile();
        auto line = file.getRelativePathFrom (folder);

        if (file.isSymbolicLink())
            line << " -> " << file.getLinkedTarget().getFullPathName();
        else if (file.existsAsFile())
            line << " " << juce::String::toHexString (file.hashCode64()) << " "
                 << juce::MD5 (file).toHexString();

        lines.add (line);
    }

    lines.sort (false);
    return lines;
}
