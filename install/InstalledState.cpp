#include "InstalledState.h"

#include "PeVersionReader.h"
#include "PluginFormats.h"
#include "RegularFileReader.h"

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

bool InstalledState::isFormatInstalled (int formatIndex) const
{
    const auto target = installTarget (formatIndex);

    if (target == juce::File())
        return false;

    ++queries;
    return RegularFileReader::anythingAt (target);
}

juce::String InstalledState::installedVersion (int formatIndex) const
{
    const auto target = installTarget (formatIndex);
    return target == juce::File() ? juce::String() : versionBelow (target, formatIndex);
}

// Only a regular file inside the item is read: a folder, a link, a FIFO or a device
// in its place has no version, and reading it never waits.
juce::String InstalledState::versionBelow (const juce::File& target, int formatIndex) const
{
    ++queries;

    // An AAX bundle carries its version in the module inside it.
    const auto source =
        formatIndex == 2 ? target.getFileName() + "/Contents/x64/" + productName + ".aaxplugin" : target.getFileName();

    // On Windows too: the portable reader reads what the system's version functions read on
    // sound modules, and those trust the sizes and offsets a damaged module claims (under
    // Wine they crash).
    const auto stream = RegularFileReader::open (target.getParentDirectory(), source);
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
    state.installed = isFormatInstalled (formatIndex);

    if (state.installed)
        state.version = versionBelow (state.target, formatIndex);

    state.status = statusFor (state.installed, state.version);
    return state;
}
