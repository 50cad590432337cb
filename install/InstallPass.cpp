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

struct FormatOutcome
{
    InstallPass::Outcome outcome;
    juce::String reason;
};

FormatOutcome outcomeOf (const juce::Result& result, InstallPass::Outcome onSuccess)
{
    return { result.wasOk() ? onSuccess : InstallPass::Outcome::failed, result.getErrorMessage() };
}

FormatOutcome installOrUninstall (const juce::File& folder, const InstalledState& state, int formatIndex,
                                  InstallPass::Mode mode, bool force)
{
    using Outcome = InstallPass::Outcome;
    const auto item = state.installedFileName (formatIndex);
    const ArchiveInstaller installer (folder, item);

    if (mode == InstallPass::Mode::uninstall)
    {
        const auto wasThere = state.isFormatInstalled (formatIndex);
        return outcomeOf (installer.uninstall(), wasThere ? Outcome::succeeded : Outcome::unchanged);
    }

    const auto archive = archiveOf (formatIndex);
    auto done = Outcome::succeeded;

    if (! force)
    {
        const auto report = ItemVerifier (folder, item).verify (archive.data, archive.size);

        if (report.verdict == ItemVerifier::Verdict::intact)
            return { Outcome::unchanged, {} };

        if (report.verdict == ItemVerifier::Verdict::modified)
            done = Outcome::repaired;
    }

    return outcomeOf (installer.install (archive.data, archive.size, ArchiveInstaller::ArchiveMemory::programImage),
                      done);
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

InstallPass::Result InstallPass::run (const std::array<bool, 3>& selected, Mode mode, bool force) const
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
    std::array<std::future<FormatOutcome>, 3> outcomes;

    for (int index = 0; index < 3; ++index)
    {
        if (selected[(size_t) index])
            outcomes[(size_t) index] = std::async (std::launch::async | std::launch::deferred, installOrUninstall,
                                                   folders[(size_t) index], std::cref (state), index, mode, force);
    }

    for (size_t index = 0; index < outcomes.size(); ++index)
    {
        if (! outcomes[index].valid())
            continue;

        const auto outcome = outcomes[index].get();
        result.outcomes[index] = outcome.outcome;
        result.reasons[index] = outcome.reason;
    }

    return result;
}

std::array<ItemVerifier::Report, 3> InstallPass::verify (const std::array<bool, 3>& selected) const
{
    const InstalledState state (productName, folders);
    std::array<std::future<ItemVerifier::Report>, 3> reports;
    std::array<ItemVerifier::Report, 3> result;

    // Reading and checking every byte is the work, as inflating is for an install.
    for (int index = 0; index < 3; ++index)
        if (selected[(size_t) index])
            reports[(size_t) index] =
                std::async (std::launch::async | std::launch::deferred,
                            [this, index, name = state.installedFileName (index)]
                            {
                                const auto archive = archiveOf (index);
                                return ItemVerifier (folders[(size_t) index], name).verify (archive.data, archive.size);
                            });

    for (size_t index = 0; index < reports.size(); ++index)
        if (reports[index].valid())
            result[index] = reports[index].get();

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
