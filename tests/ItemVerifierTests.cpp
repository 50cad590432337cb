// Verifying an installed item against its archive: every way an item can differ.
#include "helpers/ScratchFolder.h"
#include "helpers/TestArchive.h"
#include "install/ArchiveInstaller.h"
#include "install/ItemVerifier.h"

#include <catch2/catch_test_macros.hpp>

TEST_CASE ("Verifying tells an intact item from every kind of damage", "[verify]")
{
    ScratchFolder scratch;
    const auto plugins = scratch / "plugins";
    const auto archive = zipOf ({ { "Item.vst3/Contents/module", "the module's bytes" },
                                  { "Item.vst3/Contents/Resources/", "" },
                                  { "Item.vst3/Contents/info", "about" } });
    const auto item = plugins.getChildFile ("Item.vst3/Contents");
    const ItemVerifier verifier (plugins, "Item.vst3");
    const auto verify = [&] { return verifier.verify (archive.getData(), archive.getSize()); };

    CHECK (verify().verdict == ItemVerifier::Verdict::notInstalled);
    REQUIRE (ArchiveInstaller (plugins, "Item.vst3").install (archive.getData(), archive.getSize()));
    CHECK (verify().verdict == ItemVerifier::Verdict::intact);
    CHECK (verify().differences.isEmpty());

    const auto modifiedAt = [&] (const juce::String& what)
    {
        const auto report = verify();
        INFO (report.differences.joinIntoString ("; "));
        return report.verdict == ItemVerifier::Verdict::modified && report.differences.size() == 1
            && report.differences[0] == what;
    };

    SECTION ("one byte changed in the module")
    {
        REQUIRE (item.getChildFile ("module").replaceWithText ("the module's byteS"));
        CHECK (modifiedAt ("Item.vst3/Contents/module: changed"));
    }

    SECTION ("a file removed, or grown")
    {
        REQUIRE (item.getChildFile ("info").deleteFile());
        CHECK (modifiedAt ("Item.vst3/Contents/info: missing"));
        REQUIRE (item.getChildFile ("info").replaceWithText ("about more"));
        CHECK (modifiedAt ("Item.vst3/Contents/info: changed (size)"));
    }

    SECTION ("an extra file, or an empty folder gone")
    {
        REQUIRE (item.getChildFile ("Resources/extra").create());
        CHECK (modifiedAt ("Item.vst3/Contents/Resources/extra: not part of the product"));
        REQUIRE (item.getChildFile ("Resources").deleteRecursively());
        CHECK (modifiedAt ("Item.vst3/Contents/Resources: missing"));
    }

    SECTION ("a link in place of a file, even to an identical one")
    {
        const auto copy = scratch / "copy";
        REQUIRE (item.getChildFile ("module").copyFileTo (copy));
        REQUIRE (item.getChildFile ("module").deleteFile());
        REQUIRE (copy.createSymbolicLink (item.getChildFile ("module"), true));
        CHECK (modifiedAt ("Item.vst3/Contents/module: a link or special file"));
    }

    SECTION ("a file where a folder belongs")
    {
        REQUIRE (item.getChildFile ("Resources").deleteRecursively());
        REQUIRE (item.getChildFile ("Resources").create());
        CHECK (modifiedAt ("Item.vst3/Contents/Resources: a file, not a folder"));
    }

    SECTION ("nothing is written, and the differences named are bounded")
    {
        for (int i = 0; i < 20; ++i)
            REQUIRE (item.getChildFile ("extra" + juce::String (i)).create());

        const auto before = scratch.snapshot();
        CHECK (verify().differences.size() == ItemVerifier::mostDifferences);
        CHECK (scratch.snapshot() == before);
    }
}
