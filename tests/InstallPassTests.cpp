#include "helpers/TestArchive.h"
#include "helpers/TestInstaller.h"
#include "install/ArchiveInstaller.h"
#include "install/EntryInflater.h"

#include "BinaryData.h"

#include <catch2/catch_test_macros.hpp>
#include <catch2/generators/catch_generators.hpp>

#include <sys/stat.h>

#include <tuple>

namespace
{
juce::StringArray treeOf (const juce::File& item)
{
    juce::StringArray lines;

    for (const auto& entry : juce::RangedDirectoryIterator (item, true, "*", juce::File::findFilesAndDirectories))
        lines.add (entry.getFile().getRelativePathFrom (item.getParentDirectory())
                   + (entry.isDirectory() ? "/" : " " + juce::String (entry.getFileSize())));

    lines.sort (false);
    return lines;
}

bool installFrom (const ArchiveInstaller& installer, const juce::MemoryBlock& archive)
{
    return installer.install (archive.getData(), archive.getSize());
}

// The central directory's copy of a 32-bit field of the archive's last entry.
juce::uint8* lastEntryField (juce::MemoryBlock& archive, size_t field)
{
    return static_cast<juce::uint8*> (archive.getData()) + archive.getSize() - 22 - 46 - 24 + field;
}

void addTo (juce::uint8* field, juce::int64 amount)
{
    const auto value = (juce::uint32) ((juce::int64) juce::ByteOrder::littleEndianInt (field) + amount);

    for (int byte = 0; byte < 4; ++byte)
        field[byte] = (juce::uint8) (value >> (8 * byte));
}

}  // namespace

TEST_CASE ("Installing unpacks each selected format into its folder", "[install]")
{
    TestInstaller installer;
    auto& screen = installer.start();

    REQUIRE (installer.pass ({ 0, 1, 2 }));

    SECTION ("the VST3 bundle tree, with no backslash in any name")
    {
        // Laid out as a table: one line per file of the bundle.
        // clang-format off
        CHECK (treeOf (installer.target (0)) == juce::StringArray {
                   "Glass Tundra Lights.vst3/Contents/",
                   "Glass Tundra Lights.vst3/Contents/Resources/",
                   "Glass Tundra Lights.vst3/Contents/Resources/moduleinfo.json " + juce::String (installer.target (0).getChildFile ("Contents/Resources/moduleinfo.json").getSize()),
                   "Glass Tundra Lights.vst3/Contents/x86_64-win/",
                   "Glass Tundra Lights.vst3/Contents/x86_64-win/Glass Tundra Lights.vst3 16909792",
                   "Glass Tundra Lights.vst3/Plugin.ico " + juce::String (installer.target (0).getChildFile ("Plugin.ico").getSize()),
                   "Glass Tundra Lights.vst3/desktop.ini 80" });
        // clang-format on
    }

    SECTION ("every file has its archive entry's time")
    {
        juce::ZipFile zip (new juce::MemoryInputStream (BinaryData::vst3_zip, (size_t) BinaryData::vst3_zipSize, false),
                           true);
        int files = 0;

        for (int index = 0; index < zip.getNumEntries(); ++index)
        {
            const auto* entry = zip.getEntry (index);
            const auto file = installer.folder (0).getChildFile (entry->filename.replaceCharacter ('\\', '/'));

            if (file.existsAsFile())
            {
                INFO (entry->filename);
                ++files;
                CHECK (file.getLastModificationTime() == entry->fileTime);
                CHECK (file.getLastAccessTime() == entry->fileTime);
            }
        }

        CHECK (files == 4);
    }

    SECTION ("the CLAP item is a single file")
    {
        CHECK (installer.target (1).existsAsFile());
        CHECK (installer.target (1).getSize() == 16556512);
        CHECK (installer.folder (1).getNumberOfChildFiles (juce::File::findFilesAndDirectories
                                                           | juce::File::ignoreHiddenFiles)
               == 1);
    }

    SECTION ("the AAX module lands in a folder the archive never names")
    {
        CHECK (installer.target (2).getChildFile ("Contents/x64/Glass Tundra Lights.aaxplugin").getSize() == 16692840);
    }

    SECTION ("every processed format ends deselected, so a second click processes nothing and fails")
    {
        CHECK (screen.selected == std::array<bool, 3> { false, false, false });
        screen.runInstallOrUninstall();
        CHECK_FALSE (installer.lastResult());
    }

    SECTION ("no staging leftovers stay behind")
    {
        for (int index = 0; index < 3; ++index)
            CHECK (installer.folder (index).getNumberOfChildFiles (juce::File::findFilesAndDirectories) == 1);
    }

    SECTION ("reinstalling removes what only the earlier install had")
    {
        const auto stray = installer.target (0).getChildFile ("Contents/old-only.txt");
        REQUIRE (ScratchFolder::write (stray, "old"));
        REQUIRE (installer.pass ({ 0 }));
        CHECK_FALSE (stray.exists());
        CHECK (installer.target (0).getChildFile ("desktop.ini").getSize() == 80);
    }

    SECTION ("uninstalling removes the items and keeps the folders")
    {
        REQUIRE (installer.pass ({ 0, 1, 2 }, true));

        for (int index = 0; index < 3; ++index)
        {
            CHECK_FALSE (installer.target (index).exists());
            CHECK (installer.folder (index).isDirectory());
            CHECK (screen.statusText (index) == "NOT INSTALLED");
        }
    }
}

