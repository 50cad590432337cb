#include "Elevation.h"

#include <iostream>

#if JUCE_LINUX || JUCE_BSD
# include <climits>
# include <cstdlib>
# include <pwd.h>
# include <sys/stat.h>
# include <sys/wait.h>
# include <unistd.h>
#elif JUCE_WINDOWS
# include "platform/windows/WindowsPlatform.h"
#endif

Elevation::Decision Elevation::decide (bool isPrivileged, bool hasDisplay, bool hasPkexec)
{
    if (isPrivileged)
        return Decision::proceed;

    return hasDisplay && hasPkexec ? Decision::relaunchElevated : Decision::refuse;
}

juce::String Elevation::refusalMessage()
{
    return "td_installer needs administrator (root) rights to write the plug-in folders; "
           "run it as root or allow the elevation prompt.";
}

juce::StringArray Elevation::relaunchCommand (const juce::String& pkexec, const juce::String& program,
                                              const juce::String& display, const juce::String& xauthority,
                                              const juce::String& home)
{
    // env takes a word holding '=' for a setting, not for the program to run.
    if (! program.startsWithChar ('/') || program.containsChar ('='))
        return {};

    juce::StringArray command { pkexec, "/usr/bin/env", "DISPLAY=" + display };

    if (xauthority.isNotEmpty())
        command.add ("XAUTHORITY=" + xauthority);
    else if (home.isNotEmpty())
        command.add ("XAUTHORITY=" + home.trimCharactersAtEnd ("/") + "/.Xauthority");

    command.add (program);
    return command;
}

#if JUCE_LINUX || JUCE_BSD
namespace
{
juce::String environmentValue (const char* name)
{
    const auto* value = std::getenv (name);
    return value != nullptr ? juce::String (value) : juce::String();
}

juce::String userHome()
{
    if (auto home = environmentValue ("HOME"); home.isNotEmpty())
        return home;

    const auto* entry = getpwuid (getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? juce::String::fromUTF8 (entry->pw_dir) : juce::String();
}

juce::File findPkexec()
{
    for (auto folder : { "/usr/bin", "/bin", "/usr/local/bin" })
        if (auto candidate = juce::File (folder).getChildFile ("pkexec"); candidate.existsAsFile())
            return candidate;

    return {};
}

// The prompt asks an administrator to run one file as root; that file has to be this
// program, and nobody but root may be able to change it between the prompt and the start.
int relaunchThroughPkexec (const juce::File& pkexec)
{
    const auto program = Elevation::runningProgram();

    if (program == juce::File() || Elevation::changeableByNonRoot (program))
    {
        std::cerr << Elevation::unsafeProgramMessage (program) << std::endl;
        return 1;
    }

    const auto command =
        Elevation::relaunchCommand (pkexec.getFullPathName(), program.getFullPathName(), environmentValue ("DISPLAY"),
                                    environmentValue ("XAUTHORITY"), userHome());
    juce::ChildProcess child;

    if (command.isEmpty() || ! child.start (command, 0))
        return -1;

    child.waitForProcessToFinish (-1);
    return (int) child.getExitCode();
}
}  // namespace

juce::File Elevation::runningProgram()
{
    char target[PATH_MAX];
    const auto length = readlink ("/proc/self/exe", target, sizeof target);

    if (length <= 0 || (size_t) length >= sizeof target)
        return {};

    const auto path = juce::String::fromUTF8 (target, (int) length);

    // A removed or replaced file leaves the link naming something else, or nothing.
    struct stat running
    {
    }, named {};

    if (stat ("/proc/self/exe", &running) != 0 || stat (path.toRawUTF8(), &named) != 0 || running.st_dev != named.st_dev
        || running.st_ino != named.st_ino)
        return {};

    return juce::File (path);
}

bool Elevation::changeableByNonRoot (const juce::File& file)
{
    if (! file.getFullPathName().startsWithChar ('/'))
        return true;

    for (auto item = file;; item = item.getParentDirectory())
    {
        struct stat info
        {};

        if (lstat (item.getFullPathName().toRawUTF8(), &info) != 0 || S_ISLNK (info.st_mode) || info.st_uid != 0)
            return true;

        const auto othersMayWrite =
            (info.st_mode & S_IWOTH) != 0 || ((info.st_mode & S_IWGRP) != 0 && info.st_gid != 0);
        const auto keepsRootsEntries = S_ISDIR (info.st_mode) && (info.st_mode & S_ISVTX) != 0;

        if (othersMayWrite && ! keepsRootsEntries)
            return true;

        if (item.isRoot())
            return false;
    }
}

juce::String Elevation::unsafeProgramMessage (const juce::File& program)
{
    return "td_installer does not ask for root rights for "
         + (program == juce::File() ? juce::String ("a program file that has been removed or replaced")
                                    : "\"" + program.getFullPathName() + "\"")
         + ": a user other than root could change it. Run it from a folder only root can write, or as root.";
}

bool Elevation::isPrivileged()
{
    return geteuid() == 0;
}

bool Elevation::ensurePrivileges (int& exitCode)
{
    const auto pkexec = findPkexec();
    const auto decision = decide (geteuid() == 0, environmentValue ("DISPLAY").isNotEmpty(), pkexec != juce::File());

    if (decision == Decision::proceed)
        return true;

    exitCode = decision == Decision::relaunchElevated ? relaunchThroughPkexec (pkexec) : -1;

    // 126 and 127: the user dismissed the prompt or was not authorised.
    if (exitCode < 0 || exitCode == 126 || exitCode == 127)
    {
        std::cerr << refusalMessage() << std::endl;
        exitCode = 1;
    }

    return false;
}
#elif JUCE_WINDOWS
bool Elevation::isPrivileged()
{
    return WindowsPlatform::isProcessElevated();
}

// The manifest makes Windows ask before the process starts; a copy started without it
// (manifest ignored or stripped) must not go on without the rights.
bool Elevation::ensurePrivileges (int& exitCode)
{
    if (decide (WindowsPlatform::isProcessElevated(), false, false) == Decision::proceed)
        return true;

    std::cerr << refusalMessage() << std::endl;
    exitCode = 1;
    return false;
}
#else
bool Elevation::isPrivileged()
{
    return true;
}

bool Elevation::ensurePrivileges (int&)
{
    return true;
}
#endif
