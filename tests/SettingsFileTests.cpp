#include "install/PluginFormats.h"
#include "helpers/TestInstaller.h"
#include "install/SettingsFile.h"

#include <catch2/catch_test_macros.hpp>

namespace
{
const juce::String note =
    "These are the paths that all Tovin Drift installers will use for their respective formats. "
    "Edit them to personal taste, but keep in mind that some formats have specific homes. "
    "Use this feature at your own risk; follow the naming and separator conventions exactly as you see them, "
    "or you could end up with unintended consequences. If you delete this file, the next time you run the "
    "Plugin Manager for any TD product, a new one with the default locations will be written.";

void writeSettings (const ScratchFolder& scratch, const juce::String& content)
{
    scratch.settingsFile().getParentDirectory().createDirectory();
    REQUIRE (scratch.settingsFile().replaceWithText (content));
}
}  // namespace

TEST_CASE ("A first start writes the shared settings file with the default folders", "[settings]")
{
    TestInstaller installer;
    installer.start();

    const auto defaults = PluginFormats::defaultFolders (installer.scratch.pluginBase());
    const auto path = [&defaults] (int index) { return defaults[(size_t) index].getFullPathName(); };
    const auto written = installer.scratch.settingsFile().loadFileAsString();

    SECTION ("exact bytes: declaration, empty line, wrapped attributes in order, CR LF")
    {
        const juce::String indent (juce::String::repeatedString (" ", 24));
        const auto expected = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                              "\r\n"
                              "<Plugin_Manager_Settings Important_Note:=\""
                            + note + "\"\r\n" + indent + " CLAP_Path=\"" + path (1) + "\" VST3_Path=\"" + path (0)
                            + "\"\r\n" + indent + " AAX_Path=\"" + path (2) + "\"/>\r\n";
        CHECK (written == expected);
    }

    SECTION ("the maker folder is created, the default plug-in folders are not")
    {
        CHECK (installer.screen->settingsFolder == installer.scratch.applicationData().getChildFile ("Tovin Drift"));
        CHECK_FALSE (installer.folder (0).exists());
        CHECK_FALSE (installer.folder (1).exists());
        CHECK_FALSE (installer.folder (2).exists());
    }

    SECTION ("a second start reads it back and leaves it byte for byte")
    {
        installer.screen = nullptr;
        installer.start();
        CHECK (installer.scratch.settingsFile().loadFileAsString() == written);
        CHECK (installer.screen->formatFolders == defaults);
    }
}

TEST_CASE ("An existing settings file decides the plug-in folders", "[settings]")
{
    TestInstaller installer;
    const auto& scratch = installer.scratch;
    const auto mine = (scratch / "mine").getFullPathName();

    SECTION ("only VST3_Path: the other formats have no folder, and the file stays as it is")
    {
        const auto content = "<Plugin_Manager_Settings VST3_Path=\"" + mine + "/v\"/>";
        writeSettings (scratch, content);
        installer.start();

        CHECK (installer.folder (0).getFullPathName() == mine + "/v");
        CHECK (installer.folder (1) == juce::File());
        CHECK (installer.folder (2) == juce::File());
        CHECK (scratch.settingsFile().loadFileAsString() == content);
    }

    SECTION ("another root tag still gives its paths")
    {
        writeSettings (scratch, "<Whatever CLAP_Path=\"" + mine + "/c\" VST3_Path=\"" + mine + "/v\" AAX_Path=\"" + mine
                                    + "/a\"/>");
        installer.start();

        CHECK (installer.folder (0).getFullPathName() == mine + "/v");
        CHECK (installer.folder (1).getFullPathName() == mine + "/c");
        CHECK (installer.folder (2).getFullPathName() == mine + "/a");
    }

    SECTION ("a file that is not XML leaves the defaults and keeps its content")
    {
        writeSettings (scratch, "not xml at all");
        installer.start();

        CHECK (installer.folder (0) == PluginFormats::defaultFolders (scratch.pluginBase())[0]);
        CHECK (scratch.settingsFile().loadFileAsString() == "not xml at all");
    }

    SECTION ("folders named in the file are created with their parents")
    {
        writeSettings (scratch, "<Plugin_Manager_Settings VST3_Path=\"" + mine + "/deep/er/VST3\"/>");
        installer.start();
        CHECK (juce::File (mine + "/deep/er/VST3").isDirectory());
    }

    SECTION ("doubled separators are accepted and the folder is used in its normal form")
    {
        writeSettings (scratch, "<Plugin_Manager_Settings VST3_Path=\"" + mine + "//v/\"/>");
        installer.start();
        CHECK (installer.folder (0).getFullPathName() == mine + "/v");
    }

    SECTION ("a network path keeps the pair of separators that opens it; a doubled one inside collapses")
    {
        // Read from the text alone: a started installer would create the folder.
        const auto readVst3 = [] (const juce::String& path)
        {
            const auto content = "<Plugin_Manager_Settings VST3_Path=\"" + path + "\"/>";
            const auto folders = SettingsFile::readFolders ({ content.toRawUTF8(), content.getNumBytesAsUTF8() });
            REQUIRE (folders.has_value());
            return (*folders)[0].getFullPathName();
        };

        CHECK (readVst3 ("//server/share//VST3") == "//server/share/VST3");
#if JUCE_WINDOWS
        CHECK (readVst3 ("\\\\server\\share\\\\VST3") == "\\\\server\\share\\VST3");
#endif
    }

    SECTION ("an attribute name in another case is not recognised")
    {
        writeSettings (scratch, "<Plugin_Manager_Settings vst3_path=\"" + mine + "/v\"/>");
        installer.start();
        CHECK (installer.folder (0) == juce::File());
    }
}

TEST_CASE ("A folder where the settings file should be is left alone", "[settings]")
{
    TestInstaller installer;
    REQUIRE (ScratchFolder::write (installer.scratch.settingsFile().getChildFile ("inside.txt"), "kept"));

    installer.start();

    CHECK (installer.scratch.settingsFile().getChildFile ("inside.txt").loadFileAsString() == "kept");
    CHECK (installer.folder (1) == PluginFormats::defaultFolders (installer.scratch.pluginBase())[1]);
}
