#include "CommandLine.h"

#include "install/PluginFormats.h"

namespace
{
CommandLine failure (const juce::String& why)
{
    CommandLine result;
    result.action = CommandLine::Action::usageError;
    result.error = why;
    return result;
}

// "vst3,clap", "AAX", "all": false when any name is unknown or the list is empty.
bool parseFormats (const juce::String& list, std::array<bool, 3>& formats, bool& all)
{
    const auto names = juce::StringArray::fromTokens (list, ",", {});

    if (names.isEmpty())
        return false;

    for (const auto& name : names)
    {
        const auto wanted = name.trim().toUpperCase();

        if (wanted == "ALL")
        {
            formats.fill (true);
            all = true;
        }
        else if (const auto index = formatNames.indexOf (wanted); index >= 0)
            formats[(size_t) index] = true;
        else
            return false;
    }

    return true;
}
}  // namespace

CommandLine CommandLine::parse (const juce::StringArray& arguments)
{
    CommandLine result;
    auto actions = 0;

    for (int index = 0; index < arguments.size(); ++index)
    {
        const auto& argument = arguments[index];
        const auto takesValue = argument == "--install" || argument == "--uninstall" || argument == "--log";

        // --verify names formats of its own, or, beside --status, none.
        const auto verifyList =
            argument == "--verify" && index + 1 < arguments.size() && ! arguments[index + 1].startsWith ("--");

        if (takesValue && index + 1 >= arguments.size())
            return failure (argument + " needs a value");

        if (argument == "--install" || argument == "--uninstall")
        {
            ++actions;
            result.action = argument == "--install" ? Action::install : Action::uninstall;

            if (! parseFormats (arguments[++index], result.formats, result.allFormats))
                return failure ("unknown or empty format list \"" + arguments[index]
                                + "\" (use vst3, clap, aax, comma-separated, or all)");
        }
        else if (verifyList)
        {
            ++actions;
            result.action = Action::verify;

            if (! parseFormats (arguments[++index], result.formats, result.allFormats))
                return failure ("unknown or empty format list \"" + arguments[index]
                                + "\" (use vst3, clap, aax, comma-separated, or all)");
        }
        else if (argument == "--verify")
        {
            result.verifyStatus = true;
        }
        else if (argument == "--user")
        {
            result.user = true;
        }
        else if (argument == "--force")
        {
            result.force = true;
        }
        else if (argument == "--log")
        {
            if (result.logFile.isNotEmpty())
                return failure ("--log is given twice");

            result.logFile = arguments[++index];

            if (result.logFile.isEmpty())
                return failure ("--log needs a file name");
        }
        else if (argument == "--status" || argument == "--help" || argument == "-h" || argument == "--version")
        {
            ++actions;
            result.action = argument == "--status"  ? Action::status
                          : argument == "--version" ? Action::version
                                                    : Action::help;
        }
        else if (argument == "--json")
        {
            result.json = true;
        }
        else
        {
            return failure ("unknown argument \"" + argument + "\"");
        }
    }

    if (actions == 0)
        return arguments.isEmpty() ? result : failure ("nothing to do: give --install, --uninstall or --status");

    if (actions > 1)
        return failure ("give only one of --install, --uninstall, --verify, --status, --help, --version");

    if (result.json && (result.action == Action::help || result.action == Action::version))
        return failure ("--json goes with --install, --uninstall, --verify or --status");

    if (result.user && (result.action == Action::help || result.action == Action::version))
        return failure ("--user goes with --install, --uninstall, --verify or --status");

    if (result.force && result.action != Action::install)
        return failure ("--force goes with --install only");

    if (result.verifyStatus && result.action != Action::status)
        return failure ("--verify needs a format list, or goes with --status");

    return result;
}

juce::String CommandLine::usage()
{
    return "Usage:\n"
           "  td_installer                          open the window\n"
           "  td_installer --install FORMATS        install the named formats, e.g. --install vst3,clap (or: all)\n"
           "  td_installer --install ... --force    reinstall even what is intact\n"
           "  td_installer --uninstall FORMATS      uninstall them\n"
           "  td_installer --verify FORMATS         compare each installed item with the carried archive\n"
           "  td_installer --status [--verify]      print each format's state as the screen shows it\n"
           "  td_installer ... --json               print the outcome as JSON (with any of the above)\n"
           "  td_installer --user ...               the per-user folders of whoever runs it (with any of the above)\n"
           "  td_installer --log FILE ...           also append what was done to FILE (with any of the above)\n"
           "  td_installer --help | --version\n"
           "\n"
           "FORMATS is a comma-separated list of vst3, clap, aax (any case), or all.\n"
           "--install and --uninstall need administrator (root) rights, except with --user; they never prompt.\n"
           "--install leaves an intact item as it is (\"unchanged\") and replaces a modified one (\"repaired\").\n"
           "\n"
           "Exit status:\n"
           "  0  every named format succeeded\n"
           "  1  at least one format failed (--verify: at least one is not intact)\n"
           "  2  usage error (nothing was changed)\n"
           "  3  not privileged (run as root)\n"
           "  4  another install or uninstall held the lock beyond the wait\n";
}
