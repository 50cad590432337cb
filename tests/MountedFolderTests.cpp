// Failures that only real file systems produce: a read-only folder, a full disk, an
// item that cannot be moved, and a power cut.
// These run as root inside a private mount namespace of their own (see
// tests/CMakeLists.txt), so the mounts they make vanish with the test process.
#include "helpers/Mounts.h"
#include "helpers/TestArchive.h"
#include "helpers/TestInstaller.h"
#include "install/ArchiveInstaller.h"

#include <catch2/catch_test_macros.hpp>

using Mounts::quoted;
using Mounts::run;

TEST_CASE ("A folder that cannot be written fails and keeps the earlier install", "[mounts]")
{
    Mounts::require();
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
    Mounts::require();
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
    Mounts::require();
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
        if (! line.startsWith ("plugins/VST3/Glass Tundra Lights.vst3"))
            CHECK (before.contains (line));
}

TEST_CASE ("A swap into place that fails keeps the earlier install, byte for byte", "[mounts]")
{
    Mounts::require();
    ScratchFolder scratch;
    const auto folder = scratch / "VST3";
    REQUIRE (folder.createDirectory());
    REQUIRE (run ("mount -t tmpfs -o size=16m tmpfs " + quoted (folder)));

    const ArchiveInstaller installer (folder, "Item.vst3");
    const auto first = zipOf ({ { "Item.vst3/a", "earlier" }, { "Item.vst3/sub/b", "earlier b" } });
    REQUIRE (installer.install (first.getData(), first.getSize()));
    const auto earlier = scratch.snapshot();
    const auto later = zipOf ({ { "Item.vst3/a", "later" } });

    // A mount point cannot be moved: the last step, which trades the items, fails for real.
    const auto item = installer.target();
    REQUIRE (run ("mount --bind " + quoted (item) + " " + quoted (item)));
    CHECK_FALSE (installer.install (later.getData(), later.getSize()));
    run ("umount " + quoted (item));

    CHECK (scratch.snapshot() == earlier);
    CHECK (installer.leftovers().isEmpty());

    CHECK (installer.install (later.getData(), later.getSize()));
    CHECK (item.getChildFile ("a").loadFileAsString() == "later");
    CHECK_FALSE (item.getChildFile ("sub").exists());

    run ("umount " + quoted (folder));
}
