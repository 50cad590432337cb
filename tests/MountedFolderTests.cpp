// Failures that only real file systems produce: a read-only folder, a full disk, an
// item that cannot be moved, and a power cut.
// These run as root inside a private mount namespace of their own (see
// tests/CMakeLists.txt), so the mounts they make vanish with the test process.
#include "helpers/Mounts.h"
#include "helpers/TestArchive.h"
#include "helpers/TestInstaller.h"
#include "install/ArchiveInstaller.h"

#include "BinaryData.h"

#include <catch2/catch_test_macros.hpp>
#include <catch2/generators/catch_generators.hpp>

#include <atomic>
#include <thread>

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
        if (! line.startsWith (installer.target (0).getRelativePathFrom (installer.scratch.folder)))
            CHECK (before.contains (line));
}

TEST_CASE ("Without a seam the plug-in folders are where the platform's hosts look", "[mounts]")
{
    Mounts::require();
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

namespace
{
// Unmounts however the test ends: a FUSE daemon left mounted would outlive the test.
struct Unmounted
{
    juce::File point;
    ~Unmounted() { run ("umount " + quoted (point)); }
};
}  // namespace

TEST_CASE ("A swap into place that fails keeps the earlier install, byte for byte", "[mounts]")
{
    Mounts::require();

    // tmpfs trades two items in one step; an ext4 image through fuse2fs cannot (nor can it
    // refuse to replace), so the earlier item is moved aside first there.
    const auto fileSystem = GENERATE (as<juce::String> {}, "tmpfs", "fuse2fs");
    INFO (fileSystem);
    ScratchFolder scratch, images;
    const auto folder = scratch / "VST3";
    const auto image = images / "disk.img";
    REQUIRE (folder.createDirectory());
    REQUIRE (run (fileSystem == "tmpfs" ? "mount -t tmpfs -o size=16m tmpfs " + quoted (folder)
                                        : "truncate -s 32M " + quoted (image) + " && mkfs.ext4 -q -F " + quoted (image)
                                              + " && fuse2fs " + quoted (image) + " " + quoted (folder) + " -o rw"));
    const Unmounted unmounted { folder };

    const ArchiveInstaller installer (folder, "Item.vst3");
    const auto first = zipOf ({ { "Item.vst3/a", "earlier" }, { "Item.vst3/sub/b", "earlier b" } });
    REQUIRE (installer.install (first.getData(), first.getSize()));
    const auto earlier = scratch.snapshot();
    const auto later = zipOf ({ { "Item.vst3/a", "later" } });

    // A mount point cannot be moved: the step that takes the earlier item out of its
    // place fails for real.
    const auto item = installer.target();
    REQUIRE (run ("mount --bind " + quoted (item) + " " + quoted (item)));
    CHECK_FALSE (installer.install (later.getData(), later.getSize()));
    run ("umount " + quoted (item));

    CHECK (scratch.snapshot() == earlier);
    CHECK (installer.leftovers().isEmpty());

    CHECK (installer.install (later.getData(), later.getSize()));
    CHECK (item.getChildFile ("a").loadFileAsString() == "later");
    CHECK_FALSE (item.getChildFile ("sub").exists());
    CHECK (installer.leftovers().isEmpty());
}

namespace
{
juce::String output (const juce::String& command)
{
    juce::ChildProcess process;
    return process.start (command) ? process.readAllProcessOutput().trim() : juce::String();
}

// A loop device over an image file, with an ext4 file system mounted from it; all of
// it undone however the test ends.
struct LoopMount
{
    LoopMount (const juce::File& image, const juce::File& mountPoint, const juce::String& options)
        : device (output ("losetup --find --show " + image.getFullPathName())), point (mountPoint)
    {
        mounted = device.startsWith ("/dev/") && point.createDirectory()
               && run ("mount -t ext4 -o " + options + " " + device + " " + quoted (point));
    }

    ~LoopMount()
    {
        if (mounted)
            run ("umount " + quoted (point));

        if (device.startsWith ("/dev/"))
            run ("losetup -d " + device);
    }

    const juce::String device;
    const juce::File point;
    bool mounted = false;
};

// Each file of an item and its content hash.
juce::StringArray itemState (const juce::File& item)
{
    juce::StringArray lines;

    for (const auto& entry :
         juce::RangedDirectoryIterator (item, true, "*", juce::File::findFiles, juce::File::FollowSymlinks::no))
        lines.add (entry.getFile().getRelativePathFrom (item) + " " + ScratchFolder::contentHash (entry.getFile()));

    lines.sort (false);
    return lines;
}

// The same files as the real bundle, with other content.
juce::MemoryBlock earlierBundle (const juce::MemoryBlock& later)
{
    juce::ZipFile zip (new juce::MemoryInputStream (later, false), true);
    juce::ZipFile::Builder builder;

    for (int index = 0; index < zip.getNumEntries(); ++index)
        if (! zip.getEntry (index)->filename.endsWithChar ('\\'))
            builder.addEntry (new juce::MemoryInputStream ("earlier", 7, true), 9, zip.getEntry (index)->filename,
                              zip.getEntry (index)->fileTime);

    juce::MemoryOutputStream out;
    builder.writeToStream (out, nullptr);
    return out.getMemoryBlock();
}
}  // namespace

TEST_CASE ("After a power cut at any moment the item is the whole earlier install or the whole new one", "[mounts]")
{
    Mounts::require();

    if (! run ("losetup --find"))
        SKIP ("needs a free loop device");

    ScratchFolder scratch;
    const auto image = scratch / "disk.img";
    REQUIRE (run ("truncate -s 64M " + quoted (image) + " && mkfs.ext4 -q -F " + quoted (image)));

    const juce::MemoryBlock later (BinaryData::vst3_zip, (size_t) BinaryData::vst3_zipSize);
    const auto earlier = earlierBundle (later);
    const juce::String item ("Glass Tundra Lights.vst3");

    // What the two whole installs look like, made on the ordinary disk.
    juce::StringArray wholeEarlier, wholeLater;

    for (auto [archive, state] : { std::pair { &earlier, &wholeEarlier }, std::pair { &later, &wholeLater } })
    {
        const ArchiveInstaller reference (scratch / "reference", item);
        REQUIRE (reference.install (archive->getData(), archive->getSize()));
        *state = itemState (reference.target());
    }

    const LoopMount disk (image, scratch / "disk", "rw");
    REQUIRE (disk.mounted);
    const ArchiveInstaller installer (disk.point.getChildFile ("VST3"), item);
    REQUIRE (installer.install (earlier.getData(), earlier.getSize()));
    REQUIRE (run ("sync"));

    // The copies see only what reached the device: what a power cut at that moment
    // would leave. Several while the install runs, the last ones past the journal's
    // commit interval.
    std::atomic<int> outcome { -1 };
    std::thread installing ([&] { outcome = installer.install (later.getData(), later.getSize()) ? 1 : 0; });

    struct Copy
    {
        juce::File file;
        bool afterSuccess;
    };

    std::vector<Copy> copies;
    const auto copyNow = [&]
    {
        const auto reported = outcome == 1;
        const auto copy = scratch.folder.getChildFile ("copy" + juce::String ((int) copies.size()) + ".img");
        REQUIRE (run ("cp " + quoted (image) + " " + quoted (copy)));
        copies.push_back ({ copy, reported });
    };

    while (outcome < 0 && copies.size() < 6)
        copyNow();

    installing.join();
    REQUIRE (outcome == 1);

    for (const auto wait : { 0, 2000, 5000, 8000 })
    {
        juce::Thread::sleep (wait);
        copyNow();
    }

    for (const auto& copy : copies)
    {
        INFO (copy.file.getFileName() << (copy.afterSuccess ? ", after success was reported" : ""));
        const LoopMount check (copy.file, scratch / "check", "ro");
        REQUIRE (check.mounted);

        const auto state = itemState (check.point.getChildFile ("VST3").getChildFile (item));

        if (copy.afterSuccess)
            CHECK (state == wholeLater);
        else
            CHECK ((state == wholeEarlier || state == wholeLater));

        REQUIRE (copy.file.deleteFile());
    }
}
