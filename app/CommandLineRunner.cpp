#include "CommandLineRunner.h"

#include "InstallerIdentity.h"
#include "install/ArchiveInstaller.h"
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
# include <pwd.h>
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

juce::String verdictOf (const ItemVerifier::Report& report)
{
    switch (report.verdict)
    {
        case ItemVerifier::Verdict::intact: return "intact";
        case ItemVerifier::Verdict::modified: return "modified";
        case ItemVerifier::Verdict::notInstalled: return "not installed";
        case ItemVerifier::Verdict::unreadable: break;
    }

    return "cannot be verified";
}

// true or false for an item that is there, nothing (null) for one that is not.
juce::var intactOf (const ItemVerifier::Report& report)
{
    if (report.verdict == ItemVerifier::Verdict::intact || report.verdict == ItemVerifier::Verdict::modified)
        return report.verdict == ItemVerifier::Verdict::intact;

    return {};
}

// The folders one command works on: the machine's, named by the shared settings file,
// or with --user the running user's own, named by that user's settings file.
struct Scope
{
    juce::String name;
    juce::File makerFolder;
    std::array<juce::File, 3> defaults;
    bool machineWide;

    std::array<juce::File, 3> folders (bool createSettings) const
    {
        auto found = createSettings ? SettingsFile::loadOrCreate (makerFolder, defaults, machineWide)
                                    : SettingsFile::read (makerFolder, defaults);

        // AAX has no per-user folder, whatever a user's file names.
        if (! machineWide)
            found[2] = juce::File();

        return found;
    }

    // A format without a folder is, for a user, one that has no per-user folder at all.
    juce::String reasonFor (int formatIndex, const juce::String& reason) const
    {
        return ! machineWide && formatIndex == 2 && reason == ArchiveInstaller::noFolderReason
                 ? juce::String (PluginFormats::noUserFolderReason)
                 : reason;
    }
};

Scope scopeOf (const CommandLine& command, const CommandLineRunner::Machine& machine)
{
    if (command.user)
        return { "user", SettingsFile::makerFolder (machine.userData), PluginFormats::userFolders (machine.userBase),
                 false };

    return { "machine", SettingsFile::makerFolder (machine.applicationData),
             PluginFormats::defaultFolders (machine.pluginBase), true };
}

// With --user, "all" means the formats that have a per-user folder.
std::array<bool, 3> formatsOf (const CommandLine& command)
{
    auto formats = command.formats;

    if (command.user && command.allFormats)
        formats[2] = false;

    return formats;
}

juce::DynamicObject* jsonEntry (int formatIndex, const juce::File& target, const Scope& scope)
{
    auto* entry = new juce::DynamicObject();
    entry->setProperty ("format", formatNames[formatIndex]);
    entry->setProperty ("scope", scope.name);
    entry->setProperty ("path", target.getFullPathName());
    return entry;
}

void printJson (const juce::Array<juce::var>& formats, std::ostream& out)
{
    out << juce::JSON::toString (juce::var (formats), true) << '\n';
}

std::array<ItemVerifier::Report, 3> verifyFolders (const Scope& scope, const std::array<juce::File, 3>& folders,
                                                   const std::array<bool, 3>& formats)
{
    return InstallPass (scope.makerFolder, carriedProductName, folders).verify (formats);
}

int printStatus (const CommandLine& command, const CommandLineRunner::Machine& machine, std::ostream& out,
                 ActionLog& log)
{
    // Reading only: a missing settings file is not written, its defaults are shown.
    const auto scope = scopeOf (command, machine);
    const auto folders = scope.folders (false);
    const InstalledState state (carriedProductName, folders);
    const auto reports = command.verifyStatus ? verifyFolders (scope, folders, { true, true, true })
                                              : std::array<ItemVerifier::Report, 3>();
    juce::Array<juce::var> formats;

    for (int index = 0; index < 3; ++index)
    {
        auto format = state.stateOf (index);
        format.reason = scope.reasonFor (index, format.reason);
        const auto because = format.reason.isEmpty() ? juce::String() : " (" + format.reason + ")";
        const auto& report = reports[(size_t) index];
        const auto verdict =
            command.verifyStatus && format.installed ? " [" + verdictOf (report) + "]" : juce::String();
        log.add ("status", index, format.target, format.status + because + verdict);

        if (! command.json)
        {
            out << formatNames[index].paddedRight (' ', 6) << format.status.paddedRight (' ', 22)
                << pathOf (format.target) << because << verdict << '\n';
            continue;
        }

        auto* entry = jsonEntry (index, format.target, scope);
        entry->setProperty ("installed", format.installed);
        entry->setProperty ("version", format.version);
        entry->setProperty ("status", format.status);

        if (command.verifyStatus)
            entry->setProperty ("intact", intactOf (report));

        if (format.reason.isNotEmpty())
            entry->setProperty ("reason", format.reason);

        formats.add (juce::var (entry));
    }

    if (command.json)
        printJson (formats, out);

    return CommandLine::succeeded;
}

