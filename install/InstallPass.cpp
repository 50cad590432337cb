#include "main_screen/MainComponent.h"

#include "BinaryData.h"
#include "install/ArchiveInstaller.h"
#include "panels/panel_success.h"

namespace
{
juce::MemoryBlock copyOfArchive (int formatIndex)
{
    switch (formatIndex)
    {
        case 0:  return { BinaryData::vst3_zip, (size_t) BinaryData::vst3_zipSize };
        case 1:  return { BinaryData::clap_zip, (size_t) BinaryData::clap_zipSize };
        default: return { BinaryData::aax_zip, (size_t) BinaryData::aax_zipSize };
    }
}
} // namespace

void MainComponent::runInstallOrUninstall()
{
    const auto uninstalling = shiftDown;
    auto processedAny = false;
    auto allSucceeded = true;

    for (int index = 0; index < 3; ++index)
    {
        if (! selected[(size_t) index])
            continue;

        const ArchiveInstaller installer (formatFolders[(size_t) index], installedFileName (index));
        const auto succeeded = uninstalling ? installer.uninstall()
                                            : installer.install (copyOfArchive (index));

        processedAny = true;
        allSucceeded = allSucceeded && succeeded;
        selected[(size_t) index] = false;
    }

    repaint();
    showResultPanel (processedAny && allSucceeded);
}

void MainComponent::removeInstallLeftovers() const
{
    for (int index = 0; index < 3; ++index)
        ArchiveInstaller (formatFolders[(size_t) index], installedFileName (index)).removeLeftovers();
}

void MainComponent::showResultPanel (bool success)
{
    resultPanel = std::make_unique<panel_success>();
    addAndMakeVisible (*resultPanel);
    resultPanel->unit = unit;
    resultPanel->success = success;
    resultPanel->setBounds (getBounds());
    resultPanel->setAlwaysOnTop (true);

    juce::Desktop::getInstance().getAnimator().animateComponent (resultPanel.get(), getBounds(), 0.0f,
                                                                 3000, true, 0.0, 0.0);
}
