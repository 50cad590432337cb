#pragma once

#include <juce_core/juce_core.h>

#include <array>

// What the program was asked to do by its arguments. With none it opens its window;
// with any, it works without a window and ends with one of the exit codes below.
struct CommandLine
{
    enum class Action
    {
        openWindow,
        install,
        uninstall,
        status,
        verify,
        help,
        version,
        usageError
    };

    // The process's exit status, as deployment scripts see it.
    enum ExitCode
    {
        succeeded = 0,
        someFormatFailed = 1,
        usageError = 2,
        notPrivileged = 3,
        busy = 4
    };

    Action action = Action::openWindow;
    std::array<bool, 3> formats {};  // by format index
    bool json = false;
    bool force = false;         // --install reinstalls even an intact item
    bool user = false;          // --user: the per-user folders of whoever runs it
    bool allFormats = false;    // "all" was named: with --user, the formats that have a per-user folder
    bool verifyStatus = false;  // --status --verify: whether each item is intact
    juce::String logFile;
    juce::String error;  // what was wrong, for a usage error

    static CommandLine parse (const juce::StringArray& arguments);

    static juce::String usage();
};
