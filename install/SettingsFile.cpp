#include "main_screen/MainComponent.h"

namespace
{
const juce::String settingsFileName { "PluginManagerSettings.txt" };

const juce::String importantNote {
    "These are the paths that all Tovin Drift installers will use for their respective formats. "
    "Edit them to personal taste, but keep in mind that some formats have specific homes. "
    "Use this feature at your own risk; follow the naming and separator conventions exactly as you see them, "
    "or you could end up with unintended consequences. If you delete this file, the next time you run the "
    "Plugin Manager for any TD product, a new one with the default locations will be written."
};

// The attribute of each format, by format index.
const juce::StringArray pathAttributes { "VST3_Path", "CLAP_Path", "AAX_Path" };
} // namespace

// Every installer of the maker shares one settings file naming the plug-in folders:
// read it when it is there, otherwise write it with the folders in force now.
void MainComponent::loadOrCreateSettings()
{
    settingsFolder = applicationDataFolder.getChildFile ("Tovin Drift");
    const auto settingsFile = settingsFolder.getChildFile (settingsFileName);

    if (settingsFile.existsAsFile())
    {
        const auto root = juce::XmlDocument (settingsFile).getDocumentElement();

        if (root == nullptr)
            return;

        for (int index = 0; index < 3; ++index)
        {
            const auto path = root->getStringAttribute (pathAttributes[index]);

            // A missing attribute leaves the format without a folder; it is never
            // resolved against the working directory or the file-system root.
            formatFolders[(size_t) index] = path.isEmpty() ? juce::File() : juce::File (path);

            auto& folder = formatFolders[(size_t) index];

            if (folder != juce::File() && ! folder.exists())
                folder.createDirectory();
        }

        return;
    }

    juce::XmlElement settings ("Plugin_Manager_Settings");
    settings.setAttribute ("Important_Note:", importantNote);
    settings.setAttribute ("CLAP_Path", formatFolders[1].getFullPathName());
    settings.setAttribute ("VST3_Path", formatFolders[0].getFullPathName());
    settings.setAttribute ("AAX_Path", formatFolders[2].getFullPathName());

    // On a fresh machine the maker's folder does not exist yet.
    settingsFolder.createDirectory();
    settings.writeTo (settingsFile, juce::XmlElement::TextFormat());
}
