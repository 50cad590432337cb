#include "SettingsFile.h"

#include "PlainXmlShape.h"
#include "TextDecoding.h"
#include "FolderHandle.h"
#include "RegularFileReader.h"

#if JUCE_WINDOWS
# include "platform/windows/WindowsPlatform.h"
#endif

namespace
{
const juce::String importantNote {
    "These are the paths that all Tovin Drift installers will use for their respective formats. "
    "Edit them to personal taste, but keep in mind that some formats have specific homes. "
    "Use this feature at your own risk; follow the naming and separator conventions exactly as you see them, "
    "or you could end up with unintended consequences. If you delete this file, the next time you run the "
    "Plugin Manager for any TD product, a new one with the default locations will be written."
};

// The attribute of each format, by format index.
const juce::StringArray pathAttributes { "VST3_Path", "CLAP_Path", "AAX_Path" };

// Runs of separators become one, but for the two that open a network path on Windows.
// The framework's own clean-up of doubled separators never ends on some paths with
// characters beyond ASCII, so the path reaches it without any.
juce::String collapseSeparators (const juce::String& path)
{
    const auto isSeparator = [] (juce::juce_wchar c)
    { return c == '/' || (c == '\\' && juce::File::getSeparatorChar() == '\\'); };

    juce::String result;
    auto previousWasSeparator = false;
    int index = 0;

    for (auto p = path.getCharPointer(); ! p.isEmpty(); ++p, ++index)
    {
        const auto separator = isSeparator (*p);

        if (! (separator && previousWasSeparator && index > 1))
            result += juce::String::charToString (*p);

        previousWasSeparator = separator;
    }

    return result;
}
}  // namespace

const juce::String SettingsFile::fileName { "PluginManagerSettings.txt" };

std::optional<std::array<juce::File, 3>> SettingsFile::readFolders (const juce::MemoryBlock& content)
{
    const auto text = TextDecoding::decodeFile (content);

    if (! PlainXmlShape (text.toRawUTF8(), deepestNesting).isWellFormed())
        return std::nullopt;

    const auto root = juce::XmlDocument (text).getDocumentElement();

    if (root == nullptr)
        return std::nullopt;

    std::array<juce::File, 3> folders;

    for (int index = 0; index < 3; ++index)
    {
        // A missing attribute leaves the format without a folder; it is never
        // resolved against the working directory or the file-system root.
        const auto path = root->getStringAttribute (pathAttributes[index]);
        folders[(size_t) index] = path.isEmpty() ? juce::File() : juce::File (collapseSeparators (path));
    }

    return folders;
}

juce::XmlElement SettingsFile::makeDocument (const std::array<juce::File, 3>& folders)
{
    juce::XmlElement settings ("Plugin_Manager_Settings");
    settings.setAttribute ("Important_Note:", importantNote);
    settings.setAttribute ("CLAP_Path", folders[1].getFullPathName());
    settings.setAttribute ("VST3_Path", folders[0].getFullPathName());
    settings.setAttribute ("AAX_Path", folders[2].getFullPathName());
    return settings;
}

juce::File SettingsFile::makerFolder (const juce::File& applicationData)
{
    return applicationData.getChildFile ("Tovin Drift");
}

namespace
{
// Larger than any settings file a person writes, and bounded all the same.
constexpr size_t largestFile = 256 * 1024 * 1024;

std::optional<std::array<juce::File, 3>> readFile (const juce::File& makerFolder)
{
    // Only a regular file is read, never through a link, and never a FIFO that would wait.
    const auto content = RegularFileReader::readAll (makerFolder, SettingsFile::fileName, largestFile);
    return content.has_value() ? SettingsFile::readFolders (*content) : std::nullopt;
}
}  // namespace

std::array<juce::File, 3> SettingsFile::read (const juce::File& makerFolder, const std::array<juce::File, 3>& defaults)
{
    return readFile (makerFolder).value_or (defaults);
}

// Every installer of the maker shares one settings file naming the plug-in folders:
// read it when it is there, otherwise write it with the folders in force now.
std::array<juce::File, 3> SettingsFile::loadOrCreate (const juce::File& makerFolder,
                                                      const std::array<juce::File, 3>& defaults, bool machineWide)
{
    const auto settingsFile = makerFolder.getChildFile (fileName);

#if JUCE_WINDOWS
    // Made, or taken over, so that only administrators and SYSTEM may write it; one that
    // cannot be (a link in its place) is not used, and the defaults stay in force.
    if (machineWide && ! WindowsPlatform::createMakerFolder (makerFolder.getFullPathName().toStdString()))
        return defaults;
#endif

    if (RegularFileReader::anythingAt (settingsFile))
    {
        const auto folders = readFile (makerFolder);

        if (! folders.has_value())
            return defaults;

        // A plug-in folder may lie below folders a user owns: it is made without
        // following a link on the way, so a swapped-in link cannot aim root elsewhere.
        for (const auto& folder : *folders)
            if (folder != juce::File() && ! folder.exists())
                FolderHandle::open (folder, true);

        return *folders;
    }

    // On a fresh machine the maker's folder does not exist yet. It lies in the machine-wide
    // application-data folder, which only root may write, or in the user's own
    // configuration folder, written as that user, so a path is safe here.
    makerFolder.createDirectory();
    makeDocument (defaults).writeTo (settingsFile, juce::XmlElement::TextFormat());
    return defaults;
}
