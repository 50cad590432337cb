#include "helpers/TestInstaller.h"

#include <catch2/catch_test_macros.hpp>

TEST_CASE ("The installed state is read from the disk on every question", "[detection]")
{
    TestInstaller installer;
    auto& screen = installer.start();

    SECTION ("nothing present: not installed, nothing preselected")
    {
        for (int index = 0; index < 3; ++index)
        {
            CHECK_FALSE (screen.isFormatInstalled (index));
            CHECK (screen.statusText (index) == "NOT INSTALLED");
            CHECK_FALSE (screen.selected[(size_t) index]);
        }
    }

    SECTION ("a plain file or an empty folder with the item's name counts as installed, without a version")
    {
        REQUIRE (installer.target (1).create());
        REQUIRE (installer.target (0).createDirectory());

        CHECK (screen.statusText (1) == "INSTALLED");
        CHECK (screen.statusText (0) == "INSTALLED");
        CHECK (screen.hintFor ("CLAP") == "Select to update CLAP to 1.0.12");
        CHECK (screen.hintFor ("AAX") == "Select to install AAX");
    }

    SECTION ("a change on disk shows at the next question")
    {
        REQUIRE (installer.target (2).createDirectory());
        CHECK (screen.isFormatInstalled (2));
        REQUIRE (installer.target (2).deleteRecursively());
        CHECK_FALSE (screen.isFormatInstalled (2));
    }

    SECTION ("the carried archives: only the AAX module has a version")
    {
        REQUIRE (installer.pass ({ 0, 1, 2 }));

        CHECK (screen.statusText (0) == "INSTALLED");
        CHECK (screen.statusText (1) == "INSTALLED");
        CHECK (screen.statusText (2) == "v1.0.12.0 INSTALLED");
        CHECK (screen.installedVersion (2) == "1.0.12.0");
    }

    SECTION ("an AAX bundle without its module reads installed, without a version")
    {
        REQUIRE (installer.target (2).getChildFile ("Contents/x64").createDirectory());
        CHECK (screen.statusText (2) == "INSTALLED");
    }

    SECTION ("a CLAP file that carries a version shows it")
    {
        REQUIRE (installer.pass ({ 2 }));
        const auto aaxModule = installer.target (2).getChildFile ("Contents/x64/Glass Tundra Lights.aaxplugin");
        REQUIRE (installer.folder (1).createDirectory());
        REQUIRE (aaxModule.copyFileTo (installer.target (1)));

        CHECK (screen.statusText (1) == "v1.0.12.0 INSTALLED");
    }
}

TEST_CASE ("Formats already installed start selected", "[detection]")
{
    TestInstaller installer;
    installer.start();
    REQUIRE (installer.target (1).create());

    installer.screen = nullptr;
    auto& screen = installer.start();

    CHECK_FALSE (screen.selected[0]);
    CHECK (screen.selected[1]);
    CHECK_FALSE (screen.selected[2]);
}

TEST_CASE ("A format without a folder is never looked for at the file-system root", "[detection]")
{
    TestInstaller installer;
    installer.scratch.settingsFile().getParentDirectory().createDirectory();
    installer.scratch.settingsFile().replaceWithText ("<Plugin_Manager_Settings/>");
    auto& screen = installer.start();

    for (int index = 0; index < 3; ++index)
    {
        CHECK (screen.installTarget (index) == juce::File());
        CHECK (screen.statusText (index) == "NOT INSTALLED");
        CHECK (screen.hintFor (formatNames[index]) == "Select to install " + formatNames[index]);
    }
}
