#include "ScratchFolder.h"

#include <zlib.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace
{
// ctest runs several test processes at once; mkdtemp picks and creates the name in
// one step, so no two of them can end up sharing a folder.
juce::File makeUniqueFolder()
{
    auto pattern = juce::File::getSpecialLocation (juce::File::tempDirectory)
                       .getChildFile ("plugin-manager-test.XXXXXX")
                       .getFullPathName()
                       .toStdString();

    if (mkdtemp (pattern.data()) == nullptr)
        throw std::runtime_error ("cannot create a scratch folder");

    return juce::File (juce::String (pattern));
}
}  // namespace

ScratchFolder::ScratchFolder() : folder (makeUniqueFolder())
{
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
            line << " " << contentHash (file);

        lines.add (line);
    }

    lines.sort (false);
    return lines;
}

bool ScratchFolder::write (const juce::File& file, const juce::String& text)
{
    return file.getParentDirectory().createDirectory() && file.replaceWithText (text);
}

juce::String ScratchFolder::contentHash (const juce::File& file)
{
    juce::MemoryBlock content;

    if (! file.loadFileAsData (content))
        return "unreadable";

    const auto crc = crc32 (0L, static_cast<const Bytef*> (content.getData()), (uInt) content.getSize());
    return juce::String ((juce::int64) content.getSize()) + ":" + juce::String::toHexString ((juce::int64) crc);
}