int runVerify (const CommandLine& command, const CommandLineRunner::Machine& machine, std::ostream& out, ActionLog& log)
{
    const auto scope = scopeOf (command, machine);
    const auto folders = scope.folders (false);
    const auto wanted = formatsOf (command);
    const InstalledState state (carriedProductName, folders);
    const auto reports = verifyFolders (scope, folders, wanted);
    juce::Array<juce::var> formats;
    auto named = 0, intact = 0;

    for (int index = 0; index < 3; ++index)
    {
        if (! wanted[(size_t) index])
            continue;

        ++named;
        auto report = reports[(size_t) index];
        report.reason = scope.reasonFor (index, report.reason);
        const auto target = state.installTarget (index);
        intact += report.verdict == ItemVerifier::Verdict::intact ? 1 : 0;

        const auto details = report.verdict == ItemVerifier::Verdict::unreadable ? report.reason
                           : report.differences.isEmpty()
                               ? pathOf (target)
                               : pathOf (target) + " (" + report.differences.joinIntoString ("; ") + ")";
        log.add ("verify", index, target, verdictOf (report) + ": " + details);

        if (! command.json)
        {
            out << formatNames[index] << ' ' << verdictOf (report) << ": " << details << '\n';
            continue;
        }

        auto* entry = jsonEntry (index, target, scope);
        entry->setProperty ("verdict", verdictOf (report));
        entry->setProperty ("intact", intactOf (report));
        entry->setProperty ("differences", report.differences);

        if (report.reason.isNotEmpty())
            entry->setProperty ("reason", report.reason);

        formats.add (juce::var (entry));
    }

    if (command.json)
        printJson (formats, out);
    else
        out << "verified: " << intact << " of " << named << " formats intact\n";

    return intact == named ? CommandLine::succeeded : CommandLine::someFormatFailed;
}

juce::String wordFor (InstallPass::Outcome outcome)
{
    switch (outcome)
    {
        case InstallPass::Outcome::succeeded: return "ok";
        case InstallPass::Outcome::unchanged: return "unchanged";
        case InstallPass::Outcome::repaired: return "repaired";
        case InstallPass::Outcome::failed: return "failed";
        case InstallPass::Outcome::skipped: break;
    }

    return "skipped";
}

