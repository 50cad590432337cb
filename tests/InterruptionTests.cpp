// Installs stopped dead and plug-in folders that are not what they seem: the earlier
// install survives, and nothing outside the product's own item changes.
#include "helpers/KilledOnExit.h"
#include "helpers/TestInstaller.h"
#include "install/ArchiveInstaller.h"

#include <catch2/catch_test_macros.hpp>

namespace
{
const juce::String killTargetVariable { "PLUGIN_MANAGER_KILL_TARGET" };
}  // namespace

// The process that the test below stops with SIGKILL in the middle of an install.
TEST_CASE ("Reinstall CLAP into the folder named by the environment", "[.kill-target]")
{
    const juce::File base (juce::SystemStats::getEnvironmentVariable (killTargetVariable, {}));
    REQUIRE (base.isDirectory());

    MainComponent screen (base.getChildFile ("appdata"), base.getChildFile ("plugins"));

    for (;;)
    {
        screen.selected[1] = true;
        screen.runInstallOrUninstall();
    }
}

TEST_CASE ("An install killed half way leaves the earlier install, and the next start tidies up", "[faults]")
{
    TestInstaller installer;
    installer.start();
    REQUIRE (installer.pass ({ 1 }));
    const auto earlier = ScratchFolder::contentHash (installer.target (1));
    const ArchiveInstaller clap (installer.folder (1), installer.screen->installedFileName (1));
    const auto item = installer.screen->installedFileName (1);
    const auto target = installer.target (1);
    installer.screen = nullptr;

    // The child installs in a loop forever: it is ended however the test ends.
    juce::ChildProcess child;
    const KilledOnExit guard { child };
    const auto self = juce::File::getSpecialLocation (juce::File::currentExecutableFile).getFullPathName();
    setenv (killTargetVariable.toRawUTF8(), installer.scratch.folder.getFullPathName().toRawUTF8(), 1);
    REQUIRE (child.start (juce::StringArray { self, "[.kill-target]" }, 0));

    // Stop it while the new module is being written into the staging folder.
    const auto deadline = juce::Time::getMillisecondCounter() + 20000;

    const auto stagedFile = [&]
    {
        for (const auto& staging : clap.leftovers())
            if (staging.getChildFile (item).getSize() > 1000000)
                return true;

        return false;
    };

    while (! stagedFile() && juce::Time::getMillisecondCounter() < deadline)
        juce::Thread::sleep (1);

    REQUIRE (stagedFile());
    REQUIRE (child.kill());
    REQUIRE (child.waitForProcessToFinish (5000));

    CHECK (ScratchFolder::contentHash (target) == earlier);

    installer.start();
    CHECK (ScratchFolder::contentHash (installer.target (1)) == earlier);
    CHECK (clap.leftovers().isEmpty());
    CHECK (installer.folder (1).getNumberOfChildFiles (juce::File::findFilesAndDirectories) == 1);
}

TEST_CASE ("Plug-in folders with other things in them", "[faults]")
{
    TestInstaller installer;
    installer.start();
    const auto vst3 = installer.folder (0);

    // Other vendors' plug-ins and things named almost like ours.
    for (const auto* name : { "Other.vst3/Contents/x86_64-win/Other.vst3", "Glass Tundra Lights.vst3.bak",
                              ".Glass Tundra Lights.vst3.mine", "Glass Tundra Lights", "readme.txt" })
        REQUIRE (ScratchFolder::write (vst3.getChildFile (name), name));

    const auto outsideFile = installer.scratch / "outside.txt";
    REQUIRE (ScratchFolder::write (outsideFile, "mine"));

    const auto othersOf = [&]
    {
        juce::StringArray others;
        const auto item = installer.target (0).getRelativePathFrom (installer.scratch.folder);

        for (const auto& line : installer.scratch.snapshot())
            if (! (line == item || line.startsWith (item + " ") || line.startsWith (item + "/")))
                others.add (line);

        return others;
    };
    const auto before = othersOf();

    SECTION ("a plain file where the bundle belongs is replaced by the bundle, then removed")
    {
        REQUIRE (ScratchFolder::write (installer.target (0), "not a bundle"));
        CHECK (installer.pass ({ 0 }));
        CHECK (installer.target (0).getChildFile ("desktop.ini").existsAsFile());
        CHECK (installer.pass ({ 0 }, true));
    }

    SECTION ("a link to a file outside is removed as a link")
    {
        REQUIRE (outsideFile.createSymbolicLink (installer.target (0), true));
        CHECK (installer.pass ({ 0 }, true));
        CHECK (installer.pass ({ 0 }));
    }

    SECTION ("installing and uninstalling twice over")
    {
        CHECK (installer.pass ({ 0 }));
        CHECK (installer.pass ({ 0 }));
        CHECK (installer.pass ({ 0 }, true));
        CHECK (installer.pass ({ 0 }, true));
    }

    CHECK (othersOf() == before);
    CHECK (outsideFile.loadFileAsString() == "mine");
}