TEST_CASE ("The result of a pass", "[install]")
{
    TestInstaller installer;
    auto& screen = installer.start();

    SECTION ("nothing selected: failure, and nothing on disk changes")
    {
        const auto before = installer.scratch.snapshot();
        CHECK_FALSE (installer.pass ({}));
        CHECK (installer.scratch.snapshot() == before);
    }

    SECTION ("uninstalling what is not there succeeds")
    {
        CHECK (installer.pass ({ 1 }, true));
    }

    SECTION ("one failing format makes the whole pass a failure, even when a later one succeeds")
    {
        // A file where the VST3 folder should be.
        REQUIRE (installer.folder (0).getParentDirectory().createDirectory());
        REQUIRE (installer.folder (0).replaceWithText ("not a folder"));

        CHECK_FALSE (installer.pass ({ 0, 1 }));
        CHECK (installer.target (1).existsAsFile());
        CHECK (installer.folder (0).loadFileAsString() == "not a folder");
        CHECK (screen.selected == std::array<bool, 3> { false, false, false });
    }

    SECTION ("formats that share a missing plug-in folder make it together and all install")
    {
        // The formats are installed side by side; each round races them to make the
        // same folders again.
        const auto shared = installer.scratch / "shared";

        for (auto& formatFolder : screen.formatFolders)
            formatFolder = shared.getChildFile ("one/plug-in/folder");

        for (int round = 0; round < 5; ++round)
        {
            REQUIRE (shared.deleteRecursively());
            CHECK (installer.pass ({ 0, 1, 2 }));

            for (int index = 0; index < 3; ++index)
                CHECK (installer.target (index).exists());
        }
    }

    SECTION ("a format without a folder fails and touches nothing")
    {
        screen.formatFolders[2] = juce::File();
        const auto before = installer.scratch.snapshot();

        CHECK_FALSE (installer.pass ({ 2 }));
        CHECK_FALSE (installer.pass ({ 2 }, true));
        CHECK (installer.scratch.snapshot() == before);
    }
}

TEST_CASE ("A symbolic link named like the item is replaced or removed as a link", "[install]")
{
    TestInstaller installer;
    installer.start();

    const auto outside = installer.scratch / "outside";
    REQUIRE (ScratchFolder::write (outside.getChildFile ("keep.txt"), "mine"));
    REQUIRE (installer.folder (0).createDirectory());
    REQUIRE (outside.createSymbolicLink (installer.target (0), true));

    SECTION ("uninstall")
    {
        CHECK (installer.pass ({ 0 }, true));
        CHECK_FALSE (installer.target (0).isSymbolicLink());
        CHECK_FALSE (installer.target (0).exists());
    }

    SECTION ("install")
    {
        CHECK (installer.pass ({ 0 }));
        CHECK_FALSE (installer.target (0).isSymbolicLink());
        CHECK (installer.target (0).getChildFile ("desktop.ini").existsAsFile());
        CHECK_FALSE (outside.getChildFile ("desktop.ini").exists());
    }

    CHECK (outside.getChildFile ("keep.txt").loadFileAsString() == "mine");
    CHECK (outside.getNumberOfChildFiles (juce::File::findFilesAndDirectories) == 1);
}

