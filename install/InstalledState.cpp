#include "main_screen/MainComponent.h"

#include "install/PeVersionReader.h"

juce::String MainComponent::installedFileName (int formatIndex) const
{
    return productName + formatExtensions[formatIndex];
}

juce::File MainComponent::installTarget (int formatIndex) const
{
    const auto& folder = formatFolders[(size_t) formatIndex];

    // A format without a folder has no install target at all.
    if (folder == juce::File())
        return {};

    return folder.getChildFile (installedFileName (formatIndex));
}

bool MainComponent::isFormatInstalled (int formatIndex) const
{
    const auto target = installTarget (formatIndex);
    return target != juce::File() && target.exists();
}

juce::String MainComponent::installedVersion (int formatIndex) const
{
    auto source = installTarget (formatIndex);

    if (source == juce::File())
        return {};

    // An AAX bundle carries its version in the module inside it.
    if (formatIndex == 2)
        source = source.getChildFile ("Contents/x64/" + productName + ".aaxplugin");

    if (source.isDirectory())
        return {};

    // On Windows too: it reads what the system's version functions read on sound modules,
    // and those trust the sizes and offsets a damaged module claims (under Wine they crash).
    return PeVersionReader::readFileVersion (source);
}

juce::String MainComponent::statusText (int formatIndex) const
{
    if (! isFormatInstalled (formatIndex))
        return "NOT INSTALLED";

    const auto version = installedVersion (formatIndex);

    if (version.isEmpty())
        return "INSTALLED";

    return "v" + version + " INSTALLED";
}
