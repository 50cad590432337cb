// Settings files that others may have written or broken: whatever is in the file,
// the program starts and follows the rules for what it can read.
#include "install/PluginFormats.h"
#include "helpers/Mounts.h"
#include "helpers/OtherUsers.h"
#include "helpers/TestInstaller.h"

#include <catch2/catch_test_macros.hpp>

namespace
{
MainComponent& startWith (TestInstaller& installer, const juce::MemoryBlock& content)
{
    const auto file = installer.scratch.settingsFile();
    REQUIRE (file.getParentDirectory().createDirectory());
    REQUIRE (file.replaceWithData (content.getData(), content.getSize()));
    return installer.start();
}

MainComponent& startWith (TestInstaller& installer, const juce::String& text)
{
    return startWith (installer, juce::MemoryBlock (text.toRawUTF8(), text.getNumBytesAsUTF8()));
}

bool keptDefaults (TestInstaller& installer)
{
    return installer.screen->formatFolders == PluginFormats::defaultFolders (installer.scratch.pluginBase());
}
}  // namespace

TEST_CASE ("Unreadable settings files leave the defaults and stay as they are", "[settings][hostile]")
{
    TestInstaller installer;

    SECTION ("empty")
    {
        REQUIRE (installer.scratch.settingsFile().create());
        installer.start();
        CHECK (keptDefaults (installer));
        CHECK (installer.scratch.settingsFile().getSize() == 0);
    }

    SECTION ("binary")
    {
        juce::MemoryBlock noise (4096);
        juce::Random random (7);
        random.fillBitsRandomly (noise.getData(), noise.getSize());
        startWith (installer, noise);
        CHECK (keptDefaults (installer));
    }

    SECTION ("elements nested a hundred thousand deep")
    {
        startWith (installer, juce::String::repeatedString ("<a VST3_Path=\"/x\">", 100000));
        CHECK (keptDefaults (installer));
    }
}

TEST_CASE ("Odd but readable settings files are used as they say", "[settings][hostile]")
{
    TestInstaller installer;
    const auto mine = (installer.scratch / "mine").getFullPathName();

    SECTION ("UTF-16 with a byte order mark")
    {
        const auto text = "<Plugin_Manager_Settings VST3_Path=\"" + mine + "/v\"/>";
        juce::MemoryOutputStream out;
        out.writeByte ((char) 0xff);
        out.writeByte ((char) 0xfe);
        out.write (text.toUTF16().getAddress(), (size_t) text.length() * 2);
        startWith (installer, out.getMemoryBlock());

        CHECK (installer.folder (0).getFullPathName() == mine + "/v");
    }

    SECTION ("50 MB, most of it one comment")
    {
        startWith (installer, "<Plugin_Manager_Settings VST3_Path=\"" + mine + "/v\"/><!--"
                                  + juce::String::repeatedString ("padding ", 50 * 1024 * 1024 / 8) + "-->");
        CHECK (installer.folder (0).getFullPathName() == mine + "/v");
    }

    SECTION ("thousands of attributes")
    {
        juce::String text ("<Plugin_Manager_Settings");

        for (int i = 0; i < 5000; ++i)
            text << " a" << i << "=\"" << i << "\"";

        startWith (installer, text + " AAX_Path=\"" + mine + "/a\"/>");
        CHECK (installer.folder (2).getFullPathName() == mine + "/a");
    }

    SECTION ("a path that climbs with ..")
    {
        startWith (installer, "<Plugin_Manager_Settings VST3_Path=\"" + mine + "/deep/../v\"/>");
        CHECK (installer.folder (0).isDirectory());
        CHECK (installer.folder (0).isAChildOf (installer.scratch.folder));
    }

    SECTION ("a relative path is taken from the working folder")
    {
        const auto previous = juce::File::getCurrentWorkingDirectory();
        REQUIRE (installer.scratch.folder.setAsCurrentWorkingDirectory());
        startWith (installer, juce::String ("<Plugin_Manager_Settings CLAP_Path=\"relative/clap\"/>"));
        previous.setAsCurrentWorkingDirectory();

        CHECK (installer.folder (1) == (installer.scratch / "relative/clap"));
        CHECK (installer.folder (1).isDirectory());
    }

    SECTION ("doubled separators in a path with characters beyond ASCII")
    {
        startWith (installer, juce::String::fromUTF8 ("<Plugin_Manager_Settings VST3_Path=\"") + mine
                                  + juce::String::fromUTF8 ("/M\xc3\xbcller//VST3///\"/>"));
        CHECK (installer.folder (0).getFullPathName() == mine + juce::String::fromUTF8 ("/M\xc3\xbcller/VST3"));
        CHECK (installer.folder (0).isDirectory());
    }

    SECTION ("line breaks and bytes that are not UTF-8 in a path")
    {
        juce::MemoryOutputStream out;
        out << "<Plugin_Manager_Settings VST3_Path=\"" << mine << "/line\nbreak\" CLAP_Path=\"" << mine << "/";
        out.writeByte ((char) 0xff);
        out.writeByte ((char) 0xc3);
        out << "x\"/>";
        auto& screen = startWith (installer, out.getMemoryBlock());

        CHECK (installer.folder (0).isAChildOf (installer.scratch.folder));
        CHECK (screen.statusText (0) == "NOT INSTALLED");
        CHECK (screen.statusText (1) == "NOT INSTALLED");
    }
}

TEST_CASE ("A plug-in folder missing at start is made through a link only where no user could aim it",
           "[settings][hostile]")
{
    Mounts::require();
    TestInstaller installer;
    const auto user = OtherUsers::unused();
    const auto rootFolder = installer.scratch / "root-only";
    const auto home = installer.scratch / "home";
    REQUIRE (rootFolder.createDirectory());
    REQUIRE (home.createDirectory());
    REQUIRE (OtherUsers::own (home, user, 0755));
    REQUIRE (chmod (installer.scratch.folder.getFullPathName().toRawUTF8(), 0755) == 0);

    // A user's link into root's folder, and root's own link to a folder of root's.
    REQUIRE (OtherUsers::link (home.getChildFile ("link"), rootFolder.getFullPathName(), user));
    REQUIRE (OtherUsers::link (installer.scratch / "root-link", (installer.scratch / "real").getFullPathName(), 0));

    startWith (installer, "<Plugin_Manager_Settings VST3_Path=\"" + home.getChildFile ("link/VST3").getFullPathName()
                              + "\" CLAP_Path=\"" + (installer.scratch / "root-link/CLAP").getFullPathName() + "\"/>");

    CHECK_FALSE (rootFolder.getChildFile ("VST3").exists());
    CHECK ((installer.scratch / "real/CLAP").isDirectory());
}