int runPass (const CommandLine& command, const CommandLineRunner::Machine& machine, std::ostream& out,
             std::ostream& err, ActionLog& log)
{
    const auto installing = command.action == CommandLine::Action::install;

    if (! machine.privileged && ! command.user)
    {
        err << "td_installer: --" << (installing ? "install" : "uninstall")
            << " needs administrator (root) rights; run it as root." << std::endl;
        return CommandLine::notPrivileged;
    }

    const auto scope = scopeOf (command, machine);
    const auto& makerFolder = scope.makerFolder;
    const auto folders = scope.folders (true);
    const auto wanted = formatsOf (command);
    const InstallPass pass (makerFolder, carriedProductName, folders);
    const InstalledState state (carriedProductName, folders);
    const auto mode = installing ? InstallPass::Mode::install : InstallPass::Mode::uninstall;
    const juce::String verb (installing ? "install" : "uninstall");
    const auto cleanup = pass.removeLeftovers();

    // JSON alone goes to standard output, so that it can be read as it is.
    auto& notes = command.json ? err : out;

    for (int index = 0; index < 3; ++index)
        for (const auto& leftover : cleanup.left[(size_t) index])
        {
            notes << formatNames[index] << " clean-up left " << leftover.path.getFullPathName() << ": " << leftover.why
                  << '\n';
            log.add ("cleanup", index, leftover.path, "left: " + leftover.why);
        }

    if (cleanup.busy)
    {
        const auto reason = "another install or uninstall is running (it holds "
                          + makerFolder.getChildFile (PassLock::fileName).getFullPathName() + "); nothing was done";

        for (int index = 0; index < 3; ++index)
            if (wanted[(size_t) index])
                log.add (verb, index, state.installTarget (index), "failed: " + reason);

        err << "td_installer: " << reason << '.' << std::endl;
        return CommandLine::busy;
    }

    const auto result = pass.run (wanted, mode, command.force);
    juce::Array<juce::var> formats;
    auto processed = 0, failed = 0;

    for (int index = 0; index < 3; ++index)
    {
        const auto outcome = result.outcomes[(size_t) index];

        if (outcome == InstallPass::Outcome::skipped)
            continue;

        ++processed;
        const auto target = state.installTarget (index);
        const auto reason = scope.reasonFor (index, result.reasons[(size_t) index]);
        const auto word = wordFor (outcome);
        failed += outcome == InstallPass::Outcome::failed ? 1 : 0;
        log.add (verb, index, target, outcome == InstallPass::Outcome::failed ? "failed: " + reason : word);

        if (command.json)
        {
            auto* entry = jsonEntry (index, target, scope);
            entry->setProperty ("outcome", word);
            entry->setProperty ("changed", outcome == InstallPass::Outcome::succeeded
                                               || outcome == InstallPass::Outcome::repaired);

            if (reason.isNotEmpty())
                entry->setProperty ("reason", reason);

            formats.add (juce::var (entry));
        }
        else
        {
            out << formatNames[index] << ' ' << verb << ' ' << word << ": "
                << (outcome == InstallPass::Outcome::failed ? reason : pathOf (target)) << '\n';
        }
    }

    if (command.json)
        printJson (formats, out);
    else if (failed == 0)
        out << "done: " << processed << " of " << processed << " formats " << verb << "ed\n";
    else
        out << "failed: " << failed << " of " << processed << " formats could not be " << verb << "ed\n";

    return failed == 0 ? CommandLine::succeeded : CommandLine::someFormatFailed;
}
}  // namespace

#if ! JUCE_WINDOWS
namespace
{
// The home of whoever runs the program. For root, the account's own home whatever the
// environment says: a program running as root never writes another user's folders.
juce::File userHome()
{
    const auto* home = ::getenv ("HOME");

    if (::geteuid() != 0 && home != nullptr && juce::File::isAbsolutePath (home))
        return juce::File (home);

    passwd entry {};
    passwd* found = nullptr;
    char buffer[4096];
    return ::getpwuid_r (::geteuid(), &entry, buffer, sizeof (buffer), &found) == 0 && found != nullptr
             ? juce::File (found->pw_dir)
             : juce::File();
}

// $XDG_CONFIG_HOME, or ~/.config.
juce::File userConfigFolder()
{
    const auto* config = ::getenv ("XDG_CONFIG_HOME");

    if (::geteuid() != 0 && config != nullptr && juce::File::isAbsolutePath (config))
        return juce::File (config);

    const auto home = userHome();
    return home == juce::File() ? juce::File() : home.getChildFile (".config");
}
}  // namespace
#endif

CommandLineRunner::Machine CommandLineRunner::thisMachine()
{
    Machine machine;
    machine.applicationData = juce::File::getSpecialLocation (juce::File::commonApplicationDataDirectory);
    machine.pluginBase = PluginFormats::platformBase();
#if JUCE_WINDOWS
    machine.userData = juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory);
    machine.userBase = juce::File::getSpecialLocation (juce::File::windowsLocalAppData);
#else
    machine.userData = userConfigFolder();
    machine.userBase = userHome();
#endif
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
        case Action::verify:
        case Action::install:
        case Action::uninstall: break;
    }

    ActionLog log (command.logFile, err);
    const auto code = command.action == Action::status ? printStatus (command, machine, out, log)
                    : command.action == Action::verify ? runVerify (command, machine, out, log)
                                                       : runPass (command, machine, out, err, log);
    out.flush();
    return code;
}
