// Plug-in folders reached through links: followed where only root, or only the user whose
// folder it all is, could have aimed them; refused, with the link named, everywhere else.
// Runs as root in a private mount namespace (see tests/CMakeLists.txt).
#include "helpers/Mounts.h"
#include "helpers/OtherUsers.h"
#include "helpers/ScratchFolder.h"
#include "helpers/TestArchive.h"
#include "install/ArchiveInstaller.h"
#include "install/InstalledState.h"

#include <catch2/catch_test_macros.hpp>

namespace
{
struct LinkedFolders
{
    ScratchFolder scratch;
    const uid_t user = OtherUsers::unused();
    const uid_t neighbour = OtherUsers::unused (1);
    const juce::File home = scratch / "home";
    const juce::MemoryBlock archive = zipOf ({ { "Item.vst3/Contents/module", "module" } });

    LinkedFolders()
    {
        REQUIRE (chmod (scratch.folder.getFullPathName().toRawUTF8(), 0755) == 0);

        for (const auto& [folder, owner] : { std::pair { home, user },
                                             { home.getChildFile ("data"), user },
                                             { scratch / "neighbour", neighbour },
                                             { scratch / "neighbour/plugins", neighbour },
                                             { scratch / "root/plugins", 0u } })
        {
            REQUIRE (folder.createDirectory());
            REQUIRE (OtherUsers::own (folder, owner, 0755));
        }
    }

    juce::Result install (const juce::File& folder) const
    {
        return ArchiveInstaller (folder, "Item.vst3").install (archive.getData(), archive.getSize());
    }

    FormatState stateOf (const juce::File& folder) const
    {
        return InstalledState ("Item", { folder, {}, {} }).stateOf (0);
    }
};
}  // namespace

TEST_CASE ("Links on a plug-in folder's path are followed only where no other user could aim them", "[hostile]")
{
    Mounts::require();
    LinkedFolders setup;
    const auto& scratch = setup.scratch;

    SECTION ("root's link in root's folder: installs, reads installed, uninstalls")
    {
        REQUIRE (OtherUsers::link (scratch / "plink", (scratch / "root").getFullPathName(), 0));
        const auto folder = scratch / "plink/plugins";

        REQUIRE (setup.install (folder));
        CHECK ((scratch / "root/plugins/Item.vst3/Contents/module").existsAsFile());
        CHECK (setup.stateOf (folder).installed);
        CHECK (setup.stateOf (folder).reason.isEmpty());
        CHECK (ArchiveInstaller (folder, "Item.vst3").uninstall());
        CHECK_FALSE ((scratch / "root/plugins/Item.vst3").exists());
        CHECK ((scratch / "plink").isSymbolicLink());
    }

    SECTION ("a user's link in their own folder to their own folder, relative and absolute")
    {
        REQUIRE (OtherUsers::link (setup.home.getChildFile (".vst3"), "data", setup.user));
        REQUIRE (OtherUsers::link (setup.home.getChildFile (".clap"),
                                   setup.home.getChildFile ("data/clap").getFullPathName(), setup.user));

        REQUIRE (setup.install (setup.home.getChildFile (".vst3")));
        CHECK (setup.home.getChildFile ("data/Item.vst3/Contents/module").existsAsFile());
        CHECK (setup.stateOf (setup.home.getChildFile (".vst3")).installed);

        // A folder the walk makes in the user's own folder becomes theirs.
        REQUIRE (setup.install (setup.home.getChildFile (".clap")));
        CHECK (OtherUsers::ownerOf (setup.home.getChildFile ("data/clap")) == setup.user);
        CHECK (setup.stateOf (setup.home.getChildFile (".clap")).installed);
    }

    SECTION ("a user's link to root's folder, or to another user's, is refused and named")
    {
        for (const auto& [name, target] :
             { std::pair { "to-root", scratch / "root" }, { "to-neighbour", scratch / "neighbour" } })
        {
            const auto link = setup.home.getChildFile (name);
            REQUIRE (OtherUsers::link (link, target.getFullPathName(), setup.user));
            const auto folder = link.getChildFile ("plugins");
            INFO (name);

            const auto result = setup.install (folder);
            CHECK (result.failed());
            CHECK (result.getErrorMessage().contains (link.getFullPathName()));
            CHECK (result.getErrorMessage().contains ("uid " + juce::String (setup.user)));
            CHECK_FALSE (target.getChildFile ("plugins/Item.vst3").exists());

            const auto state = setup.stateOf (folder);
            CHECK_FALSE (state.installed);
            CHECK (state.reason == result.getErrorMessage());
            CHECK (ArchiveInstaller (folder, "Item.vst3").uninstall().failed());
        }

        // Root's item there stays root's whatever the user's link says.
        REQUIRE (ScratchFolder::write (scratch / "root/plugins/Item.vst3/keep", "root's"));
        CHECK_FALSE (setup.stateOf (setup.home.getChildFile ("to-root/plugins")).installed);
        CHECK (ArchiveInstaller (setup.home.getChildFile ("to-root/plugins"), "Item.vst3").uninstall().failed());
        CHECK ((scratch / "root/plugins/Item.vst3/keep").existsAsFile());
    }

    SECTION ("a link that another user could replace, or root's link in a user's folder, is refused")
    {
        const auto shared = scratch / "shared";
        REQUIRE (shared.createDirectory());
        REQUIRE (chmod (shared.getFullPathName().toRawUTF8(), 0777) == 0);
        REQUIRE (OtherUsers::link (shared.getChildFile ("link"), (scratch / "root").getFullPathName(), 0));
        REQUIRE (OtherUsers::link (setup.home.getChildFile ("root-made"), (scratch / "root").getFullPathName(), 0));

        for (const auto& link : { shared.getChildFile ("link"), setup.home.getChildFile ("root-made") })
        {
            const auto result = setup.install (link.getChildFile ("plugins"));
            CHECK (result.getErrorMessage().contains (
                "a link that a user other than root controls: " + link.getFullPathName() + " (owned by root)"));
        }

        CHECK_FALSE ((scratch / "root/plugins/Item.vst3").exists());
    }

    SECTION ("a loop of links fails plainly")
    {
        REQUIRE (OtherUsers::link (scratch / "loop-a", (scratch / "loop-b").getFullPathName(), 0));
        REQUIRE (OtherUsers::link (scratch / "loop-b", (scratch / "loop-a").getFullPathName(), 0));
        const auto folder = scratch / "loop-a/plugins";

        const auto result = setup.install (folder);
        CHECK (result.getErrorMessage() == "too many links on the way to " + folder.getFullPathName());
        CHECK (setup.stateOf (folder).reason == result.getErrorMessage());
    }
}
