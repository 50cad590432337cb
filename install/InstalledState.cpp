#include "InstalledState.h"

#include "ArchiveInstaller.h"
#include "FolderHandle.h"
#include "PeVersionReader.h"
#include "PluginFormats.h"
#include "RegularFileReader.h"

#include <cerrno>

std::atomic<int> InstalledState::queries { 0 };

InstalledState::InstalledState (const juce::String& name, const std::array<juce::File, 3>& formatFolders)
    : productName (name), folders (formatFolders)
{
}

juce::String InstalledState::installedFileName (int formatIndex) const
{
    return productName + formatExtensions[formatIndex];
}

juce::File InstalledState::installTarget (int formatIndex) const
{
    const auto& folder = folders[(size_t) formatIndex];

    // A format without a folder has no install target at all.
    if (folder == juce::File())
        return {};

    return folder.getChildFile (installedFileName (formatIndex));
}

FolderHandle InstalledState::folderOf (int formatIndex, juce::String& whyNot) const
{
    const auto& folder = folders[(size_t) formatIndex];

    if (folder == juce::File())
    {
        whyNot = ArchiveInstaller::noFolderReason;
        return {};
    }

    // The same walk as an install's, so that what reads as installed is what an install
    // or uninstall would work on; a folder that is simply missing holds nothing. The walk
    // and the look at the item make one existence test.
    ++queries;
    auto opened = FolderHandle::open (folder, false, &whyNot);

    if (! opened.isOpen() && errno == ENOENT)
        whyNot = {};

    return opened;
}

bool InstalledState::itemIn (const FolderHandle& folder, int formatIndex) const
{
    const auto kind = folder.kindOf (installedFileName (formatIndex));
    return kind != FolderHandle::Kind::missing && kind != FolderHandle::Kind::unknown;
}

bool InstalledState::isFormatInstalled (int formatIndex) const
{
    juce::String whyNot;
    const auto folder = folderOf (formatIndex, whyNot);
    return folder.isOpen() && itemIn (folder, formatIndex);
}

juce::String InstalledState::installedVersion (int formatIndex) const
{
    juce::String whyNot;
    const auto folder = folderOf (formatIndex, whyNot);
    return folder.isOpen() ? versionIn (folder, formatIndex) : juce::String();
}

// Only a regular file inside the item is read: a folder, a link, a FIFO or a device
// in its place has no version, and reading it never waits.
juce::String InstalledState::versionIn (const FolderHandle& folder, int formatIndex) const
{
    ++queries;

    // An AAX bundle carries its version in the module inside it.
    const auto item = installedFileName (formatIndex);
    const auto source = formatIndex == 2 ? item + "/Contents/x64/" + productName + ".aaxplugin" : item;

    // On Windows too: the portable reader reads what the system's version functions read on
    // sound modules, and those trust the sizes and offsets a damaged module claims (under
    // Wine they crash).
    const auto stream = RegularFileReader::open (folder, source);
    return stream != nullptr ? PeVersionReader::readFileVersion (*stream) : juce::String();
}

juce::String InstalledState::statusFor (bool installed, const juce::String& version)
{
    if (! installed)
        return "NOT INSTALLED";

    if (version.isEmpty())
        return "INSTALLED";

    return "v" + version + " INSTALLED";
}

juce::String InstalledState::statusText (int formatIndex) const
{
    return stateOf (formatIndex).status;
}

FormatState InstalledState::stateOf (int formatIndex) const
{
    FormatState state;
    state.target = installTarget (formatIndex);
    const auto folder = folderOf (formatIndex, state.reason);
    state.installed = folder.isOpen() && itemIn (folder, formatIndex);

    if (state.installed)
        state.version = versionIn (folder, formatIndex);

    state.status = statusFor (state.installed, state.version);
    return state;
}