TEST_CASE ("Archives whose entries would leave the item are refused", "[install]")
{
    ScratchFolder scratch;
    const auto folder = scratch / "CLAP";
    const ArchiveInstaller installer (folder, "Item.clap");
    REQUIRE (installFrom (installer, zipOf ({ { "Item.clap", "earlier" } })));

    const auto check = [&] (const char* entryName)
    {
        INFO (entryName);
        const auto before = scratch.snapshot();
        CHECK_FALSE (installFrom (installer, zipOf ({ { "Item.clap", "new" }, { entryName, "evil" } })));
        CHECK (scratch.snapshot() == before);
        CHECK (installer.target().loadFileAsString() == "earlier");
    };

    check ("../evil.txt");
    check ("Item.clap/../../evil.txt");
    check ("Item.clap\\..\\..\\evil.txt");
    check ("/tmp/evil.txt");
    check ("C:\\evil.txt");
    check ("Other.clap");
    check ("Item.clap.more/evil.txt");
    check ("Item.clap/\xff\xfe.txt");
    check ("Item.clap/..../x");
    check ("Item.clap/./x");
}

TEST_CASE ("Name parts of nothing but dots are refused where the item is a folder", "[install]")
{
    // Here only the name check stands in the way: every path still lands in the item.
    ScratchFolder scratch;
    const ArchiveInstaller installer (scratch / "VST3", "Item.vst3");
    REQUIRE (installFrom (installer, zipOf ({ { "Item.vst3/a", "earlier" } })));
    const auto before = scratch.snapshot();

    for (const auto* entryName : { "Item.vst3/..../x", "Item.vst3/./x", "Item.vst3/../Item.vst3/x" })
    {
        INFO (entryName);
        CHECK_FALSE (installFrom (installer, zipOf ({ { "Item.vst3/a", "new" }, { entryName, "x" } })));
        CHECK (scratch.snapshot() == before);
    }

    CHECK (installFrom (installer, zipOf ({ { "Item.vst3/a", "new" }, { "Item.vst3/b/x", "x" } })));
}

TEST_CASE ("Folders are made 0755 and files 0644 whatever the umask", "[install]")
{
    const auto mask = GENERATE (0000, 0077);
    ScratchFolder scratch;
    const ArchiveInstaller installer (scratch / "made/on/the/way", "Item.vst3");
    const auto archive = zipOf ({ { "Item.vst3/a/b", "x" } });

    const auto callers = umask ((mode_t) mask);
    const auto installed = installer.install (archive.getData(), archive.getSize());
    umask (callers);
    REQUIRE (installed);

    const auto modeOf = [&] (const char* path)
    {
        struct stat info
        {};
        lstat ((scratch / path).getFullPathName().toRawUTF8(), &info);
        return info.st_mode & 07777;
    };

    for (const auto* folder : { "made", "made/on/the/way", "made/on/the/way/Item.vst3", "made/on/the/way/Item.vst3/a" })
        CHECK (modeOf (folder) == 0755);

    CHECK (modeOf ("made/on/the/way/Item.vst3/a/b") == 0644);
}

TEST_CASE ("Doubled separators and characters beyond ASCII in entry names", "[install]")
{
    ScratchFolder scratch;
    const ArchiveInstaller installer (scratch / "CLAP", "Item.clap");

    CHECK (installFrom (installer, zipOf ({ { "Item.clap\\M\xc3\xbcller\\\\a.txt", "a" } })));
    CHECK (installer.target().getChildFile (juce::String::fromUTF8 ("M\xc3\xbcller/a.txt")).loadFileAsString() == "a");
}

TEST_CASE ("A corrupt archive leaves the earlier install exactly as it was", "[install]")
{
    ScratchFolder scratch;
    const ArchiveInstaller installer (scratch / "CLAP", "Glass Tundra Lights.clap");
    const juce::MemoryBlock good (BinaryData::clap_zip, (size_t) BinaryData::clap_zipSize);
    REQUIRE (installFrom (installer, good));
    const auto earlier = ScratchFolder::contentHash (installer.target());

    const EntryInflater::ZlibForced zlib (GENERATE (false, true));
    auto bad = good;
    const auto crc = 16, compressedSize = 20, statedSize = 24;

    SECTION ("a damaged byte in the middle of the module's data")
    {
        static_cast<char*> (bad.getData())[bad.getSize() / 2] ^= 0x5a;
        CHECK_FALSE (installFrom (installer, bad));
    }

    SECTION ("a CRC that does not match what the data inflates to")
    {
        static_cast<char*> (bad.getData())[14] ^= 0x01;  // the local header's CRC is not read
        lastEntryField (bad, crc)[0] ^= 0x01;
        CHECK_FALSE (installFrom (installer, bad));
    }

    SECTION ("a stated size that does not match what the data inflates to, with a matching CRC")
    {
        addTo (lastEntryField (bad, statedSize), GENERATE (1, -1));
        CHECK_FALSE (installFrom (installer, bad));
    }

    SECTION ("an entry whose data ends before its content does")
    {
        addTo (lastEntryField (bad, compressedSize), -1000);
        CHECK_FALSE (installFrom (installer, bad));
    }

    SECTION ("an entry packed in a way no reader here knows")
    {
        const auto method = lastEntryField (bad, 10);
        method[0] = 12;  // bzip2
        CHECK_FALSE (installFrom (installer, bad));
    }

    SECTION ("a truncated archive")
    {
        CHECK_FALSE (installer.install (good.getData(), good.getSize() / 3));
    }

    CHECK (ScratchFolder::contentHash (installer.target()) == earlier);
    CHECK (installer.leftovers().isEmpty());
}

