#include "InstallPass.h"

#include "ArchiveInstaller.h"
#include "BinaryData.h"
#include "InstalledState.h"
#include "PassLock.h"

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

juce::Result installOrUninstall (const juce::File& folder, const juce::String& item, int formatIndex,
                                 InstallPass::Mode mode)
{
    const ArchiveInstaller installer (folder, item);

    if (mode == InstallPass::Mode::uninstall)
        return installer.uninstall();

    const auto archive = archiveOf (formatIndex);
    return installer.install (archive.data, archive.size, ArchiveInstaller::ArchiveMemory::programImage);
}
}  // namespace

bool InstallPass::Result::processedAny() const
{
    return std::any_of (outcomes.begin(), outcomes.end(), [] (auto outcome) { return outcome != Outcome::skipped; });
}

bool InstallPass::Result::allSucceeded() const
{
    return ! busy
        && std::none_of (outcomes.begin(), outcomes.end(), [] (auto outcome) { return outcome == Outcome::failed; });
}

InstallPass::InstallPass (const juce::File& maker, const juce::String& name,
                          const std::array<juce::File, 3>& formatFolders)
    : lockWait (PassLock::defaultWait()), makerFolder (maker), productName (name), folders (formatFolders)
{
}

InstallPass::Result InstallPass::run (const std::array<bool, 3>& selected, Mode mode) const
{
    Result result;
    const PassLock lock (makerFolder, lockWait);

    if (! lock.isHeld())
    {
        result.busy = true;
        return result;
    }

    const InstalledState state (productName, folders);

    // The formats touch nothing of each other's, and inflating an archive is most of a
    // pass's time, so they run side by side on every core while the caller waits.
    // Where no thread can be had, a format runs when its outcome is asked for.
    std::array<std::future<juce::Result>, 3> outcomes;

    for (int index = 0; index < 3; ++index)
    {
        if (selected[(size_t) index])
            outcomes[(size_t) index] =
                std::async (std::launch::async | std::launch::deferred, installOrUninstall, folders[(size_t) index],
                            state.installedFileName (index), index, mode);
    }

    for (size_t index = 0; index < outcomes.size(); ++index)
    {
        if (! outcomes[index].valid())
            continue;

        const auto outcome = outcomes[index].get();
        result.outcomes[index] = outcome.wasOk() ? Outcome::succeeded : Outcome::failed;
        result.reasons[index] = outcome.getErrorMessage();
    }

    return result;
}

InstallPass::Cleanup InstallPass::removeLeftovers() const
{
    Cleanup cleanup;
    const PassLock lock (makerFolder, lockWait);

    if (! lock.isHeld())
    {
        cleanup.busy = true;
        return cleanup;
    }

    const InstalledState state (productName, folders);
    const auto started = juce::Time::getMillisecondCounterHiRes();

    for (int index = 0; index < 3; ++index)
    {
        ArchiveInstaller installer (folders[(size_t) index], state.installedFileName (index));
        const auto spent =
            juce::RelativeTime::milliseconds ((juce::int64) (juce::Time::getMillisecondCounterHiRes() - started));
        installer.cleanupTime = juce::jmax (juce::RelativeTime(), cleanupTime - spent);
        cleanup.left[(size_t) index] = installer.removeLeftovers();
    }

    return cleanup;
}
