#include "main_screen/MainComponent.h"

#include "BinaryData.h"
#include "install/ArchiveInstaller.h"
#include "panels/panel_success.h"

#include <future>

namespace
{
struct Archive
{
    const char* data;
    size_t size;
};

Archive archiveOf (int formatIndex)
{
    switch (formatIndex)
    {
        case 0: return { BinaryData::vst3_zip, (size_t) BinaryData::vst3_zipSize };
        case 1: return { BinaryData::clap_zip, (size_t) BinaryData::clap_zipSize };
        default: return { BinaryData::aax_zip, (size_t) BinaryData::aax_zipSize };
    }
}

bool installOrUninstall (const juce::File& folder, const juce::String& item, int formatIndex, bool uninstalling)
{
    const ArchiveInstaller installer (folder, item);

    if (uninstalling)
        return installer.uninstall();

    const auto archive = archiveOf (formatIndex);
    return installer.install (archive.data, archive.size, ArchiveInstaller::ArchiveMemory::programImage);
}
}  // namespace

void MainComponent::runInstallOrUninstall()
{
    const auto uninstalling = shiftDown;

    // The formats touch nothing of each other's, and inflating an archive is most of a
    // pass's time, so they run side by side on every core while the window waits.
    // Where no thread can be had, a format runs when its outcome is asked for.
    std::array<std::future<bool>, 3> outcomes;

    for (int index = 0; index < 3; ++index)
    {
        if (selected[(size_t) index])
            outcomes[(size_t) index] =
                std::async (std::launch::async | std::launch::deferred, installOrUninstall,
                            formatFolders[(size_t) index], installedFileName (index), index, uninstalling);
    }

    auto processedAny = false;
    auto allSucceeded = true;

    for (size_t index = 0; index < outcomes.size(); ++index)
    {
        if (! outcomes[index].valid())
            continue;

        processedAny = true;
        allSucceeded = outcomes[index].get() && allSucceeded;
        selected[index] = false;
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
    coverScreen (*resultPanel);
    resultPanel->success = success;
    resultPanel->announce();

    juce::Desktop::getInstance().getAnimator().animateComponent (resultPanel.get(), getBounds(), 0.0f, 3000, true, 0.0,
                                                                 0.0);
}
