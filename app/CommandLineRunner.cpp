#include "CommandLineRunner.h"

#include "InstallerIdentity.h"
#include "install/InstallPass.h"
#include "install/PassLock.h"
#include "install/InstalledState.h"
#include "install/PluginFormats.h"
#include "install/SettingsFile.h"

#include <ostream>

#if ! JUCE_WINDOWS
# include <cerrno>
# include <cstring>
# include <fcntl.h>
# include <unistd.h>
#endif

namespace
{
// Appends one line per action to the file the caller named. A log that cannot be
// written is said once on standard error and changes nothing else.
class ActionLog final
{
public:
    ActionLog (const juce::String& path, std::ostream& errors) : file (path), err (errors) {}

    void add (const juce::String& action, int formatIndex, const juce::File& target, const juce::String& outcome)
    {
        lines << juce::Time::getCurrentTime().toISO8601 (true) << ' ' << action << ' ' << formatNames[formatIndex]
              << ' ' << (target == juce::File() ? juce::String ("(no folder)") : target.getFullPathName()) << ' '
              << outcome << '\n';
    }

    ~ActionLog()
    {
        if (file.isEmpty() || lines.isEmpty())
            return;

        if (const auto problem = append(); problem.isNotEmpty())
            err << "td_installer: cannot write the log " << file << ": " << problem << std::endl;
    }

private:
    juce::String append() const
    {
#if JUCE_WINDOWS
        juce::FileOutputStream stream (juce::File::getCurrentWorkingDirectory().getChildFile (file));

        if (! stream.openedOk() || ! stream.writeText (lines, false, false, nullptr))
            return stream.getStatus().getErrorMessage();

        stream.flush();
        return stream.getStatus().wasOk() ? juce::String() : stream.getStatus().getErrorMessage();
#else
        // Never through a link: root may be writing into a folder another user controls.
        const auto fd =
            ::open (file.toRawUTF8(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);

        if (fd < 0)
            return std::strerror (errno);

        const auto* text = lines.toRawUTF8();
        const auto size = std::strlen (text);
        const auto written = ::write (fd, text, size);
        const auto closed = ::close (fd);

        if (written != (ssize_t) size || closed != 0)
            return std::strerror (errno);

        return {};
#endif
    }

    const juce::String file;
    std::ostream& err;
    juce::String lines;
};

juce::String pathOf (const juce::File& target)
{
    return target == juce::File() ? juce::String ("(no folder)") : target.getFullPathName();
}

int printStatus (const CommandLine& command, const CommandLineRunner::Machine& machine, std::ostream& out,
                 ActionLog& log)
{
    // Reading only: a missing settings file is not written, its defaults are shown.
    const auto folders = SettingsFile::read (SettingsFile::makerFolder (machine.applicationData),
                                             PluginFormats::defaultFolders (machine.pluginBase));
    const InstalledState state (carriedProductName, folders);
    juce::Array<juce::var> formats;

    for (int index = 0; index < 3; ++index)
    {
        const auto format = state.stateOf (index);
        const auto because = format.reason.isEmpty() ? juce::String() : " (" + format.reason + ")";
        log.add ("status", index, format.target, format.status + because);

        if (! command.json)
        {
            out << formatNames[index].paddedRight (' ', 6) << format.status.paddedRight (' ', 22)
                << pathOf (format.target) << because << '\n';
            continue;
        }

        auto* entry = new juce::DynamicObject();
        entry->setProperty ("format", formatNames[index]);
        entry->setProperty ("installed", format.installed);
        entry->setProperty ("version", format.version);
        entry->setProperty ("status", format.status);
        entry->setProperty ("path", format.target.getFullPathName());

        if (format.reason.isNotEmpty())
            entry->setProperty ("reason", format.reason);
        formats.add (juce::var (entry));
    }

    if (command.json)
        out << juce::JSON::toString (juce::var (formats), true) << '\n';

    return CommandLine::succeeded;
}

int runPass (const CommandLine& command, const CommandLineRunner::Machine& machine, std::ostream& out,
             std::ostream& err, ActionLog& log)
{
    const auto installing = command.action == CommandLine::Action::install;

    if (! machine.privileged)
    {
        err << "td_installer: --" << (installing ? "install" : "uninstall")
            << " needs administrator (root) rights; run it as root." << std::endl;
        return CommandLine::notPrivileged;
    }

    const auto makerFolder = SettingsFile::makerFolder (machine.applicationData);
    const auto folders = SettingsFile::loadOrCreate (makerFolder, PluginFormats::defaultFolders (machine.pluginBase));
    const InstallPass pass (makerFolder, carriedProductName, folders);
    const auto mode = installing ? InstallPass::Mode::install : InstallPass::Mode::uninstall;
    const auto cleanup = pass.removeLeftovers();
    InstallPass::Result result;
    result.busy = cleanup.busy;

    for (int index = 0; index < 3; ++index)
        for (const auto& leftover : cleanup.left[(size_t) index])
        {
            out << formatNames[index] << " clean-up left " << leftover.path.getFullPathName() << ": " << leftover.why
                << '\n';
            log.add ("cleanup", index, leftover.path, "left: " + leftover.why);
        }

    if (! cleanup.busy)
        result = pass.run (command.formats, mode);

    if (result.busy)
    {
        const auto reason = "another install or uninstall is running (it holds "
                          + makerFolder.getChildFile (PassLock::fileName).getFullPathName() + "); nothing was done";

        for (int index = 0; index < 3; ++index)
            if (command.formats[(size_t) index])
                log.add (installing ? "install" : "uninstall", index,
                         InstalledState (carriedProductName, folders).installTarget (index), "failed: " + reason);

        err << "td_installer: " << reason << '.' << std::endl;
        return CommandLine::busy;
    }

    const InstalledState state (carriedProductName, folders);
    const juce::String verb (installing ? "install" : "uninstall");
    auto processed = 0, failed = 0;

    for (int index = 0; index < 3; ++index)
    {
        const auto outcome = result.outcomes[(size_t) index];

        if (outcome == InstallPass::Outcome::skipped)
            continue;

        ++processed;
        const auto target = state.installTarget (index);
        juce::String line (formatNames[index] + " " + verb + " ");

        if (outcome == InstallPass::Outcome::succeeded)
        {
            line << "ok: " << pathOf (target);
            log.add (verb, index, target, "ok");
        }
        else
        {
            ++failed;
            const auto& reason = result.reasons[(size_t) index];
            line << "failed: " << reason;
            log.add (verb, index, target, "failed: " + reason);
        }

        out << line << '\n';
    }

    if (failed == 0)
        out << "done: " << processed << " of " << processed << " formats " << verb << "ed\n";
    else
        out << "failed: " << failed << " of " << processed << " formats could not be " << verb << "ed\n";

    return failed == 0 ? CommandLine::succeeded : CommandLine::someFormatFailed;
}
}  // namespace

CommandLineRunner::Machine CommandLineRunner::thisMachine()
{
    Machine machine;
    machine.applicationData = juce::File::getSpecialLocation (juce::File::commonApplicationDataDirectory);
    machine.pluginBase = PluginFormats::platformBase();
#if JUCE_WINDOWS
    // The manifest has the system ask for administrator rights before the process starts.
    machine.privileged = true;
#else
    machine.privileged = ::geteuid() == 0;
#endif
    return machine;
}

int CommandLineRunner::run (const CommandLine& command, const Machine& machine, std::ostream& out, std::ostream& err)
{
    using Action = CommandLine::Action;

    switch (command.action)
    {
        case Action::usageError:
            err << "td_installer: " << command.error << "\nSee td_installer --help." << std::endl;
            return CommandLine::usageError;

        case Action::help: out << CommandLine::usage(); return CommandLine::succeeded;

        case Action::version:
            out << installerName << ' ' << installerVersion << " (carries " << carriedProductName << ' '
                << carriedProductVersion << ")\n";
            return CommandLine::succeeded;

        case Action::openWindow: return CommandLine::usageError;

        case Action::status:
        case Action::install:
        case Action::uninstall: break;
    }

    ActionLog log (command.logFile, err);
    const auto code = command.action == Action::status ? printStatus (command, machine, out, log)
                                                       : runPass (command, machine, out, err, log);
    out.flush();
    return code;
}
