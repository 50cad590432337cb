#include "app/Elevation.h"
#include "helpers/ScratchFolder.h"

#include <catch2/catch_test_macros.hpp>

#if JUCE_LINUX || JUCE_BSD
# include <sys/stat.h>
# include <unistd.h>
#endif

TEST_CASE ("Start-up rights: go on, ask through pkexec, or stop", "[app]")
{
    using Decision = Elevation::Decision;

    SECTION ("a privileged start goes straight on, whatever else there is")
    {
        CHECK (Elevation::decide (true, false, false) == Decision::proceed);
        CHECK (Elevation::decide (true, true, true) == Decision::proceed);
    }

    SECTION ("unprivileged with a display and pkexec: ask for the rights")
    {
        CHECK (Elevation::decide (false, true, true) == Decision::relaunchElevated);
    }

    SECTION ("unprivileged without a display or without pkexec: stop")
    {
        CHECK (Elevation::decide (false, false, true) == Decision::refuse);
        CHECK (Elevation::decide (false, true, false) == Decision::refuse);
        CHECK (Elevation::decide (false, false, false) == Decision::refuse);
    }

    SECTION ("the refusal is one line that says what is needed")
    {
        const auto message = Elevation::refusalMessage();
        CHECK_FALSE (message.containsChar ('\n'));
        CHECK (message.contains ("root"));
    }
}

TEST_CASE ("The relaunch runs this program's file by absolute paths", "[app]")
{
    const juce::StringArray pkexecStart { "/usr/bin/pkexec", "/usr/bin/env", "DISPLAY=:1" };
    const auto command = [] (const juce::String& program, const juce::String& xauthority, const juce::String& home)
    { return Elevation::relaunchCommand ("/usr/bin/pkexec", program, ":1", xauthority, home); };

    SECTION ("the display, its authority and the program follow env, which is named by its path")
    {
        auto expected = pkexecStart;
        expected.addArray ({ "XAUTHORITY=/run/user/1000/xauth", "/opt/td/td_installer" });
        CHECK (command ("/opt/td/td_installer", "/run/user/1000/xauth", "/home/ann") == expected);
    }

    SECTION ("without XAUTHORITY the elevated process reads the user's ~/.Xauthority, never an empty value")
    {
        auto expected = pkexecStart;
        expected.addArray ({ "XAUTHORITY=/home/ann/.Xauthority", "/opt/td/td_installer" });
        CHECK (command ("/opt/td/td_installer", {}, "/home/ann") == expected);
        CHECK (command ("/opt/td/td_installer", {}, "/home/ann/") == expected);

        expected = pkexecStart;
        expected.add ("/opt/td/td_installer");
        CHECK (command ("/opt/td/td_installer", {}, {}) == expected);
    }

    SECTION ("a program not named by an absolute path, or that env would take for a setting, is not run")
    {
        CHECK (command ("td_installer", {}, "/home/ann").isEmpty());
        CHECK (command ("./td_installer", {}, "/home/ann").isEmpty());
        CHECK (command ("/opt/a=b/td_installer", {}, "/home/ann").isEmpty());
    }
}

#if JUCE_LINUX || JUCE_BSD
TEST_CASE ("Only a program file that nobody but root can change is relaunched", "[app]")
{
    if (geteuid() != 0)
        SKIP ("needs root to own and hand over files");

    // The scratch folder sits in the sticky temporary folder, like a root-owned program there.
    ScratchFolder scratch;
    const auto program = scratch / "bin/td_installer";
    REQUIRE (ScratchFolder::write (program, "#!/bin/sh\n"));
    const auto path = [] (const juce::File& f) { return f.getFullPathName().toRawUTF8(); };
    REQUIRE (chmod (path (scratch.folder), 0755) == 0);
    REQUIRE (chmod (path (program.getParentDirectory()), 0755) == 0);
    REQUIRE (chmod (path (program), 0755) == 0);

    CHECK_FALSE (Elevation::changeableByNonRoot (program));

    SECTION ("the file itself: owned by another user, or writable by another group or by anyone")
    {
        CHECK (chown (path (program), 65534, 0) == 0);
        CHECK (Elevation::changeableByNonRoot (program));
        CHECK (chown (path (program), 0, 65534) == 0);
        CHECK_FALSE (Elevation::changeableByNonRoot (program));
        CHECK (chmod (path (program), 0775) == 0);
        CHECK (Elevation::changeableByNonRoot (program));
        CHECK (chmod (path (program), 0757) == 0);
        CHECK (Elevation::changeableByNonRoot (program));
    }

    SECTION ("a folder on its path that others may write, unless its sticky bit keeps root's entries")
    {
        const auto folder = program.getParentDirectory();
        CHECK (chmod (path (folder), 0777) == 0);
        CHECK (Elevation::changeableByNonRoot (program));
        CHECK (chmod (path (folder), 01777) == 0);
        CHECK_FALSE (Elevation::changeableByNonRoot (program));
        CHECK (chown (path (folder), 65534, 0) == 0);
        CHECK (Elevation::changeableByNonRoot (program));
    }

    SECTION ("a link, a missing file and a relative path count as changeable")
    {
        const auto link = scratch / "link";
        REQUIRE (program.createSymbolicLink (link, true));
        CHECK (Elevation::changeableByNonRoot (link));
        CHECK (Elevation::changeableByNonRoot (scratch / "missing"));
        CHECK (Elevation::changeableByNonRoot (juce::File::createFileWithoutCheckingPath ("bin/td_installer")));
    }

    SECTION ("the running program is the file the kernel runs")
    {
        CHECK (Elevation::runningProgram() == juce::File::getSpecialLocation (juce::File::currentExecutableFile));
    }
}
#endif
