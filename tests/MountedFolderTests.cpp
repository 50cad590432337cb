// Failures that only real file systems produce: a read-only folder and a full disk.
// These run as root inside a private mount namespace of their own (see
// tests/CMakeLists.txt), so the mounts they make vanish with the test process.
#include "helpers/TestInstaller.h"

#include <catch2/catch_test_macros.hpp>

#include <unistd.h>

namespace
{
bool run (const juce::String& command)
{
    return std::system ((command + " >/dev/null 2>&1").toRawUTF8()) == 0;
}

void requireMounts()
{
    if (geteuid() != 0 || ! run ("mount --make-rprivate /"))
        SKIP ("needs root in a private mount namespace");
}

juce::String quoted (const juce::File& f)
{
    return f.getFullPathName().quoted();
}
}  // namespace

TEST_CASE ("A folder that cannot be written fails and keeps the earlier install", "[mounts]")
{
    requireMounts();
    TestInstaller installer;
    installer.start();
    REQUIRE (installer.pass ({ 0, 1 }));

    const auto before = installer.scratch.snapshot();
    const auto folder = installer.folder (1);
    REQUIRE (run ("mount --bind " + quoted (folder) + " " + quoted (folder)));
    REQUIRE (run ("mount -o remount,bind,ro " + quoted (folder)));

    CHECK_FALSE (installer.pass ({ 1 }));
    CHECK_FALSE (installer.pass ({ 1 }, true));
    CHECK_FALSE (installer.pass ({ 0, 1 }));
    CHECK (installer.scratch.snapshot() == before);

    run ("umount " + quoted (folder));
}

TEST_CASE ("A disk that fills up in the middle of a module keeps the earlier install", "[mounts]")
{
    requireMounts();
    TestInstaller installer;
    installer.start();

    // Room for one CLAP module (16.5 MB) and half of a second one.
    const auto folder = installer.folder (1);
    REQUIRE (folder.createDirectory());
    REQUIRE (run ("mount -t tmpfs -o size=24m tmpfs " + quoted (folder)));

    REQUIRE (installer.pass ({ 1 }));
    const auto earlier = ScratchFolder::contentHash (installer.target (1));

    CHECK_FALSE (installer.pass ({ 1 }));
    CHECK (ScratchFolder::contentHash (installer.target (1)) == earlier);
    CHECK (folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories) == 1);

    run ("umount " + quoted (folder));
}

TEST_CASE ("A bundle whose inner folder cannot be changed keeps everything outside the item", "[mounts]")
{
    requireMounts();
    TestInstaller installer;
    installer.start();
    REQUIRE (installer.pass ({ 0 }));

    const auto inner = installer.target (0).getChildFile ("Contents/x86_64-win");
    REQUIRE (run ("mount --bind " + quoted (inner) + " " + quoted (inner)));
    REQUIRE (run ("mount -o remount,bind,ro " + quoted (inner)));
    const auto before = installer.scratch.snapshot();

    CHECK_FALSE (installer.pass ({ 0 }, true));
    CHECK (inner.getChildFile ("Glass Tundra Lights.vst3").existsAsFile());

    run ("umount " + quoted (inner));

    // What could be removed is gone; nothing beside the item changed.
    for (const auto& line : installer.scratch.snapshot())
        if (! line.startsWith (installer.target (0).getRelativePathFrom (installer.scratch.folder)))
            CHECK (before.contains (line));
}

TEST_CASE ("Without a seam the plug-in folders are where the platform's hosts look", "[mounts]")
{
    requireMounts();
    // The real machine-wide settings folder, emptied for this process only.
    REQUIRE (run ("mount -t tmpfs tmpfs /opt"));

    const MainComponent screen;

    CHECK (screen.formatFolders[0].getFullPathName() == "/usr/lib/vst3");
    CHECK (screen.formatFolders[1].getFullPathName() == "/usr/lib/clap");
    CHECK (screen.formatFolders[2].getFullPathName() == "/usr/lib/aax");
    CHECK (screen.settingsFolder.getFullPathName() == "/opt/Tovin Drift");

    const auto written = juce::XmlDocument::parse (screen.settingsFolder.getChildFile ("PluginManagerSettings.txt"));
    REQUIRE (written != nullptr);
    CHECK (written->getStringAttribute ("VST3_Path") == "/usr/lib/vst3");
    CHECK (written->getStringAttribute ("CLAP_Path") == "/usr/lib/clap");
    CHECK (written->getStringAttribute ("AAX_Path") == "/usr/lib/aax");

    run ("umount /opt");
}
