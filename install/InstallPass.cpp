#include "main_screen/MainComponent.h"

#include "BinaryData.h"
#include "install/ArchiveInstaller.h"
#include "panels/panel_success.h"

#if JUCE_LINUX || JUCE_BSD
 #include <sys/mman.h>
 #include <unistd.h>
#endif

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
        case 0:  return { BinaryData::vst3_zip, (size_t) BinaryData::vst3_zipSize };
        case 1:  return { BinaryData::clap_zip, (size_t) BinaryData::clap_zipSize };
        default: return { BinaryData::aax_zip, (size_t) BinaryData::aax_zipSize };
    }
}

// Reading an archive pulls its 9.5 MB of the executable into memory; once the format
// is done those pages are handed back, so the pass never holds more than one archive.
void releasePages (const Archive& archive)
{
   #if JUCE_LINUX || JUCE_BSD
    const auto pageSize = (std::uintptr_t) sysconf (_SC_PAGESIZE);
    const auto start = ((std::uintptr_t) archive.data + pageSize - 1) & ~(pageSize - 1);
    const auto end = ((std::uintptr_t) archive.data + archive.size) & ~(pageSize - 1);

    if (end > start)
        madvise (reinterpret_cast<void*> (start), end - start, MADV_DONTNEED);
   #else
    juce::ignoreUnused (archive);
   #endif
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
        const auto archive = archiveOf (index);
        const auto succeeded = uninstalling ? installer.uninstall()
                                            : installer.install (archive.data, archive.size);

        if (! uninstalling)
            releasePages (archive);

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
    coverScreen (*resultPanel);
    resultPanel->success = success;

    juce::Desktop::getInstance().getAnimator().animateComponent (resultPanel.get(), getBounds(), 0.0f,
                                                                 3000, true, 0.0, 0.0);
}