TEST_CASE ("zlib, which builds without ISA-L inflate with, installs the same items", "[install]")
{
    const auto installAll = [] (bool zlib)
    {
        const EntryInflater::ZlibForced forced (zlib);
        auto scratch = std::make_unique<ScratchFolder>();

        for (const auto& [item, data, size] :
             { std::tuple { ".vst3", BinaryData::vst3_zip, BinaryData::vst3_zipSize },
               std::tuple { ".clap", BinaryData::clap_zip, BinaryData::clap_zipSize },
               std::tuple { ".aaxplugin", BinaryData::aax_zip, BinaryData::aax_zipSize } })
            CHECK (ArchiveInstaller (*scratch / "plugins", juce::String ("Glass Tundra Lights") + item)
                       .install (data, (size_t) size));

        return scratch;
    };

    const auto fast = installAll (false);
    const auto zlib = installAll (true);

    CHECK (zlib->snapshot() == fast->snapshot());
    CHECK (zlib->snapshot().size() >= 10);
}

TEST_CASE ("Leftovers of an interrupted install are put right at the next start", "[install]")
{
    TestInstaller installer;
    installer.start();
    REQUIRE (installer.pass ({ 1 }));

    const ArchiveInstaller clap (installer.folder (1), "Glass Tundra Lights.clap");
    const auto earlier = ScratchFolder::contentHash (installer.target (1));
    const auto staging = installer.folder (1).getChildFile (clap.stagingPrefix() + "0123456789abcdef");

    SECTION ("stopped while unpacking: the staging folder goes")
    {
        REQUIRE (ScratchFolder::write (staging.getChildFile ("Glass Tundra Lights.clap"), "half"));
    }

    SECTION ("stopped between taking the earlier item away and putting the new one in place")
    {
        REQUIRE (staging.createDirectory());
        REQUIRE (installer.target (1).moveFileTo (staging.getChildFile (ArchiveInstaller::earlierItemName)));
        REQUIRE (ScratchFolder::write (staging.getChildFile ("Glass Tundra Lights.clap"), "whole"));
    }

    // As the installer makes them: private to their owner.
    REQUIRE (chmod (staging.getFullPathName().toRawUTF8(), 0700) == 0);
    REQUIRE (clap.leftovers().size() == 1);
    installer.screen = nullptr;
    installer.start();

    CHECK (ScratchFolder::contentHash (installer.target (1)) == earlier);
    CHECK (clap.leftovers().isEmpty());
    CHECK (installer.folder (1).getNumberOfChildFiles (juce::File::findFilesAndDirectories) == 1);
}

TEST_CASE ("The clean-up takes only folders it made itself", "[install]")
{
    // Named like staging folders: a link, and a folder that is not private (an installed
    // item renamed, say). Both stay, as does what the link leads to.
    ScratchFolder scratch;
    const ArchiveInstaller installer (scratch / "VST3", "Item.vst3");
    const auto folder = scratch / "VST3";
    REQUIRE (
        ScratchFolder::write (folder.getChildFile (installer.stagingPrefix() + "0123456789abcdef/Item.vst3/a"), "a"));
    REQUIRE (ScratchFolder::write (scratch / "elsewhere/Item.vst3/b", "b"));
    REQUIRE ((scratch / "elsewhere")
                 .createSymbolicLink (folder.getChildFile (installer.stagingPrefix() + "fedcba9876543210"), true));
    const auto before = scratch.snapshot();

    CHECK (installer.leftovers().isEmpty());
    installer.removeLeftovers();
    CHECK (scratch.snapshot() == before);
}
